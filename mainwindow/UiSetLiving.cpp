#include "UiSetLiving.h"
#include "ui_UiSetLiving.h"

#include "LiveProxy.h"
#include "Logger.h"
#include "MvPicTextBtn.h"
#include "RoomManageTool.h"
#include "SceneRegistry.h"
#include "SysConfig.h"
#include "UiScreenItemControlWidget.h"
#include "UiToolTipDialog.h"

#include <QColor>
#include <QDir>
#include <QTimerEvent>

#include <vector>

namespace {

// Analytics action codes reported from this panel.
constexpr int kActionBarrage = 3;
constexpr int kActionSongName = 4;
constexpr int kActionRoomManager = 5;
constexpr int kActionSongRequest = 6;
constexpr int kActionLiveStarted = 7;
constexpr int kActionRecordBox = 8;
constexpr int kActionQqMusicConfig = 21;

// openPluginByName's answer when no installed plug-in has the name.
constexpr int kPluginNotInstalled = -100;

const char *const kPlayLook = "QPushButton{image:url(:/image/skin/play.png);border:0px;}"
                              "QPushButton:hover{image:url(:/image/skin/play_a.png);border:0px;}"
                              "QPushButton:pressed{ image:url(:/image/skin/play_b.png);border:0px;}";
const char *const kPlayLookAfterFailure = "QPushButton{image:url(:/image/skin/play.png);border:0px;}"
                                          "QPushButton:hover{image:url(:/image/skin/play_a.png);border:0px;}";
const char *const kStopLook = "QPushButton{image:url(:/image/skin/stopliving.png);border:0px;}"
                              "QPushButton:pressed{image:url(:/image/skin/stopliving_a.png);border:0px;}";

Logger *logger()
{
    return Logger::instance();
}

} // namespace

UiSetLiving::UiSetLiving(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::UiSetLiving)
{
    ui->setupUi(this);
    resize(848, 1184);
    m_itemList = new UiScreenItemControlWidget(this);
    m_itemList->setGeometry(0, 153, 848, 1031);
    initWidgets();
    // The picture-and-text buttons report a press as buttonpressed(), never clicked().
    connect(ui->bulletassistbtn, SIGNAL(buttonpressed()), this, SLOT(on_bulletassistbtn_clicked()));
    connect(ui->musicnameassistbtn, SIGNAL(buttonpressed()), this, SLOT(on_musicnameassistbtn_clicked()));
    connect(ui->roommanuassistbtn, SIGNAL(buttonpressed()), this, SLOT(on_roommanuassistbtn_clicked()));
    connect(ui->requestmusicbtn, SIGNAL(buttonpressed()), this, SLOT(on_requestmusicbtn_clicked()));
    connect(ui->qqmusicbtn, SIGNAL(buttonpressed()), this, SLOT(on_qqmusicbtn_clicked()));
}

UiSetLiving::~UiSetLiving()
{
    deleteRoomTool();
}

void UiSetLiving::setLiveProxy(LiveProxy *proxy)
{
    m_proxy = proxy;
    removePluginItems();
    m_itemList->setLiveProxy(proxy);
}

void UiSetLiving::setConfig(SysConfig *config)
{
    m_config = config;
}

void UiSetLiving::initWidgets()
{
    initControls();
    hideAssistMarks();
}

void UiSetLiving::initControls()
{
    styleAssistButton(ui->bulletassistbtn, QStringLiteral(":/image/skin/bulletassist.png"), 40);
    styleAssistButton(ui->musicnameassistbtn, QStringLiteral(":/image/skin/musicnameassit.png"), 40);
    styleAssistButton(ui->roommanuassistbtn, QStringLiteral(":/image/skin/roommanuassist.png"), 40);
    styleAssistButton(ui->requestmusicbtn, QStringLiteral(":/image/skin/requestmusic.png"), 40);
    styleAssistButton(ui->qqmusicbtn, QStringLiteral(":/image/skin/qq_musice.png"), 52);
    ui->requestmusicbtn->hide();
    ui->headsetSlider->setRange(0, 100);
    ui->trumpetSlider->setRange(0, 100);
    ui->headsetSlider->setValue(m_micLevel);
    ui->trumpetSlider->setValue(m_systemLevel);
}

void UiSetLiving::styleAssistButton(MvPicTextBtn *button, const QString &picture, int offset)
{
    const QColor text(0x65, 0x6f, 0x7a);
    const QColor back(0xfc, 0xfc, 0xfc);
    button->SetPictures(picture, picture);
    button->SetTextColors(text, text, text);
    button->SetTextFont(QStringLiteral("微软雅黑"), 16, true);
    button->SetBackgroundColors(back, back, back, QColor(0xe0, 0xe1, 0xe7));
    button->SetRadius(6);
    button->SetPictureOffset(offset);
    button->SetTextSpacing(10);
}

void UiSetLiving::hideAssistMarks()
{
    ui->label_bulletassist->hide();
    ui->label_musicnameassist->hide();
    ui->label_roommanuassist->hide();
    ui->label_requestmusic->hide();
}

void UiSetLiving::showMessage(const QString &text)
{
    UiToolTipDialog box(text, this);
    box.exec();
}

// ---- start and stop

void UiSetLiving::showPlayLook(bool withPressed)
{
    ui->playbtn->setStyleSheet(QString::fromUtf8(withPressed ? kPlayLook : kPlayLookAfterFailure));
}

void UiSetLiving::resetAfterStop()
{
    m_living = false;
    ui->recordbtn->setEnabled(true);
    // The clock label keeps the last elapsed time. The id is forgotten, so
    // a second reset never kills a timer id Qt may have handed out again.
    if (m_timerId > 0)
        killTimer(m_timerId);
    m_timerId = -1;
}

void UiSetLiving::on_playbtn_clicked()
{
    if (!m_proxy)
        return;
    if (m_living) {
        logger()->write(Logger::LOG_INFO, "close live.");
        m_proxy->stopLive(true);
        showPlayLook(true);
        resetAfterStop();
        return;
    }
    startLive();
}

void UiSetLiving::startLive()
{
    if (!m_proxy->isLoggedIn()) {
        showMessage(QStringLiteral("请登录后再直播!"));
        return;
    }
    if (!m_proxy->isAnchor()) {
        showMessage(QStringLiteral("您不是主播,无法直播!"));
        return;
    }
    if (!m_proxy->isLiving()) {
        logger()->write(Logger::LOG_INFO, "open live.");
        const std::string recordFile = prepareRecordFile();
        if (!m_proxy->openLive(recordFile)) {
            showMessage(QStringLiteral("直播失败，请联系客服!"));
            return;
        }
        ui->recordbtn->setEnabled(false);
        if (m_timerId > 0)
            killTimer(m_timerId);
        m_timerId = startTimer(1000, Qt::CoarseTimer);
        ui->recordtimelabel->setText(QStringLiteral("00:00:00"));
        m_liveClock.start();
    }
    ui->playbtn->setStyleSheet(QString::fromUtf8(kStopLook));
    m_living = true;
    m_proxy->reportAction(kActionLiveStarted, -1);
}

std::string UiSetLiving::prepareRecordFile()
{
    std::string recordFile;
    if (!ui->recordbtn->isChecked())
        return recordFile;
    const QString folder = m_config ? QString::fromStdString(m_config->recordPath()) : QString();
    if (folder.isEmpty()) {
        // An empty folder would put the file at the root of the file system.
        logger()->write(Logger::LOG_WARN, "no record folder set: live without recording.");
    } else {
        const QString fullPath = folder + QLatin1Char('/') + makeRecordFileName();
        if (!QDir(folder).exists())
            QDir().mkpath(folder);
        if (QDir(folder).exists())
            recordFile = fullPath.toStdString();
    }
    // A recording still running ends before the new broadcast starts.
    if (m_proxy->isRecording())
        m_proxy->stopRecording();
    return recordFile;
}

QString UiSetLiving::makeRecordFileName(const QDateTime &when)
{
    const QDate d = when.date();
    const QTime t = when.time();
    return QString::asprintf("%d-%02d%02d-%02d%02d-%02d.mp4", d.year(), d.month(), d.day(), t.hour(), t.minute(),
                             t.second());
}

void UiSetLiving::timerEvent(QTimerEvent *event)
{
    Q_UNUSED(event);
    ui->recordtimelabel->setText(m_liveClock.text());
}

void UiSetLiving::on_recordbtn_clicked()
{
    const bool checked = ui->recordbtn->isChecked();
    ui->recordbtn->setChecked(checked);
    if (m_proxy)
        m_proxy->reportAction(kActionRecordBox, checked ? 1 : 0);
}

void UiSetLiving::slot_onNotifyLiveStatus(QString message, int code)
{
    logger()->write(Logger::LOG_INFO, "receive live status: code %d.", code);
    if (code == 0)
        return;
    resetAfterStop();
    if (m_proxy)
        m_proxy->stopLive(false);
    showPlayLook(false);
    // 211: signed in elsewhere; the login dialog tells the user.
    if (code == 211)
        return;
    showMessage(message.isEmpty() ? LiveProxy::errorMessage(code) : message);
}

void UiSetLiving::slot_onRecordingFailed(QString message)
{
    // No longer shown as recording; the clock goes on with the broadcast.
    ui->recordbtn->setChecked(false);
    showMessage(message);
}

// ---- volumes

void UiSetLiving::on_headsetSlider_valueChanged(int value)
{
    changeVolume(value, ui->label_headsetValue, m_micLevel, m_micMuted, &LiveProxy::setMicLevel);
}

void UiSetLiving::on_trumpetSlider_valueChanged(int value)
{
    changeVolume(value, ui->label_trumpetValue, m_systemLevel, m_systemMuted, &LiveProxy::setSystemLevel);
}

void UiSetLiving::changeVolume(int value, QLabel *label, int &level, bool &muted, LevelSetter setLevel)
{
    label->setText(QString::number(value));
    level = value;
    // No facade yet: the values set while the panel is built stay here.
    if (!m_proxy)
        return;
    (m_proxy->*setLevel)(value);
    if (!muted && value == 0)
        setMute(true, level, muted, setLevel);
    else if (muted && value != 0)
        setMute(false, level, muted, setLevel);
}

void UiSetLiving::setMute(bool mute, int level, bool &muted, LevelSetter setLevel)
{
    muted = mute;
    (m_proxy->*setLevel)(mute ? 0 : level);
}

void UiSetLiving::slot_onNotifyLevel(int type, int level)
{
    Q_UNUSED(type);
    Q_UNUSED(level);
}

// ---- assistant plug-ins

int UiSetLiving::openPluginByName(const QString &name, int layer)
{
    const LiveProxy::PluginName *names = nullptr;
    int count = 0;
    m_proxy->pluginList(&names, &count);
    const std::u16string wanted(reinterpret_cast<const char16_t *>(name.utf16()), size_t(name.size()));
    for (int i = 0; names && i < count; ++i) {
        if (std::u16string(names[i].text) == wanted)
            return m_proxy->openPlugin(names[i].text, layer);
    }
    return kPluginNotInstalled;
}

void UiSetLiving::toggleAssistant(const Assistant &a)
{
    if (!m_proxy)
        return;
    if (*a.pluginId > 0) {
        m_proxy->removeItem(*a.pluginId);
        *a.pluginId = -1;
        a.mark->hide();
        m_proxy->reportAction(a.action, 0);
        return;
    }
    if (a.loginMessage && !m_proxy->isLoggedIn()) {
        showMessage(QString::fromUtf8(a.loginMessage));
        return;
    }
    *a.pluginId = openPluginByName(QString::fromUtf8(a.pluginName), scenereg::LayerActive);
    if (*a.pluginId == kPluginNotInstalled) {
        showMessage(QString::fromUtf8(a.notInstalled));
    } else if (*a.pluginId <= 0) {
        showMessage(QString::fromUtf8(a.openFailed));
    } else {
        a.mark->show();
        m_proxy->reportAction(a.action, 1);
    }
}

void UiSetLiving::on_bulletassistbtn_clicked()
{
    toggleAssistant({&m_barragePluginId, ui->label_bulletassist, "弹幕助手使用前需要先登录!", "弹幕助手",
                     "弹幕助手没有安装!", "弹幕助手打开失败!", kActionBarrage});
}

void UiSetLiving::on_musicnameassistbtn_clicked()
{
    toggleAssistant({&m_songNamePluginId, ui->label_musicnameassist, nullptr, "歌名插件", "歌名助手没有安装!",
                     "歌名助手打开失败!", kActionSongName});
}

void UiSetLiving::on_requestmusicbtn_clicked()
{
    toggleAssistant({&m_songRequestPluginId, ui->label_requestmusic, "点歌助手使用前需要先登录!", "点歌插件",
                     "点歌助手没有安装!", "点歌助手打开失败!", kActionSongRequest});
}

void UiSetLiving::on_qqmusicbtn_clicked()
{
    if (!m_proxy)
        return;
    if (!m_proxy->isLoggedIn()) {
        showMessage(QStringLiteral("QQ音乐使用前需要先登录!"));
        return;
    }
    if (!m_proxy->isMusicOpen()) {
        showMessage(QStringLiteral("暂未获得内测资格，敬请期待!"));
        return;
    }
    if (m_qqMusicPluginId <= 0) {
        m_qqMusicPluginId = openPluginByName(QStringLiteral("QQ音乐插件"), scenereg::LayerEdge);
        if (m_qqMusicPluginId == kPluginNotInstalled) {
            showMessage(QStringLiteral("QQ音乐插件没有安装!"));
            return;
        }
        if (m_qqMusicPluginId <= 0) {
            showMessage(QStringLiteral("QQ音乐插件打开失败!"));
            return;
        }
    }
    m_proxy->reportAction(kActionQqMusicConfig, -1);
    m_proxy->openPluginConfig(m_qqMusicPluginId, parentWidget());
}

void UiSetLiving::on_roommanuassistbtn_clicked()
{
    if (!m_proxy)
        return;
    if (!m_proxy->isLoggedIn()) {
        showMessage(QStringLiteral("房管助手使用前需要先登录!"));
        return;
    }
    if (!m_roomTool)
        createRoomTool();
    m_roomTool->ShowTool();
    m_proxy->reportAction(kActionRoomManager, -1);
}

void UiSetLiving::closeAssistantPlugins()
{
    if (!m_proxy)
        return;
    struct Closing
    {
        int *id;
        QLabel *mark;
    };
    const Closing closing[] = {{&m_songRequestPluginId, ui->label_requestmusic},
                               {&m_barragePluginId, ui->label_bulletassist},
                               {&m_qqMusicPluginId, nullptr}};
    for (const Closing &c : closing) {
        if (*c.id <= 0)
            continue;
        m_proxy->removeItem(*c.id);
        *c.id = -1;
        if (c.mark)
            c.mark->hide();
    }
}

void UiSetLiving::removePluginItems()
{
    if (!m_proxy)
        return;
    std::vector<int> ids;
    m_proxy->sortedItemIds(ids);
    for (int id : ids)
        if (m_proxy->itemType(id) == SceneItemPlugin)
            m_proxy->removeItem(id);
}

// ---- login state and room events

RoomManageTool *UiSetLiving::roomTool() const
{
    return m_roomTool.data();
}

void UiSetLiving::createRoomTool()
{
    // panel -> workspace -> the main window's workspace container -> main window
    QWidget *mainWindow = parentWidget();
    for (int i = 0; i < 2 && mainWindow; ++i)
        mainWindow = mainWindow->parentWidget();
    m_roomTool = new RoomManageTool(mainWindow);
    m_roomTool->LoadSettings(m_config);
    m_roomTool->SetLiveProxy(m_proxy);
}

void UiSetLiving::deleteRoomTool()
{
    delete m_roomTool.data();
    m_roomTool = nullptr;
}

void UiSetLiving::slot_onUserLoginStatus(QString name, bool logon)
{
    Q_UNUSED(name);
    if (logon) {
        if (!m_roomTool)
            createRoomTool();
        return;
    }
    closeAssistantPlugins();
    deleteRoomTool();
}

void UiSetLiving::slot_onNewBlacker(int id)
{
    if (m_roomTool)
        m_roomTool->OnBlackUserId(id);
}

void UiSetLiving::slot_onNewBarrage(int id, QString sname, QString content, int lev)
{
    if (m_roomTool)
        m_roomTool->OnAddBarrageMsg(id, sname, content, lev);
}

void UiSetLiving::slot_onDonaterMsg(QString nick_name, int price)
{
    if (m_roomTool)
        m_roomTool->OnAddDonaterRecord(nick_name, price);
}

void UiSetLiving::slot_onAmberMsg(QString nick_name, int id, QString gift_name, int price)
{
    if (m_roomTool)
        m_roomTool->OnAddAmberRecord(nick_name, id, gift_name, price);
}

void UiSetLiving::slot_onMeritMsg(QString nick_name, int lev)
{
    if (m_roomTool)
        m_roomTool->OnAddMeritrRecord(nick_name, lev);
}
