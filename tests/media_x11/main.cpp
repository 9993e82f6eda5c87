#include <QApplication>
#include <QTest>

#include <memory>
#include <vector>

std::unique_ptr<QObject> makeScreenSourceTest();
std::unique_ptr<QObject> makePreviewOutputTest();

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    std::vector<std::unique_ptr<QObject>> tests;
    tests.push_back(makeScreenSourceTest());
    tests.push_back(makePreviewOutputTest());
    int failed = 0;
    for (auto &t : tests)
        failed += QTest::qExec(t.get(), argc, argv);
    return failed;
}
