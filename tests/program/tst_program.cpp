// Start-up of the whole program: the DirectX test through the engine, the
// engine's displays in a whole-program run, the start's refusals with their
// texts and exit codes, quitting, a start from a folder that lacks its
// pictures, and the real program started by a new user, started twice, and
// crashing.
#include "CastCoreControl.h"
#include "CastCoreWorld.h"
#include "ClosedPort.h"
#include "CrashMessage.h"
#include "HttpStub.h"
#include "LiveProxy.h"
#include "LogCapture.h"
#include "ModalDriver.h"
#include "TempEnvironment.h"
#include "UrlOpenRecorder.h"
#include "WebEndpoints.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <elf.h>

namespace {

// What the program maps when it runs: its allocated ELF sections with
// contents. Debug sections name the build folder by design and never run.
QByteArray loadedSections(const QByteArray &elf)
{
    Elf64_Ehdr header;
    if (elf.size() < int(sizeof(header)) || !elf.startsWith(ELFMAG))
        return QByteArray();
    std::memcpy(&header, elf.constData(), sizeof(header));
    if (header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(Elf64_Shdr))
        return QByteArray();
    QByteArray loaded;
    for (int i = 0; i < header.e_shnum; ++i) {
        Elf64_Shdr section;
        const quint64 at = header.e_shoff + quint64(i) * sizeof(section);
        if (at + sizeof(section) > quint64(elf.size()))
            return QByteArray();
        std::memcpy(&section, elf.constData() + at, sizeof(section));
        if ((section.sh_flags & SHF_ALLOC) && section.sh_type != SHT_NOBITS
            && section.sh_offset + section.sh_size <= quint64(elf.size()))
            loaded += elf.mid(int(section.sh_offset), int(section.sh_size)) + '\0';
    }
    return loaded;
}

// The strings in `bytes` that hold `text`, as UTF-8 or as UTF-16
// (QStringLiteral's form), each whole up to its terminating zero.
QStringList stringsHolding(const QByteArray &bytes, const QString &text)
{
    QStringList found;
    const QByteArray narrow = text.toUtf8();
    for (int at = bytes.indexOf(narrow); at >= 0; at = bytes.indexOf(narrow, at + 1)) {
        const int from = bytes.lastIndexOf('\0', at) + 1;
        const int to = bytes.indexOf('\0', at);
        found << QString::fromUtf8(bytes.mid(from, (to < 0 ? bytes.size() : to) - from));
    }
    const QByteArray wide(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    const auto unitAt = [&bytes](int i) { return bytes.at(i) != 0 || bytes.at(i + 1) != 0; };
    for (int at = bytes.indexOf(wide); at >= 0; at = bytes.indexOf(wide, at + 1)) {
        int from = at;
        while (from >= 2 && unitAt(from - 2))
            from -= 2;
        int to = at;
        while (to + 1 < bytes.size() && unitAt(to))
            to += 2;
        found << QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData() + from), (to - from) / 2);
    }
    return found;
}

} // namespace

class ProgramTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void directXCheck_data();
    void directXCheck();
    void displaysMirrorScreens_data();
    void displaysMirrorScreens();

    void refusals_data();
    void refusals();
    void quitFromTrayWritesSettings_data();
    void quitFromTrayWritesSettings();
    void startsWithoutItsPictures_data();
    void startsWithoutItsPictures();
    void realProgramStartsOnceAndRaisesFirst();
    void realProgramCrashWritesDump();
    void realProgramSignInKeepsTheConsoleQuiet();
    void webEngineMappedOnlyForAPage();
    void programHoldsNoBuildFolder();

private:
    // Runs the helper on the entry's code with the button presses given;
    // its output lines.
    QStringList runHelper(const QStringList &presses, int *exitCode);
    bool waitForLog(const QString &text, QProcess &process, int timeoutMs = 90000);
    // A copy of the built program with its pictures in the folder; its path.
    QString copyProgram(const QString &folder);
    void useWorld(testsupport::TempEnvironment &env, const QByteArray &json);
};

void ProgramTest::cleanup()
{
    qunsetenv("MORVASHOW_WORLD");
    castcore::control().reset();
    WebEndpoints::clearOverrides();
}

void ProgramTest::useWorld(testsupport::TempEnvironment &env, const QByteArray &json)
{
    const QString path = env.root() + QStringLiteral("/world.json");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(json);
    f.close();
    qputenv("MORVASHOW_WORLD", QFile::encodeName(path));
    castcore::control().reset();
}

void ProgramTest::directXCheck_data()
{
    QTest::addColumn<bool>("usable");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("pages");
    QTest::newRow("usable: no question") << true << QString() << 0;
    QTest::newRow("unusable, yes: repair and help page") << false << QStringLiteral("Yes") << 2;
    QTest::newRow("unusable, no: help page only") << false << QStringLiteral("No") << 1;
}

void ProgramTest::directXCheck()
{
    QFETCH(bool, usable);
    QFETCH(QString, answer);
    QFETCH(int, pages);
    testsupport::TempEnvironment env;
    QVERIFY(WebEndpoints::setHost(WebEndpoints::Forum, QStringLiteral("127.0.0.1:4711")));
    castcore::control().bools().push("IsDirectX10Usable", usable);
    testsupport::UrlOpenRecorder opened({QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https")});
    testsupport::ModalDriver driver;
    if (!answer.isNull())
        driver.pressNext(answer);

    QCOMPARE(LiveProxy::checkDirectX(), usable);
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.seen().size(), answer.isNull() ? 0 : 1);
    if (!answer.isNull())
        QCOMPARE(driver.last().text(QStringLiteral("qt_msgbox_label")),
                 QStringLiteral("DX10未安装或是硬件不支持！\r\n\t请先启动DxUpdate.exe安装(修复)DX10后再尝试使用该软件，点击确定运行DxUpdate.exe。"));
    QCOMPARE(opened.urls().size(), pages);
    if (pages > 0)
        QCOMPARE(opened.urls().last(), QUrl(QStringLiteral("https://127.0.0.1:4711/forum.php?mod=viewthread&tid=3")));
    if (pages == 2)
        QCOMPARE(opened.urls().first().toLocalFile(),
                 QCoreApplication::applicationDirPath() + QStringLiteral("/DxUpdate.exe"));
    // The facade made for the test is the process's one.
    QCOMPARE(castcore::control().log().of("IsDirectX10Usable").size(), std::size_t(1));
}

void ProgramTest::displaysMirrorScreens_data()
{
    QTest::addColumn<QByteArray>("world"); // empty: no world file
    QTest::addColumn<bool>("mirrored");
    QTest::newRow("no world file") << QByteArray() << true;
    QTest::newRow("world without displays") << QByteArray(R"({"engine":{"driveIndex":3}})") << true;
    QTest::newRow("world names displays")
        << QByteArray(R"({"engine":{"displays":[{"x":0,"y":0,"width":640,"height":480}]}})") << false;
}

void ProgramTest::displaysMirrorScreens()
{
    QFETCH(QByteArray, world);
    QFETCH(bool, mirrored);
    testsupport::TempEnvironment env;
    if (!world.isEmpty())
        useWorld(env, world);
    castcore::mirrorRealScreens();
    const std::vector<castcore::DisplayRect> displays = castcore::control().world().displays;
    if (!mirrored) {
        QCOMPARE(displays.size(), std::size_t(1));
        QCOMPARE(displays[0].width, 640);
        return;
    }
    const QList<QScreen *> screens = QGuiApplication::screens();
    QCOMPARE(int(displays.size()), screens.size());
    for (int i = 0; i < screens.size(); ++i) {
        const QRect g = screens.at(i)->geometry();
        QCOMPARE(QRect(displays[size_t(i)].x, displays[size_t(i)].y, displays[size_t(i)].width,
                       displays[size_t(i)].height),
                 g);
    }
    // The offscreen screen is not the built-in world's 1920 x 1080 display.
    QVERIFY(displays[0].width != 1920);
    if (!world.isEmpty())
        QCOMPARE(castcore::control().world().driveIndex, 3);
}

QStringList ProgramTest::runHelper(const QStringList &presses, int *exitCode)
{
    QProcess helper;
    helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    helper.start(QStringLiteral(PROGRAM_HELPER_PATH), presses);
    const bool finished = helper.waitForFinished(60000);
    if (!finished) {
        helper.kill();
        helper.waitForFinished();
    }
    *exitCode = finished && helper.exitStatus() == QProcess::NormalExit ? helper.exitCode() : -1;
    // What it printed before hanging tells how far it got.
    QStringList out = QString::fromUtf8(helper.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!finished)
        out << QStringLiteral("error|the helper did not end within 60 s");
    return out;
}

bool ProgramTest::waitForLog(const QString &text, QProcess &process, int timeoutMs)
{
    if (!process.waitForStarted(10000))
        return false;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs && process.state() == QProcess::Running) {
        if (testsupport::LogCapture::contains(text))
            return true;
        QTest::qWait(50);
    }
    qWarning("no \"%s\" in the log: program %s, exit code %d", qPrintable(text),
             process.state() == QProcess::Running ? "still runs" : "ended", process.exitCode());
    return false;
}

void ProgramTest::refusals_data()
{
    // As the helper writes it: the line break and the tab escaped.
    const QString dx = QStringLiteral("DX10未安装或是硬件不支持！\\r\\n\\t请先启动DxUpdate.exe安装(修复)DX10后再尝试使用该软件，点击确定运行DxUpdate.exe。");
    const QString forum = QStringLiteral("opened|https://127.0.0.1:4711/forum.php?mod=viewthread&tid=3");
    const QString update = QStringLiteral("opened|file://") + QFileInfo(QStringLiteral(PROGRAM_HELPER_PATH)).absolutePath()
                           + QStringLiteral("/DxUpdate.exe");
    QTest::addColumn<QByteArray>("world");
    QTest::addColumn<QStringList>("presses");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("said");
    QTest::newRow("Windows XP") << QByteArray(R"({"os":{"platformId":2,"major":5,"minor":1}})")
                                << QStringList{QStringLiteral("pushButton_ok")} << 1
                                << QStringList{QStringLiteral("box|UiToolTipDialog|暂不支持 Windows XP")};
    QTest::newRow("NT 5.2, no name") << QByteArray(R"({"os":{"platformId":2,"major":5,"minor":2}})")
                                     << QStringList{QStringLiteral("pushButton_ok")} << 1
                                     << QStringList{QStringLiteral("box|UiToolTipDialog|暂不支持 ")};
    // The start loads Qt's Chinese texts: the question's buttons read 是(&Y) and 否(&N).
    QTest::newRow("DirectX, repair") << QByteArray(R"({"engine":{"directX10":false}})")
                                     << QStringList{QStringLiteral("是(Y)")} << 1
                                     << QStringList{QStringLiteral("box|QMessageBox|") + dx, update, forum};
    QTest::newRow("DirectX, no repair") << QByteArray(R"({"engine":{"directX10":false}})")
                                        << QStringList{QStringLiteral("否(N)")} << 1
                                        << QStringList{QStringLiteral("box|QMessageBox|") + dx, forum};
    QTest::newRow("scene start fails") << QByteArray(R"({"engine":{"initResult":-3}})")
                                       << QStringList{QStringLiteral("pushButton_ok")} << 2
                                       << QStringList{QStringLiteral("box|UiToolTipDialog|初始化失败!")};
}

void ProgramTest::refusals()
{
    QFETCH(QByteArray, world);
    QFETCH(QStringList, presses);
    QFETCH(int, exitCode);
    QFETCH(QStringList, said);
    testsupport::TempEnvironment env;
    useWorld(env, world);
    qputenv("MORVASHOW_HOSTS", R"({"forum":"127.0.0.1:4711"})");
    int code = -1;
    const QStringList out = runHelper(presses, &code);
    qunsetenv("MORVASHOW_HOSTS");
    QCOMPARE(out, said);
    QCOMPARE(code, exitCode);
    // Only a main window that was made writes the settings file as it goes.
    QCOMPARE(QFile::exists(env.dataHome() + QStringLiteral("/MorvaShow/SysConfig.config")), exitCode == 2);
}

void ProgramTest::quitFromTrayWritesSettings_data()
{
    QTest::addColumn<QByteArray>("before"); // the settings file at the start; empty: none
    QTest::newRow("new user") << QByteArray();
    QTest::newRow("unreadable settings file") << QByteArray("{\"sys\": {\"sys_hide_when_close\": fal");
}

void ProgramTest::quitFromTrayWritesSettings()
{
    QFETCH(QByteArray, before);
    testsupport::TempEnvironment env;
    const QString path = env.dataHome() + QStringLiteral("/MorvaShow/SysConfig.config");
    if (!before.isEmpty()) {
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(before);
    }
    int code = -1;
    const QStringList out = runHelper({QStringLiteral("quit")}, &code);
    QCOMPARE(out, QStringList());
    QCOMPARE(code, 0);
    // Written at the end: the settings dialog's first-run defaults.
    QFile settings(path);
    QVERIFY(settings.open(QIODevice::ReadOnly));
    const QJsonObject sys = QJsonDocument::fromJson(settings.readAll()).object().value(QStringLiteral("sys")).toObject();
    QCOMPARE(sys.value(QStringLiteral("sys_hide_when_close")).toBool(), true);
    QVERIFY(sys.value(QStringLiteral("sys_record_path")).toString().endsWith(QStringLiteral("/摩瓦视频")));
    const QStringList log = testsupport::LogCapture::texts();
    QVERIFY(log.contains(QStringLiteral("live init success.")));
    QVERIFY(log.contains(QStringLiteral("live destroy.")));
    // A file the program could not read is kept beside the new one, and the
    // log says so.
    if (!before.isEmpty()) {
        QFile kept(path + QStringLiteral(".bad"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), before);
        QVERIFY(testsupport::LogCapture::contains(QStringLiteral("cannot be read; kept as")));
    }
}

void ProgramTest::startsWithoutItsPictures_data()
{
    QTest::addColumn<bool>("withFolder");      // effect/ copied beside the program
    QTest::addColumn<QByteArray>("background"); // effect/background.png replaced; empty: removed
    QTest::addColumn<QStringList>("dropped");   // the drop lines the log must hold
    QTest::newRow("no effect folder")
        << false << QByteArray()
        << QStringList{QStringLiteral("drop background picture: ./effect/background.png (missing)"),
                       QStringLiteral("drop sample folder: ./effect/pendant/ (missing)"),
                       QStringLiteral("drop subtitle template: ./effect/subtitle/1.png (missing)"),
                       QStringLiteral("drop subtitle template: ./effect/subtitle/6.png (missing)")};
    QTest::newRow("no background picture")
        << true << QByteArray()
        << QStringList{QStringLiteral("drop background picture: ./effect/background.png (missing)")};
    QTest::newRow("background is not a picture")
        << true << QByteArray("GIF89a, cut short")
        << QStringList{QStringLiteral("drop background picture: ./effect/background.png (not a picture)")};
}

// The program's start from a copy of its folder that lacks pictures: the
// main window shows, is quit from the tray, and the log names each drop.
void ProgramTest::startsWithoutItsPictures()
{
    QFETCH(bool, withFolder);
    QFETCH(QByteArray, background);
    QFETCH(QStringList, dropped);
    testsupport::TempEnvironment env;
    const QString folder = env.workPath();
    QVERIFY(QFile::copy(QStringLiteral(PROGRAM_HELPER_PATH), folder + QStringLiteral("/program_helper")));
    if (withFolder) {
        QVERIFY(env.copyEffectFolder());
        QVERIFY(QFile::remove(folder + QStringLiteral("/effect/background.png")));
        if (!background.isEmpty()) {
            QFile damaged(folder + QStringLiteral("/effect/background.png"));
            QVERIFY(damaged.open(QIODevice::WriteOnly));
            damaged.write(background);
        }
    }

    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(folder + QStringLiteral("/program_helper"), {QStringLiteral("quit")});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(program.readAllStandardOutput()), QString()); // no message box
    const QStringList log = testsupport::LogCapture::texts();
    QVERIFY(log.contains(QStringLiteral("live init success.")));
    QVERIFY(log.contains(QStringLiteral("live destroy.")));
    for (const QString &line : dropped)
        QVERIFY2(log.count(line) == 1, qPrintable(line));
    // Nothing else is dropped: the start's pages without the folder are the
    // camera page, the pendant picker and the six subtitle templates.
    QCOMPARE(log.filter(QRegularExpression(QStringLiteral("^drop "))).size(), withFolder ? 1 : 1 + 1 + 6);
    QVERIFY(QFileInfo(env.dataHome() + QStringLiteral("/MorvaShow/SysConfig.config")).size() > 0);
}

void ProgramTest::realProgramStartsOnceAndRaisesFirst()
{
    testsupport::TempEnvironment env;
    const QFileInfo program(QStringLiteral(MVSHOW_PATH));
    // Built with its crash box and run-time assets beside it.
    QVERIFY(QFileInfo::exists(program.absolutePath() + QLatin1Char('/')
                              + QLatin1String(mvplatform::CrashMessage::boxProgramName())));
    QVERIFY(QFileInfo::exists(program.absolutePath() + QStringLiteral("/effect/background.png")));

    QProcess first;
    first.setProcessChannelMode(QProcess::ForwardedChannels);
    first.start(program.absoluteFilePath(), QStringList());
    QVERIFY(waitForLog(QStringLiteral("live init success."), first));

    QProcess second;
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(program.absoluteFilePath(), QStringList());
    QVERIFY(second.waitForFinished(60000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    // The first copy runs on, and only it started a scene.
    QTest::qWait(300);
    QCOMPARE(first.state(), QProcess::Running);
    QCOMPARE(testsupport::LogCapture::texts().count(QStringLiteral("live init success.")), 1);
    first.kill();
    QVERIFY(first.waitForFinished(60000));
}

// What a process that does not end is doing: each thread's state, kernel
// wait, signal masks and pending signals, and its children.
static QString processState(qint64 pid)
{
    QString out;
    const QString proc = QStringLiteral("/proc/%1").arg(pid);
    const auto read = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QStringLiteral("?");
    };
    out += QStringLiteral("process: ") + read(proc + QStringLiteral("/status")).section(QLatin1Char('\n'), 0, 2)
           + QLatin1Char('\n');
    const QStringList tasks = QDir(proc + QStringLiteral("/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &tid : tasks) {
        const QString task = proc + QStringLiteral("/task/") + tid;
        QStringList wanted;
        for (const QString &line : read(task + QStringLiteral("/status")).split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("State")) || line.startsWith(QLatin1String("SigBlk"))
                || line.startsWith(QLatin1String("SigPnd")) || line.startsWith(QLatin1String("ShdPnd")))
                wanted << line.simplified();
        }
        out += QStringLiteral("%1 %2 wchan=%3 syscall=%4 %5 children=%6\n")
                   .arg(tid, read(task + QStringLiteral("/comm")), read(task + QStringLiteral("/wchan")),
                        read(task + QStringLiteral("/syscall")).section(QLatin1Char(' '), 0, 0),
                        wanted.join(QLatin1Char(' ')), read(task + QStringLiteral("/children")));
    }
    return out;
}

QString ProgramTest::copyProgram(const QString &folder)
{
    const QFileInfo built(QStringLiteral(MVSHOW_PATH));
    const QString effect = built.absolutePath() + QStringLiteral("/effect");
    QDirIterator files(effect, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString from = files.next();
        const QString to = folder + QStringLiteral("/effect") + from.mid(effect.size());
        if (!QDir().mkpath(QFileInfo(to).absolutePath()) || !QFile::copy(from, to))
            return QString();
    }
    // With the libraries it loads from its own folder.
    for (const QString &library : {QStringLiteral("libmvencode.so"), QStringLiteral("libmvwebview.so")}) {
        if (!QFile::link(built.absolutePath() + QLatin1Char('/') + library, folder + QLatin1Char('/') + library))
            return QString();
    }
    const QString program = folder + QStringLiteral("/mvShow");
    return QFile::copy(built.absoluteFilePath(), program) ? program : QString();
}

void ProgramTest::realProgramCrashWritesDump()
{
    testsupport::TempEnvironment env;
    const QString folder = env.root() + QStringLiteral("/program");
    const QString path = copyProgram(folder);
    QVERIFY(!path.isEmpty());
    QVERIFY(QFile::copy(QStringLiteral(CRASHBOX_RECORDER_PATH),
                        folder + QLatin1Char('/') + QLatin1String(mvplatform::CrashMessage::boxProgramName())));

    QProcess program;
    program.start(path, QStringList());
    // The start's last line: its scene save is done. A process-directed
    // signal may go to a thread in an uninterruptible wait (an fsync on a
    // busy disk), which handles it only when the wait ends.
    QVERIFY(waitForLog(QStringLiteral("action:init_page_home"), program));
    const qint64 pid = program.processId();
    ::kill(pid_t(pid), SIGSEGV);
    if (!program.waitForFinished(120000)) {
        const QString state = processState(pid);
        program.kill();
        program.waitForFinished(60000);
        QFAIL(qPrintable(QStringLiteral("no end 120 s after SIGSEGV.\n") + state
                         + QStringLiteral("\nstderr:\n") + QString::fromUtf8(program.readAllStandardError())));
    }
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 128 + SIGSEGV);
    const QStringList dumps = QDir(folder).entryList({QStringLiteral("mvShow_*.dmp")}, QDir::Files);
    QCOMPARE(dumps.size(), 1);
    QFile dump(folder + QLatin1Char('/') + dumps.first());
    QVERIFY(dump.open(QIODevice::ReadOnly));
    QVERIFY(dump.readLine().startsWith("MorvaShow crash dump"));
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    QVERIFY2(out.contains(QStringLiteral("box|Dump|程序发生异常错误，请将目录下面的") + dumps.first()
                          + QStringLiteral("文件提供给技术人员！")),
             qPrintable(out));
}

// A new user's session: the program signs in with the saved account at its
// start. Its diagnostics go to the daily log; the console keeps only what a
// user may act on.
void ProgramTest::realProgramSignInKeepsTheConsoleQuiet()
{
    testsupport::TempEnvironment env;
    const QString folder = env.root() + QStringLiteral("/program");
    const QString path = copyProgram(folder); // its own room tool store, made anew
    QVERIFY(!path.isEmpty());
    const QString settings = env.dataHome() + QStringLiteral("/MorvaShow/SysConfig.config");
    QVERIFY(QDir().mkpath(QFileInfo(settings).absolutePath()));
    QFile file(settings);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"account":{"name":"mvanchor","token":"token-mvanchor","auto_login":true,"zone":"+86","mode":1}})");
    file.close();
    // The analytics records go out and fail at once.
    testsupport::ScopedHosts hosts({QStringLiteral("webApi"), QStringLiteral("clientApi"), QStringLiteral("passport"),
                                    QStringLiteral("site"), QStringLiteral("analytics")},
                                   testsupport::closedLoopbackHost());

    QProcess program;
    program.start(path, QStringList());
    QVERIFY(waitForLog(QStringLiteral("mvanchor login success"), program));
    // Signed in, the live panel opens the room tool's store beside the
    // program; its first write makes the table.
    const QString store = folder + QStringLiteral("/DisableChatUser.db");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(store).size() > 0, 90000);
    // A second start has the first raise its window: one more turn of its
    // event loop after the sign-in.
    QProcess second;
    second.start(path, QStringList());
    QVERIFY(second.waitForFinished(60000));
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(program.state(), QProcess::Running);
    program.kill();
    QVERIFY(program.waitForFinished(60000));

    const QString errors = QString::fromLocal8Bit(program.readAllStandardError() + second.readAllStandardError());
    const QStringList lines = errors.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList noise{QStringLiteral("\"ac\""),       QStringLiteral("multi="),
                            QStringLiteral("QRect("),         QStringLiteral("table created!"),
                            QStringLiteral("./effect/pendant/"), QStringLiteral("QMetaObject::connectSlotsByName"),
                            QStringLiteral("Morva pointing error"), QStringLiteral("engine: "),
                            QStringLiteral("qtbase_zh_CN")};
    for (const QString &line : lines) {
        QVERIFY2(line.trimmed() != QLatin1String("{") && line.trimmed() != QLatin1String("}"), qPrintable(errors));
        for (const QString &fragment : noise)
            QVERIFY2(!line.contains(fragment), qPrintable(fragment + QStringLiteral(" on the console:\n") + errors));
    }
    QVERIFY2(lines.size() <= 5, qPrintable(errors));
    // The engine's notes are in the daily log instead.
    const QStringList log = testsupport::LogCapture::texts();
    QVERIFY2(!log.filter(QRegularExpression(QStringLiteral("^engine: sound device .+ opened"))).isEmpty(),
             qPrintable(log.join(QLatin1Char('\n'))));
}

// The web engine (QtWebKit, and GStreamer behind it) is loaded the first time
// a page opens: not by a start, which it would slow down and make heavier.
void ProgramTest::webEngineMappedOnlyForAPage()
{
    testsupport::TempEnvironment env;
    // Every web request fails at once, the sign-in page's too.
    testsupport::ScopedHosts hosts({QStringLiteral("webApi"), QStringLiteral("clientApi"), QStringLiteral("passport"),
                                    QStringLiteral("site"), QStringLiteral("analytics")},
                                   testsupport::closedLoopbackHost());

    // The real program, once its start is done.
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(MVSHOW_PATH), QStringList());
    QVERIFY(waitForLog(QStringLiteral("live init success."), program));
    QFile maps(QStringLiteral("/proc/%1/maps").arg(program.processId()));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    QVERIFY(mapped.contains("libQt5Widgets"));
    QVERIFY(!mapped.contains("libQt5WebKit"));
    QVERIFY(!mapped.contains("libgstreamer"));
    // Nor the encoders: they load with the first push, recording or MJPG camera.
    QVERIFY(!mapped.contains("libavcodec"));
    QVERIFY(!mapped.contains("libavformat"));
    QVERIFY(!mapped.contains("libmvencode"));
    // Nor libcurl: it loads with the first download.
    QVERIFY(!mapped.contains("libcurl"));
    program.kill();
    QVERIFY(program.waitForFinished(60000));

    // The program's own start in the helper: not mapped when the sign-in
    // dialog shows, mapped once its QQ page is up.
    int code = -1;
    const QStringList out = runHelper({QStringLiteral("websignin")}, &code);
    QVERIFY2(out.filter(QStringLiteral("webengine|"))
                 == (QStringList{QStringLiteral("webengine|shown|0"), QStringLiteral("webengine|page|1")}),
             qPrintable(out.join(QLatin1Char('\n'))));
    QVERIFY2(out.filter(QStringLiteral("error|")).isEmpty(), qPrintable(out.join(QLatin1Char('\n'))));
    QVERIFY(out.contains(QStringLiteral("box|WebViewDlg|")));
    QCOMPARE(code, 0);
}

// The program loads its libraries from its own folder only: no place in the
// build tree that made it is compiled in, in either string form.
void ProgramTest::programHoldsNoBuildFolder()
{
    QFile file(QStringLiteral(MVSHOW_PATH));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray loaded = loadedSections(file.readAll());
    // The search sees both forms: a loader's library name, a text the user sees.
    QVERIFY(!stringsHolding(loaded, QStringLiteral("libmvencode.so")).isEmpty());
    QVERIFY(!stringsHolding(loaded, QStringLiteral("网页组件无法加载")).isEmpty());

    QStringList paths;
    for (const QString &s : stringsHolding(loaded, QStringLiteral(MORVA_BUILD_DIR "/"))) {
        // Sanitizers and asserts name the sources they were built from; the
        // generated ones are in the build tree unless ccache made them relative.
        if (!QRegularExpression(QStringLiteral("\\.(cpp|cc|c|h)$")).match(s).hasMatch())
            paths << s;
    }
    QVERIFY2(paths.isEmpty(), qPrintable(paths.join(QLatin1Char('\n'))));
}

QTEST_MAIN(ProgramTest)
#include "tst_program.moc"
