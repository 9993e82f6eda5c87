#include "UiTitleBar.h"

#include "CurrentDialog.h"
#include "LiveProxy.h"
#include "Logger.h"
#include "TextHelpers.h"
#include "UiSysSetting.h"
#include "UiToolTipDialog.h"
#include "WebEndpoints.h"
#include "login.h"
#include "ui_UiTitleBar.h"

#include <QDesktopServices>
#include <QFontMetrics>
#include <QPalette>
#include <QPixmap>
#include <QUrl>

namespace {

// Analytics points of the title bar's buttons.
constexpr int kPointRoomPage = 12;
constexpr int kPointSettings = 13;
constexpr int kPointMemberCentre = 14;
// The close message a forced relogin sends to the plug-ins.
constexpr uint32_t kCloseMessage = 16;

} // namespace

UiTitleBar::UiTitleBar(QWidget *parent)
    : MvDragWidget(parent)
    , ui(new Ui::UiTitleBar)
{
    ui->setupUi(this);
    setAutoFillBackground(true);
    const QPixmap background(QStringLiteral(":/image/skin/titlebar.png"));
    if (background.isNull())
        Logger::instance()->write(Logger::LOG_ERROR, "skin picture missing: %s", ":/image/skin/titlebar.png");
    QPalette palette;
    palette.setBrush(QPalette::Window, QBrush(background));
    setPalette(palette);
    setFixedSize(1200, 48);
    createDialogs();
}

UiTitleBar::~UiTitleBar()
{
    delete ui;
}

void UiTitleBar::createDialogs()
{
    showLoginState(false);
    m_sysSetting = new UiSysSetting(this);
    m_login = new login(this);
    // They hold the main window's input only: an application-modal dialog
    // would also block the tray icon, whose menu must stay usable.
    m_sysSetting->setWindowModality(Qt::WindowModal);
    m_login->setWindowModality(Qt::WindowModal);
}

void UiTitleBar::setConfig(SysConfig *config)
{
    m_config = config;
    m_login->setConfig(config);
    m_sysSetting->setConfig(config);
}

void UiTitleBar::setLiveProxy(LiveProxy *liveProxy)
{
    m_liveProxy = liveProxy;
    m_login->setLiveProxy(liveProxy);
    m_sysSetting->setLiveProxy(liveProxy);
}

QString UiTitleBar::roomPageUrl(int roomId)
{
    return QStringLiteral("%1/%2").arg(WebEndpoints::siteBaseUrl()).arg(roomId);
}

void UiTitleBar::logout()
{
    m_login->logout();
    showLoginState(false);
}

void UiTitleBar::showLoginState(bool loggedIn)
{
    if (loggedIn) {
        ui->showloginButton->hide();
        ui->line_3->hide();
        ui->playernamebtn->show();
        ui->line_4->show();
        elideUserName();
    } else {
        ui->showloginButton->show();
        ui->playernamebtn->hide();
        ui->line_3->show();
        ui->line_4->hide();
    }
}

void UiTitleBar::elideUserName()
{
    QFont font(QStringLiteral("微软雅黑"));
    font.setPixelSize(14);
    const QFontMetrics metrics(font);
    ui->playernamebtn->setText(
        metrics.elidedText(ui->playernamebtn->text(), Qt::ElideRight, ui->playernamebtn->width()));
}

void UiTitleBar::slot_onUserLoginStatus(QString, bool logon)
{
    if (logon && m_liveProxy) {
        std::string name;
        std::string token;
        m_liveProxy->getLoginUser(name, token);
        ui->playernamebtn->setText(QString::fromStdString(name));
    }
    showLoginState(logon);
}

void UiTitleBar::slot_onUserRelogin()
{
    if (m_login->isVisible())
        return;
    if (currentDialog) {
        currentDialog->reject();
        currentDialog = nullptr;
    }
    if (m_liveProxy)
        m_liveProxy->pluginOp(0, kCloseMessage, 0, 0);
    if (m_sysSetting->isVisible())
        m_sysSetting->reject();
    if (QWidget *mainWindow = parentWidget() ? parentWidget()->parentWidget() : nullptr)
        closeOwnedDialogs(mainWindow);
    m_login->exec();
    showLoginState(m_liveProxy && m_liveProxy->isLoggedIn());
}

void UiTitleBar::on_CloseButton_clicked()
{
    emit on_closebtnclicked();
}

void UiTitleBar::on_MiniButton_clicked()
{
    emit on_minibtnclicked();
}

void UiTitleBar::on_SettingButton_clicked()
{
    if (m_liveProxy)
        m_liveProxy->reportAction(kPointSettings, -1);
    currentDialog = m_sysSetting;
    m_sysSetting->exec();
    currentDialog = nullptr;
}

void UiTitleBar::on_showloginButton_clicked()
{
    m_login->exec();
}

void UiTitleBar::tell(const QString &text)
{
    UiToolTipDialog box(text, this);
    box.exec();
}

void UiTitleBar::on_positionlivingbtn_clicked()
{
    if (!m_liveProxy || !m_liveProxy->isLoggedIn()) {
        tell(QStringLiteral("请登录!"));
        return;
    }
    if (!m_liveProxy->isAnchor()) {
        tell(QStringLiteral("您不是主播，没有房间!"));
        return;
    }
    m_liveProxy->reportAction(kPointRoomPage, -1);
    const int room = m_liveProxy->roomId();
    if (room < 1) {
        tell(QStringLiteral("账号异常，获取不到房间号!"));
        return;
    }
    QDesktopServices::openUrl(QUrl(roomPageUrl(room)));
}

void UiTitleBar::on_playernamebtn_clicked()
{
    QDesktopServices::openUrl(QUrl(WebEndpoints::memberCentreUrl()));
    if (m_liveProxy)
        m_liveProxy->reportAction(kPointMemberCentre, -1);
}
