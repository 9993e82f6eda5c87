#include "Logger.h"
#include "QtMessageLog.h"
#include "TextHelpers.h"

#include "LogCapture.h"
#include "TempEnvironment.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

using testsupport::LogCapture;
using testsupport::TempEnvironment;

namespace {

const QRegularExpression kLinePattern(QStringLiteral(
    "^\\[(\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3})\\] \\[(LOG_[A-Z]+)\\] \\{(.*)\\}$"));

// A wall clock that answers a fixed series of readings, then repeats the last.
std::vector<int64_t> g_readings;
size_t g_next = 0;
int64_t scriptedClock()
{
    const int64_t v = g_readings[std::min(g_next, g_readings.size() - 1)];
    ++g_next;
    return v;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Points the process's standard error at a file while it lives.
class StderrToFile
{
public:
    explicit StderrToFile(const QString &path)
        : m_path(path)
    {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~StderrToFile() { restore(); }
    // Puts the old stream back and answers what was written meanwhile.
    QByteArray restore()
    {
        if (m_saved >= 0) {
            std::fflush(stderr);
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
            m_saved = -1;
        }
        return readAll(m_path);
    }

private:
    QString m_path;
    int m_saved = -1;
};

// A widget as a form makes it: one slot that names a child's signal and one
// that names none.
class SlotsByName : public QObject
{
    Q_OBJECT
public slots:
    void on_button_objectNameChanged(const QString &) {}
    void on_cell_clicked(int, int) {}
};

} // namespace

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void lineHasStampLevelAndText();
    void levelBelowMinimumIsDropped_data();
    void levelBelowMinimumIsDropped();
    void levelNames_data();
    void levelNames();
    void dayFileCreatedInMorvaShowFolder();
    void missingParentsAreCreated();
    void emptyFormatWritesEmptyLine();
    void chineseTextArrivesAsUtf8();
    void malformedUtf8BecomesReplacementCharacter();
    void longTextIsCutOnWholeCharacter_data();
    void longTextIsCutOnWholeCharacter();
    void oneClockReadingPerLine();
    void unwritableFolderLosesLineQuietly();
    void anotherUsersFolderIsLeftAlone_data();
    void anotherUsersFolderIsLeftAlone();
    void concurrentWritersLeaveWholeLines();

    void qtMessagesGoToTheLog_data();
    void qtMessagesGoToTheLog();
    void unmatchedSlotNamesStayInTheLog();

private:
    std::unique_ptr<TempEnvironment> m_env;
};

void TestLogger::init()
{
    m_env.reset(new TempEnvironment);
    QVERIFY(m_env->isValid());
    Logger::instance()->setLevel(Logger::LOG_DEBUG);
    Logger::setClockForTesting(nullptr);
}

void TestLogger::cleanup()
{
    Logger::setClockForTesting(nullptr);
    Logger::instance()->setLevel(Logger::LOG_DEBUG);
    m_env.reset();
}

void TestLogger::lineHasStampLevelAndText()
{
    const QDateTime before = QDateTime::currentDateTime();
    Logger::instance()->write(Logger::LOG_INFO, "user %s logged in, code %d, %.2f%%", "alice", 7, 12.5);
    const QDateTime after = QDateTime::currentDateTime();

    const QStringList lines = LogCapture::lines();
    QCOMPARE(lines.size(), 1);
    const QRegularExpressionMatch m = kLinePattern.match(lines.first());
    QVERIFY2(m.hasMatch(), qPrintable(lines.first()));
    QCOMPARE(m.captured(2), QStringLiteral("LOG_INFO"));
    QCOMPARE(m.captured(3), QStringLiteral("user alice logged in, code 7, 12.50%"));
    const QDateTime stamp = QDateTime::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    QVERIFY(stamp.isValid());
    QVERIFY2(before <= stamp && stamp <= after, qPrintable(m.captured(1)));
}

void TestLogger::levelBelowMinimumIsDropped_data()
{
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("written");
    QTest::newRow("start-up level drops debug") << 1 << 0 << false;
    QTest::newRow("start-up level keeps info") << 1 << 1 << true;
    QTest::newRow("start-up level keeps warn") << 1 << 2 << true;
    QTest::newRow("start-up level keeps error") << 1 << 3 << true;
    QTest::newRow("start-up level keeps fatal") << 1 << 4 << true;
    QTest::newRow("default level keeps debug") << 0 << 0 << true;
    QTest::newRow("error level drops warn") << 3 << 2 << false;
    QTest::newRow("negative level dropped") << 0 << -1 << false;
    QTest::newRow("level above fatal kept") << 1 << 9 << true;
}

void TestLogger::levelBelowMinimumIsDropped()
{
    QFETCH(int, minimum);
    QFETCH(int, level);
    QFETCH(bool, written);
    Logger::instance()->setLevel(minimum);
    Logger::instance()->write(level, "probe %d", level);
    QCOMPARE(LogCapture::lines().size(), written ? 1 : 0);
    QCOMPARE(QFile::exists(LogCapture::todayPath()), written);
}

void TestLogger::levelNames_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("name");
    QTest::newRow("0") << 0 << "LOG_DEBUG";
    QTest::newRow("1") << 1 << "LOG_INFO";
    QTest::newRow("2") << 2 << "LOG_WARN";
    QTest::newRow("3") << 3 << "LOG_ERROR";
    QTest::newRow("4") << 4 << "LOG_FATAL";
    QTest::newRow("5") << 5 << "LOG_UNKNOWN";
    QTest::newRow("99") << 99 << "LOG_UNKNOWN";
}

void TestLogger::levelNames()
{
    QFETCH(int, level);
    QFETCH(QString, name);
    QCOMPARE(QString::fromLatin1(Logger::levelName(level)), name);
    Logger::instance()->write(level, "x");
    const QStringList lines = LogCapture::lines();
    QCOMPARE(lines.size(), 1);
    const QRegularExpressionMatch m = kLinePattern.match(lines.first());
    QVERIFY(m.hasMatch());
    QCOMPARE(m.captured(2), name);
}

void TestLogger::dayFileCreatedInMorvaShowFolder()
{
    const QString folder = m_env->tempPath() + QStringLiteral("/MorvaShow");
    QCOMPARE(Logger::defaultDirectory(), folder);
    QVERIFY(!QDir(folder).exists());

    Logger::instance()->write(Logger::LOG_INFO, "first");
    Logger::instance()->write(Logger::LOG_INFO, "second");

    const QString name = QStringLiteral("mvshow_%1.log").arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{name});
    QCOMPARE(LogCapture::texts(), (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
}

void TestLogger::missingParentsAreCreated()
{
    const QString folder = m_env->root() + QStringLiteral("/a/b/c/");
    Logger::instance()->setDirectory(folder);
    Logger::instance()->write(Logger::LOG_INFO, "deep");
    const QString file = folder + QStringLiteral("mvshow_%1.log").arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
    QVERIFY(readAll(file).endsWith("] [LOG_INFO] {deep}\n"));
}

void TestLogger::emptyFormatWritesEmptyLine()
{
    const std::string empty; // a format the compiler cannot see
    Logger::instance()->write(Logger::LOG_INFO, "before");
    Logger::instance()->write(Logger::LOG_INFO, empty.c_str(), 0);
    Logger::instance()->write(Logger::LOG_INFO, "after");
    const QStringList lines = LogCapture::lines();
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(1), QString());
    QVERIFY(readAll(LogCapture::todayPath()).contains("{before}\n\n["));
}

void TestLogger::chineseTextArrivesAsUtf8()
{
    const QString text = QStringLiteral("开播成功 房间 %1").arg(8);
    Logger::instance()->write(Logger::LOG_INFO, "%s", text.toUtf8().constData());
    QCOMPARE(LogCapture::texts(), QStringList{text});
    QVERIFY(readAll(LogCapture::todayPath()).contains(text.toUtf8()));
}

void TestLogger::malformedUtf8BecomesReplacementCharacter()
{
    Logger::instance()->write(Logger::LOG_INFO, "bad \xff byte");
    QCOMPARE(LogCapture::texts(), QStringList{QStringLiteral("bad \uFFFD byte")});
}

void TestLogger::longTextIsCutOnWholeCharacter_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray zhong("\xe4\xb8\xad");     // 3 bytes
    const QByteArray smile("\xf0\x9f\x98\x80"); // 4 bytes
    QTest::newRow("ascii cut at 8191") << QByteArray(9000, 'a') << QByteArray(8191, 'a');
    QTest::newRow("exactly 8191 kept") << QByteArray(8191, 'b') << QByteArray(8191, 'b');
    QTest::newRow("3-byte char ends at 8191")
        << QByteArray(8188, 'c') + zhong + "tail" << QByteArray(8188, 'c') + zhong;
    QTest::newRow("3-byte char across the cut")
        << QByteArray(8189, 'd') + zhong + "tail" << QByteArray(8189, 'd');
    QTest::newRow("3-byte char one byte over")
        << QByteArray(8190, 'e') + zhong << QByteArray(8190, 'e');
    QTest::newRow("4-byte char across the cut")
        << QByteArray(8188, 'f') + smile << QByteArray(8188, 'f');
    QTest::newRow("all chinese") << zhong.repeated(3000) << zhong.repeated(2730);
}

void TestLogger::longTextIsCutOnWholeCharacter()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    Logger::instance()->write(Logger::LOG_INFO, "%s", text.constData());
    const QByteArray file = readAll(LogCapture::todayPath());
    const int open = file.indexOf('{');
    QVERIFY(open > 0);
    QVERIFY(file.endsWith("}\n"));
    const QByteArray written = file.mid(open + 1, file.size() - open - 3);
    QCOMPARE(written.size(), expected.size());
    QVERIFY(written == expected);
    QVERIFY(isValidUtf8(written.constData(), size_t(written.size())));
}

void TestLogger::oneClockReadingPerLine()
{
    // The first reading is the last millisecond of a day; any further reading
    // is already the next day. Both the file and the stamp must follow the first.
    const QDateTime lastMs(QDate(2017, 11, 21), QTime(23, 59, 59, 999));
    g_readings = {lastMs.toMSecsSinceEpoch(), lastMs.addMSecs(1).toMSecsSinceEpoch()};
    g_next = 0;
    Logger::setClockForTesting(&scriptedClock);
    Logger::instance()->write(Logger::LOG_INFO, "at midnight");
    Logger::setClockForTesting(nullptr);

    const QString folder = Logger::defaultDirectory();
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("mvshow_20171121.log")});
    QCOMPARE(readAll(folder + QStringLiteral("/mvshow_20171121.log")),
             QByteArray("[2017-11-21 23:59:59.999] [LOG_INFO] {at midnight}\n"));
}

void TestLogger::unwritableFolderLosesLineQuietly()
{
    // A plain file where the folder should be: the folder cannot be created.
    const QString blocker = m_env->root() + QStringLiteral("/blocker");
    QFile f(blocker);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    Logger::instance()->setDirectory(blocker + QStringLiteral("/MorvaShow"));
    Logger::instance()->write(Logger::LOG_ERROR, "lost");
    QVERIFY(!QDir(blocker + QStringLiteral("/MorvaShow")).exists());

    Logger::instance()->setDirectory(Logger::defaultDirectory());
    Logger::instance()->write(Logger::LOG_INFO, "kept");
    QCOMPARE(LogCapture::texts(), QStringList{QStringLiteral("kept")});
}

void TestLogger::anotherUsersFolderIsLeftAlone_data()
{
    QTest::addColumn<bool>("folderInTheWay"); // else a plain file
    QTest::addColumn<bool>("ownFolderTaken");
    QTest::newRow("another user's folder") << true << false;
    QTest::newRow("a file in the folder's place") << false << false;
    QTest::newRow("both folders another user's: lines lost quietly") << true << true;
}

void TestLogger::anotherUsersFolderIsLeftAlone()
{
    QFETCH(bool, folderInTheWay);
    QFETCH(bool, ownFolderTaken);
    // The shared temporary folder, where another user's copy came first.
    const QString shared = m_env->tempPath() + QStringLiteral("/MorvaShow");
    const QString own = shared + QStringLiteral("-") + QString::number(::geteuid());
    if (folderInTheWay) {
        QVERIFY(QDir().mkpath(shared));
    } else {
        QFile f(shared);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("theirs");
    }
    QVERIFY(m_env->makeForeign(shared));
    if (ownFolderTaken) {
        QVERIFY(QDir().mkpath(own));
        QVERIFY(m_env->makeForeign(own));
    }

    Logger::instance()->write(Logger::LOG_INFO, "mine");
    Logger::instance()->write(Logger::LOG_INFO, "mine too");

    const QString day = QStringLiteral("/mvshow_%1.log").arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
    if (folderInTheWay)
        QCOMPARE(QDir(shared).entryList(QDir::Files), QStringList());
    else
        QCOMPARE(readAll(shared), QByteArray("theirs"));
    if (ownFolderTaken) {
        QCOMPARE(QDir(own).entryList(QDir::Files), QStringList());
        return;
    }
    // This user's own folder beside it, closed to everybody else.
    struct stat st;
    QCOMPARE(::lstat(QFile::encodeName(own).constData(), &st), 0);
    QVERIFY(S_ISDIR(st.st_mode));
    QCOMPARE(st.st_uid, ::geteuid());
    QCOMPARE(int(st.st_mode & 0777), 0700);
    QCOMPARE(readAll(own + day).count('\n'), 2);
    QVERIFY(readAll(own + day).endsWith("] [LOG_INFO] {mine too}\n"));
}

void TestLogger::concurrentWritersLeaveWholeLines()
{
    constexpr int kThreads = 8;
    constexpr int kLines = 1500;
    // Long enough that an unserialised writer would interleave.
    const std::string padding(300, 'p');
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &padding] {
            for (int n = 0; n < kLines; ++n)
                Logger::instance()->write(Logger::LOG_INFO, "t%d n%d %s", t, n, padding.c_str());
        });
    }
    for (std::thread &th : threads)
        th.join();

    const QStringList lines = LogCapture::lines();
    QCOMPARE(lines.size(), kThreads * kLines);
    const QRegularExpression text(QStringLiteral("^t(\\d+) n(\\d+) p{300}$"));
    std::vector<int> nextOf(kThreads, 0);
    for (const QString &line : lines) {
        const QRegularExpressionMatch m = kLinePattern.match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line.left(80)));
        const QRegularExpressionMatch t = text.match(m.captured(3));
        QVERIFY2(t.hasMatch(), qPrintable(line.left(80)));
        const int thread = t.captured(1).toInt();
        QVERIFY(thread >= 0 && thread < kThreads);
        // Each thread's lines arrive once and in its own order.
        QCOMPARE(t.captured(2).toInt(), nextOf[thread]);
        ++nextOf[thread];
    }
    for (int t = 0; t < kThreads; ++t)
        QCOMPARE(nextOf[t], kLines);
}

void TestLogger::qtMessagesGoToTheLog_data()
{
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("logged"); // "LEVEL|text" per log line
    QTest::addColumn<QByteArray>("console");

    QTest::newRow("debug") << 0 << int(QtDebugMsg) << QStringLiteral("table created!")
                           << QStringList{"LOG_DEBUG|table created!"} << QByteArray();
    QTest::newRow("debug at the start-up level") << 1 << int(QtDebugMsg) << QStringLiteral("QRect(0,0 10x10)")
                                                 << QStringList() << QByteArray();
    QTest::newRow("indented JSON, one line each")
        << 0 << int(QtDebugMsg) << QStringLiteral("{\n    \"ac\": \"init_page_home\"\n}\n")
        << QStringList{"LOG_DEBUG|{", "LOG_DEBUG|    \"ac\": \"init_page_home\"", "LOG_DEBUG|}"} << QByteArray();
    QTest::newRow("engine info") << 1 << int(QtInfoMsg) << QStringLiteral("engine: push to rtmp://x ended")
                                 << QStringList{"LOG_INFO|engine: push to rtmp://x ended"} << QByteArray();
    QTest::newRow("warning") << 1 << int(QtWarningMsg) << QStringLiteral("摄像头 busy")
                             << QStringList{"LOG_WARN|摄像头 busy"} << QByteArray("摄像头 busy\n");
    QTest::newRow("critical") << 1 << int(QtCriticalMsg) << QStringLiteral("no sound server")
                              << QStringList{"LOG_ERROR|no sound server"} << QByteArray("no sound server\n");
    // A slot named like an auto-connection that no signal matches: the log only.
    const QString unmatched =
        QStringLiteral("QMetaObject::connectSlotsByName: No matching signal for on_cell_clicked(int,int)");
    QTest::newRow("slot without a signal") << 1 << int(QtWarningMsg) << unmatched
                                           << QStringList{"LOG_WARN|" + unmatched} << QByteArray();
    // Auto-connection's other warning still reaches the console.
    const QString ambiguous = QStringLiteral("QMetaObject::connectSlotsByName: Connecting slot on_a_b() with the "
                                             "first of the following compatible signals: (\"b()\", \"b(int)\")");
    QTest::newRow("ambiguous auto-connection") << 1 << int(QtWarningMsg) << ambiguous
                                               << QStringList{"LOG_WARN|" + ambiguous} << (ambiguous + "\n").toUtf8();
}

void TestLogger::qtMessagesGoToTheLog()
{
    QFETCH(int, minimum);
    QFETCH(int, type);
    QFETCH(QString, message);
    QFETCH(QStringList, logged);
    QFETCH(QByteArray, console);
    Logger::instance()->setLevel(minimum);

    StderrToFile errors(m_env->root() + QStringLiteral("/stderr.txt"));
    QtMessageHandler previous = qInstallMessageHandler(&QtMessageLog::handle);
    const QByteArray text = message.toUtf8();
    switch (type) {
    case QtDebugMsg:
        qDebug("%s", text.constData());
        break;
    case QtInfoMsg:
        qInfo("%s", text.constData());
        break;
    case QtWarningMsg:
        qWarning("%s", text.constData());
        break;
    default:
        qCritical("%s", text.constData());
        break;
    }
    qInstallMessageHandler(previous);
    QCOMPARE(errors.restore(), console);

    QStringList lines;
    for (const QString &line : LogCapture::lines()) {
        const QRegularExpressionMatch m = kLinePattern.match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        lines << m.captured(2) + QLatin1Char('|') + m.captured(3);
    }
    QCOMPARE(lines, logged);
}

// Qt's own warning for a slot that no child's signal matches, as a form's
// setupUi makes it: in the log, not on the console.
void TestLogger::unmatchedSlotNamesStayInTheLog()
{
    Logger::instance()->setLevel(Logger::LOG_INFO);
    StderrToFile errors(m_env->root() + QStringLiteral("/stderr.txt"));
    QtMessageHandler previous = qInstallMessageHandler(&QtMessageLog::handle);
    SlotsByName widget;
    QObject button(&widget);
    button.setObjectName(QStringLiteral("button"));
    QMetaObject::connectSlotsByName(&widget);
    qInstallMessageHandler(previous);
    QCOMPARE(errors.restore(), QByteArray());
    QStringList notes;
    for (const QString &line : LogCapture::lines()) {
        const QRegularExpressionMatch m = kLinePattern.match(line);
        if (m.hasMatch() && m.captured(3).contains(QLatin1String("connectSlotsByName")))
            notes << m.captured(2) + QLatin1Char('|') + m.captured(3);
    }
    QCOMPARE(notes, QStringList{"LOG_WARN|QMetaObject::connectSlotsByName: No matching signal for on_cell_clicked(int,int)"});
}

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
