#include <QGuiApplication>
#include <QTest>

#include <memory>
#include <vector>

std::unique_ptr<QObject> makeEngineSoundTest();
std::unique_ptr<QObject> makeEnginePushTest();
std::unique_ptr<QObject> makeEngineLibraryTest();

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    std::vector<std::unique_ptr<QObject>> tests;
    tests.push_back(makeEngineSoundTest());
    tests.push_back(makeEnginePushTest());
    tests.push_back(makeEngineLibraryTest());
    int failed = 0;
    for (auto &t : tests)
        failed += QTest::qExec(t.get(), argc, argv);
    return failed;
}
