// The main window: its frame and children, the start-up wiring (automatic
// login, analytics, a failed scene start), closing and quitting as the
// settings say, the tray icon, and the order of the teardown.
#include "AuthControl.h"
#include "CurrentDialog.h"
#include "FacadeFixture.h"
#include "LogCapture.h"
#include "ModalDriver.h"
#include "MvListener.h"
#include "SysConfig.h"
#include "UiMain.h"
#include "UiSysSetting.h"
#include "UiSetLiving.h"
#include "UiTitleBar.h"
#include "UiWorking.h"
#include "WidgetPictures.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimer>

#include <functional>
#include <QtTest>

using testsupport::FacadeFixture;

namespace {

void writeSettings(const QByteArray &json)
{
    QDir().mkpath(QFileInfo(SysConfig::filePath()).absolutePath());
    QFile f(SysConfig::filePath());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(json);
}

QJsonObject savedSettings()
{
    QFile f(SysConfig::filePath());
    if (!f.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(f.readAll()).object();
}

// Every picture a widget's style sheet names, with the widget's object name.
QStringList missingPictures(QWidget *root)
{
    static const QRegularExpression url(QStringLiteral("url\\((:/[^)]+)\\)"));
    QStringList missing;
    QList<QWidget *> all = root->findChildren<QWidget *>();
    all.prepend(root);
    for (QWidget *w : all) {
        auto it = url.globalMatch(w->styleSheet());
        while (it.hasNext()) {
            const QString path = it.next().captured(1);
            if (!QFile::exists(path))
                missing << w->objectName() + QLatin1Char(':') + path;
        }
    }
    return missing;
}

// Runs the event loop, in which `action` runs first; the loop's result, or
// kStillRunning when nothing ended it within `ms`. Both timers end with the
// call: a deadline left over from a loop that ended early would end a later
// test's loop, or the modal dialog it runs.
constexpr int kStillRunning = 99;
int runLoop(const std::function<void()> &action, int ms)
{
    QTimer start;
    QTimer deadline;
    start.setSingleShot(true);
    deadline.setSingleShot(true);
    QObject::connect(&start, &QTimer::timeout, action);
    QObject::connect(&deadline, &QTimer::timeout, [] { QCoreApplication::exit(kStillRunning); });
    start.start(0);
    deadline.start(ms);
    return QCoreApplication::exec();
}

const QByteArray kAutoLoginAccount =
    R"({"account":{"name":"mvanchor","token":"token-mvanchor","auto_login":true,"zone":"+86","mode":1}})";

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void frameAndChildren();
    void picturesOfMyWindowsExist();
    void initSignsInWithSavedAccount();
    void failedSceneStartWiresNothing();
    void roomStoreOpensAtSignInNotAtStart();
    void closeButton_data();
    void closeButton();
    void trayClickRestoresOnlyOnTrigger_data();
    void trayClickRestoresOnlyOnTrigger();
    void trayQuitWhileHidden();
    void settingsDialogChoiceAppliesToCloseButton();
    void everyTickReachesTheFacade();
    void teardownStopsEngineBeforeWidgetsAndWritesSettings();
    void picture();
};

void MainWindowTest::cleanup()
{
    currentDialog = nullptr;
}

void MainWindowTest::frameAndChildren()
{
    testsupport::TempEnvironment env;
    UiMain window;
    QCOMPARE(window.objectName(), QStringLiteral("UiMain"));
    QCOMPARE(window.windowTitle(), QStringLiteral("摩瓦星播台"));
    QCOMPARE(window.size(), QSize(1200, 788));
    QVERIFY(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QCOMPARE(window.palette().color(QPalette::Window), QColor(Qt::white));

    auto *working = window.findChild<QWidget *>(QStringLiteral("widget_working"));
    auto *title = window.findChild<QWidget *>(QStringLiteral("widget_title_bar"));
    QVERIFY(working && title);
    QCOMPARE(working->parentWidget(), &window);
    QCOMPARE(title->parentWidget(), &window);
    QCOMPARE(working->geometry(), QRect(0, 48, 1200, 740));
    QCOMPARE(title->geometry(), QRect(0, 0, 1200, 48));
    QCOMPARE(window.workspace()->parentWidget(), working);
    QCOMPARE(window.titleBar()->parentWidget(), title);
    // The title bar sits above the workspace in the stacking order.
    QVERIFY(window.children().indexOf(title) > window.children().indexOf(working));

    QSystemTrayIcon *tray = window.trayIcon();
    QCOMPARE(tray->parent(), &window);
    QCOMPARE(tray->toolTip(), QStringLiteral("摩瓦星播台"));
    QVERIFY(!tray->icon().isNull());
    QCOMPARE(tray->contextMenu(), window.trayMenu());
    const QList<QAction *> actions = window.trayMenu()->actions();
    QCOMPARE(actions.size(), 1);
    QCOMPARE(actions.at(0)->text(), QStringLiteral("退出"));
    QVERIFY(window.trayMenu()->styleSheet().contains(QStringLiteral("#ff5500")));
    // Nothing wired before Init.
    QVERIFY(!window.config());
    QVERIFY(!window.listener());
}

void MainWindowTest::picturesOfMyWindowsExist()
{
    testsupport::TempEnvironment env;
    UiMain window;
    QStringList missing = missingPictures(window.titleBar());
    missing += missingPictures(window.titleBar()->settingsDialog());
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char('\n'))));
}

void MainWindowTest::initSignsInWithSavedAccount()
{
    FacadeFixture f;
    writeSettings(kAutoLoginAccount);
    UiMain window;
    QCOMPARE(window.initWith(f.proxy.get()), 0);
    QVERIFY(window.config() && window.config()->isLoaded());
    QVERIFY(window.listener());
    // The saved token signs in; the answer comes back through the listener
    // and the login dialog to the title bar, all queued.
    auto *name = window.titleBar()->findChild<QWidget *>(QStringLiteral("playernamebtn"));
    QTRY_VERIFY_WITH_TIMEOUT(!name->isHidden(), 5000);
    QCOMPARE(qobject_cast<QAbstractButton *>(name)->text(), QStringLiteral("摩瓦主播"));
    QVERIFY(f.proxy->isLoggedIn());
    QCOMPARE(authport::control().log().of("LoginByToken").size(), std::size_t(1));
    QVERIFY(testsupport::LogCapture::contains(QStringLiteral("action:init_page_home")));
}

void MainWindowTest::failedSceneStartWiresNothing()
{
    FacadeFixture f;
    writeSettings(kAutoLoginAccount);
    castcore::control().ints().push("Init", -7);
    UiMain window;
    QCOMPARE(window.initWith(f.proxy.get()), -7);
    QTest::qWait(200);
    QVERIFY(authport::control().log().of("LoginByToken").empty());
    QVERIFY(!f.proxy->isLoggedIn());
    QVERIFY(!testsupport::LogCapture::contains(QStringLiteral("action:init_page_home")));
    // The title bar got neither the store nor the facade: the settings
    // dialog still shows its own defaults, not the saved folder.
    QVERIFY(window.titleBar()->settingsDialog()->settings().recordPath.isEmpty());
}

// The room tool and its SQLite file belong to a signed-in broadcaster: the
// start leaves them to the sign-in.
void MainWindowTest::roomStoreOpensAtSignInNotAtStart()
{
    FacadeFixture f;
    writeSettings(kAutoLoginAccount);
    const QString store = f.env.workPath() + QStringLiteral("/DisableChatUser.db");
    UiMain window;
    QCOMPARE(window.initWith(f.proxy.get()), 0);
    // The automatic sign-in has been asked for; its answer is still queued.
    QVERIFY(!QFileInfo::exists(store));
    QVERIFY(!window.workspace()->getSetLiving()->roomTool());
    QTRY_VERIFY_WITH_TIMEOUT(f.proxy->isLoggedIn() && window.workspace()->getSetLiving()->roomTool(), 5000);
    QVERIFY(QFileInfo::exists(store));
}

void MainWindowTest::closeButton_data()
{
    QTest::addColumn<QByteArray>("settings"); // empty: no settings file
    QTest::addColumn<bool>("quits");
    // Offscreen there is no system tray: the window that a tray would keep
    // is minimised instead of hidden (the tray's case runs on X).
    QTest::newRow("first start keeps the window") << QByteArray() << false;
    QTest::newRow("hide when closed") << QByteArray(R"({"sys":{"sys_hide_when_close":true}})") << false;
    QTest::newRow("quit when closed") << QByteArray(R"({"sys":{"sys_hide_when_close":false}})") << true;
}

void MainWindowTest::closeButton()
{
    QFETCH(QByteArray, settings);
    QFETCH(bool, quits);
    FacadeFixture f;
    if (!settings.isEmpty())
        writeSettings(settings);
    UiMain window;
    QCOMPARE(window.initWith(f.proxy.get()), 0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // A dialog runs when the close button is pressed.
    QDialog open(&window);
    open.show();
    currentDialog = &open;
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    auto *close = window.titleBar()->findChild<QPushButton *>(QStringLiteral("CloseButton"));
    const int result = runLoop([close] { QTest::mouseClick(close, Qt::LeftButton); }, quits ? 5000 : 300);
    QCOMPARE(window.isVisible(), !quits);
    QCOMPARE(window.isMinimized(), !quits);
    // Quitting closes the last window, which ends the event loop.
    QCOMPARE(result, quits ? 0 : kStillRunning);
    QCOMPARE(window.trayIcon()->isVisible(), !quits);
    QCOMPARE(open.isVisible(), !quits);
}

void MainWindowTest::trayClickRestoresOnlyOnTrigger_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<bool>("restores");
    QTest::newRow("single click") << int(QSystemTrayIcon::Trigger) << true;
    QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick) << false;
    QTest::newRow("context") << int(QSystemTrayIcon::Context) << false;
    QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick) << false;
}

void MainWindowTest::trayClickRestoresOnlyOnTrigger()
{
    QFETCH(int, reason);
    QFETCH(bool, restores);
    testsupport::TempEnvironment env;
    UiMain window;
    window.show();
    window.hide();
    emit window.trayIcon()->activated(QSystemTrayIcon::ActivationReason(reason));
    QCOMPARE(window.isVisible(), restores);
}

void MainWindowTest::trayQuitWhileHidden()
{
    FacadeFixture f;
    UiMain window;
    QCOMPARE(window.initWith(f.proxy.get()), 0);
    window.show();
    window.hide(); // as the close button leaves it where a tray is
    QAction *quit = window.trayMenu()->actions().at(0);
    QCOMPARE(runLoop([quit] { quit->trigger(); }, 5000), 0);
    QVERIFY(!window.trayIcon()->isVisible());
}

void MainWindowTest::settingsDialogChoiceAppliesToCloseButton()
{
    FacadeFixture f;
    UiMain window;
    QCOMPARE(window.initWith(f.proxy.get()), 0);
    window.show();
    // Through the title bar's settings button: "退出程序", "保存", confirm.
    testsupport::ModalDriver driver;
    driver.onNext([](QWidget *dialog) {
        dialog->findChild<QRadioButton *>(QStringLiteral("radioButton_exit"))->setChecked(true);
        QTimer::singleShot(0, dialog->findChild<QPushButton *>(QStringLiteral("pushButton_ok")), SLOT(click()));
    });
    driver.pressNext(QStringLiteral("pushButton_oksmall"));
    QTest::mouseClick(window.titleBar()->findChild<QPushButton *>(QStringLiteral("SettingButton")), Qt::LeftButton);
    QVERIFY(driver.waitDone());
    QVERIFY2(driver.errors().isEmpty(), qPrintable(driver.errors().join(QLatin1Char('\n'))));
    QVERIFY(window.config()->quitOnClose());
    auto *close = window.titleBar()->findChild<QPushButton *>(QStringLiteral("CloseButton"));
    QCOMPARE(runLoop([close] { QTest::mouseClick(close, Qt::LeftButton); }, 5000), 0);
}

void MainWindowTest::everyTickReachesTheFacade()
{
    FacadeFixture f;
    UiMain window;
    // Ticks before Init reach nothing.
    QTimerEvent early(1);
    QCoreApplication::sendEvent(&window, &early);
    QCOMPARE(window.initWith(f.proxy.get()), 0);
    f.calls().clear();
    // The facade moves the watermark on every 60th of its ticks.
    for (int i = 0; i < 59; ++i) {
        QTimerEvent tick(1);
        QCoreApplication::sendEvent(&window, &tick);
    }
    QVERIFY(f.callsOf("SetItemRelativeRect").isEmpty());
    QTimerEvent tick(1);
    QCoreApplication::sendEvent(&window, &tick);
    QCOMPARE(f.callsOf("SetItemRelativeRect").size(), 1);
}

void MainWindowTest::teardownStopsEngineBeforeWidgetsAndWritesSettings()
{
    FacadeFixture f;
    auto *window = new UiMain;
    QCOMPARE(window->initWith(f.proxy.get()), 0);
    bool shutDownFirst = false;
    connect(window->workspace(), &QObject::destroyed, [&] {
        shutDownFirst = !castcore::control().log().of("Shutdown").empty();
    });
    QVERIFY(!QFile::exists(SysConfig::filePath()));
    delete window;
    QVERIFY(shutDownFirst);
    const QJsonObject saved = savedSettings();
    QVERIFY2(saved.value(QStringLiteral("sys")).isObject(), "the settings dialog's defaults were written");
    QCOMPARE(saved.value(QStringLiteral("sys")).toObject().value(QStringLiteral("sys_hide_when_close")).toBool(),
             true);
}

void MainWindowTest::picture()
{
    FacadeFixture f;
    UiMain window;
    QCOMPARE(window.initWith(f.proxy.get()), 0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(testsupport::renderOf(window).save(QStringLiteral(MORVA_PICTURE_DIR "/mainwindow.png")));
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
