#include "UiSysSetting.h"

#include "LayeredShadowWindow.h"
#include "LiveProxy.h"
#include "RecordFolder.h"
#include "StartWithLogin.h"
#include "SysConfig.h"
#include "UiToolTipDialog.h"
#include "WebEndpoints.h"
#include "ui_UiSysSetting.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontMetrics>
#include <QUrl>

namespace {

const char kVersion[] = "2.3.0.0";

QString fromWide(const char16_t *text, int maxUnits)
{
    int n = 0;
    while (n < maxUnits && text[n])
        ++n;
    return QString::fromUtf16(text, n);
}

void fillCombo(QComboBox *combo, const AudioDeviceRecord *table, int count)
{
    for (int i = 0; i < count; ++i)
        combo->addItem(fromWide(table[i].name, 255));
}

void selectText(QComboBox *combo, const QString &text)
{
    if (text.isEmpty())
        combo->setCurrentIndex(-1);
    else
        combo->setCurrentText(text);
}

} // namespace

UiSysSetting::UiSysSetting(QWidget *parent)
    : MvDragDialog(parent)
    , ui(new Ui::UiSysSetting)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::SplashScreen);

    ui->pushButton_ok->setShortcut(Qt::Key_Enter);
    ui->pushButton_ok->setShortcut(Qt::Key_Return);
    ui->pushButton_ok->setFocus();
    ui->pushButton_ok->setDefault(true);
    ui->label_login->hide();
    ui->label_version->setText(QStringLiteral("（版本号V%1）").arg(QLatin1String(kVersion)));
    ui->comboBox_mic->ApplyComboLook();
    ui->comboBox_sys->ApplyComboLook();

    m_settings.hideWhenClose = true;
    m_settings.autoUpdate = false;
    m_settings.openPowerOn = false;
    showSettings();
}

UiSysSetting::~UiSysSetting()
{
    delete ui;
}

void UiSysSetting::showSettings()
{
    if (m_liveProxy) {
        if (m_settings.micDevice.isEmpty()) {
            std::u16string name;
            m_liveProxy->currentMicDevice(name);
            m_settings.micDevice = QString::fromStdU16String(name);
        }
        if (m_settings.systemDevice.isEmpty()) {
            std::u16string name;
            m_liveProxy->currentSystemDevice(name);
            m_settings.systemDevice = QString::fromStdU16String(name);
        }
    }
    selectText(ui->comboBox_mic, m_settings.micDevice);
    selectText(ui->comboBox_sys, m_settings.systemDevice);
    ui->lineEdit_path->setText(m_settings.recordPath);
    if (m_settings.hideWhenClose)
        ui->radioButton_min->setChecked(true);
    else
        ui->radioButton_exit->setChecked(true);
}

void UiSysSetting::openDevices()
{
    if (!m_liveProxy)
        return;
    if (!m_settings.micDevice.isEmpty())
        m_liveProxy->openMicDevice(m_settings.micDevice.toStdU16String().c_str());
    if (!m_settings.systemDevice.isEmpty())
        m_liveProxy->openSystemDevice(m_settings.systemDevice.toStdU16String().c_str());
}

// The videos folder takes the place of the system drive's folder of that name.
QString UiSysSetting::defaultRecordFolder() const
{
    return m_liveProxy ? mvplatform::RecordFolder::defaultPath() : m_settings.recordPath;
}

void UiSysSetting::setConfig(SysConfig *config)
{
    m_config = config;
    if (!m_config)
        return;
    if (!m_config->isLoaded()) {
        m_config->setSysConfig(m_settings);
        return;
    }
    SysSettings stored;
    if (!m_config->getSysConfig(stored))
        return;
    m_settings = stored;
    if (m_settings.recordPath.isEmpty())
        m_settings.recordPath = defaultRecordFolder();
    showSettings();
    openDevices();
    m_config->setSysConfig(m_settings);
}

void UiSysSetting::setLiveProxy(LiveProxy *liveProxy)
{
    m_liveProxy = liveProxy;
    if (!m_liveProxy)
        return;
    const AudioDeviceRecord *table = nullptr;
    int count = 0;
    m_liveProxy->micDeviceList(&table, &count);
    fillCombo(ui->comboBox_mic, table, count);
    table = nullptr;
    count = 0;
    m_liveProxy->systemDeviceList(&table, &count);
    fillCombo(ui->comboBox_sys, table, count);

    if (m_settings.recordPath.isEmpty()) {
        m_settings.recordPath = defaultRecordFolder();
        if (m_config)
            m_config->setSysConfig(m_settings);
    }
    showSettings();
    openDevices();
}

int UiSysSetting::exec()
{
    if (!m_shadowCreated) {
        m_shadow = LayeredShadowWindow::Attach(winId());
        m_shadowCreated = true;
    }
    if (m_liveProxy && m_liveProxy->isLoggedIn()) {
        std::string name;
        std::string token;
        m_liveProxy->getLoginUser(name, token);
        ui->label_account->setText(QString::fromStdString(name));
        ui->label_logout->show();
        QFont font(QStringLiteral("微软雅黑"));
        font.setPixelSize(12);
        const QFontMetrics metrics(font);
        ui->label_account->setText(
            metrics.elidedText(ui->label_account->text(), Qt::ElideRight, ui->label_account->width()));
        ui->label_logout->show();
    } else {
        ui->label_account->setText(QStringLiteral("未登录"));
        ui->label_logout->hide();
    }
    return QDialog::exec();
}

void UiSysSetting::on_pushButton_ok_clicked()
{
    UiToolTipDialog ask(QStringLiteral("确认修改？"), this);
    ask.setCancelVisible(true);
    if (ask.exec() == 0)
        return;

    takeDevice(ui->comboBox_mic, m_settings.micDevice, &LiveProxy::openMicDevice);
    takeDevice(ui->comboBox_sys, m_settings.systemDevice, &LiveProxy::openSystemDevice);
    m_settings.recordPath = ui->lineEdit_path->text();
    m_settings.hideWhenClose = ui->radioButton_min->isChecked();
    setBootStart(m_settings.openPowerOn);
    if (m_config)
        m_config->setSysConfig(m_settings);
    close();
}

// No choice empties the stored device; another one is stored and opened.
void UiSysSetting::takeDevice(QComboBox *combo, QString &stored, int (LiveProxy::*open)(const char16_t *))
{
    if (combo->currentIndex() < 0) {
        stored.clear();
        return;
    }
    if (combo->currentText() == stored)
        return;
    stored = combo->currentText();
    if (m_liveProxy)
        (m_liveProxy->*open)(stored.toStdU16String().c_str());
}

void UiSysSetting::on_pushButton_close_clicked()
{
    showSettings();
    close();
}

void UiSysSetting::on_pushButton_path_clicked()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("录制路径"), ui->lineEdit_path->text(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (!folder.isEmpty())
        ui->lineEdit_path->setText(folder);
}

void UiSysSetting::on_label_logout_linkActivated(QString)
{
    if (m_liveProxy && (m_liveProxy->isRecording() || m_liveProxy->isLiving())) {
        UiToolTipDialog box(QStringLiteral("直播或录制中，不能注销!"), this);
        box.exec();
        return;
    }
    if (m_liveProxy)
        m_liveProxy->logout();
    ui->label_account->setText(QStringLiteral("未登录"));
    ui->label_logout->hide();
    // The title bar owns this dialog and keeps the login dialog.
    if (parentWidget())
        QMetaObject::invokeMethod(parentWidget(), "logout");
}

void UiSysSetting::on_pushButton_feedback_clicked()
{
    QDesktopServices::openUrl(QUrl(WebEndpoints::feedbackGroupUrl()));
}

void UiSysSetting::setBootStart(bool on)
{
    mvplatform::StartWithLogin::set(QCoreApplication::applicationName(), QCoreApplication::applicationFilePath(), on);
}
