#include "UiMain.h"

#include "CurrentDialog.h"
#include "LayeredShadowWindow.h"
#include "LiveProxy.h"
#include "Logger.h"
#include "MvListener.h"
#include "OwnedWindowsOnTop.h"
#include "SysConfig.h"
#include "UiSetBeauty.h"
#include "UiSetLiving.h"
#include "UiTitleBar.h"
#include "UiWorking.h"
#include "login.h"
#include "ui_UiMain.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QPalette>

namespace {

constexpr int kTitleHeight = 48;
constexpr int kWidth = 1200;
constexpr int kHeight = 788;
constexpr int kTickMs = 1000;
constexpr int kPointStart = 0;

const char kTrayMenuStyle[] =
    "QMenu{background-color:white;border:1px solid #ebecf0;}"
    "QMenu::item{background-color:transparent;}"
    "QMenu::item:selected{background-color:#ff5500;}"
    "QMenu::separator{height:1px;background:#ebecf0;}";

} // namespace

UiMain::UiMain(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::UiMain)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("摩瓦星播台"));
    resize(kWidth, kHeight);
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);

    CreateChildren();
    connect(m_titleBar, SIGNAL(on_closebtnclicked()), this, SLOT(onClose()));
    connect(m_titleBar, SIGNAL(on_minibtnclicked()), this, SLOT(showminiWnd()));

    QPalette palette;
    palette.setBrush(QPalette::Window, QBrush(Qt::white));
    setPalette(palette);

    m_shadow = LayeredShadowWindow::Attach(winId());
    m_ownedOnTop = new OwnedWindowsOnTop(this);
    m_timerId = startTimer(kTickMs, Qt::CoarseTimer);
}

UiMain::~UiMain()
{
    // The engine draws into the preview inside the workspace: it must stop
    // before that widget goes.
    if (m_liveProxy) {
        m_liveProxy->destroy();
        // After destroy no callback reaches the listener: it can go.
        m_liveProxy->setListener(nullptr);
    }
    delete m_listener;
    delete m_titleBar;
    delete m_working;
    delete m_titleContainer;
    delete m_workingContainer;
    delete m_trayIcon;
    delete m_quitAction;
    delete m_trayMenu;
    // Written last, so that what the panels store while they go is kept.
    delete m_config;
    m_config = nullptr;
    delete ui;
}

void UiMain::CreateChildren()
{
    m_workingContainer = new QWidget(this);
    m_workingContainer->setObjectName(QStringLiteral("widget_working"));
    m_workingContainer->setGeometry(0, kTitleHeight, kWidth, kHeight - kTitleHeight);
    m_working = new UiWorking(m_workingContainer);
    m_titleContainer = new QWidget(this);
    m_titleContainer->setObjectName(QStringLiteral("widget_title_bar"));
    m_titleContainer->setGeometry(0, 0, kWidth, kTitleHeight);
    m_titleBar = new UiTitleBar(m_titleContainer);

    CreateTrayIcon();

    m_login = m_titleBar->loginDialog();
    m_setLiving = m_working->getSetLiving();
    m_setBeauty = m_working->getSetBeauty();
}

void UiMain::CreateTrayIcon()
{
    const QIcon icon(QStringLiteral(":/image/skin/morva.ico"));
    if (icon.isNull())
        Logger::instance()->write(Logger::LOG_ERROR, "skin picture missing: %s", ":/image/skin/morva.ico");
    m_trayIcon = new QSystemTrayIcon(icon, this);
    m_trayIcon->setToolTip(QStringLiteral("摩瓦星播台"));
    m_trayIcon->show();
    connect(m_trayIcon, SIGNAL(activated(QSystemTrayIcon::ActivationReason)), this,
            SLOT(trayiconActivated(QSystemTrayIcon::ActivationReason)));

    m_quitAction = new QAction(QStringLiteral("退出"), this);
    connect(m_quitAction, SIGNAL(triggered()), this, SLOT(on_quit()));
    m_trayMenu = new QMenu(this);
    m_trayMenu->addAction(m_quitAction);
    m_trayMenu->setStyleSheet(QLatin1String(kTrayMenuStyle));
    m_trayIcon->setContextMenu(m_trayMenu);
}

int UiMain::Init()
{
    return initWith(LiveProxy::GetInstance());
}

int UiMain::initWith(LiveProxy *liveProxy)
{
    m_liveProxy = liveProxy;
    m_config = new SysConfig;
    m_listener = new MvListener;
    m_liveProxy->setListener(m_listener);

    m_working->setConfig(m_config);
    const int result = m_working->setLiveProxy(m_liveProxy);
    if (result < 0)
        return result;

    m_titleBar->setConfig(m_config);
    m_titleBar->setLiveProxy(m_liveProxy);

    connectListener();
    m_login->autoLogin();
    m_liveProxy->reportAction(kPointStart, -1);
    return result;
}

void UiMain::connectListener()
{
    struct Link
    {
        QObject *sender;
        const char *signal;
        QObject *receiver;
        const char *slot;
    };
    const Link links[] = {
        {m_listener, SIGNAL(signal_loginReturn(QString, QString, QString, int)), m_login,
         SLOT(slot_onProxyLoginReturn(QString, QString, QString, int))},
        {m_listener, SIGNAL(signal_loginStatus(int)), m_login, SLOT(slot_onProxyLoginStatus(int))},
        {m_listener, SIGNAL(signal_receiveQRCode(QString, QString, int, int)), m_login,
         SLOT(slot_onReceiveQRCode(QString, QString, int, int))},
        {m_listener, SIGNAL(signal_notifyAudioLevel(int, int)), m_setLiving, SLOT(slot_onNotifyLevel(int, int))},
        {m_listener, SIGNAL(signal_notifyLiveStatus(QString, int)), m_setLiving,
         SLOT(slot_onNotifyLiveStatus(QString, int))},
        {m_liveProxy, SIGNAL(recordingFailed(QString)), m_setLiving, SLOT(slot_onRecordingFailed(QString))},
        {m_listener, SIGNAL(signal_notifyCameraTurnStatus(bool, bool)), m_setBeauty,
         SLOT(slot_onCameraTurnStatus(bool, bool))},
        {m_listener, SIGNAL(signal_notifyNewBlacker(int)), m_setLiving, SLOT(slot_onNewBlacker(int))},
        {m_listener, SIGNAL(signal_notifyNewBarrage(int, QString, QString, int)), m_setLiving,
         SLOT(slot_onNewBarrage(int, QString, QString, int))},
        {m_listener, SIGNAL(signal_notifyDonaterMsg(QString, int)), m_setLiving, SLOT(slot_onDonaterMsg(QString, int))},
        {m_listener, SIGNAL(signal_notifyAmberMsg(QString, int, QString, int)), m_setLiving,
         SLOT(slot_onAmberMsg(QString, int, QString, int))},
        {m_listener, SIGNAL(signal_notifyMeritMsg(QString, int)), m_setLiving, SLOT(slot_onMeritMsg(QString, int))},
        {m_login, SIGNAL(signal_notifyLoginStatus(QString, bool)), m_setLiving,
         SLOT(slot_onUserLoginStatus(QString, bool))},
        {m_login, SIGNAL(signal_notifyLoginStatus(QString, bool)), m_titleBar,
         SLOT(slot_onUserLoginStatus(QString, bool))},
        {m_login, SIGNAL(signal_notifyRelogin()), m_titleBar, SLOT(slot_onUserRelogin())},
    };
    for (const Link &link : links) {
        if (!link.sender || !link.receiver || !connect(link.sender, link.signal, link.receiver, link.slot,
                                                       Qt::QueuedConnection))
            Logger::instance()->write(Logger::LOG_ERROR, "main window: cannot connect %s to %s.", link.signal + 1,
                                      link.slot + 1);
    }
}

void UiMain::onClose()
{
    if (m_config && m_config->quitOnClose())
        on_quit();
    else if (QSystemTrayIcon::isSystemTrayAvailable())
        hide();
    else
        showMinimized(); // with no tray to bring it back, a hidden window would be lost
}

void UiMain::on_quit()
{
    if (currentDialog)
        currentDialog->hide();
    hide();
    if (m_timerId > 0) {
        killTimer(m_timerId);
        m_timerId = 0;
    }
    m_trayIcon->setVisible(false);
    close();
}

void UiMain::showminiWnd()
{
    showMinimized();
}

void UiMain::trayiconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::Trigger)
        return;
    showNormal();
    raise();
    activateWindow();
}

void UiMain::timerEvent(QTimerEvent *)
{
    if (m_liveProxy)
        m_liveProxy->onTimer();
}

bool UiMain::nativeEvent(const QByteArray &eventType, void *message, long *)
{
    // Only messages in the Windows format mean anything to the plug-ins.
    if (m_liveProxy && message
        && (eventType == "windows_generic_MSG" || eventType == "windows_dispatcher_MSG")) {
        struct WindowsMessage
        {
            void *window;
            uint32_t message;
            std::uintptr_t wParam;
            std::intptr_t lParam;
        };
        const auto *msg = static_cast<const WindowsMessage *>(message);
        m_liveProxy->forwardNativeMessage(winId(), msg->message, msg->wParam, msg->lParam);
    }
    return false;
}
