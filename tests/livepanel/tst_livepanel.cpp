// The live panel on a real facade over the engine and account-service
// layers: starting and stopping the broadcast with recording beside it, the
// clock, status codes, volumes and the assistant plug-ins.

#include "PanelFixture.h"

#include "CastCoreEngine.h"
#include "ChatLogFile.h"
#include "CurrentDialog.h"
#include "MessageCodec.h"
#include "RoomManageTool.h"
#include "LogCapture.h"
#include "ModalDriver.h"
#include "SceneRegistry.h"
#include "WidgetPictures.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFontMetrics>
#include <QAbstractButton>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTest>

#include <cerrno>
#include <vector>

using namespace paneltest;
using testsupport::LogCapture;
using testsupport::ModalDriver;

namespace {

const QString kPlayLook = QStringLiteral(
    "QPushButton{image:url(:/image/skin/play.png);border:0px;}"
    "QPushButton:hover{image:url(:/image/skin/play_a.png);border:0px;}"
    "QPushButton:pressed{ image:url(:/image/skin/play_b.png);border:0px;}");
const QString kPlayLookAfterFailure = QStringLiteral(
    "QPushButton{image:url(:/image/skin/play.png);border:0px;}"
    "QPushButton:hover{image:url(:/image/skin/play_a.png);border:0px;}");
const QString kStopLook = QStringLiteral(
    "QPushButton{image:url(:/image/skin/stopliving.png);border:0px;}"
    "QPushButton:pressed{image:url(:/image/skin/stopliving_a.png);border:0px;}");

int authCount(const char *op)
{
    return authport::control().log().count(op);
}

int engineCount(const char *op)
{
    return castcore::control().log().count(op);
}

// Presses the assistant button as the user does: the picture-and-text
// buttons report a press only through buttonpressed().
void pressAssistant(PanelFixture &f, const char *name)
{
    QVERIFY(QMetaObject::invokeMethod(f.child<QPushButton>(name), "buttonpressed"));
}

// Runs `action`, which must bring up exactly one message box, and answers
// the box's text.
template <typename Action>
QString messageOf(Action action)
{
    ModalDriver driver;
    driver.pressNext(QStringLiteral("确定"));
    action();
    if (!driver.waitDone() || !driver.errors().isEmpty() || driver.seen().size() != 1)
        return QStringLiteral("<no single message box>");
    return driver.last().text(QStringLiteral("tipinfolabel"));
}

// Lets queued signals arrive, then answers whether a modal window is up.
bool modalShown()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return QApplication::activeModalWidget() != nullptr;
}

// The scene's plug-in items.
std::vector<int> pluginItems(LiveProxy &proxy)
{
    std::vector<int> ids;
    std::vector<int> out;
    proxy.sortedItemIds(ids);
    for (int id : ids)
        if (proxy.itemType(id) == SceneItemPlugin)
            out.push_back(id);
    return out;
}

void setPlugins(const std::vector<std::u16string> &names)
{
    castcore::World w = castcore::control().world();
    w.plugins = names;
    castcore::control().setWorld(w);
}

// Signs in an account that is no anchor.
bool loginViewer(sessiontest::SessionFixture &f)
{
    authport::World w = authport::control().world();
    authport::Account viewer;
    viewer.user = "mvviewer";
    viewer.passwordMd5 = authport::md5Hex("654321");
    viewer.token = "token-mvviewer";
    viewer.nick = "观众";
    viewer.uid = 30001;
    viewer.anchor = false;
    w.accounts.push_back(viewer);
    authport::control().setWorld(w);
    const int before = f.recorder.count("loginReturn");
    if (!f.proxy->loginByPassword(viewer.user, viewer.passwordMd5, std::string()))
        return false;
    return f.waitFor("loginReturn", before + 1) && f.recorder.last("loginReturn").at(3).toInt() == 0;
}

// Starts the broadcast from the panel and waits for the engine's push.
bool startLive(PanelFixture &f)
{
    const int before = f.recorder.count("liveStatus");
    f.playButton()->click();
    return f.waitFor("liveStatus", before + 1) && f.recorder.last("liveStatus").at(1).toInt() == 0;
}

bool logHasPoint(const QString &action, const QString &extra)
{
    return LogCapture::contains(QStringLiteral("action:%1, e:%2}.").arg(action, extra));
}

} // namespace

class LivePanelTest : public QObject
{
    Q_OBJECT

private slots:
    void formGeometry_data();
    void formGeometry();
    void clockTextFitsItsLabel();
    void skinPicturesServed();
    void formAtRest();
    void startRefusals_data();
    void startRefusals();
    void startRecordsBesideTheBroadcastAndStops();
    void clockCounts();
    void uncheckedBoxBroadcastsWithoutRecording();
    void recordFolderUnusable_data();
    void recordFolderUnusable();
    void runningRecordingEndsBeforeTheNewBroadcast();
    void refusedOpenShowsItsMessage();
    void facadeAlreadyLivingShowsStopLookOnly();
    void statusCodesShownAsTexts_data();
    void statusCodesShownAsTexts();
    void signedInElsewhereResetsWithoutMessage();
    void everyLineRefusedShowsTheServerText();
    void refusedRecordingIsToldAndUnticked();
    void endedRecordingIsToldOnceAndUnticked();
    void recordFileName_data();
    void recordFileName();
    void volumesAndMute_data();
    void volumesAndMute();
    void pluginsByDisplayName();
    void pluginMessages_data();
    void pluginMessages();
    void qqMusicOpensOnceThenConfigures();
    void qqMusicOpenFailures_data();
    void qqMusicOpenFailures();
    void logoutClosesLoginBoundAssistants();
    void restoredPluginItemsRemovedWhenTheFacadeArrives();
    void roomToolLivesFromLoginToLogout();
    void roomManagerButtonShowsTheTool();
    void roomToolGoesWithThePanel();
};

void LivePanelTest::formGeometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QString>("text");
    const auto row = [](const char *name, const char *cls, QRect rect, const QString &text) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(cls) << rect << text;
    };
    row("bulletassistbtn", "MvPicTextBtn", QRect(42, 8, 200, 64), QStringLiteral("弹幕助手"));
    row("musicnameassistbtn", "MvPicTextBtn", QRect(241, 8, 200, 64), QStringLiteral("歌名助手"));
    row("roommanuassistbtn", "MvPicTextBtn", QRect(440, 8, 200, 64), QStringLiteral("房管助手"));
    row("qqmusicbtn", "MvPicTextBtn", QRect(639, 8, 200, 64), QStringLiteral("QQ音乐"));
    row("requestmusicbtn", "MvPicTextBtn", QRect(470, 190, 200, 64), QStringLiteral("点歌助手"));
    row("label_bulletassist", "QLabel", QRect(192, 42, 9, 9), QString());
    row("label_musicnameassist", "QLabel", QRect(391, 42, 9, 9), QString());
    row("label_roommanuassist", "QLabel", QRect(590, 42, 9, 9), QString());
    row("label_requestmusic", "QLabel", QRect(789, 42, 9, 9), QString());
    row("label", "QLabel", QRect(42, 108, 30, 16), QStringLiteral("音量"));
    row("trumpetSlider", "QSlider", QRect(80, 102, 144, 28), QString());
    row("label_trumpetValue", "QLabel", QRect(231, 108, 24, 16), QStringLiteral("50"));
    row("label_2", "QLabel", QRect(272, 110, 40, 16), QStringLiteral("麦克风"));
    row("headsetSlider", "QSlider", QRect(320, 102, 144, 28), QString());
    row("label_headsetValue", "QLabel", QRect(471, 108, 24, 16), QStringLiteral("50"));
    row("label_3", "QLabel", QRect(550, 99, 14, 14), QString());
    row("recordtimelabel", "QLabel", QRect(570, 98, 56, 16), QStringLiteral("00:00:00"));
    row("recordbtn", "MvChangeCursorShapeCheckBox", QRect(550, 116, 71, 20), QStringLiteral("同步录制"));
    row("playbtn", "QPushButton", QRect(642, 86, 204, 69), QString());
}

void LivePanelTest::formGeometry()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QRect, rect);
    QFETCH(QString, text);
    PanelFixture f;
    QWidget *w = f.panel->findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->parentWidget(), static_cast<QWidget *>(f.panel.get()));
    QCOMPARE(QString::fromLatin1(w->metaObject()->className()), className);
    QCOMPARE(w->geometry(), rect);
    if (auto *label = qobject_cast<QLabel *>(w))
        QCOMPARE(label->text(), text);
    else if (auto *button = qobject_cast<QAbstractButton *>(w))
        QCOMPARE(button->text(), text);
    if (auto *slider = qobject_cast<QSlider *>(w))
        QCOMPARE(slider->orientation(), Qt::Horizontal);
}

// With the fonts the program ships with ("微软雅黑" falls back to them), every
// digit of the clock shows.
void LivePanelTest::clockTextFitsItsLabel()
{
    PanelFixture f;
    auto *clock = f.child<QLabel>("recordtimelabel");
    clock->setText(QStringLiteral("00:00:05"));
    clock->ensurePolished();
    const int advance = QFontMetrics(clock->font()).horizontalAdvance(clock->text());
    const int room = clock->contentsRect().width();
    QVERIFY2(advance <= room, qPrintable(QStringLiteral("%1 needs %2 px in %3 px of %4")
                                             .arg(clock->text()).arg(advance).arg(room).arg(clock->font().toString())));
    // A picture of the clock lands in the build folder, to be looked at.
    QVERIFY(testsupport::renderOf(*clock).save(QStringLiteral(MORVA_PICTURE_DIR "/liveclock.png")));
}

void LivePanelTest::skinPicturesServed()
{
    const char *const names[] = {
        "play.png", "play_a.png", "play_b.png", "stopliving.png", "stopliving_a.png", "closeassist.png",
        "sysrecord.png", "checkboxunchoosen.png", "checkboxchoosen.png", "checkboxunchoosen_b.png",
        "checkboxchoosen_b.png", "trumpetslider.png", "trumpetslider_b.png", "bulletassist.png",
        "musicnameassit.png", "roommanuassist.png", "requestmusic.png", "qq_musice.png"};
    for (const char *name : names) {
        const QString path = QStringLiteral(":/image/skin/") + QString::fromLatin1(name);
        QVERIFY2(!QImage(path).isNull(), qPrintable(path));
    }
}

void LivePanelTest::formAtRest()
{
    PanelFixture f;
    QVERIFY(f.started);
    QCOMPARE(f.panel->size(), QSize(848, 1184));
    QCOMPARE(f.clockText(), QStringLiteral("00:00:00"));
    QCOMPARE(f.recordBox()->text(), QStringLiteral("同步录制"));
    QVERIFY(!f.recordBox()->isChecked());
    QCOMPARE(f.child<QLabel>("label_headsetValue")->text(), QStringLiteral("50"));
    QCOMPARE(f.child<QLabel>("label_trumpetValue")->text(), QStringLiteral("50"));
    QVERIFY(!f.child<QWidget>("requestmusicbtn")->isVisibleTo(f.panel.get()));
    for (const char *mark : {"label_bulletassist", "label_musicnameassist", "label_roommanuassist",
                             "label_requestmusic"})
        QVERIFY2(!f.child<QWidget>(mark)->isVisibleTo(f.panel.get()), mark);
    QCOMPARE(f.panel->getScreenItemControl()->geometry(), QRect(0, 153, 848, 1031));
    // Handing in the facade sends no volume.
    QCOMPARE(engineCount("SetVolume"), 0);
}

void LivePanelTest::startRefusals_data()
{
    QTest::addColumn<bool>("signIn");
    QTest::addColumn<QString>("message");
    QTest::newRow("logged out") << false << QStringLiteral("请登录后再直播!");
    QTest::newRow("no anchor") << true << QStringLiteral("您不是主播,无法直播!");
}

void LivePanelTest::startRefusals()
{
    QFETCH(bool, signIn);
    QFETCH(QString, message);
    PanelFixture f;
    if (signIn)
        QVERIFY(loginViewer(f));
    const int logBefore = PanelFixture::logSize();
    QCOMPARE(messageOf([&] { f.playButton()->click(); }), message);
    f.settle();
    QCOMPARE(authCount("IsRoomLive"), 0);
    QVERIFY(!f.proxy->isLiving());
    QVERIFY(!f.panel->isLivingShown());
    QCOMPARE(f.playButton()->styleSheet(), kPlayLook);
    QVERIFY(!PanelFixture::logSince(logBefore).contains(QStringLiteral("open live.")));
    QTest::qWait(1200);
    QCOMPARE(f.clockText(), QStringLiteral("00:00:00"));
}

void LivePanelTest::startRecordsBesideTheBroadcastAndStops()
{
    PanelFixture f;
    QVERIFY(f.login());
    const QString folder = f.env.workPath() + QStringLiteral("/录像/新建");
    QVERIFY(!QDir(folder).exists());
    f.setRecordFolder(folder);
    f.recordBox()->click();
    QVERIFY(f.recordBox()->isChecked());
    QVERIFY(logHasPoint(QStringLiteral("click_home_record"), QStringLiteral("{\"stat\":1}")));

    const QDateTime before = QDateTime::currentDateTime();
    QVERIFY(startLive(f));
    const QDateTime after = QDateTime::currentDateTime();
    QVERIFY(LogCapture::contains(QStringLiteral("open live.")));
    QVERIFY(f.proxy->isLiving());
    QVERIFY(f.panel->isLivingShown());
    QCOMPARE(f.playButton()->styleSheet(), kStopLook);
    QVERIFY(!f.recordBox()->isEnabled());
    QVERIFY(logHasPoint(QStringLiteral("click_home_start"), QStringLiteral("{}")));

    // The folder was made, and the file is named by the time of the start.
    QVERIFY(QDir(folder).exists());
    QTRY_VERIFY(f.proxy->isRecording());
    const QString path = QString::fromStdString(f.engine()->recorder().path());
    QVERIFY2(path.startsWith(folder + QLatin1Char('/')), qPrintable(path));
    const QString name = path.mid(folder.size() + 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d{4}-\\d{4}-\\d{2}\\.mp4$")).match(name).hasMatch(),
             qPrintable(name));
    QStringList possible;
    for (QDateTime t = before.addMSecs(-before.time().msec()); t <= after; t = t.addSecs(1))
        possible << t.toString(QStringLiteral("yyyy-MMdd-hhmm-ss")) + QStringLiteral(".mp4");
    QVERIFY2(possible.contains(name), qPrintable(name));

    // Stop: the panel resets at once; the 326 that follows resets it again
    // and shows its text.
    const int closesBefore = authCount("CloseLive");
    const QString shownTime = f.clockText();
    const QString text = messageOf([&] {
        f.playButton()->click();
        QVERIFY(LogCapture::contains(QStringLiteral("close live.")));
        QVERIFY(!f.panel->isLivingShown());
        QCOMPARE(f.playButton()->styleSheet(), kPlayLook);
        QVERIFY(f.recordBox()->isEnabled());
    });
    QCOMPARE(text, QStringLiteral("您已主动关闭直播间!"));
    QCOMPARE(f.playButton()->styleSheet(), kPlayLookAfterFailure);
    QCOMPARE(authCount("CloseLive") - closesBefore, 2);
    QVERIFY(!f.proxy->isLiving());
    QVERIFY(!f.proxy->isRecording());
    QCOMPARE(f.clockText(), shownTime);
}

void LivePanelTest::clockCounts()
{
    PanelFixture f;
    QVERIFY(f.login());
    QVERIFY(startLive(f));
    QCOMPARE(f.clockText(), QStringLiteral("00:00:00"));
    QTRY_COMPARE_WITH_TIMEOUT(f.clockText(), QStringLiteral("00:00:01"), 3000);
    // Stopped, the label keeps its last time; the next start resets it.
    messageOf([&] { f.playButton()->click(); });
    QTest::qWait(1200);
    QCOMPARE(f.clockText(), QStringLiteral("00:00:01"));
    QVERIFY(startLive(f));
    QCOMPARE(f.clockText(), QStringLiteral("00:00:00"));
}

void LivePanelTest::uncheckedBoxBroadcastsWithoutRecording()
{
    PanelFixture f;
    QVERIFY(f.login());
    f.setRecordFolder(f.env.workPath() + QStringLiteral("/rec"));
    QVERIFY(startLive(f));
    f.settle();
    QVERIFY(!f.proxy->isRecording());
    QCOMPARE(engineCount("Start"), 0);
    QVERIFY(!QDir(f.env.workPath() + QStringLiteral("/rec")).exists());
}

void LivePanelTest::recordFolderUnusable_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("below a file") << QStringLiteral("a-file/rec");
    // An empty folder would put the file at the root of the file system.
    QTest::newRow("none set") << QString();
}

void LivePanelTest::recordFolderUnusable()
{
    QFETCH(QString, folder);
    PanelFixture f;
    QVERIFY(f.login());
    QFile file(f.env.workPath() + QStringLiteral("/a-file"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    f.setRecordFolder(folder);
    f.recordBox()->click();
    QVERIFY(startLive(f));
    f.settle();
    QVERIFY(f.panel->isLivingShown());
    QVERIFY(!f.proxy->isRecording());
    QCOMPARE(engineCount("Start"), 0);
    QVERIFY(!modalShown());
}

void LivePanelTest::runningRecordingEndsBeforeTheNewBroadcast()
{
    PanelFixture f;
    QVERIFY(f.login());
    const QString folder = f.env.workPath() + QStringLiteral("/rec");
    f.setRecordFolder(folder);
    QVERIFY(QDir().mkpath(folder)); // the engine records only into a folder that is there
    QVERIFY(f.proxy->startRecording((folder + QStringLiteral("/old.mp4")).toStdString()));
    f.recordBox()->click();
    f.calls().clear();
    QVERIFY(startLive(f));
    QTRY_VERIFY(f.proxy->isRecording());
    const std::vector<std::string> ops = f.ops({"Stop", "Start"});
    QCOMPARE(ops, (std::vector<std::string>{"Stop", "Start"}));
    QVERIFY(!QString::fromStdString(f.engine()->recorder().path()).endsWith(QStringLiteral("old.mp4")));
}

void LivePanelTest::refusedOpenShowsItsMessage()
{
    PanelFixture f;
    QVERIFY(f.login());
    // Another account job holds the job thread, so the open is refused.
    authport::control().gates().close("RequestQrCode");
    QVERIFY(f.proxy->requestQrCode());
    QVERIFY(authport::control().gates().waitForWaiting("RequestQrCode", 1, 5000));
    QCOMPARE(messageOf([&] { f.playButton()->click(); }), QStringLiteral("直播失败，请联系客服!"));
    authport::control().gates().open("RequestQrCode");
    f.settle();
    QVERIFY(!f.panel->isLivingShown());
    QCOMPARE(f.playButton()->styleSheet(), kPlayLook);
    QVERIFY(f.recordBox()->isEnabled());
    QCOMPARE(authCount("IsRoomLive"), 0);
}

void LivePanelTest::facadeAlreadyLivingShowsStopLookOnly()
{
    PanelFixture f;
    QVERIFY(f.login());
    QVERIFY(startLive(f));
    UiSetLiving second;
    second.setConfig(f.config.get());
    second.setLiveProxy(f.proxy.get());
    const int logBefore = PanelFixture::logSize();
    second.findChild<QPushButton *>(QStringLiteral("playbtn"))->click();
    f.settle();
    QVERIFY(second.isLivingShown());
    QCOMPARE(second.findChild<QPushButton *>(QStringLiteral("playbtn"))->styleSheet(), kStopLook);
    QVERIFY(second.findChild<QCheckBox *>(QStringLiteral("recordbtn"))->isEnabled());
    QCOMPARE(authCount("IsRoomLive"), 1);
    QVERIFY(!PanelFixture::logSince(logBefore).contains(QStringLiteral("open live.")));
    QTest::qWait(1200);
    QCOMPARE(second.findChild<QLabel *>(QStringLiteral("recordtimelabel"))->text(), QStringLiteral("00:00:00"));
}

void LivePanelTest::statusCodesShownAsTexts_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("shown");
    QTest::newRow("212 from the table") << QString() << 212 << QStringLiteral("连接服务器失败!");
    QTest::newRow("214 from the table") << QString() << 214 << QStringLiteral("您不是主播，不能使用直播功能!");
    QTest::newRow("the status's own text") << QStringLiteral("直播间已被封禁") << 226
                                           << QStringLiteral("直播间已被封禁");
    QTest::newRow("unknown code") << QString() << 9999
                                  << QStringLiteral("未知错误 error code:9999，如有疑问请与客服联系!");
}

void LivePanelTest::statusCodesShownAsTexts()
{
    QFETCH(QString, message);
    QFETCH(int, code);
    QFETCH(QString, shown);
    PanelFixture f;
    QVERIFY(f.login());
    QVERIFY(startLive(f));
    const int closesBefore = authCount("CloseLive");
    QCOMPARE(messageOf([&] { f.listener.OnLiveStatus(message.toStdString(), code); }), shown);
    QVERIFY(LogCapture::contains(QStringLiteral("receive live status: code %1.").arg(code)));
    QVERIFY(!f.panel->isLivingShown());
    QCOMPARE(f.playButton()->styleSheet(), kPlayLookAfterFailure);
    QVERIFY(f.recordBox()->isEnabled());
    QCOMPARE(authCount("CloseLive") - closesBefore, 1);
    QVERIFY(!f.proxy->isLiving());
    const QString stopped = f.clockText();
    QTest::qWait(1200);
    QCOMPARE(f.clockText(), stopped);
}

void LivePanelTest::signedInElsewhereResetsWithoutMessage()
{
    PanelFixture f;
    QVERIFY(f.login());
    QVERIFY(startLive(f));
    const int closesBefore = authCount("CloseLive");
    f.listener.OnLiveStatus(std::string(), 211);
    QVERIFY(!modalShown());
    QVERIFY(!f.panel->isLivingShown());
    QCOMPARE(f.playButton()->styleSheet(), kPlayLookAfterFailure);
    QCOMPARE(authCount("CloseLive") - closesBefore, 1);

    // Status 0 (the push started) changes nothing.
    QVERIFY(startLive(f));
    f.listener.OnLiveStatus(std::string(), 0);
    QVERIFY(!modalShown());
    QVERIFY(f.panel->isLivingShown());
    QCOMPARE(f.playButton()->styleSheet(), kStopLook);
}

void LivePanelTest::everyLineRefusedShowsTheServerText()
{
    PanelFixture f;
    QVERIFY(f.login());
    for (const authport::Room &room : authport::control().world().rooms)
        for (const LiveLine &line : room.lines)
            castcore::control().setPushOutcome(line.url, false);
    QCOMPARE(messageOf([&] { f.playButton()->click(); }), QStringLiteral("连接服务器失败!"));
    QVERIFY(!f.panel->isLivingShown());
    QVERIFY(!f.proxy->isLiving());
    QVERIFY(f.recordBox()->isEnabled());
}

void LivePanelTest::refusedRecordingIsToldAndUnticked()
{
    PanelFixture f;
    QVERIFY(f.login());
    f.setRecordFolder(f.env.workPath() + QStringLiteral("/rec"));
    f.recordBox()->click();
    castcore::control().bools().push("Start", false);
    QCOMPARE(messageOf([&] { QVERIFY(startLive(f)); }),
             QStringLiteral("同步录制未能开始，请检查录制文件夹能否写入。直播照常进行。"));
    QCOMPARE(engineCount("Start"), 1);
    // The panel no longer shows a recording; the broadcast and its clock go on.
    QVERIFY(!f.recordBox()->isChecked());
    QVERIFY(!f.recordBox()->isEnabled());
    QVERIFY(f.panel->isLivingShown());
    QCOMPARE(f.playButton()->styleSheet(), kStopLook);
    QVERIFY(f.proxy->isLiving());
    const QString shown = f.clockText();
    QTRY_VERIFY_WITH_TIMEOUT(f.clockText() != shown, 5000);
    QVERIFY(!modalShown());
}

void LivePanelTest::endedRecordingIsToldOnceAndUnticked()
{
    PanelFixture f;
    QVERIFY(f.login());
    f.setRecordFolder(f.env.workPath() + QStringLiteral("/rec"));
    f.recordBox()->click();
    // Answered without recording, so the engine's end is this recording's.
    castcore::control().bools().push("Start", true);
    QVERIFY(startLive(f));
    QTRY_VERIFY(f.proxy->isRecording());
    const std::string path = f.proxy->recordingPath();
    QCOMPARE(messageOf([&] { f.engine()->fireRecordingEnded(ENOSPC); }),
             QStringLiteral("同步录制已停止：磁盘空间已满。已录制的内容已保存。直播照常进行。"));
    QVERIFY(!f.recordBox()->isChecked());
    QVERIFY(f.panel->isLivingShown());
    QCOMPARE(f.playButton()->styleSheet(), kStopLook);
    QVERIFY(f.proxy->isLiving());
    QVERIFY(!f.proxy->isRecording());
    const QString shown = f.clockText();
    QTRY_VERIFY_WITH_TIMEOUT(f.clockText() != shown, 5000);

    // The same end again shows no second box.
    f.engine()->fireRecordingEnded(ENOSPC);
    f.proxy->OnRecordingEnded(path.c_str(), ENOSPC);
    f.settle();
    QVERIFY(!modalShown());

    // Stopped, the box is free to tick for the next broadcast.
    QCOMPARE(messageOf([&] { f.playButton()->click(); }), QStringLiteral("您已主动关闭直播间!"));
    QVERIFY(f.recordBox()->isEnabled());
    QVERIFY(!f.recordBox()->isChecked());
}

void LivePanelTest::recordFileName_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("name");
    QTest::newRow("padded") << QDateTime(QDate(2017, 11, 3), QTime(9, 5, 7)) << QStringLiteral("2017-1103-0905-07.mp4");
    QTest::newRow("last second of a year") << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59))
                                           << QStringLiteral("2026-1231-2359-59.mp4");
}

void LivePanelTest::recordFileName()
{
    QFETCH(QDateTime, when);
    QFETCH(QString, name);
    QCOMPARE(UiSetLiving::makeRecordFileName(when), name);
}

void LivePanelTest::volumesAndMute_data()
{
    QTest::addColumn<QString>("slider");
    QTest::addColumn<QString>("valueLabel");
    QTest::addColumn<int>("channel");
    QTest::newRow("microphone") << QStringLiteral("headsetSlider") << QStringLiteral("label_headsetValue") << 1;
    QTest::newRow("system sound") << QStringLiteral("trumpetSlider") << QStringLiteral("label_trumpetValue") << 2;
}

void LivePanelTest::volumesAndMute()
{
    QFETCH(QString, slider);
    QFETCH(QString, valueLabel);
    QFETCH(int, channel);
    PanelFixture f;
    auto *s = f.panel->findChild<QSlider *>(slider);
    auto *label = f.panel->findChild<QLabel *>(valueLabel);
    QCOMPARE(s->minimum(), 0);
    QCOMPARE(s->maximum(), 100);
    const auto volume = [channel](int v) { return QStringLiteral("SetVolume(%1,%2)").arg(channel).arg(v); };
    f.calls().clear();
    s->setValue(70);
    QCOMPARE(label->text(), QStringLiteral("70"));
    QCOMPARE(f.callsOf("SetVolume"), QStringList{volume(70)});
    f.calls().clear();
    s->setValue(0); // mutes: the level, then the mute's 0
    QCOMPARE(label->text(), QStringLiteral("0"));
    QCOMPARE(f.callsOf("SetVolume"), (QStringList{volume(0), volume(0)}));
    f.calls().clear();
    s->setValue(30); // unmutes with the new level
    QCOMPARE(f.callsOf("SetVolume"), (QStringList{volume(30), volume(30)}));
    f.calls().clear();
    s->setValue(40);
    QCOMPARE(f.callsOf("SetVolume"), QStringList{volume(40)});
}

void LivePanelTest::pluginsByDisplayName()
{
    PanelFixture f;
    QVERIFY(f.login());
    QWidget *mark = f.child<QWidget>("label_bulletassist");
    f.calls().clear();
    pressAssistant(f, "bulletassistbtn");
    QCOMPARE(f.callsOf("OpenPlugin").size(), 1);
    QVERIFY(f.callsOf("OpenPlugin").at(0).startsWith(QStringLiteral("OpenPlugin(弹幕助手")));
    const std::vector<int> open = pluginItems(*f.proxy);
    QCOMPARE(int(open.size()), 1);
    // Layer 3: an ordinary item's z-order.
    QVERIFY(f.proxy->getItemZorder(open[0]) >= scenereg::kActiveZMin);
    QVERIFY(f.proxy->getItemZorder(open[0]) <= scenereg::kActiveZMax);
    QVERIFY(mark->isVisibleTo(f.panel.get()));
    QVERIFY(logHasPoint(QStringLiteral("click_home_msg"), QStringLiteral("{\"stat\":1}")));

    pressAssistant(f, "bulletassistbtn"); // closes it
    QVERIFY(pluginItems(*f.proxy).empty());
    QVERIFY(!mark->isVisibleTo(f.panel.get()));
    QVERIFY(logHasPoint(QStringLiteral("click_home_msg"), QStringLiteral("{\"stat\":0}")));

    // The song-name assistant needs no login.
    f.proxy->logout();
    pressAssistant(f, "musicnameassistbtn");
    QCOMPARE(int(pluginItems(*f.proxy).size()), 1);
    QVERIFY(f.child<QWidget>("label_musicnameassist")->isVisibleTo(f.panel.get()));
    QVERIFY(logHasPoint(QStringLiteral("click_home_song"), QStringLiteral("{\"stat\":1}")));
}

void LivePanelTest::pluginMessages_data()
{
    QTest::addColumn<bool>("signIn");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("openAnswer"); // 1: the engine opens it
    QTest::addColumn<QString>("message");
    QTest::newRow("barrage logged out") << false << "bulletassistbtn" << 1
                                        << QStringLiteral("弹幕助手使用前需要先登录!");
    QTest::newRow("song request logged out") << false << "requestmusicbtn" << 1
                                             << QStringLiteral("点歌助手使用前需要先登录!");
    QTest::newRow("song request not installed") << true << "requestmusicbtn" << 1
                                                << QStringLiteral("点歌助手没有安装!");
    QTest::newRow("barrage open failed") << true << "bulletassistbtn" << -7 << QStringLiteral("弹幕助手打开失败!");
    QTest::newRow("song name open failed") << false << "musicnameassistbtn" << 0
                                           << QStringLiteral("歌名助手打开失败!");
    QTest::newRow("room manager logged out") << false << "roommanuassistbtn" << 1
                                             << QStringLiteral("房管助手使用前需要先登录!");
    QTest::newRow("qq music logged out") << false << "qqmusicbtn" << 1 << QStringLiteral("QQ音乐使用前需要先登录!");
    QTest::newRow("qq music without the open status") << true << "qqmusicbtn" << 1
                                                       << QStringLiteral("暂未获得内测资格，敬请期待!");
}

void LivePanelTest::pluginMessages()
{
    QFETCH(bool, signIn);
    QFETCH(QString, button);
    QFETCH(int, openAnswer);
    QFETCH(QString, message);
    PanelFixture f;
    if (signIn)
        QVERIFY(f.login());
    if (openAnswer <= 0)
        castcore::control().ints().push("OpenPlugin", openAnswer);
    QCOMPARE(messageOf([&] { pressAssistant(f, button.toLatin1().constData()); }), message);
    QVERIFY(pluginItems(*f.proxy).empty());
    for (const char *mark : {"label_bulletassist", "label_musicnameassist", "label_requestmusic"})
        QVERIFY2(!f.child<QWidget>(mark)->isVisibleTo(f.panel.get()), mark);
    // A failed open is tried again on the next press.
    if (signIn && openAnswer <= 0) {
        pressAssistant(f, button.toLatin1().constData());
        QCOMPARE(int(pluginItems(*f.proxy).size()), 1);
    }
}

void LivePanelTest::qqMusicOpensOnceThenConfigures()
{
    PanelFixture f;
    setPlugins({u"弹幕助手", u"QQ音乐插件 ", u"QQ音乐插件"});
    QVERIFY(f.login());
    // The answer to the open-status query that follows the login.
    f.proxy->onWebResponse(QStringLiteral("https://127.0.0.1:9/musicnc/anchor/getOpenStatus"),
                           QByteArray("{\"error\":0,\"data\":{\"status\":1}}"));
    QVERIFY(f.proxy->isMusicOpen());
    pressAssistant(f, "qqmusicbtn");
    pressAssistant(f, "qqmusicbtn");
    QCOMPARE(f.callsOf("OpenPlugin").size(), 1);
    QVERIFY(f.callsOf("OpenPlugin").at(0).startsWith(QStringLiteral("OpenPlugin(QQ音乐插件,")));
    const std::vector<int> open = pluginItems(*f.proxy);
    QCOMPARE(int(open.size()), 1);
    QCOMPARE(engineCount("ShowPluginConfig"), 2);
    // Layer 5: the z-order of the edge layer.
    QCOMPARE(f.proxy->getItemZorder(open[0]), scenereg::kZEdge);
    QVERIFY(logHasPoint(QStringLiteral("click_home_mus"), QStringLiteral("{}")));
}

void LivePanelTest::qqMusicOpenFailures_data()
{
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("message");
    QTest::newRow("not installed") << false << QStringLiteral("QQ音乐插件没有安装!");
    QTest::newRow("open failed") << true << QStringLiteral("QQ音乐插件打开失败!");
}

void LivePanelTest::qqMusicOpenFailures()
{
    QFETCH(bool, installed);
    QFETCH(QString, message);
    PanelFixture f;
    if (installed) {
        setPlugins({u"QQ音乐插件"});
        castcore::control().ints().push("OpenPlugin", -2);
    }
    QVERIFY(f.login());
    f.proxy->onWebResponse(QStringLiteral("https://127.0.0.1:9/musicnc/anchor/getOpenStatus"),
                           QByteArray("{\"error\":0,\"data\":{\"status\":1}}"));
    QCOMPARE(messageOf([&] { pressAssistant(f, "qqmusicbtn"); }), message);
    QCOMPARE(engineCount("ShowPluginConfig"), 0);
    QVERIFY(pluginItems(*f.proxy).empty());
    if (installed) { // tried again with the next press
        pressAssistant(f, "qqmusicbtn");
        QCOMPARE(int(pluginItems(*f.proxy).size()), 1);
        QCOMPARE(engineCount("ShowPluginConfig"), 1);
    }
}

void LivePanelTest::logoutClosesLoginBoundAssistants()
{
    PanelFixture f;
    setPlugins({u"弹幕助手", u"歌名插件", u"点歌插件"});
    QVERIFY(f.login());
    pressAssistant(f, "bulletassistbtn");
    pressAssistant(f, "musicnameassistbtn");
    pressAssistant(f, "requestmusicbtn");
    QCOMPARE(int(pluginItems(*f.proxy).size()), 3);
    std::vector<int> ids;
    f.proxy->sortedItemIds(ids);

    f.panel->slot_onUserLoginStatus(QStringLiteral("mvanchor"), false);
    const std::vector<int> left = pluginItems(*f.proxy);
    QCOMPARE(int(left.size()), 1);
    QVERIFY(f.callsOf("OpenPlugin").at(1).startsWith(QStringLiteral("OpenPlugin(歌名插件")));
    QVERIFY(f.child<QWidget>("label_musicnameassist")->isVisibleTo(f.panel.get()));
    QVERIFY(!f.child<QWidget>("label_bulletassist")->isVisibleTo(f.panel.get()));
    QVERIFY(!f.child<QWidget>("label_requestmusic")->isVisibleTo(f.panel.get()));
    // Closed assistants open again with the next press.
    pressAssistant(f, "bulletassistbtn");
    QCOMPARE(int(pluginItems(*f.proxy).size()), 2);
}

void LivePanelTest::restoredPluginItemsRemovedWhenTheFacadeArrives()
{
    PanelFixture f;
    const std::vector<int> pictures = f.addImages(1);
    QVERIFY(f.proxy->openPlugin(u"弹幕助手", 3) > 0);
    QVERIFY(f.proxy->openPlugin(u"歌名插件", 3) > 0);
    QCOMPARE(int(pluginItems(*f.proxy).size()), 2);
    UiSetLiving second;
    second.setLiveProxy(f.proxy.get());
    QVERIFY(pluginItems(*f.proxy).empty());
    QCOMPARE(f.proxy->itemType(pictures[0]), int(SceneItemPicture));
}

void LivePanelTest::roomToolLivesFromLoginToLogout()
{
    PanelFixture f;
    const std::string chat = chatlink::encodeChat({77, "张三", "你好", 3});
    const QString chatLog = ChatLogFile::defaultPath();
    // No tool before a login: room events are dropped.
    authport::control().fireRoomMessage(chat);
    QVERIFY(f.waitFor("newBarrage", 1));
    QCoreApplication::processEvents();
    QVERIFY(!f.panel->roomTool());

    QVERIFY(f.login());
    f.panel->slot_onUserLoginStatus(QStringLiteral("mvanchor"), true);
    QPointer<RoomManageTool> tool = f.panel->roomTool();
    QVERIFY(tool);
    QVERIFY(!tool->isVisible());
    QCOMPARE(tool->parentWidget(), f.mainWindow.get());
    // Its settings came from the panel's store.
    RoomToolSettings room;
    QVERIFY(f.config->getRoomConfig(room));
    // A second login report keeps the tool.
    f.panel->slot_onUserLoginStatus(QStringLiteral("mvanchor"), true);
    QCOMPARE(f.panel->roomTool(), tool.data());

    // Hidden, it still collects the room's chat.
    authport::control().fireRoomMessage(chat);
    QVERIFY(f.waitFor("newBarrage", 2));
    QCoreApplication::processEvents();
    QFile log(chatLog);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString lines = QString::fromUtf8(log.readAll());
    log.close();
    QVERIFY2(lines.contains(QStringLiteral("张三:")) && lines.contains(QStringLiteral("你好")), qPrintable(lines));
    QCOMPARE(lines.count(QStringLiteral("你好")), 1);

    f.panel->slot_onUserLoginStatus(QString(), false);
    QVERIFY(tool.isNull());
    QVERIFY(!f.panel->roomTool());
    // Events after the logout find no tool.
    authport::control().fireRoomMessage(chat);
    QVERIFY(f.waitFor("newBarrage", 3));
    QCoreApplication::processEvents();
}

void LivePanelTest::roomManagerButtonShowsTheTool()
{
    PanelFixture f;
    QVERIFY(f.login());
    pressAssistant(f, "roommanuassistbtn");
    RoomManageTool *tool = f.panel->roomTool();
    QVERIFY(tool);
    QVERIFY(tool->isVisible());
    QCOMPARE(currentDialog.data(), static_cast<QDialog *>(tool));
    QCOMPARE(tool->parentWidget(), f.mainWindow.get());
    QVERIFY(logHasPoint(QStringLiteral("click_home_admin"), QStringLiteral("{}")));
    // Pressed again, the same tool shows.
    pressAssistant(f, "roommanuassistbtn");
    QCOMPARE(f.panel->roomTool(), tool);
    QVERIFY(!f.child<QWidget>("label_roommanuassist")->isVisibleTo(f.panel.get()));
}

void LivePanelTest::roomToolGoesWithThePanel()
{
    PanelFixture f;
    QVERIFY(f.login());
    f.panel->slot_onUserLoginStatus(QStringLiteral("mvanchor"), true);
    QPointer<RoomManageTool> tool = f.panel->roomTool();
    QVERIFY(tool);
    f.panel.reset();
    QVERIFY(tool.isNull());
}

std::unique_ptr<QObject> makeLivePanelTest()
{
    return std::make_unique<LivePanelTest>();
}

#include "tst_livepanel.moc"
