#include <QGuiApplication>
#include <QMetaMethod>
#include <QTest>

#include <memory>
#include <vector>

std::unique_ptr<QObject> makeRecordingTest();
std::unique_ptr<QObject> makePushTest();
std::unique_ptr<QObject> makePushAddressTest();
std::unique_ptr<QObject> makeSessionTimelineTest();
std::unique_ptr<QObject> makeSessionsTest();
std::unique_ptr<QObject> makeSendQueueTest();
std::unique_ptr<QObject> makeVideoEncoderTest();
// The crash-safety test re-runs this program as a recorder that it kills.
int runRecorderChild(const QString &path);

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--recorder-child") == 0)
        return runRecorderChild(QString::fromLocal8Bit(argv[2]));
    std::vector<std::unique_ptr<QObject>> tests;
    tests.push_back(makeSendQueueTest());
    tests.push_back(makeVideoEncoderTest());
    tests.push_back(makeRecordingTest());
    tests.push_back(makeSessionTimelineTest());
    tests.push_back(makeSessionsTest());
    tests.push_back(makePushTest());
    tests.push_back(makePushAddressTest());
    // Test functions named on the command line run in the object that has
    // them; the other objects are left out instead of failing on the name.
    const auto has = [](const QObject *test, const char *arg) {
        const QByteArray name = QByteArray(arg).split(':').front();
        const QMetaObject *meta = test->metaObject();
        for (int m = meta->methodOffset(); m < meta->methodCount(); ++m) {
            if (meta->method(m).name() == name)
                return true;
        }
        return false;
    };
    int failed = 0;
    for (auto &t : tests) {
        std::vector<char *> args{argv[0]};
        bool named = false;
        bool ours = false;
        for (int i = 1; i < argc; ++i) {
            bool function = false;
            for (auto &any : tests)
                function = function || (argv[i][0] != '-' && has(any.get(), argv[i]));
            named = named || function;
            if (!function || has(t.get(), argv[i])) {
                args.push_back(argv[i]);
                ours = ours || function;
            }
        }
        if (!named || ours)
            failed += QTest::qExec(t.get(), int(args.size()), args.data());
    }
    return failed;
}
