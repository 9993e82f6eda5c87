#include "MvSingleApp.h"
#include "ProcessList.h"
#include "TempEnvironment.h"

#include <QtTest>

#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

// One start of the helper program, with what it has said so far.
class Start
{
public:
    Start(const QString &program, const QStringList &args)
    {
        m_process.setProgram(program);
        m_process.setArguments(args);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
    }
    ~Start()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(5000);
            }
        }
    }

    QProcess &process() { return m_process; }

    QStringList lines()
    {
        m_output += m_process.readAllStandardOutput();
        m_errors += m_process.readAllStandardError();
        return QString::fromUtf8(m_output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // Index of the first line at or after `from` that starts with the text,
    // -1 when there is none yet.
    int find(const QString &start, int from = 0)
    {
        const QStringList all = lines();
        for (int i = from; i < all.size(); ++i) {
            if (all[i].startsWith(start))
                return i;
        }
        return -1;
    }
    bool said(const QString &start, int from = 0) { return find(start, from) >= 0; }
    // What it said, and its error output, for a failure message.
    QString text()
    {
        const QString said = lines().join(QLatin1String(" | "));
        return said + QLatin1String(" || stderr: ") + QString::fromUtf8(m_errors.right(2000));
    }

private:
    QProcess m_process;
    QByteArray m_output;
    QByteArray m_errors;
};

QString helperPath(bool asProgram)
{
    return QString::fromUtf8(asProgram ? HELPER_AS_PROGRAM_PATH : HELPER_PATH);
}

const char kServerName[] = "9FCBAA25-D362-49A9-9D8B-8BF86D19AA13";

// The program's folder in the temporary folder, which the daily log shares.
QString programFolder()
{
    return QDir::tempPath() + QStringLiteral("/MorvaShow");
}

QString socketPath()
{
    return programFolder() + QLatin1Char('/') + QLatin1String(kServerName);
}

// This user's folder beside the program's folder when that one is another
// user's.
QString ownFolder()
{
    return programFolder() + QLatin1Char('-') + QString::number(::geteuid());
}

// A socket file left by a process that ended without closing its server.
bool makeDeadSocket(const QString &path)
{
    const QByteArray p = QFile::encodeName(path);
    sockaddr_un addr;
    std::memset(&addr, 0, sizeof(addr));
    addr.sun_family = AF_UNIX;
    if (p.size() >= int(sizeof(addr.sun_path)))
        return false;
    std::memcpy(addr.sun_path, p.constData(), p.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof(addr)) == 0;
    ::close(fd);
    return bound;
}

} // namespace

class TestSingleApp : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void secondStartEndsAndFirstRaises_data();
    void secondStartEndsAndFirstRaises();
    void sameExecutableCountsEvenWhenServerIsSilent();
    void copyWithAnotherTempFolderIsNoOtherCopy();
    void staleSocketDoesNotStopListening_data();
    void staleSocketDoesNotStopListening();
    void knockWithoutMainWindowRaisesNothing();
    void everyKnockIsAnswered();
    void processListCountsByExactExecutableName();
    void burstOfStartsLeavesExactlyOne_data();
    void burstOfStartsLeavesExactlyOne();
    void anotherUsersCopyDoesNotBlockThisUsers();

private:
    Start *start(bool asProgram, const QStringList &args = QStringList());
    bool programNameIsFree();

    std::unique_ptr<testsupport::TempEnvironment> m_env;
    std::vector<std::unique_ptr<Start>> m_starts;
};

void TestSingleApp::init()
{
    // The socket file lives in the temporary folder, so each test (and its
    // helper processes, which inherit TMPDIR) has its own.
    m_env.reset(new testsupport::TempEnvironment);
    QVERIFY(m_env->isValid());
}

void TestSingleApp::cleanup()
{
    m_starts.clear();
    m_env.reset();
}

Start *TestSingleApp::start(bool asProgram, const QStringList &args)
{
    m_starts.emplace_back(new Start(helperPath(asProgram), args));
    Start *s = m_starts.back().get();
    if (!s->process().waitForStarted(10000))
        return nullptr;
    return s;
}

bool TestSingleApp::programNameIsFree()
{
    return mvplatform::ProcessList::countByExecutableName(QStringLiteral("mvShow")) == 0;
}

void TestSingleApp::secondStartEndsAndFirstRaises_data()
{
    QTest::addColumn<bool>("asProgram");
    QTest::newRow("under the program's name (process list)") << true;
    QTest::newRow("under another name (local socket)") << false;
}

void TestSingleApp::secondStartEndsAndFirstRaises()
{
    QFETCH(bool, asProgram);
    if (asProgram && !programNameIsFree())
        QSKIP("a process named mvShow already runs for this user");

    Start *first = start(asProgram, {QStringLiteral("--minimized")});
    QVERIFY(first);
    QTRY_VERIFY2(first->said("ready"), qPrintable(first->text()));
    QVERIFY2(first->said("first listening=1"), qPrintable(first->text()));
    QVERIFY2(first->said("server=" + socketPath()), qPrintable(first->text()));
    QVERIFY(first->said("others=0"));
    const int ready = first->find("ready");

    Start *second = start(asProgram);
    QVERIFY(second);
    QVERIFY(second->process().waitForFinished(20000));
    QCOMPARE(second->process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->process().exitCode(), 0);
    const int at = second->find("second ");
    QVERIFY2(at >= 0, qPrintable(second->text()));
    // The decision itself, without the process start-up, takes well under a
    // second when the first copy answers.
    const int decidedMs = second->lines().at(at).mid(7).toInt();
    QVERIFY2(decidedMs < 1000, qPrintable(second->text()));
    QVERIFY(second->said(asProgram ? "others=1" : "others=0"));

    // The first copy restores its minimised window and activates it.
    QTRY_VERIFY2(first->said("connection 1"), qPrintable(first->text()));
    QTRY_VERIFY2(first->said("state minimized=0", ready), qPrintable(first->text()));
    QTRY_VERIFY2(first->said("active", ready), qPrintable(first->text()));
    QCOMPARE(first->process().state(), QProcess::Running);
}

void TestSingleApp::sameExecutableCountsEvenWhenServerIsSilent()
{
    if (!programNameIsFree())
        QSKIP("a process named mvShow already runs for this user");

    Start *first = start(true, {QStringLiteral("--close-server")});
    QVERIFY(first);
    QTRY_VERIFY2(first->said("ready"), qPrintable(first->text()));

    // Same executable name: a second copy although nothing answers.
    Start *second = start(true);
    QVERIFY(second);
    QVERIFY(second->process().waitForFinished(20000));
    QCOMPARE(second->process().exitCode(), 0);
    QVERIFY2(second->said("second "), qPrintable(second->text()));

    // Another name is not counted, and with no answer it becomes a first copy.
    Start *other = start(false);
    QVERIFY(other);
    QTRY_VERIFY2(other->said("ready"), qPrintable(other->text()));
    QVERIFY2(other->said("first listening=1"), qPrintable(other->text()));
}

void TestSingleApp::copyWithAnotherTempFolderIsNoOtherCopy()
{
    if (!programNameIsFree())
        QSKIP("a process named mvShow already runs for this user");
    using mvplatform::ProcessList;

    // A copy of the same user elsewhere, e.g. a test run beside a running
    // program: its temporary folder, socket and log are its own.
    const QByteArray ours = qgetenv("TMPDIR");
    const QString elsewhere = QDir::tempPath() + QStringLiteral("/elsewhere");
    QVERIFY(QDir().mkpath(elsewhere));
    qputenv("TMPDIR", QFile::encodeName(elsewhere));
    Start *other = start(true);
    qputenv("TMPDIR", ours);
    QVERIFY(other);
    QTRY_VERIFY2(other->said("ready"), qPrintable(other->text()));
    QCOMPARE(ProcessList::countByExecutableName(QStringLiteral("mvShow")), 1);
    QCOMPARE(ProcessList::countByExecutableName(QStringLiteral("mvShow"), ProcessList::Started::Any, "TMPDIR"), 0);

    // A start here is the first copy of this folder.
    Start *here = start(true);
    QVERIFY(here);
    QTRY_VERIFY2(here->said("ready"), qPrintable(here->text()));
    QVERIFY2(here->said("first listening=1"), qPrintable(here->text()));
    QCOMPARE(ProcessList::countByExecutableName(QStringLiteral("mvShow"), ProcessList::Started::Any, "TMPDIR"), 1);
}

void TestSingleApp::staleSocketDoesNotStopListening_data()
{
    QTest::addColumn<bool>("deadSocket");
    QTest::addColumn<bool>("leftoverLock");
    QTest::newRow("socket of a crashed copy") << true << false;
    QTest::newRow("plain file of the server's name") << false << false;
    // A start that died while deciding, with its lock file half written.
    QTest::newRow("socket and lock file of a crashed start") << true << true;
}

void TestSingleApp::staleSocketDoesNotStopListening()
{
    QFETCH(bool, deadSocket);
    QFETCH(bool, leftoverLock);
    QVERIFY(QDir().mkpath(programFolder()));
    if (leftoverLock) {
        QFile lock(socketPath() + QStringLiteral(".lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write("garbage");
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
    }
    if (deadSocket) {
        QVERIFY(makeDeadSocket(socketPath()));
    } else {
        QFile f(socketPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("left over");
    }
    QVERIFY(QFile::exists(socketPath()));

    Start *first = start(false);
    QVERIFY(first);
    QTRY_VERIFY2_WITH_TIMEOUT(first->said("ready"), qPrintable(first->text()), 30000);
    QVERIFY2(first->said("first listening=1"), qPrintable(first->text()));

    // The recovered server answers the next start.
    Start *second = start(false);
    QVERIFY(second);
    QVERIFY(second->process().waitForFinished(20000));
    QCOMPARE(second->process().exitCode(), 0);
    QVERIFY2(second->said("second "), qPrintable(second->text()));
    QTRY_VERIFY2(first->said("connection 1"), qPrintable(first->text()));
}

void TestSingleApp::knockWithoutMainWindowRaisesNothing()
{
    Start *first = start(false, {QStringLiteral("--no-window"), QStringLiteral("--minimized")});
    QVERIFY(first);
    QTRY_VERIFY2(first->said("ready"), qPrintable(first->text()));
    const int ready = first->find("ready");

    Start *second = start(false);
    QVERIFY(second);
    QVERIFY(second->process().waitForFinished(20000));
    QCOMPARE(second->process().exitCode(), 0);
    QTRY_VERIFY2(first->said("connection 1"), qPrintable(first->text()));

    // Still alive and still answering; the window was left alone.
    QLocalSocket knock;
    knock.connectToServer(socketPath());
    QVERIFY(knock.waitForConnected(5000));
    QTRY_VERIFY2(first->said("connection 2"), qPrintable(first->text()));
    QCOMPARE(first->process().state(), QProcess::Running);
    QVERIFY2(!first->said("state minimized=0", ready), qPrintable(first->text()));
    QVERIFY2(!first->said("active", ready), qPrintable(first->text()));
}

void TestSingleApp::everyKnockIsAnswered()
{
    Start *first = start(false);
    QVERIFY(first);
    QTRY_VERIFY2(first->said("ready"), qPrintable(first->text()));

    // More knocks than the server keeps waiting (30): each is accepted and
    // closed, so the server never stops listening for the next start.
    const int knocks = 40;
    for (int i = 1; i <= knocks; ++i) {
        QLocalSocket knock;
        knock.connectToServer(socketPath());
        QVERIFY(knock.waitForConnected(5000));
        const QString answered = QStringLiteral("connection %1").arg(i);
        QTRY_VERIFY2(first->said(answered), qPrintable(first->text()));
    }
}

void TestSingleApp::processListCountsByExactExecutableName()
{
    using mvplatform::ProcessList;
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QCOMPARE(ProcessList::countByExecutableName(self), 1);
    QCOMPARE(ProcessList::countByExecutableName(self.left(self.size() - 1)), 0);
    QCOMPARE(ProcessList::countByExecutableName(QString()), 0);
    QCOMPARE(ProcessList::countByExecutableName(QStringLiteral("no-such-program-here")), 0);
    QVERIFY(!HasOtherInstanceProcess(self)); // only this one

    if (!programNameIsFree())
        QSKIP("a process named mvShow already runs for this user");
    Start *copy = start(true, {QStringLiteral("--no-window")});
    QVERIFY(copy);
    QTRY_VERIFY2(copy->said("ready"), qPrintable(copy->text()));
    QCOMPARE(ProcessList::countByExecutableName(QStringLiteral("mvShow")), 1);
    QVERIFY(!HasOtherInstanceProcess(QStringLiteral("mvShow"))); // one is not "another"
    Start *later = start(true, {QStringLiteral("--no-window")});
    QVERIFY(later);
    QVERIFY(later->process().waitForFinished(20000));
    QVERIFY2(later->said("others=1"), qPrintable(later->text()));
    // Both copies started after this process: neither counts for it.
    QCOMPARE(ProcessList::countByExecutableName(QStringLiteral("mvShow"), ProcessList::Started::NoLaterThanSelf), 0);
    m_starts.clear();
    // An ended copy is not counted.
    QTRY_COMPARE(ProcessList::countByExecutableName(QStringLiteral("mvShow")), 0);
}

void TestSingleApp::burstOfStartsLeavesExactlyOne_data()
{
    QTest::addColumn<bool>("asProgram");
    QTest::addColumn<int>("copies");
    QTest::addColumn<int>("gapMs");
    QTest::newRow("ten at once under the program's name") << true << 10 << 0;
    QTest::newRow("ten at once under another name") << false << 10 << 0;
    QTest::newRow("two 10 ms apart under the program's name") << true << 2 << 10;
    QTest::newRow("two 10 ms apart under another name") << false << 2 << 10;
}

void TestSingleApp::burstOfStartsLeavesExactlyOne()
{
    QFETCH(bool, asProgram);
    QFETCH(int, copies);
    QFETCH(int, gapMs);
    if (asProgram && !programNameIsFree())
        QSKIP("a process named mvShow already runs for this user");

    std::vector<Start *> burst;
    for (int i = 0; i < copies; ++i) {
        if (i > 0 && gapMs > 0)
            QThread::msleep(gapMs);
        m_starts.emplace_back(new Start(helperPath(asProgram), {QStringLiteral("--no-window")}));
        burst.push_back(m_starts.back().get());
    }
    // Each copy either becomes the first one or ends as a second one.
    auto decided = [&] {
        for (Start *s : burst) {
            if (!s->said("ready") && s->process().state() != QProcess::NotRunning)
                return false;
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(decided(), 60000);

    Start *first = nullptr;
    int seconds = 0;
    for (Start *s : burst) {
        if (s->said("first ")) {
            if (first)
                QFAIL(qPrintable(QLatin1String("two first copies: ") + first->text() + QLatin1String(" ### ") + s->text()));
            first = s;
        } else {
            QCOMPARE(s->process().exitStatus(), QProcess::NormalExit);
            QCOMPARE(s->process().exitCode(), 0);
            QVERIFY2(s->said("second "), qPrintable(s->text()));
            ++seconds;
        }
    }
    QVERIFY2(first, "no copy is left running");
    QCOMPARE(seconds, copies - 1);
    QCOMPARE(first->process().state(), QProcess::Running);
    QVERIFY2(first->said("first listening=1"), qPrintable(first->text()));
    QVERIFY2(first->said("server=" + socketPath()), qPrintable(first->text()));

    // The survivor holds the server name: a knock there reaches it.
    const int before = first->lines().filter(QRegularExpression(QStringLiteral("^connection "))).size();
    QLocalSocket knock;
    knock.connectToServer(socketPath());
    QVERIFY(knock.waitForConnected(5000));
    QTRY_VERIFY2(first->said(QStringLiteral("connection %1").arg(before + 1)), qPrintable(first->text()));
}

void TestSingleApp::anotherUsersCopyDoesNotBlockThisUsers()
{
    // Another user's copy runs: its server listens in its own program folder
    // and, as earlier builds placed it, straight in the temporary folder.
    const QString theirFolderSocket = socketPath();
    const QString theirTempSocket = QDir::tempPath() + QLatin1Char('/') + QLatin1String(kServerName);
    QVERIFY(QDir().mkpath(programFolder()));
    QLocalServer theirs;
    QLocalServer theirsOlder;
    QVERIFY(theirs.listen(theirFolderSocket));
    QVERIFY(theirsOlder.listen(theirTempSocket));
    QVERIFY(m_env->makeForeign(theirFolderSocket));
    QVERIFY(m_env->makeForeign(theirTempSocket));
    QVERIFY(m_env->makeForeign(programFolder()));

    // This user's first copy listens in this user's own folder...
    const QString mySocket = ownFolder() + QLatin1Char('/') + QLatin1String(kServerName);
    Start *first = start(false);
    QVERIFY(first);
    QTRY_VERIFY2(first->said("ready"), qPrintable(first->text()));
    QVERIFY2(first->said("first listening=1"), qPrintable(first->text()));
    QVERIFY2(first->said("server=" + mySocket), qPrintable(first->text()));

    // ... and this user's second start finds it there.
    Start *second = start(false);
    QVERIFY(second);
    QVERIFY(second->process().waitForFinished(20000));
    QVERIFY2(second->said("second "), qPrintable(second->text()));
    QTRY_VERIFY2(first->said("connection 1"), qPrintable(first->text()));

    // The other user's copy was never knocked at (a knock would wait in the
    // backlog, taken here without waiting), and its socket is still there.
    for (QLocalServer *server : {&theirs, &theirsOlder}) {
        server->waitForNewConnection(0);
        QVERIFY(!server->hasPendingConnections());
    }
    QVERIFY(QFileInfo::exists(theirFolderSocket));
}

QTEST_MAIN(TestSingleApp)
#include "tst_singleapp.moc"
