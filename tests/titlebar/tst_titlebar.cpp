// The title bar: its form, the login and user-name states, the room and
// member pages with their refusals, the settings button, and a forced
// relogin.
#include "AuthControl.h"
#include "CurrentDialog.h"
#include "FacadeFixture.h"
#include "FormCheck.h"
#include "LogCapture.h"
#include "ModalDriver.h"
#include "ModalWatchdog.h"
#include "SysConfig.h"
#include "UiSysSetting.h"
#include "UiTitleBar.h"
#include "UrlOpenRecorder.h"
#include "WebEndpoints.h"
#include "WidgetPictures.h"
#include "login.h"

#include <QFileDialog>
#include <QFrame>
#include <QPushButton>
#include <QtTest>

using testsupport::FacadeFixture;

namespace {

// The title bar sits two levels below the window it drags, as in the main
// window: window -> container -> title bar.
struct TitleBarHost
{
    TitleBarHost()
    {
        window.resize(1200, 788);
        container = new QWidget(&window);
        container->setGeometry(0, 0, 1200, 48);
        bar = new UiTitleBar(container);
    }
    void wire(FacadeFixture &f)
    {
        bar->setConfig(&config);
        bar->setLiveProxy(f.proxy.get());
    }
    QWidget *find(const char *name) const { return bar->findChild<QWidget *>(QLatin1String(name)); }
    QPushButton *button(const char *name) const { return bar->findChild<QPushButton *>(QLatin1String(name)); }

    QWidget window;
    QWidget *container = nullptr;
    UiTitleBar *bar = nullptr;
    SysConfig config;
};

bool loginAs(FacadeFixture &f, const std::string &user)
{
    if (!f.proxy->loginByPassword(user, authport::md5Hex("123456"), std::string()))
        return false;
    QElapsedTimer t;
    t.start();
    while (!f.proxy->isLoggedIn() && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return f.proxy->isLoggedIn();
}

// The default anchor ("mvanchor") under another nickname, which the facade
// reports as the user's name.
void renameAnchor(const std::string &nick, bool anchor = true, int room = -1)
{
    authport::World world = authport::control().world();
    world.accounts.at(0).nick = nick;
    world.accounts.at(0).anchor = anchor;
    if (room >= 0)
        world.accounts.at(0).room = room;
    authport::control().setWorld(world);
}

} // namespace

class TitleBarTest : public QObject
{
    Q_OBJECT

private slots:
    void formWidgets_data();
    void formWidgets();
    void frame();
    void loggedOutAndLoggedInStates();
    void longUserNameIsElided();
    void closeAndMinimiseAreSignalled();
    void roomPage_data();
    void roomPage();
    void memberCentre();
    void settingsButtonRunsDialogAsCurrent();
    void logoutFromSettingsDialog();
    void reloginClosesDialogsAndShowsLogin();
    void reloginWhileLoginShownDoesNothing();
    void picture();
};

void TitleBarTest::formWidgets_data()
{
    using testsupport::addFormRow;
    testsupport::addFormColumns();
    addFormRow("CloseButton", "QPushButton", QRect(1168, 8, 28, 28), QLatin1String(""));
    addFormRow("MiniButton", "QPushButton", QRect(1136, 8, 28, 28), QLatin1String(""));
    addFormRow("SettingButton", "QPushButton", QRect(1082, 8, 28, 28), QLatin1String(""));
    addFormRow("positionlivingbtn", "MvChangeCursorShape", QRect(992, 11, 71, 21), QStringLiteral("我的直播间"));
    addFormRow("showloginButton", "MvChangeCursorShape", QRect(901, 11, 60, 21), QStringLiteral("登录账号"));
    addFormRow("playernamebtn", "MvChangeCursorShape", QRect(863, 11, 98, 21), QStringLiteral("小兔子乖乖"));
    addFormRow("line", "QFrame", QRect(1123, 15, 1, 14));
    addFormRow("line_2", "QFrame", QRect(971, 15, 1, 14));
    addFormRow("line_3", "QFrame", QRect(891, 15, 1, 14));
    addFormRow("line_4", "QFrame", QRect(853, 15, 1, 14));
    addFormRow("line_5", "QFrame", QRect(993, 31, 69, 1));
}

void TitleBarTest::formWidgets()
{
    testsupport::TempEnvironment env;
    TitleBarHost host;
    QWidget *w = testsupport::checkFormRow(*host.bar);
    if (QTest::currentTestFailed())
        return;
    if (auto *frame = qobject_cast<QFrame *>(w))
        QCOMPARE(frame->frameShape(), w->objectName() == QLatin1String("line_5") ? QFrame::HLine : QFrame::VLine);
}

void TitleBarTest::frame()
{
    testsupport::TempEnvironment env;
    TitleBarHost host;
    QCOMPARE(host.bar->objectName(), QStringLiteral("UiTitleBar"));
    QCOMPARE(host.bar->size(), QSize(1200, 48));
    QVERIFY(host.bar->autoFillBackground());
    const QBrush brush = host.bar->palette().brush(QPalette::Window);
    QCOMPARE(brush.texture().size(), QSize(1200, 48));
    // Both dialogs are the title bar's hidden children.
    QVERIFY(host.bar->loginDialog());
    QCOMPARE(host.bar->loginDialog()->parentWidget(), host.bar);
    QVERIFY(host.bar->loginDialog()->isHidden());
    QCOMPARE(host.bar->settingsDialog()->parentWidget(), host.bar);
    QVERIFY(host.bar->settingsDialog()->isHidden());
    // Every picture the buttons name exists.
    for (const char *name : {"close", "close_a", "min", "min_a", "set", "set_a"})
        QVERIFY2(QFile::exists(QStringLiteral(":/image/skin/%1.png").arg(QLatin1String(name))), name);
}

void TitleBarTest::loggedOutAndLoggedInStates()
{
    FacadeFixture f;
    TitleBarHost host;
    host.wire(f);
    QVERIFY(!host.find("showloginButton")->isHidden());
    QVERIFY(!host.find("line_3")->isHidden());
    QVERIFY(host.find("playernamebtn")->isHidden());
    QVERIFY(host.find("line_4")->isHidden());

    QVERIFY(loginAs(f, "mvanchor"));
    // The name comes from the facade, not from the signal.
    host.bar->slot_onUserLoginStatus(QStringLiteral("别的名字"), true);
    QVERIFY(host.find("showloginButton")->isHidden());
    QVERIFY(host.find("line_3")->isHidden());
    QVERIFY(!host.find("playernamebtn")->isHidden());
    QVERIFY(!host.find("line_4")->isHidden());
    QCOMPARE(host.button("playernamebtn")->text(), QStringLiteral("摩瓦主播"));

    host.bar->slot_onUserLoginStatus(QString(), false);
    QVERIFY(!host.find("showloginButton")->isHidden());
    QVERIFY(host.find("playernamebtn")->isHidden());
}

void TitleBarTest::longUserNameIsElided()
{
    FacadeFixture f;
    const std::string longName = "这是一个非常非常非常长的主播名字";
    renameAnchor(longName);
    TitleBarHost host;
    host.wire(f);
    QVERIFY(loginAs(f, "mvanchor"));
    host.bar->slot_onUserLoginStatus(QString(), true);
    const QString shown = host.button("playernamebtn")->text();
    QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(shown));
    QVERIFY(QString::fromStdString(longName).startsWith(shown.chopped(1)));
}

void TitleBarTest::closeAndMinimiseAreSignalled()
{
    testsupport::TempEnvironment env;
    TitleBarHost host;
    QSignalSpy closed(host.bar, SIGNAL(on_closebtnclicked()));
    QSignalSpy minimised(host.bar, SIGNAL(on_minibtnclicked()));
    QTest::mouseClick(host.button("CloseButton"), Qt::LeftButton);
    QCOMPARE(closed.count(), 1);
    QCOMPARE(minimised.count(), 0);
    QTest::mouseClick(host.button("MiniButton"), Qt::LeftButton);
    QCOMPARE(minimised.count(), 1);
}

void TitleBarTest::roomPage_data()
{
    QTest::addColumn<bool>("logIn");
    QTest::addColumn<bool>("anchor");
    QTest::addColumn<int>("room");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<bool>("pointSent");
    QTest::newRow("logged out") << false << true << 10086 << QStringLiteral("请登录!") << false;
    QTest::newRow("no anchor") << true << false << 10086 << QStringLiteral("您不是主播，没有房间!") << false;
    QTest::newRow("room 0") << true << true << 0 << QStringLiteral("账号异常，获取不到房间号!") << true;
    QTest::newRow("opens") << true << true << 10086 << QString() << true;
}

void TitleBarTest::roomPage()
{
    QFETCH(bool, logIn);
    QFETCH(bool, anchor);
    QFETCH(int, room);
    QFETCH(QString, refusal);
    QFETCH(bool, pointSent);
    FacadeFixture f;
    renameAnchor("摩瓦主播", anchor, room);
    QVERIFY(WebEndpoints::setHost(WebEndpoints::WebSite, QStringLiteral("127.0.0.1:4713")));
    TitleBarHost host;
    host.wire(f);
    if (logIn)
        QVERIFY(loginAs(f, "mvanchor"));
    testsupport::UrlOpenRecorder opened({QStringLiteral("http"), QStringLiteral("https")});
    testsupport::ModalDriver driver;
    if (!refusal.isNull())
        driver.pressNext(QStringLiteral("pushButton_ok"));
    const int logBefore = FacadeFixture::logSize();
    QTest::mouseClick(host.button("positionlivingbtn"), Qt::LeftButton);
    QVERIFY(driver.waitDone());
    WebEndpoints::clearOverrides();
    if (refusal.isNull()) {
        QVERIFY(driver.seen().isEmpty());
        QCOMPARE(opened.urls(), QList<QUrl>({QUrl(QStringLiteral("https://127.0.0.1:4713/10086"))}));
    } else {
        QCOMPARE(driver.last().text(QStringLiteral("tipinfolabel")), refusal);
        QVERIFY(opened.urls().isEmpty());
    }
    const bool point = FacadeFixture::logSince(logBefore).filter(QStringLiteral("click_home_mystudio")).size() == 1;
    QCOMPARE(point, pointSent);
}

void TitleBarTest::memberCentre()
{
    FacadeFixture f;
    QVERIFY(WebEndpoints::setHost(WebEndpoints::WebSite, QStringLiteral("127.0.0.1:4713")));
    TitleBarHost host;
    host.wire(f);
    testsupport::UrlOpenRecorder opened({QStringLiteral("http"), QStringLiteral("https")});
    const int logBefore = FacadeFixture::logSize();
    QTest::mouseClick(host.button("playernamebtn"), Qt::LeftButton);
    WebEndpoints::clearOverrides();
    QCOMPARE(opened.urls(), QList<QUrl>({QUrl(QStringLiteral("https://127.0.0.1:4713/member/cp"))}));
    QCOMPARE(FacadeFixture::logSince(logBefore).filter(QStringLiteral("click_home_anchor")).size(), 1);
}

void TitleBarTest::settingsButtonRunsDialogAsCurrent()
{
    FacadeFixture f;
    TitleBarHost host;
    host.wire(f);
    testsupport::ModalDriver driver;
    QPointer<QDialog> during;
    driver.onNext([&](QWidget *d) {
        during = currentDialog;
        QVERIFY(testsupport::ModalDriver::press(d, QStringLiteral("pushButton_close")));
    });
    const int logBefore = FacadeFixture::logSize();
    QTest::mouseClick(host.button("SettingButton"), Qt::LeftButton);
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.last().className, QStringLiteral("UiSysSetting"));
    QCOMPARE(during.data(), static_cast<QDialog *>(host.bar->settingsDialog()));
    QVERIFY(currentDialog.isNull());
    // Sent even though the dialog was closed without saving.
    QCOMPARE(FacadeFixture::logSince(logBefore).filter(QStringLiteral("click_home_setting")).size(), 1);
}

void TitleBarTest::logoutFromSettingsDialog()
{
    FacadeFixture f;
    TitleBarHost host;
    host.wire(f);
    QVERIFY(loginAs(f, "mvanchor"));
    host.bar->slot_onUserLoginStatus(QString(), true);
    QVERIFY(!host.find("playernamebtn")->isHidden());
    QMetaObject::invokeMethod(host.bar->settingsDialog()->findChild<QWidget *>(QStringLiteral("label_logout")),
                              "linkActivated", Q_ARG(QString, QString()));
    QVERIFY(!f.proxy->isLoggedIn());
    QVERIFY(host.find("playernamebtn")->isHidden());
    QVERIFY(!host.find("showloginButton")->isHidden());
}

void TitleBarTest::reloginClosesDialogsAndShowsLogin()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    TitleBarHost host;
    host.wire(f);
    host.window.show();
    QVERIFY(loginAs(f, "mvanchor"));
    host.bar->slot_onUserLoginStatus(QString(), true);

    // The settings dialog is open, with a standard file dialog of the main
    // window above it, when the account is signed in elsewhere.
    QFileDialog *files = new QFileDialog(&host.window);
    files->setOption(QFileDialog::DontUseNativeDialog);
    files->show();
    f.proxy->logout();
    testsupport::ModalWatchdog watchdog;
    testsupport::ModalDriver driver;
    bool settingsClosed = false;
    driver.onNext([&](QWidget *) {
        QTimer::singleShot(0, host.bar, SLOT(slot_onUserRelogin()));
    });
    driver.onNext([&](QWidget *d) {
        settingsClosed = !host.bar->settingsDialog()->isVisible();
        QCOMPARE(d, static_cast<QWidget *>(host.bar->loginDialog()));
        static_cast<QDialog *>(d)->reject();
    });
    QTest::mouseClick(host.button("SettingButton"), Qt::LeftButton);
    QVERIFY(driver.waitDone(10000));
    QVERIFY2(driver.errors().isEmpty(), qPrintable(driver.errors().join(QLatin1Char('\n'))));
    QCOMPARE(driver.seen().at(0).className, QStringLiteral("UiSysSetting"));
    QCOMPARE(driver.seen().at(1).className, QStringLiteral("login"));
    QVERIFY(settingsClosed);
    QVERIFY(!host.bar->settingsDialog()->isVisible());
    QTRY_VERIFY(!files->isVisible());
    // The plug-ins were told to close.
    QVERIFY(f.callsOf("OnWindowMessage").contains(QStringLiteral("OnWindowMessage(0,16,0,0)")));
    // Not logged in again: the login button shows.
    QVERIFY(!host.find("showloginButton")->isHidden());
}

void TitleBarTest::reloginWhileLoginShownDoesNothing()
{
    FacadeFixture f;
    TitleBarHost host;
    host.wire(f);
    testsupport::ModalDriver driver;
    driver.onNext([&](QWidget *d) {
        host.bar->slot_onUserRelogin(); // returns at once: the login dialog is up
        static_cast<QDialog *>(d)->reject();
    });
    f.calls().clear();
    QTest::mouseClick(host.button("showloginButton"), Qt::LeftButton);
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.seen().size(), 1);
    QVERIFY(f.callsOf("OnWindowMessage").isEmpty());
}

void TitleBarTest::picture()
{
    testsupport::TempEnvironment env;
    TitleBarHost host;
    host.window.show();
    const QImage image = testsupport::renderOf(*host.bar);
    QVERIFY(image.save(QStringLiteral(MORVA_PICTURE_DIR "/titlebar.png")));
    // The background picture is drawn: its left end is the gradient's red.
    QCOMPARE(QColor(image.pixel(2, 2)).red(), 255);
    QVERIFY(QColor(image.pixel(2, 2)).green() < 0x50);
}

QTEST_MAIN(TitleBarTest)
#include "tst_titlebar.moc"
