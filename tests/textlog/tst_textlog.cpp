#include "SttTaskTimer.h"
#include "TempEnvironment.h"
#include "TextLog.h"

#include <QtTest>

#include <cstdio>
#include <thread>
#include <vector>

using testsupport::TempEnvironment;

namespace {

const char *const kChildMode = "TEXTLOG_CHILD_MODE";
const char *const kChildDir = "TEXTLOG_CHILD_DIR";

// "\r\n[MM-dd hh:mm:ss.zzz]:  " in front of every line.
const QRegularExpression kLine(QStringLiteral(
    "^\\[(0[1-9]|1[0-2])-([0-2][0-9]|3[01]) ([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]\\.[0-9]{3}\\]:  (.*)$"),
    QRegularExpression::DotMatchesEverythingOption);

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The texts of a file's lines after their stamps; the file starts with a
// line break, so its first piece must be empty.
QStringList lineTexts(const QByteArray &content, bool *wellFormed)
{
    const QList<QByteArray> pieces = content.split('\r');
    *wellFormed = !content.isEmpty() && pieces.first().isEmpty();
    QStringList texts;
    for (int i = 1; i < pieces.size(); ++i) {
        QByteArray piece = pieces.at(i);
        if (!piece.startsWith('\n')) {
            *wellFormed = false;
            continue;
        }
        const auto m = kLine.match(QString::fromLatin1(piece.mid(1)));
        if (!m.hasMatch())
            *wellFormed = false;
        texts << m.captured(4);
    }
    return texts;
}

// Waits until the writer has finished two more rounds: whatever was written
// before the call is on disk then.
bool waitForWriter()
{
    TextLogManager &manager = TextLogManager::Instance();
    const unsigned target = manager.CompletedRounds() + 2;
    QElapsedTimer waited;
    waited.start();
    while (manager.CompletedRounds() < target) {
        if (waited.elapsed() > 20000)
            return false;
        QThread::msleep(20);
    }
    return true;
}

void writeLevelFile(const QString &path, const QByteArray &text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

int childMain(const QByteArray &mode, const QByteArray &dir)
{
    TextLogManager &manager = TextLogManager::Instance();
    if (mode == "slots") {
        // Every slot, then one more; printed for the parent to check.
        std::string out = std::to_string(manager.AddDefaultLogger()) + " ";
        for (int i = 1; i < TextLogManager::MaxLoggers + 1; ++i) {
            const std::string name = "Slot" + std::to_string(i);
            out += std::to_string(manager.CreateLogger(name.c_str(), "slot.log", 0)) + " ";
        }
        TextLog *fallback = manager.FindLogger("DEFAULT");
        std::printf("%s\n%s %d %d\n", out.c_str(), fallback->FilePath().c_str(),
                    fallback->Threshold(), int(fallback->IsEnabled()));
        return 0;
    }
    if (mode == "exit") {
        // Wait out the first round so that only the exit can write the line.
        while (manager.CompletedRounds() < 1)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::string file = dir.toStdString() + "/exit.log";
        manager.CreateLogger("Exit", file.c_str(), 0);
        WriteTextLog("Exit", 1, "cached at exit %d", 42);
        manager.SetLogDirectory(dir.constData());
        WriteTextLogFile("exitpath.log", 0, "path line");
        return 0;
    }
    return 2;
}

} // namespace

class TestTextLog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void datedPath_data();
    void datedPath();
    void hexDump_data();
    void hexDump();
    void hexDumpLimits();
    void levelFileSwitchesTheLogger();
    void linesFromSeveralThreadsArriveWhole();
    void longTextIsCutAtTheBuffer();
    void pathLoggersJoinTheDirectory();
    void dumpsGoThroughTheirLogger();
    void taskTimerReportsFromItsThreshold();
    void textCachedAtExitIsWritten();
    void hundredSlotsThenRefused();

private:
    TempEnvironment *m_env = nullptr;
};

void TestTextLog::init()
{
    m_env = new TempEnvironment;
    QVERIFY(m_env->isValid());
}

void TestTextLog::cleanup()
{
    delete m_env;
    m_env = nullptr;
}

void TestTextLog::datedPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("expected");

    // 21 November 2026, 09:05:07.
    QTest::newRow("0 none") << "log/a.log" << 0 << "log/a.log";
    QTest::newRow("1 year") << "log/a.log" << 1 << "log/2026a.log";
    QTest::newRow("2 year month") << "log/a.log" << 2 << "log/202611a.log";
    QTest::newRow("3 month day") << "log/a.log" << 3 << "log/11-21a.log";
    QTest::newRow("4 hour") << "log/a.log" << 4 << "log/11-21_09a.log";
    QTest::newRow("5 minute") << "log/a.log" << 5 << "log/11-21_0905a.log";
    QTest::newRow("6 second") << "log/a.log" << 6 << "log/11-21_09:0507a.log";
    QTest::newRow("7 as 3") << "log/a.log" << 7 << "log/11-21a.log";
    QTest::newRow("-1 as 3") << "log/a.log" << -1 << "log/11-21a.log";
    QTest::newRow("no separator") << "a.log" << 3 << "11-21a.log";
    QTest::newRow("backslash") << "c:\\logs\\a.log" << 1 << "c:\\logs\\2026a.log";
    QTest::newRow("slash after backslash") << "x\\y/a.log" << 3 << "x\\y/11-21a.log";
    QTest::newRow("backslash after slash") << "x/y\\a.log" << 3 << "x/y\\11-21a.log";
    QTest::newRow("trailing separator") << "dir/" << 1 << "dir/2026";
    QTest::newRow("empty, no stamp") << "" << 0 << "";
    QTest::newRow("empty") << "" << 2 << "202611";
}

void TestTextLog::datedPath()
{
    QFETCH(QString, path);
    QFETCH(int, mode);
    QFETCH(QString, expected);
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 10;
    t.tm_mday = 21;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    QCOMPARE(QString::fromStdString(TextLogDatedPath(path.toUtf8().constData(), mode, t)), expected);
}

void TestTextLog::hexDump_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("lines"); // everything after the header

    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("short line padded")
        << QByteArray("AB\xCC", 3)
        << QByteArray("41 42 CC " + QByteArray(13 * 3, ' ') + "\tAB.\r\n");
    QByteArray sixteen;
    for (int i = 0; i < 16; ++i)
        sixteen.append(char(i));
    QTest::newRow("full line, zero and controls")
        << sixteen
        << QByteArray("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \t " + QByteArray(15, '.')
                      + "\r\n");
    QTest::newRow("printable edges")
        << QByteArray("\x20\x21\x7e\x7f\xcb\xcc\xcd\xff", 8)
        << QByteArray("20 21 7E 7F CB CC CD FF " + QByteArray(8 * 3, ' ')
                      + "\t.!~\x7f\xcb.\xcd\xff\r\n");
    QTest::newRow("seventeen bytes")
        << QByteArray("0123456789abcdefg")
        << QByteArray("30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66 \t0123456789abcdef\r\n"
                      "67 " + QByteArray(15 * 3, ' ') + "\tg\r\n");
}

void TestTextLog::hexDump()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, lines);
    std::vector<char> out(TextLogBufferBytes, 'x');
    const char dummy = 0;
    const void *address = bytes.isEmpty() ? static_cast<const void *>(&dummy) : bytes.constData();
    const std::size_t n = TextLogFormatHex(out.data(), out.size(), address, bytes.size());

    char header[128];
    std::snprintf(header, sizeof header, "DataLen = %d, %.4x  at: %p\r\n", bytes.size(),
                  unsigned(bytes.size()), address);
    QCOMPARE(QByteArray(out.data(), int(n)), QByteArray(header) + lines);
    QCOMPARE(out[n], '\0');
}

void TestTextLog::hexDumpLimits()
{
    std::vector<char> out(TextLogBufferBytes, 'x');
    QCOMPARE(TextLogFormatHex(out.data(), out.size(), nullptr, 4), std::size_t(0));
    QCOMPARE(out[0], '\0');

    std::vector<char> big(204801, '\x41');
    QCOMPARE(TextLogFormatHex(out.data(), out.size(), big.data(), 204801), std::size_t(0));

    // The largest dump: a header and 12800 full lines of 67 bytes.
    const std::size_t n = TextLogFormatHex(out.data(), out.size(), big.data(), 204800);
    const QByteArray text(out.data(), int(n));
    QVERIFY(text.startsWith("DataLen = 204800, 32000  at: "));
    const int headerEnd = text.indexOf("\r\n") + 2;
    QCOMPARE(int(n) - headerEnd, 12800 * 67);
    QVERIFY(text.endsWith("41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 \tAAAAAAAAAAAAAAAA\r\n"));
}

void TestTextLog::levelFileSwitchesTheLogger()
{
    TextLogManager &manager = TextLogManager::Instance();
    const QString logPath = m_env->workPath() + "/switch.log";
    const QString levelPath = m_env->workPath() + "/switch.level";
    QVERIFY(manager.CreateLogger("LevelSwitch", logPath.toUtf8().constData(), 50,
                                 levelPath.toUtf8().constData()) >= 0);
    TextLog *log = manager.FindLogger("levelswitch");
    QVERIFY(log);
    QVERIFY(!log->IsEnabled());
    WriteTextLog("LevelSwitch", 90, "while disabled");

    writeLevelFile(levelPath, "10\n");
    QVERIFY(waitForWriter());
    QVERIFY(log->IsEnabled());
    QCOMPARE(log->Threshold(), 10);

    WriteTextLog("LEVELSWITCH", 9, "below the threshold");
    WriteTextLog("LevelSwitch", 10, "at the threshold %d", 10);
    WriteTextLog("NoSuchLogger", 99, "nobody");
    QVERIFY(QFile::remove(levelPath));
    QVERIFY(waitForWriter());
    QVERIFY(!log->IsEnabled());

    bool wellFormed = false;
    QCOMPARE(lineTexts(readFile(logPath), &wellFormed), QStringList{"at the threshold 10"});
    QVERIFY(wellFormed);
}

void TestTextLog::linesFromSeveralThreadsArriveWhole()
{
    TextLogManager &manager = TextLogManager::Instance();
    const QString logPath = m_env->workPath() + "/threads.log";
    QVERIFY(manager.CreateLogger("Threads", logPath.toUtf8().constData(), 0) >= 0);

    const int threads = 6;
    const int perThread = 400;
    // Lines of several chunk sizes, so some cross a 4096-byte chunk.
    auto payload = [](int t, int i) { return std::string(std::size_t((t * 131 + i * 37) % 5000), char('a' + t)); };
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([t, &payload] {
            for (int i = 0; i < perThread; ++i)
                WriteTextLog("Threads", 1, "t%d n%d %s", t, i, payload(t, i).c_str());
        });
    }
    for (auto &w : writers)
        w.join();
    QVERIFY(waitForWriter());

    bool wellFormed = false;
    const QStringList texts = lineTexts(readFile(logPath), &wellFormed);
    QVERIFY(wellFormed);
    QCOMPARE(texts.size(), threads * perThread);
    std::vector<int> next(threads, 0);
    for (const QString &text : texts) {
        const QStringList parts = text.split(' ');
        QCOMPARE(parts.size(), 3);
        const int t = parts[0].mid(1).toInt();
        const int i = parts[1].mid(1).toInt();
        QCOMPARE(i, next[std::size_t(t)]++);
        QCOMPARE(parts[2], QString::fromStdString(payload(t, i)));
    }
}

void TestTextLog::longTextIsCutAtTheBuffer()
{
    TextLogManager &manager = TextLogManager::Instance();
    const QString logPath = m_env->workPath() + "/long.log";
    QVERIFY(manager.CreateLogger("Long", logPath.toUtf8().constData(), 0) >= 0);
    const std::string text(1048576 + 100, 'z');
    WriteTextLog("Long", 0, "%s", text.c_str());
    QVERIFY(waitForWriter());
    bool wellFormed = false;
    const QStringList texts = lineTexts(readFile(logPath), &wellFormed);
    QVERIFY(wellFormed);
    QCOMPARE(texts.size(), 1);
    QCOMPARE(texts[0].size(), 1048575);
}

void TestTextLog::pathLoggersJoinTheDirectory()
{
    TextLogManager &manager = TextLogManager::Instance();
    const QString dir = m_env->workPath() + "/paths";
    // Only the directory exists: a path's own folders ("log/") are made
    // when its first text is written.
    QVERIFY(QDir().mkpath(dir));
    manager.SetLogDirectory(dir.toUtf8().constData());
    QCOMPARE(QString::fromStdString(manager.LogDirectory()), dir);

    WriteTextLogFile("plain.log", 0, "first %s", "line");
    WriteTextLogFile("plain.log", 0, "second");
    WriteTextLogFileTagged("tagged.log", 0, "net", "conn.cpp", 77, "sent %d", 3);
    const QDateTime before = QDateTime::currentDateTime();
    WriteTextLogFile("log/dated.log", 4, "stamped");
    const QDateTime after = QDateTime::currentDateTime();
    QVERIFY(waitForWriter());

    bool wellFormed = false;
    QCOMPARE(lineTexts(readFile(dir + "/plain.log"), &wellFormed),
             (QStringList{"first line", "second"}));
    QVERIFY(wellFormed);

    const QString tagged = QString::fromLatin1(readFile(dir + "/tagged.log"));
    QVERIFY2(QRegularExpression(QStringLiteral(
                 "^\r\n[0-9]+ \\[[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}\\]: "
                 "\\[net\\] conn\\.cpp:77 sent 3$"))
                 .match(tagged)
                 .hasMatch(),
             qPrintable(tagged));

    // Mode 4 puts month, day and hour in front of the name.
    QStringList candidates{dir + "/log/" + before.toString("MM-dd_hh") + "dated.log",
                           dir + "/log/" + after.toString("MM-dd_hh") + "dated.log"};
    bool found = false;
    for (const QString &c : candidates)
        found = found || lineTexts(readFile(c), &wellFormed) == QStringList{"stamped"};
    QVERIFY2(found, qPrintable(QDir(dir + "/log").entryList(QDir::Files).join(',')));
    manager.SetLogDirectory(".");
}

void TestTextLog::dumpsGoThroughTheirLogger()
{
    TextLogManager &manager = TextLogManager::Instance();
    const QString onPath = m_env->workPath() + "/dump.log";
    const QString offPath = m_env->workPath() + "/dumpoff.log";
    const QString offLevel = m_env->workPath() + "/dumpoff.level";
    QVERIFY(manager.CreateLogger("Dump", onPath.toUtf8().constData(), 30) >= 0);
    QVERIFY(manager.CreateLogger("DumpOff", offPath.toUtf8().constData(), 0,
                                 offLevel.toUtf8().constData()) >= 0);

    const QByteArray bytes("\x01hello");
    DumpTextLogHex("Dump", bytes.constData(), bytes.size());
    DumpTextLogHexLevel("Dump", 29, bytes.constData(), bytes.size());
    DumpTextLogHexLevel("Dump", 30, "x", 1);
    DumpTextLogHex("Dump", nullptr, 4);
    DumpTextLogHex("DumpOff", bytes.constData(), bytes.size());
    QVERIFY(waitForWriter());

    // A dump holds line breaks of its own, so the file is read whole.
    const QString content = QString::fromLatin1(readFile(onPath));
    const QRegularExpression dumps(QStringLiteral(
        "^\r\n\\[[0-9: .-]+\\]:  DataLen = 6, 0006  at: 0x[0-9a-f]+\r\n"
        "01 68 65 6C 6C 6F {31}\t\\.hello\r\n"
        "\r\n\\[[0-9: .-]+\\]:  DataLen = 1, 0001  at: 0x[0-9a-f]+\r\n"
        "78 {46}\tx\r\n$"));
    QVERIFY2(dumps.match(content).hasMatch(), qPrintable(content));
    QVERIFY(!QFile::exists(offPath));
}

void TestTextLog::taskTimerReportsFromItsThreshold()
{
    const QString logPath = m_env->workPath() + "/tasks.log";
    QVERIFY(TextLogManager::Instance().CreateLogger("TaskPerfomance", logPath.toUtf8().constData(), 40) >= 0);

    auto timerFrom = [](std::uint32_t start) {
        SttTaskTimer *t = SttTaskTimerStart();
        t->start = start;
        return t;
    };
    SttTaskTimerEndAt(timerFrom(1000), 1050, 50, "exactly the threshold");
    SttTaskTimerEndAt(timerFrom(1000), 1049, 50, "one below");
    SttTaskTimerEndAt(timerFrom(0xFFFFFFF0u), 0x10, 32, "across the wrap");
    SttTaskTimerEndAt(nullptr, 5, 0, "no timer");
    SttTaskTimerEnd(SttTaskTimerStart(), 0, "now");
    QVERIFY(waitForWriter());

    bool wellFormed = false;
    const QStringList texts = lineTexts(readFile(logPath), &wellFormed);
    QVERIFY(wellFormed);
    QCOMPARE(texts.size(), 3);
    QCOMPARE(texts[0], QStringLiteral("50ms, exactly the threshold"));
    QCOMPARE(texts[1], QStringLiteral("32ms, across the wrap"));
    QVERIFY(texts[2].endsWith("ms, now"));
}

void TestTextLog::textCachedAtExitIsWritten()
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildMode, "exit");
    env.insert(kChildDir, m_env->workPath());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);

    bool wellFormed = false;
    QCOMPARE(lineTexts(readFile(m_env->workPath() + "/exit.log"), &wellFormed),
             QStringList{"cached at exit 42"});
    QVERIFY(wellFormed);
    QCOMPARE(lineTexts(readFile(m_env->workPath() + "/exitpath.log"), &wellFormed),
             QStringList{"path line"});
}

void TestTextLog::hundredSlotsThenRefused()
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildMode, "slots");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 0);
    QStringList expected;
    for (int i = 0; i < 100; ++i)
        expected << QString::number(i);
    expected << "-1";
    const QStringList lines = QString::fromLatin1(child.readAllStandardOutput()).split('\n');
    QCOMPARE(lines.value(0).split(' ', Qt::SkipEmptyParts), expected);
    // The default logger sits in slot 0; without "Text.level" it stays off.
    QCOMPARE(lines.value(1), QStringLiteral("Text.log 40 0"));

    // In this process too: a name longer than 255 characters is cut, and the
    // lookup ignores case.
    TextLogManager &manager = TextLogManager::Instance();
    const std::string longName(300, 'N');
    QVERIFY(manager.CreateLogger(longName.c_str(), "unused.log", 0) >= 0);
    QVERIFY(manager.FindLogger(std::string(255, 'n').c_str()));
    QVERIFY(!manager.FindLogger(longName.c_str()));
    QVERIFY(!manager.FindLogger(nullptr));
}

int main(int argc, char **argv)
{
    const QByteArray mode = qgetenv(kChildMode);
    if (!mode.isEmpty())
        return childMain(mode, qgetenv(kChildDir));
    QCoreApplication app(argc, argv);
    TestTextLog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_textlog.moc"
