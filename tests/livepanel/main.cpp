#include <QApplication>
#include <QTest>

#include <memory>

std::unique_ptr<QObject> makeLivePanelTest();

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    std::unique_ptr<QObject> test = makeLivePanelTest();
    return QTest::qExec(test.get(), argc, argv);
}
