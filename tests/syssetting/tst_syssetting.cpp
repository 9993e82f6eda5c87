// The system settings dialog: its form, what it reads from and writes to the
// "sys" section, the devices it opens, saving and dropping choices, the
// account line and the logout refusal.
#include "AuthControl.h"
#include "FacadeFixture.h"
#include "FormCheck.h"
#include "ModalDriver.h"
#include "ModalWatchdog.h"
#include "RecordFolder.h"
#include "StartWithLogin.h"
#include "SysConfig.h"
#include "UiSysSetting.h"
#include "UrlOpenRecorder.h"
#include "WebEndpoints.h"
#include "WidgetPictures.h"

#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using testsupport::FacadeFixture;

namespace {

const QString kMic = QStringLiteral("麦克风 (USB Audio Device)");
const QString kSpeaker = QStringLiteral("扬声器 (USB Audio Device)");

void writeSettings(const QByteArray &json)
{
    QDir().mkpath(QFileInfo(SysConfig::filePath()).absolutePath());
    QFile f(SysConfig::filePath());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(json);
}

QJsonObject savedSys(SysConfig &config)
{
    config.save();
    QFile f(SysConfig::filePath());
    if (!f.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(f.readAll()).object().value(QStringLiteral("sys")).toObject();
}

template <typename T>
T *child(QWidget &dialog, const char *name)
{
    return dialog.findChild<T *>(QLatin1String(name));
}

} // namespace

class SysSettingTest : public QObject
{
    Q_OBJECT

private slots:
    void formWidgets_data();
    void formWidgets();
    void formSettings();
    void versionTextFitsItsLabel();

    void firstRunWritesDefaultsThenRecordFolder();
    void storedSectionIsShownAndDevicesOpened();
    void emptyRecordFolderStaysEmptyUntilFacade();
    void unloadedStoreWithoutFacadeKeepsFolderEmpty();

    void saveWritesChoicesAndOpensChangedDevices();
    void cancelKeepsDialogOpenWithEdits();
    void closeButtonDropsChoices();
    void bootStartFollowsStoredSwitch_data();
    void bootStartFollowsStoredSwitch();

    void accountLine();
    void logoutRefusedWhileRecording();
    void feedbackOpensGroupPage();
    void picture();
};

void SysSettingTest::formWidgets_data()
{
    using testsupport::addFormRow;
    testsupport::addFormColumns();
    addFormRow("label", "QLabel", QRect(36, 232, 54, 12), QStringLiteral("摩瓦账号："));
    addFormRow("label_3", "QLabel", QRect(36, 56, 51, 12), QStringLiteral("麦克风："));
    addFormRow("label_4", "QLabel", QRect(36, 100, 61, 12), QStringLiteral("系统声音："));
    addFormRow("label_5", "QLabel", QRect(36, 144, 61, 12), QStringLiteral("视频录制："));
    addFormRow("label_6", "QLabel", QRect(36, 188, 61, 12), QStringLiteral("关闭窗口："));
    addFormRow("label_account", "QLabel", QRect(146, 228, 101, 20), QStringLiteral("未登录"));
    addFormRow("comboBox_mic", "MvComboBoxStyle", QRect(134, 46, 280, 32));
    addFormRow("comboBox_sys", "MvComboBoxStyle", QRect(134, 90, 280, 32));
    addFormRow("lineEdit_path", "QLineEdit", QRect(134, 134, 216, 32));
    addFormRow("pushButton_path", "QPushButton", QRect(358, 134, 56, 32), QStringLiteral("更改"));
    addFormRow("radioButton_min", "MvChangeCursorShapeRadioButton", QRect(146, 188, 71, 12), QStringLiteral("隐藏窗口"));
    addFormRow("radioButton_exit", "MvChangeCursorShapeRadioButton", QRect(265, 188, 71, 12), QStringLiteral("退出程序"));
    addFormRow("label_logout", "QLabel", QRect(260, 230, 61, 16), QStringLiteral("<a style='color: #fe5342;'  href>注销</a>"));
    addFormRow("label_2", "QLabel", QRect(10, 11, 31, 12), QStringLiteral("设置"));
    addFormRow("label_8", "QLabel", QRect(0, 33, 482, 1), QLatin1String(""));
    addFormRow("pushButton_close", "QPushButton", QRect(456, 7, 20, 20), QLatin1String(""));
    addFormRow("pushButton_ok", "QPushButton", QRect(125, 297, 236, 32), QStringLiteral("保存"));
    addFormRow("label_11", "QLabel", QRect(0, 283, 482, 1), QLatin1String(""));
    addFormRow("label_login", "QLabel", QRect(260, 230, 61, 16), QStringLiteral("<a style='color: #fe5342;'  href>立即登录</a>"));
    addFormRow("label_version", "QLabel", QRect(40, 11, 112, 12), QStringLiteral("（版本号V2.3.0.0）"));
    addFormRow("label_7", "QLabel", QRect(325, 264, 76, 15), QStringLiteral("意见反馈群："));
    addFormRow("line_5", "QFrame", QRect(402, 278, 72, 1));
    addFormRow("pushButton_feedback", "MvChangeCursorShape", QRect(402, 265, 72, 12));
}

void SysSettingTest::formWidgets()
{
    testsupport::TempEnvironment env;
    UiSysSetting dialog;
    testsupport::checkFormRow(dialog);
}

void SysSettingTest::formSettings()
{
    testsupport::TempEnvironment env;
    UiSysSetting dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("UiSysSetting"));
    QCOMPARE(dialog.size(), QSize(482, 342));
    QVERIFY(dialog.windowFlags().testFlag(Qt::SplashScreen));
    QVERIFY(child<QLabel>(dialog, "label_login")->isHidden());
    auto *ok = child<QPushButton>(dialog, "pushButton_ok");
    QVERIFY(ok->isDefault());
    QCOMPARE(ok->shortcut(), QKeySequence(Qt::Key_Return));
    QVERIFY(child<QLineEdit>(dialog, "lineEdit_path")->isReadOnly());
    QVERIFY(child<QRadioButton>(dialog, "radioButton_min")->isChecked());
    auto *feedback = child<QPushButton>(dialog, "pushButton_feedback");
    QCOMPARE(feedback->toolTip(), QStringLiteral("点击加入qq群参与话题讨论"));
    QVERIFY(!feedback->text().isEmpty());
    QCOMPARE(child<QComboBox>(dialog, "comboBox_mic")->currentIndex(), -1);
    QCOMPARE(child<QComboBox>(dialog, "comboBox_sys")->currentIndex(), -1);
    QVERIFY(child<QComboBox>(dialog, "comboBox_mic")->styleSheet().contains(QStringLiteral("comboarrow.png")));
    // The defaults the dialog starts from.
    QVERIFY(dialog.settings().hideWhenClose);
    QVERIFY(!dialog.settings().autoUpdate);
    QVERIFY(!dialog.settings().openPowerOn);
    QVERIFY(dialog.settings().recordPath.isEmpty());
}

// With the fonts the program ships with ("微软雅黑" falls back to them), the
// version shows whole, closing bracket included.
void SysSettingTest::versionTextFitsItsLabel()
{
    testsupport::TempEnvironment env;
    UiSysSetting dialog;
    auto *version = child<QLabel>(dialog, "label_version");
    version->ensurePolished();
    const int advance = QFontMetrics(version->font()).horizontalAdvance(version->text());
    const int room = version->contentsRect().width();
    QVERIFY2(advance <= room, qPrintable(QStringLiteral("%1 needs %2 px in %3 px of %4")
                                             .arg(version->text())
                                             .arg(advance)
                                             .arg(room)
                                             .arg(version->font().toString())));
    // Nothing it now covers: it ends before the close button.
    QVERIFY(version->geometry().right() < child<QPushButton>(dialog, "pushButton_close")->geometry().left());
}

void SysSettingTest::firstRunWritesDefaultsThenRecordFolder()
{
    FacadeFixture f;
    SysConfig config;
    QVERIFY(!config.isLoaded());
    UiSysSetting dialog;
    dialog.setConfig(&config);
    SysSettings stored;
    QVERIFY(config.getSysConfig(stored));
    QVERIFY(stored.hideWhenClose);
    QVERIFY(stored.recordPath.isEmpty());
    QVERIFY(!config.quitOnClose());

    dialog.setLiveProxy(f.proxy.get());
    QVERIFY(config.getSysConfig(stored));
    QCOMPARE(stored.recordPath, mvplatform::RecordFolder::defaultPath());
    QVERIFY(stored.recordPath.endsWith(QStringLiteral("/摩瓦视频")));
    QCOMPARE(child<QLineEdit>(dialog, "lineEdit_path")->text(), stored.recordPath);

    // Both device lists in the engine's order; the current device is shown.
    auto *mic = child<QComboBox>(dialog, "comboBox_mic");
    auto *sys = child<QComboBox>(dialog, "comboBox_sys");
    QCOMPARE(mic->count(), 1);
    QCOMPARE(mic->itemText(0), kMic);
    QCOMPARE(sys->itemText(0), kSpeaker);
    QCOMPARE(mic->currentText(), kMic);
    QCOMPARE(sys->currentText(), kSpeaker);
}

void SysSettingTest::storedSectionIsShownAndDevicesOpened()
{
    FacadeFixture f;
    writeSettings(QStringLiteral(R"({"sys":{"sys_mic_device":"%1","sys_system_device":"%2",
        "sys_record_path":"/录像","sys_hide_when_close":false,"sys_auto_update":true,"sys_open_poweron":false}})")
                      .arg(kMic, kSpeaker)
                      .toUtf8());
    SysConfig config;
    QVERIFY(config.isLoaded());
    UiSysSetting dialog;
    dialog.setConfig(&config);
    dialog.setLiveProxy(f.proxy.get());

    QCOMPARE(child<QComboBox>(dialog, "comboBox_mic")->currentText(), kMic);
    QCOMPARE(child<QComboBox>(dialog, "comboBox_sys")->currentText(), kSpeaker);
    QCOMPARE(child<QLineEdit>(dialog, "lineEdit_path")->text(), QStringLiteral("/录像"));
    QVERIFY(child<QRadioButton>(dialog, "radioButton_exit")->isChecked());
    QVERIFY(config.quitOnClose());
    // The facade opens the devices by their keys.
    const QStringList opened = f.callsOf("OpenAudioDevice");
    QCOMPARE(opened, QStringList({QStringLiteral("OpenAudioDevice({0.0.1.00000000}.{mic-usb-0})"),
                                  QStringLiteral("OpenAudioDevice({0.0.0.00000000}.{spk-usb-0})")}));
    // Written back as read: the unchangeable switch survives.
    SysSettings stored;
    QVERIFY(config.getSysConfig(stored));
    QVERIFY(stored.autoUpdate);
}

void SysSettingTest::emptyRecordFolderStaysEmptyUntilFacade()
{
    FacadeFixture f;
    writeSettings(R"({"sys":{"sys_record_path":"","sys_hide_when_close":true}})");
    SysConfig config;
    UiSysSetting dialog;
    dialog.setConfig(&config);
    SysSettings stored;
    QVERIFY(config.getSysConfig(stored));
    QVERIFY(stored.recordPath.isEmpty());
    dialog.setLiveProxy(f.proxy.get());
    QVERIFY(config.getSysConfig(stored));
    QCOMPARE(stored.recordPath, mvplatform::RecordFolder::defaultPath());
}

void SysSettingTest::unloadedStoreWithoutFacadeKeepsFolderEmpty()
{
    testsupport::TempEnvironment env;
    writeSettings("{not json");
    SysConfig config;
    QVERIFY(!config.isLoaded());
    UiSysSetting dialog;
    dialog.setConfig(&config);
    QVERIFY(child<QLineEdit>(dialog, "lineEdit_path")->text().isEmpty());
    const QJsonObject sys = savedSys(config);
    QCOMPARE(sys.value(QStringLiteral("sys_hide_when_close")).toBool(), true);
    QCOMPARE(sys.value(QStringLiteral("sys_record_path")).toString(), QString());
}

void SysSettingTest::saveWritesChoicesAndOpensChangedDevices()
{
    FacadeFixture f;
    SysConfig config;
    UiSysSetting dialog;
    dialog.setConfig(&config);
    dialog.setLiveProxy(f.proxy.get());
    f.calls().clear();

    child<QComboBox>(dialog, "comboBox_mic")->setCurrentIndex(-1);
    child<QLineEdit>(dialog, "lineEdit_path")->setText(QStringLiteral("/视频/新"));
    child<QRadioButton>(dialog, "radioButton_exit")->setChecked(true);

    testsupport::ModalWatchdog watchdog;
    testsupport::ModalDriver driver;
    driver.onNext([](QWidget *box) { QVERIFY(testsupport::ModalDriver::press(box, QStringLiteral("pushButton_oksmall"))); });
    dialog.show();
    QTest::mouseClick(child<QPushButton>(dialog, "pushButton_ok"), Qt::LeftButton);
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.last().className, QStringLiteral("UiToolTipDialog"));
    QCOMPARE(driver.last().text(QStringLiteral("tipinfolabel")), QStringLiteral("确认修改？"));
    QVERIFY(driver.last().hasButton(QStringLiteral("取消")));
    QVERIFY(!dialog.isVisible());

    const QJsonObject sys = savedSys(config);
    QCOMPARE(sys.value(QStringLiteral("sys_mic_device")).toString(), QString());
    QCOMPARE(sys.value(QStringLiteral("sys_system_device")).toString(), kSpeaker);
    QCOMPARE(sys.value(QStringLiteral("sys_record_path")).toString(), QStringLiteral("/视频/新"));
    QCOMPARE(sys.value(QStringLiteral("sys_hide_when_close")).toBool(true), false);
    QVERIFY(config.quitOnClose());
    // Nothing changed device-wise except the cleared microphone: no open.
    QVERIFY(f.callsOf("OpenAudioDevice").isEmpty());
}

void SysSettingTest::cancelKeepsDialogOpenWithEdits()
{
    FacadeFixture f;
    SysConfig config;
    UiSysSetting dialog;
    dialog.setConfig(&config);
    dialog.setLiveProxy(f.proxy.get());
    child<QRadioButton>(dialog, "radioButton_exit")->setChecked(true);
    dialog.show();
    testsupport::ModalDriver driver;
    driver.pressNext(QStringLiteral("pushButton_cancelsmall"));
    QTest::mouseClick(child<QPushButton>(dialog, "pushButton_ok"), Qt::LeftButton);
    QVERIFY(driver.waitDone());
    QVERIFY(dialog.isVisible());
    QVERIFY(child<QRadioButton>(dialog, "radioButton_exit")->isChecked());
    SysSettings stored;
    QVERIFY(config.getSysConfig(stored));
    QVERIFY(stored.hideWhenClose);
}

void SysSettingTest::closeButtonDropsChoices()
{
    FacadeFixture f;
    castcore::World world = castcore::control().world();
    world.audioDevices.push_back({u"{mic-2}", u"第二麦克风", AudioMicrophone});
    castcore::control().setWorld(world);
    SysConfig config;
    UiSysSetting dialog;
    dialog.setConfig(&config);
    dialog.setLiveProxy(f.proxy.get());
    auto *mic = child<QComboBox>(dialog, "comboBox_mic");
    QCOMPARE(mic->count(), 2);
    QCOMPARE(mic->currentText(), kMic);
    f.calls().clear();

    dialog.show();
    mic->setCurrentText(QStringLiteral("第二麦克风"));
    child<QLineEdit>(dialog, "lineEdit_path")->setText(QStringLiteral("/别处"));
    QTest::mouseClick(child<QPushButton>(dialog, "pushButton_close"), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(mic->currentText(), kMic);
    QCOMPARE(child<QLineEdit>(dialog, "lineEdit_path")->text(), mvplatform::RecordFolder::defaultPath());
    QVERIFY(f.callsOf("OpenAudioDevice").isEmpty());
}

void SysSettingTest::bootStartFollowsStoredSwitch_data()
{
    QTest::addColumn<bool>("stored");
    QTest::newRow("off removes the entry") << false;
    QTest::newRow("on writes it") << true;
}

void SysSettingTest::bootStartFollowsStoredSwitch()
{
    QFETCH(bool, stored);
    FacadeFixture f;
    writeSettings(QByteArray(R"({"sys":{"sys_hide_when_close":true,"sys_open_poweron":)")
                  + (stored ? "true" : "false") + "}}");
    QVERIFY(mvplatform::StartWithLogin::set(QCoreApplication::applicationName(),
                                            QCoreApplication::applicationFilePath(), !stored));
    SysConfig config;
    UiSysSetting dialog;
    dialog.setConfig(&config);
    dialog.setLiveProxy(f.proxy.get());
    testsupport::ModalDriver driver;
    driver.pressNext(QStringLiteral("pushButton_oksmall"));
    QTest::mouseClick(child<QPushButton>(dialog, "pushButton_ok"), Qt::LeftButton);
    QVERIFY(driver.waitDone());
    QCOMPARE(mvplatform::StartWithLogin::isSet(QCoreApplication::applicationName()), stored);
    SysSettings back;
    QVERIFY(config.getSysConfig(back));
    QCOMPARE(back.openPowerOn, stored);
}

void SysSettingTest::accountLine()
{
    FacadeFixture f;
    authport::World world = authport::control().world();
    const std::string longName = "一个非常非常非常非常长的主播名字";
    world.accounts.at(0).nick = longName; // what the facade reports as the user
    authport::control().setWorld(world);
    SysConfig config;
    UiSysSetting dialog;
    dialog.setConfig(&config);
    dialog.setLiveProxy(f.proxy.get());
    auto *account = child<QLabel>(dialog, "label_account");
    auto *logout = child<QLabel>(dialog, "label_logout");

    // What the dialog shows while it runs.
    QString shown;
    bool logoutShown = true;
    testsupport::ModalDriver driver;
    auto look = [&](QWidget *d) {
        shown = account->text();
        logoutShown = !logout->isHidden();
        static_cast<QDialog *>(d)->reject();
    };
    driver.onNext(look);
    dialog.exec();
    QVERIFY(driver.waitDone());
    QCOMPARE(shown, QStringLiteral("未登录"));
    QVERIFY(!logoutShown);

    QVERIFY(f.proxy->loginByPassword("mvanchor", authport::md5Hex("123456"), std::string()));
    QTRY_VERIFY(f.proxy->isLoggedIn());
    driver.onNext(look);
    dialog.exec();
    QVERIFY(driver.waitDone());
    QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(shown));
    QVERIFY(QString::fromStdString(longName).startsWith(shown.chopped(1)));
    QVERIFY(logoutShown);
}

void SysSettingTest::logoutRefusedWhileRecording()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    f.proxy->setLoggedIn(true);
    QVERIFY(f.proxy->startRecording((f.env.workPath() + QStringLiteral("/a.mp4")).toStdString()));
    UiSysSetting dialog;
    dialog.setLiveProxy(f.proxy.get());
    testsupport::ModalDriver driver;
    driver.pressNext(QStringLiteral("pushButton_ok"));
    QMetaObject::invokeMethod(child<QLabel>(dialog, "label_logout"), "linkActivated", Q_ARG(QString, QString()));
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.last().text(QStringLiteral("tipinfolabel")), QStringLiteral("直播或录制中，不能注销!"));
    QVERIFY(f.proxy->isLoggedIn());

    f.proxy->stopRecording();
    QMetaObject::invokeMethod(child<QLabel>(dialog, "label_logout"), "linkActivated", Q_ARG(QString, QString()));
    QVERIFY(!f.proxy->isLoggedIn());
    QCOMPARE(child<QLabel>(dialog, "label_account")->text(), QStringLiteral("未登录"));
    QVERIFY(child<QLabel>(dialog, "label_logout")->isHidden());
}

void SysSettingTest::feedbackOpensGroupPage()
{
    testsupport::TempEnvironment env;
    QVERIFY(WebEndpoints::setHost(WebEndpoints::Feedback, QStringLiteral("127.0.0.1:4712")));
    testsupport::UrlOpenRecorder opened({QStringLiteral("http"), QStringLiteral("https")});
    UiSysSetting dialog;
    QTest::mouseClick(child<QPushButton>(dialog, "pushButton_feedback"), Qt::LeftButton);
    WebEndpoints::clearOverrides();
    QCOMPARE(opened.urls(), QList<QUrl>({QUrl(QStringLiteral("https://127.0.0.1:4712/"))}));
}

void SysSettingTest::picture()
{
    FacadeFixture f;
    SysConfig config;
    UiSysSetting dialog;
    dialog.setConfig(&config);
    dialog.setLiveProxy(f.proxy.get());
    dialog.show();
    const QImage image = testsupport::renderOf(dialog);
    const QString path = QStringLiteral(MORVA_PICTURE_DIR "/syssetting.png");
    QVERIFY(image.save(path));
    // The indicator and close pictures are drawn: a radio's area is not blank.
    const QRect radio = child<QRadioButton>(dialog, "radioButton_min")->geometry();
    QSet<QRgb> colours;
    for (int x = radio.left(); x < radio.left() + 12; ++x)
        colours.insert(image.pixel(x, radio.center().y()));
    QVERIFY(colours.size() > 1);
}

QTEST_MAIN(SysSettingTest)
#include "tst_syssetting.moc"
