// The crash path: a child process that really crashes writes its dump, shows
// its message through the box program and ends with 128 + the signal.
#include "CrashHandler.h"
#include "CrashMessage.h"
#include "ModalDriver.h"
#include "TempEnvironment.h"

#include <QtTest>

#include <csignal>
#include <cstring>

namespace {

const QString kMessageStart = QStringLiteral("程序发生异常错误，请将目录下面的");
const QString kMessageEnd = QStringLiteral("文件提供给技术人员！");

// The name "mvShow_YYYY-MMDD-HHMM-SS.dmp" read back as a local time; invalid
// when the name has another form.
QDateTime timeOfDumpName(const QString &name)
{
    static const QRegularExpression form(
        QStringLiteral("^mvShow_(\\d{4})-(\\d{2})(\\d{2})-(\\d{2})(\\d{2})-(\\d{2})\\.dmp$"));
    const QRegularExpressionMatch m = form.match(name);
    if (!m.hasMatch())
        return QDateTime();
    return QDateTime(QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()),
                     QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt()));
}

} // namespace

class TestCrash : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void crashWritesDumpShowsBoxAndEnds_data();
    void crashWritesDumpShowsBoxAndEnds();
    void unwritableProgramFolderDumpsIntoLogFolder();
    void failingHandlerStillEndsTheProcess_data();
    void failingHandlerStillEndsTheProcess();

    void dumpFileName_data();
    void dumpFileName();
    void messageBoxShowsTitleAndText();
    void boxProgramEndsWhereNoScreenShowsIt();

private:
    // Copies the helper in as "mvShow" (and the box stand-in beside it) and
    // starts it; waits for its "installed".
    bool startProgram(QProcess &process, const QString &kind, const QStringList &extra = {});
    QString programDir() const { return m_env->root() + QStringLiteral("/program"); }

    QScopedPointer<testsupport::TempEnvironment> m_env;
    QByteArray m_said; // the program's output up to "installed"
};

void TestCrash::init()
{
    m_env.reset(new testsupport::TempEnvironment);
    QVERIFY(m_env->isValid());
}

void TestCrash::cleanup()
{
    m_env.reset();
}

bool TestCrash::startProgram(QProcess &process, const QString &kind, const QStringList &extra)
{
    if (!QDir().mkpath(programDir()))
        return false;
    if (!QFile::copy(QStringLiteral(CRASH_HELPER_PATH), programDir() + QStringLiteral("/mvShow"))
        || !QFile::copy(QStringLiteral(CRASHBOX_RECORDER_PATH),
                        programDir() + QLatin1Char('/') + QLatin1String(mvplatform::CrashMessage::boxProgramName())))
        return false;
    process.setProgram(programDir() + QStringLiteral("/mvShow"));
    process.setArguments(QStringList{kind} + extra);
    process.start();
    if (!process.waitForStarted(10000))
        return false;
    m_said.clear();
    for (;;) {
        while (process.canReadLine()) {
            const QByteArray line = process.readLine();
            m_said += line;
            if (line.startsWith("installed"))
                return true;
        }
        if (!process.waitForReadyRead(20000))
            return false;
    }
}

void TestCrash::crashWritesDumpShowsBoxAndEnds_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("signalLine");
    QTest::addColumn<QString>("addressLine"); // empty: any address other than none
    QTest::newRow("segv") << "segv" << int(SIGSEGV) << "signal: 11 (SIGSEGV)" << "address: 0x0000000000000010";
    QTest::newRow("stack overflow") << "overflow" << int(SIGSEGV) << "signal: 11 (SIGSEGV)" << QString();
    // Every thread the program starts has an alternate stack of its own.
    QTest::newRow("overflow on a pool worker") << "overflow-worker" << int(SIGSEGV) << "signal: 11 (SIGSEGV)" << QString();
    QTest::newRow("overflow on the job thread") << "overflow-job" << int(SIGSEGV) << "signal: 11 (SIGSEGV)" << QString();
    QTest::newRow("overflow on a callback thread") << "overflow-callback" << int(SIGSEGV) << "signal: 11 (SIGSEGV)" << QString();
    QTest::newRow("bus") << "bus" << int(SIGBUS) << "signal: 7 (SIGBUS)" << QString();
    QTest::newRow("fpe") << "fpe" << int(SIGFPE) << "signal: 8 (SIGFPE)" << QString();
    QTest::newRow("ill") << "ill" << int(SIGILL) << "signal: 4 (SIGILL)" << QString();
    QTest::newRow("abort") << "abort" << int(SIGABRT) << "signal: 6 (SIGABRT)" << "address: none";
}

void TestCrash::crashWritesDumpShowsBoxAndEnds()
{
    QFETCH(QString, kind);
    QFETCH(int, signal);
    QFETCH(QString, signalLine);
    QFETCH(QString, addressLine);

    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    QProcess program;
    QVERIFY(startProgram(program, kind));
    QVERIFY(program.waitForFinished(30000));
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);
    const QString out = QString::fromUtf8(m_said + program.readAllStandardOutput());
    const QString err = QString::fromUtf8(program.readAllStandardError());

    if (kind.startsWith(QLatin1String("overflow-"))) {
        // The thread's alternate stack is the filter's own (256 KiB), not a
        // smaller one a sanitizer may have set up for the thread.
        const QRegularExpressionMatch said = QRegularExpression(QStringLiteral("altstack ([0-9]+)")).match(out);
        QVERIFY2(said.hasMatch(), qPrintable(out));
        QVERIFY2(said.captured(1).toULongLong() >= 256 * 1024, qPrintable(said.captured(0)));
    }
    // The process ended itself, with 128 + the signal.
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 128 + signal);

    // One dump beside the program, named by the local time of the crash.
    const QStringList dumps = QDir(programDir()).entryList({QStringLiteral("*.dmp")}, QDir::Files);
    QCOMPARE(dumps.size(), 1);
    const QString name = dumps.first();
    const QDateTime at = timeOfDumpName(name);
    QVERIFY2(at.isValid(), qPrintable(name));
    QVERIFY2(at >= before.addMSecs(-before.time().msec()) && at <= after, qPrintable(name));

    QFile dump(programDir() + QLatin1Char('/') + name);
    QVERIFY(dump.open(QIODevice::ReadOnly));
    QCOMPARE(dump.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
    const QStringList lines = QString::fromUtf8(dump.readAll()).split(QLatin1Char('\n'));
    QVERIFY2(lines.size() > 8, qPrintable(lines.join(QLatin1Char('\n'))));
    QCOMPARE(lines.at(0), QStringLiteral("MorvaShow crash dump"));
    QCOMPARE(lines.at(1), signalLine);
    QVERIFY(lines.at(2).startsWith(QStringLiteral("code: ")));
    if (addressLine.isEmpty()) {
        QVERIFY2(QRegularExpression(QStringLiteral("^address: 0x[0-9a-f]{16}$")).match(lines.at(3)).hasMatch(),
                 qPrintable(lines.at(3)));
        QVERIFY(lines.at(3) != QStringLiteral("address: 0x0000000000000000"));
    } else {
        QCOMPARE(lines.at(3), addressLine);
    }
    if (kind == QLatin1String("bus")) {
        // The address is that of the page past the file's end.
        const QRegularExpressionMatch page = QRegularExpression(QStringLiteral("page 0x([0-9a-f]+)")).match(out);
        QVERIFY(page.hasMatch());
        QCOMPARE(lines.at(3).mid(11).toULongLong(nullptr, 16), page.captured(1).toULongLong(nullptr, 16));
    }
    QCOMPARE(lines.at(4), QStringLiteral("backtrace:"));
    const int maps = lines.indexOf(QStringLiteral("maps:"));
    QVERIFY2(maps > 5, "at least one frame");
    const QString programPath = programDir() + QStringLiteral("/mvShow");
    bool mapsProgram = false;
    for (int i = maps + 1; i < lines.size(); ++i)
        mapsProgram = mapsProgram || lines.at(i).endsWith(programPath);
    QVERIFY2(mapsProgram, "the memory map names the program file");

    // The box was shown after the dump was complete, and the process waited
    // for it; the text also went to the error output.
    const QString message = kMessageStart + name + kMessageEnd;
    QVERIFY2(out.contains(QStringLiteral("box|Dump|") + message + QLatin1Char('|') + name + QStringLiteral("|\n")),
             qPrintable(out));
    QVERIFY2(err.contains(QStringLiteral("Dump: ") + message + QLatin1Char('\n')), qPrintable(err));
}

void TestCrash::unwritableProgramFolderDumpsIntoLogFolder()
{
    QProcess program;
    QVERIFY(startProgram(program, QStringLiteral("segv"), {QStringLiteral("--wait")}));
    // The program's folder goes away under the running program.
    const QString moved = m_env->root() + QStringLiteral("/moved");
    QVERIFY(QDir().rename(programDir(), moved));
    program.write("go\n");
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitCode(), 128 + SIGSEGV);

    const QString logFolder = m_env->tempPath() + QStringLiteral("/MorvaShow");
    const QStringList dumps = QDir(logFolder).entryList({QStringLiteral("*.dmp")}, QDir::Files);
    QCOMPARE(dumps.size(), 1);
    QVERIFY(timeOfDumpName(dumps.first()).isValid());
    QFile dump(logFolder + QLatin1Char('/') + dumps.first());
    QVERIFY(dump.open(QIODevice::ReadOnly));
    QVERIFY(dump.readLine().startsWith("MorvaShow crash dump"));

    // The box program went with the folder: the message still reaches the
    // error output, naming the whole path.
    const QString err = QString::fromUtf8(program.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("Dump: ") + kMessageStart + logFolder + QLatin1Char('/') + dumps.first()
                          + kMessageEnd + QLatin1Char('\n')),
             qPrintable(err));
    QVERIFY(!program.readAllStandardOutput().contains("box|"));
}

void TestCrash::failingHandlerStillEndsTheProcess_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("killed");
    QTest::addColumn<int>("code"); // exit code when not killed
    // The default action of the signal, as without the filter.
    QTest::newRow("handler returns") << "filter-returns" << true << int(SIGSEGV);
    // The abort inside the handler ends the process instead of waiting for
    // the handler it interrupted.
    QTest::newRow("handler aborts") << "filter-aborts" << false << 128 + SIGABRT;
}

void TestCrash::failingHandlerStillEndsTheProcess()
{
    QFETCH(QString, kind);
    QFETCH(bool, killed);
    QFETCH(int, code);
    QProcess program;
    QVERIFY(startProgram(program, kind));
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), killed ? QProcess::CrashExit : QProcess::NormalExit);
    if (!killed)
        QCOMPARE(program.exitCode(), code);
    QVERIFY(QDir(programDir()).entryList({QStringLiteral("*.dmp")}, QDir::Files).isEmpty());
}

void TestCrash::dumpFileName_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QDateTime>("local");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("name");
    const auto at = [](int y, int mo, int d, int h, int mi, int s) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
    };
    QTest::newRow("afternoon") << "MvShow" << at(2017, 11, 9, 15, 30, 12) << 64 << "MvShow_2017-1109-1530-12.dmp";
    QTest::newRow("first second") << "mvShow" << at(1970, 1, 1, 0, 0, 0) << 64 << "mvShow_1970-0101-0000-00.dmp";
    QTest::newRow("before 1970") << "mvShow" << at(1969, 12, 31, 23, 59, 59) << 64 << "mvShow_1969-1231-2359-59.dmp";
    QTest::newRow("leap day") << "mvShow" << at(2020, 2, 29, 23, 59, 59) << 64 << "mvShow_2020-0229-2359-59.dmp";
    QTest::newRow("after 2000's leap day") << "mvShow" << at(2000, 3, 1, 0, 0, 1) << 64 << "mvShow_2000-0301-0000-01.dmp";
    QTest::newRow("no leap day in 2100") << "mvShow" << at(2100, 3, 1, 8, 5, 9) << 64 << "mvShow_2100-0301-0805-09.dmp";
    QTest::newRow("year end") << "mvShow" << at(2026, 12, 31, 23, 0, 0) << 64 << "mvShow_2026-1231-2300-00.dmp";
    QTest::newRow("cut to fit") << "mvShow" << at(2017, 11, 9, 15, 30, 12) << 11 << "mvShow_201";
}

void TestCrash::dumpFileName()
{
    QFETCH(QString, program);
    QFETCH(QDateTime, local);
    QFETCH(int, size);
    QFETCH(QString, name);
    char out[64];
    std::memset(out, 'x', sizeof(out));
    CrashHandler::dumpFileName(program.toUtf8().constData(), local.toSecsSinceEpoch(), out, std::size_t(size));
    QCOMPARE(QString::fromUtf8(out), name);
    if (size < int(sizeof(out)))
        QCOMPARE(out[size], 'x'); // nothing written past the buffer
}

void TestCrash::messageBoxShowsTitleAndText()
{
    testsupport::ModalDriver driver;
    QWidget *shown = nullptr;
    Qt::WindowFlags flags;
    driver.onNext([&](QWidget *box) {
        shown = box;
        flags = box->windowFlags();
        testsupport::ModalDriver::press(box, QStringLiteral("OK"));
    });
    mvplatform::CrashMessage::runBox(QStringLiteral("Dump"), kMessageStart + QStringLiteral("mvShow_2017-1109-1530-12.dmp") + kMessageEnd);
    QVERIFY(driver.waitDone());
    QVERIFY2(driver.errors().isEmpty(), qPrintable(driver.errors().join(QLatin1Char('\n'))));
    QVERIFY(shown);
    QCOMPARE(driver.last().windowTitle, QStringLiteral("Dump"));
    QCOMPARE(driver.last().text(QStringLiteral("qt_msgbox_label")),
             QStringLiteral("程序发生异常错误，请将目录下面的mvShow_2017-1109-1530-12.dmp文件提供给技术人员！"));
    QCOMPARE(driver.last().buttons, QStringList{QStringLiteral("OK")});
    QVERIFY(flags & Qt::WindowStaysOnTopHint);
}

void TestCrash::boxProgramEndsWhereNoScreenShowsIt()
{
    QProcess box;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    box.setProcessEnvironment(env);
    box.start(QStringLiteral(CRASHBOX_PATH), {QStringLiteral("Dump"), QStringLiteral("text")});
    QVERIFY(box.waitForFinished(30000));
    QCOMPARE(box.exitStatus(), QProcess::NormalExit);
    QCOMPARE(box.exitCode(), 0);
}

QTEST_MAIN(TestCrash)
#include "tst_crash.moc"
