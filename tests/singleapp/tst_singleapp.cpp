#include "MvSingleApp.h"
#include "ProcessList.h"
#include "TempEnvironment.h"

#include <QtTest>

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

QString socketPath()
{
    return QDir::tempPath() + QLatin1Char('/') + QLatin1String(MvSingleApp::ServerName);
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
    void staleSocketDoesNotStopListening_data();
    void staleSocketDoesNotStopListening();
    void knockWithoutMainWindowRaisesNothing();
    void everyKnockIsAnswered();
    void processListCountsByExactExecutableName();

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

void TestSingleApp::staleSocketDoesNotStopListening_data()
{
    QTest::addColumn<bool>("deadSocket");
    QTest::newRow("socket of a crashed copy") << true;
    QTest::newRow("plain file of the server's name") << false;
}

void TestSingleApp::staleSocketDoesNotStopListening()
{
    QFETCH(bool, deadSocket);
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
    QTRY_VERIFY2(first->said("ready"), qPrintable(first->text()));
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
    knock.connectToServer(QLatin1String(MvSingleApp::ServerName));
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
        knock.connectToServer(QLatin1String(MvSingleApp::ServerName));
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
    m_starts.clear();
    // An ended copy is not counted.
    QTRY_COMPARE(ProcessList::countByExecutableName(QStringLiteral("mvShow")), 0);
}

QTEST_MAIN(TestSingleApp)
#include "tst_singleapp.moc"
