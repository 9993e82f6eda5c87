#include <QGuiApplication>
#include <QTest>

#include <memory>
#include <vector>

std::unique_ptr<QObject> makeRecordingTest();
std::unique_ptr<QObject> makePushTest();
std::unique_ptr<QObject> makeSendQueueTest();
// The crash-safety test re-runs this program as a recorder that it kills.
int runRecorderChild(const QString &path);

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--recorder-child") == 0)
        return runRecorderChild(QString::fromLocal8Bit(argv[2]));
    std::vector<std::unique_ptr<QObject>> tests;
    tests.push_back(makeSendQueueTest());
    tests.push_back(makeRecordingTest());
    tests.push_back(makePushTest());
    int failed = 0;
    for (auto &t : tests)
        failed += QTest::qExec(t.get(), argc, argv);
    return failed;
}
