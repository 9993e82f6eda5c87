#include <QGuiApplication>
#include <QTest>

#include <memory>

std::unique_ptr<QObject> makeMediaCameraTest();

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const std::unique_ptr<QObject> test = makeMediaCameraTest();
    return QTest::qExec(test.get(), argc, argv);
}
