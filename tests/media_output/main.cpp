#include <QGuiApplication>
#include <QMetaMethod>
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
    // Test functions named on the command line run in the object that has
    // them; the other objects are left out instead of failing on the name.
    QStringList named;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-')
            named << QString::fromLocal8Bit(argv[i]).section(':', 0, 0);
    }
    int failed = 0;
    for (auto &t : tests) {
        bool has = named.isEmpty();
        const QMetaObject *meta = t->metaObject();
        for (int m = meta->methodOffset(); m < meta->methodCount() && !has; ++m)
            has = named.contains(QString::fromLatin1(meta->method(m).name()));
        if (has)
            failed += QTest::qExec(t.get(), argc, argv);
    }
    return failed;
}
