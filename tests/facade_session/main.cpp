#include <QApplication>
#include <QTest>

#include <memory>
#include <vector>

std::unique_ptr<QObject> makeJobsTest();
std::unique_ptr<QObject> makeLiveSessionTest();
std::unique_ptr<QObject> makeCallbacksTest();
std::unique_ptr<QObject> makeRealPushTest();
std::unique_ptr<QObject> makeRecordingFailureTest();

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    std::vector<std::unique_ptr<QObject>> tests;
    tests.push_back(makeJobsTest());
    tests.push_back(makeLiveSessionTest());
    tests.push_back(makeCallbacksTest());
    tests.push_back(makeRealPushTest());
    tests.push_back(makeRecordingFailureTest());
    int failed = 0;
    for (auto &t : tests)
        failed += QTest::qExec(t.get(), argc, argv);
    return failed;
}
