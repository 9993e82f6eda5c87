// The login dialog on the real facade, listener, account-service layer, QR
// encoder and web dialogs; the settings store on a real file.

#include "LoginFixture.h"

#include "CountryDialCodeTable.h"
#include "CurrentDialog.h"
#include "FixedWebSources.h"
#include "HttpStub.h"
#include "LayeredShadowWindow.h"
#include "LogCapture.h"
#include "MvComboBoxItemDelegate.h"
#include "ModalDriver.h"
#include "ModalWatchdog.h"
#include "MvToolTip.h"
#include "UrlOpenRecorder.h"
#include "WebEndpoints.h"
#include "WebPages.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWebView>

using namespace logintest;
using testsupport::HttpResponse;
using testsupport::HttpStub;
using testsupport::LogCapture;
using testsupport::ModalDriver;
using testsupport::ModalWatchdog;
using testsupport::ScopedHosts;
using testsupport::UrlOpenRecorder;

namespace {

template <typename T = QWidget>
T *child(const LoginFixture &f, const char *name)
{
    return f.dialog->findChild<T *>(QLatin1String(name));
}

QByteArray accountFile(const QJsonObject &account)
{
    return QJsonDocument(QJsonObject{{"account", account}}).toJson();
}

QStringList argsOf(const mvplatform::CallRecord &record)
{
    QStringList out;
    for (const std::string &a : record.args)
        out << QString::fromStdString(a);
    return out;
}

QStringList lastArgs(const LoginFixture &f, const std::string &op)
{
    const auto record = f.auth().last(op);
    return record ? argsOf(*record) : QStringList{QStringLiteral("<no call>")};
}


// Sends a mouse event the way the application delivers it.
void sendMouse(QWidget *w, QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    const QPointF local = w->mapFromGlobal(global);
    QMouseEvent e(type, local, local, QPointF(global), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void press(const LoginFixture &f, const char *button)
{
    child<QPushButton>(f, button)->click();
}

void pressLabel(const LoginFixture &f, const char *label)
{
    QTest::mousePress(child(f, label), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
}

void show(LoginFixture &f)
{
    f.dialog->show();
    QCoreApplication::processEvents();
}

// Types into the password field as the user does: over a filler, the first
// key starts a new password.
void typePassword(LoginFixture &f, const QString &password)
{
    auto *field = child<QLineEdit>(f, "ledit_password");
    bool ascii = true;
    for (const QChar c : password)
        ascii = ascii && c.unicode() < 0x80;
    if (password.isEmpty()) {
        field->clear();
    } else if (ascii) {
        QTest::keyClicks(field, password);
    } else {
        // Keys of other scripts come as an input method's text.
        field->clear();
        field->insert(password);
    }
}

// The password page with the nickname tab and its two fields filled.
void fillNickname(LoginFixture &f, const QString &user, const QString &password)
{
    press(f, "button_loginbypsw");
    press(f, "button_nickname");
    child<QLineEdit>(f, "ledit_username")->setText(user);
    typePassword(f, password);
}

void fillPhone(LoginFixture &f, const QString &phone, const QString &password)
{
    press(f, "button_loginbypsw");
    press(f, "button_phonelogin");
    child<QLineEdit>(f, "ledit_phonenumber")->setText(phone);
    typePassword(f, password);
}

// The world's anchor signs in on the QR page: a code, then polls until the
// service confirms it.
void signInByQr(LoginFixture &f)
{
    authport::control().scriptQrCode(0, "https://127.0.0.1:9/qr?c=", "KEY1", 60);
    authport::control().scriptQrPolls({229, 0});
    show(f);
    press(f, "button_loginbyQRcode");
    f.settle();
    for (int i = 0; i < 2; ++i) {
        f.proxy()->onTimer();
        f.settle();
    }
}

void setAnchor(bool anchor, int loginCode = 0)
{
    authport::World world = authport::control().world();
    world.accounts.at(0).anchor = anchor;
    world.accounts.at(0).loginCode = loginCode;
    authport::control().setWorld(world);
}

QString tipText(const LoginFixture &f)
{
    const MvToolTip *tip = f.dialog->messageTip();
    return tip->isVisible() ? tip->text() : QString();
}

QStringList statusSignals(const QSignalSpy &spy)
{
    QStringList out;
    for (const QList<QVariant> &args : spy)
        out << args.at(0).toString() + QLatin1Char('/') + (args.at(1).toBool() ? "true" : "false");
    return out;
}

QJsonObject account(const QString &name, const QString &token, bool autoLogin, const QString &zone, int mode)
{
    return QJsonObject{{"name", name}, {"token", token}, {"auto_login", autoLogin}, {"zone", zone}, {"mode", mode}};
}

const QString kAnchorToken = QStringLiteral("token-mvanchor");
const QString kAnchorNick = QStringLiteral("摩瓦主播");

// A captcha page on the passport host that never answers.
struct UnansweredCaptchaPage
{
    UnansweredCaptchaPage()
    {
        stub.route("GET", "/api/appCaptchaV3", HttpResponse::html("<html><body>captcha</body></html>"));
    }
    HttpStub stub;
    ScopedHosts hosts{QStringList{"passport"}, stub.hostPort()};
};

// The anchor's nickname and password typed in, and an account that asks for
// a captcha.
void startNeedingCaptcha(LoginFixture &f)
{
    setAnchor(true, 81);
    show(f);
    fillNickname(f, "mvanchor", "123456");
}

// A captcha page on the passport host that answers at once.
struct AnsweringCaptchaPage
{
    explicit AnsweringCaptchaPage(const QByteArray &answer)
    {
        stub.route("GET", "/api/appCaptchaV3", HttpResponse::redirect("/captcha/result?" + answer));
        stub.route("GET", "/captcha/result", HttpResponse::html("<html><body>ok</body></html>"));
    }
    HttpStub stub;
    ScopedHosts hosts{QStringList{"passport"}, stub.hostPort()};
};

// Holds the dialog in its handling of the first attempt's result, once the
// captcha attempt has started, until the captcha job (held at its gate) has
// been let through and has ended: the job finishes before the dialog does.
class CaptchaJobFinishesFirst : public QObject
{
public:
    CaptchaJobFinishesFirst(LoginFixture &f, const std::string &op, int job)
        : m_f(f)
        , m_op(op)
        , m_job(job)
    {
        child(f, "button_login")->installEventFilter(this);
    }

    int holds = 0;
    bool jobEnded = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        LiveTaskThread &jobs = m_f.proxy()->taskThread();
        if (event->type() != QEvent::StyleChange || holds > 0 || jobs.jobNumber() != m_job)
            return false;
        ++holds;
        authport::control().gates().waitForWaiting(m_op, 1, 5000);
        authport::control().gates().open(m_op);
        QElapsedTimer waited;
        waited.start();
        while (jobs.isBusy() && waited.elapsed() < 5000)
            QThread::yieldCurrentThread();
        jobEnded = !jobs.isBusy();
        return false;
    }

private:
    LoginFixture &m_f;
    std::string m_op;
    int m_job;
};

// A second account beside the world's anchor.
void addGuest()
{
    authport::World world = authport::control().world();
    authport::Account guest;
    guest.user = "mvguest";
    guest.phone = "13900000000";
    guest.area = "86";
    guest.passwordMd5 = authport::md5Hex("654321");
    guest.token = "token-mvguest";
    guest.nick = "访客";
    guest.uid = 10002;
    world.accounts.push_back(guest);
    authport::control().setWorld(world);
}

// Picks the dial code in the area-code box as the user does.
bool chooseZone(const LoginFixture &f, const QString &code)
{
    auto *box = child<QComboBox>(f, "combo_Area_code");
    for (int i = 0; i < box->count(); ++i) {
        if (box->itemData(i, Qt::UserRole).toString() == code) {
            emit box->activated(i);
            return box->currentText() == code;
        }
    }
    return false;
}

int loginCalls(const LoginFixture &f)
{
    return f.auth().count("Login") + f.auth().count("LoginByToken") + f.auth().count("PhoneLogin");
}

int endedPages(const ModalWatchdog &watchdog, const char *className)
{
    int n = 0;
    for (const ModalWatchdog::Ended &e : watchdog.ended())
        n += e.className == QLatin1String(className) ? 1 : 0;
    return n;
}

QTimer *qrTimer(const LoginFixture &f)
{
    return f.dialog->findChild<QTimer *>(QStringLiteral("qrTimer"));
}

QImage shownQr(const LoginFixture &f)
{
    return child<QLabel>(f, "label_QR_code")->pixmap(Qt::ReturnByValue).toImage();
}

// A code on the QR page: the dialog shown, the scripted reply drawn.
void showQrCode(LoginFixture &f, const std::string &key = "KEY1", int expire = 60)
{
    authport::control().scriptQrCode(0, "https://127.0.0.1:9/qr?c=", key, expire);
    show(f);
    press(f, "button_loginbyQRcode");
    f.settle();
}

bool qrStopped(const LoginFixture &f)
{
    return child(f, "label_10")->isHidden() && child(f, "button_QR_refresh")->isHidden() && !qrTimer(f)->isActive()
        && !f.proxy()->isQrPolling();
}

} // namespace

class TestLoginDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // form and looks
    void formGeometry_data();
    void formGeometry();
    void formTexts_data();
    void formTexts();
    void stateAfterConstruction();
    void looks_data();
    void looks();
    void skinPictures();

    // saved account and automatic sign-in
    void savedAccountFillsTheForm_data();
    void savedAccountFillsTheForm();
    void autoLoginUsesTheSavedToken_data();
    void autoLoginUsesTheSavedToken();
    void successSavesTheAccount_data();
    void successSavesTheAccount();
    void failureKeepsTheSavedAccount();
    void signedElsewhere_data();
    void signedElsewhere();
    void logoutSavesWithoutToken_data();
    void logoutSavesWithoutToken();
    void autoLoginBoxSavesItsState_data();
    void autoLoginBoxSavesItsState();

    // results
    void failureTips_data();
    void failureTips();
    void resultsIgnoredWhileSignedIn();
    void expiredCodeOnlyInQrMode();
    void nonAnchorNoticeOnlyForPasswords();
    void code227ForgetsTheToken();
    void closingUnsignedTellsOnce_data();
    void closingUnsignedTellsOnce();
    void tipFollowsTheDialog();
    void tipOfAFailedAutoLoginWaitsForTheDialog();

    // QR code
    void qrPictureDecodesToTheCode();
    void qrTimerInterval_data();
    void qrTimerInterval();
    void qrModulePixels_data();
    void qrModulePixels();
    void qrEncoderFailuresStartNothing_data();
    void qrEncoderFailuresStartNothing();
    void qrErrorReplyIsOnlyLogged();
    void qrWaitingPollsAreSilent();
    void qrOverlayAndRefresh();
    void qrExpiredPollShowsTheOverlay();
    void qrEveryCloseStopsTheCode_data();
    void qrEveryCloseStopsTheCode();
    void qrPasswordPageStopsTheCode_data();
    void qrPasswordPageStopsTheCode();
    void qrRefreshWhileARequestRuns();
    void execAsksForACodeEachRun();

    // password and phone
    void emptyFieldsAreRefused_data();
    void emptyFieldsAreRefused();
    void passwordDigestAndDialCode_data();
    void passwordDigestAndDialCode();
    void refusedStartKeepsTheRunningAttempt();
    void returnSignsInOnce_data();
    void returnSignsInOnce();
    void fillerSignsInWithTheSavedToken();
    void fillerOnlyForTheSavedAccount_data();
    void fillerOnlyForTheSavedAccount();
    void otherNameNeverGetsTheSavedToken_data();
    void otherNameNeverGetsTheSavedToken();
    void signInFollowsTheShownSubPage();
    void areaCodeBecomesTheZone();

    // captcha
    void captchaAnswerStartsTheCaptchaJob_data();
    void captchaAnswerStartsTheCaptchaJob();
    void captchaClosedUnanswered();
    void withoutWebPagesTheUserIsTold_data();
    void withoutWebPagesTheUserIsTold();
    void secondCaptchaWhileOneIsOpen();
    void captchaNeverForATokenSignIn();
    void captchaSignInStaysSignedIn_data();
    void captchaSignInStaysSignedIn();
    void captchaRoadRepeated();

    // outside accounts
    void outsideAccounts_data();
    void outsideAccounts();

    // form behaviour
    void areaCodeBox();
    void eyeButtonShowsThePassword();
    void labelsOpenBrowserPages_data();
    void labelsOpenBrowserPages();
    void pagesAndTabs();
};

void TestLoginDialog::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("MorvaShow"));
}

void TestLoginDialog::init()
{
    webtest::fixWebSources();
    WebEndpoints::clearOverrides();
}

void TestLoginDialog::cleanup()
{
    webtest::restoreWebSources();
    WebEndpoints::clearOverrides();
}

// ---- form and looks ---------------------------------------------------------

void TestLoginDialog::formGeometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QRect>("geometry");

    const struct
    {
        const char *name;
        const char *className;
        const char *parent;
        QRect rect;
    } rows[] = {
        {"button_loginbypsw", "QPushButton", "page", {300, 0, 42, 42}},
        {"label", "QLabel", "page", {30, 0, 171, 21}},
        {"label_QR_code", "QLabel", "page", {36, 96, 142, 142}},
        {"line_6", "Line", "page", {35, 95, 143, 1}},
        {"line_7", "Line", "page", {35, 238, 143, 1}},
        {"line_8", "Line", "page", {35, 95, 1, 143}},
        {"line_9", "Line", "page", {178, 95, 1, 143}},
        {"label_10", "QLabel", "page", {36, 96, 142, 142}},
        {"button_QR_refresh", "QPushButton", "page", {50, 181, 121, 31}},
        {"label_4", "QLabel", "page", {190, 66, 227, 221}},
        {"label_3", "QLabel", "page", {188, 25, 137, 25}},
        {"label_scan", "QLabel", "page", {110, 293, 32, 32}},
        {"label_6", "QLabel", "page", {160, 287, 31, 21}},
        {"label_morvaAPP", "QLabel", "page", {200, 287, 61, 20}},
        {"label_7", "QLabel", "page", {160, 310, 71, 16}},
        {"label_loginbypsd", "QLabel", "page", {190, 351, 61, 20}},
        {"line_5", "Line", "page", {250, 355, 20, 15}},
        {"label_register", "QLabel", "page", {270, 350, 61, 21}},
        {"button_loginbyQRcode", "QPushButton", "page_2", {300, 0, 42, 42}},
        {"label_2", "QLabel", "page_2", {30, 0, 121, 21}},
        {"label_9", "QLabel", "page_2", {170, 0, 61, 16}},
        {"label_5register", "QLabel", "page_2", {230, 0, 54, 16}},
        {"label_8", "QLabel", "page_2", {188, 25, 137, 25}},
        {"line_3", "Line", "page_2", {20, 20, 166, 20}},
        {"button_phonelogin", "QPushButton", "page_2", {20, 50, 75, 23}},
        {"line_4", "Line", "page_2", {90, 54, 15, 18}},
        {"button_nickname", "QPushButton", "page_2", {105, 50, 75, 23}},
        {"stackedWidget_2", "QStackedWidget", "page_2", {30, 90, 300, 35}},
        {"combo_Area_code", "QComboBox", "page_3", {0, 0, 95, 35}},
        {"ledit_phonenumber", "QLineEdit", "page_3", {100, 0, 200, 35}},
        {"ledit_username", "QLineEdit", "page_4", {0, 0, 296, 35}},
        {"ledit_password", "QLineEdit", "page_2", {30, 145, 300, 35}},
        {"button_login", "QPushButton", "page_2", {22, 195, 314, 54}},
        {"autologinCheck", "QCheckBox", "page_2", {30, 255, 81, 21}},
        {"label_forgetPsd", "QLabel", "page_2", {260, 255, 71, 21}},
        {"line", "Line", "page_2", {10, 290, 101, 20}},
        {"line_2", "Line", "page_2", {240, 290, 101, 20}},
        {"label_5", "QLabel", "page_2", {120, 290, 111, 20}},
        {"button_QQ", "QPushButton", "page_2", {34, 320, 52, 52}},
        {"button_WeChat", "QPushButton", "page_2", {154, 320, 52, 52}},
        {"button_MicroBlog", "QPushButton", "page_2", {274, 320, 52, 52}},
    };
    for (const auto &r : rows)
        QTest::newRow(r.name) << QString(r.name) << QString(r.className) << QString(r.parent) << r.rect;
}

void TestLoginDialog::formGeometry()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, parentName);
    QFETCH(QRect, geometry);

    LoginFixture f;
    QWidget *w = f.dialog->findChild<QWidget *>(name);
    QVERIFY2(w, qPrintable(name));
    if (className == QLatin1String("Line"))
        QCOMPARE(w->metaObject()->className(), "QFrame");
    else
        QVERIFY(w->inherits(className.toLatin1().constData()));
    QVERIFY(w->parentWidget());
    QCOMPARE(w->parentWidget()->objectName(), parentName);
    QCOMPARE(w->geometry(), geometry);
}

void TestLoginDialog::formTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("label") << "label" << QStringLiteral("手机扫码，安全登录");
    QTest::newRow("label_10") << "label_10" << QStringLiteral("二维码已失效");
    QTest::newRow("button_QR_refresh") << "button_QR_refresh" << QStringLiteral("点击刷新");
    QTest::newRow("label_6") << "label_6" << QStringLiteral("打开");
    QTest::newRow("label_morvaAPP") << "label_morvaAPP" << QStringLiteral("手机摩瓦");
    QTest::newRow("label_7") << "label_7" << QStringLiteral("扫一扫登录");
    QTest::newRow("label_loginbypsd") << "label_loginbypsd" << QStringLiteral("密码登录");
    QTest::newRow("label_register") << "label_register" << QStringLiteral("免费注册");
    QTest::newRow("label_2") << "label_2" << QStringLiteral("登录摩瓦");
    QTest::newRow("label_9") << "label_9" << QStringLiteral("没有账号？");
    QTest::newRow("label_5register") << "label_5register" << QStringLiteral("5秒注册>");
    QTest::newRow("button_phonelogin") << "button_phonelogin" << QStringLiteral("手机登录");
    QTest::newRow("button_nickname") << "button_nickname" << QStringLiteral("昵称登录");
    QTest::newRow("button_login") << "button_login" << QString();
    QTest::newRow("autologinCheck") << "autologinCheck" << QStringLiteral("自动登录");
    QTest::newRow("label_forgetPsd") << "label_forgetPsd" << QStringLiteral("忘记密码？");
    QTest::newRow("label_5") << "label_5" << QStringLiteral("第三方账号直接登录");
    QTest::newRow("ledit_phonenumber placeholder") << "ledit_phonenumber" << QStringLiteral("请输入电话号码");
    QTest::newRow("ledit_username placeholder") << "ledit_username" << QStringLiteral("请输入用户昵称");
    QTest::newRow("ledit_password placeholder") << "ledit_password" << QStringLiteral("请输入您的密码");
}

void TestLoginDialog::formTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);

    LoginFixture f;
    QWidget *w = f.dialog->findChild<QWidget *>(name);
    QVERIFY2(w, qPrintable(name));
    if (auto *label = qobject_cast<QLabel *>(w))
        QCOMPARE(label->text(), text);
    else if (auto *button = qobject_cast<QAbstractButton *>(w))
        QCOMPARE(button->text(), text);
    else if (auto *edit = qobject_cast<QLineEdit *>(w))
        QCOMPARE(edit->placeholderText(), text);
    else
        QFAIL("no text widget");
}

void TestLoginDialog::stateAfterConstruction()
{
    HttpStub stub;
    ScopedHosts hosts(QStringList{"webApi", "clientApi", "passport", "site", "analytics", "music"}, stub.hostPort());
    authport::control().log().clear();
    LoginFixture f;

    QCOMPARE(f.dialog->size(), QSize(360, 425));
    QCOMPARE(f.dialog->windowTitle(), QStringLiteral("login"));
    QCOMPARE(int(f.dialog->windowFlags() & Qt::WindowType_Mask), 15);
    QCOMPARE(f.dialog->focusPolicy(), Qt::ClickFocus);
    QCOMPARE(f.dialog->palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(f.dialog->isHidden());

    auto *pages = child<QStackedWidget>(f, "stackedWidget");
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("page"));
    QCOMPARE(child<QStackedWidget>(f, "stackedWidget_2")->currentWidget()->objectName(), QStringLiteral("page_3"));
    QCOMPARE(child<QPushButton>(f, "button_phonelogin")->styleSheet(),
             QStringLiteral("QPushButton{color:#ff4b2f;font: 14px \"微软雅黑\";border:none}"));
    QCOMPARE(child<QPushButton>(f, "button_nickname")->styleSheet(),
             QStringLiteral("QPushButton{color:#34495e;font: 14px \"微软雅黑\";border:none}"));
    QVERIFY(child(f, "label_10")->isHidden());
    QVERIFY(child(f, "button_QR_refresh")->isHidden());
    QVERIFY(child<QCheckBox>(f, "autologinCheck")->isChecked());
    QCOMPARE(child<QLineEdit>(f, "ledit_password")->echoMode(), QLineEdit::Password);
    QCOMPARE(child<QComboBox>(f, "combo_Area_code")->currentText(), QStringLiteral("+86"));
    QCOMPARE(f.dialog->currentMode(), 0);
    QCOMPARE(f.dialog->currentZone(), QStringLiteral("+86"));

    // Qt would click a default button on Return, next to the password
    // field's own sign-in.
    for (QPushButton *b : f.dialog->findChildren<QPushButton *>()) {
        QVERIFY2(!b->isDefault(), qPrintable(b->objectName()));
        QVERIFY2(!b->autoDefault(), qPrintable(b->objectName()));
    }

    MvToolTip *tip = f.dialog->messageTip();
    QVERIFY(tip);
    QCOMPARE(tip->size(), QSize(300, 35));
    QVERIFY(tip->isHidden());
    QCOMPARE(tip->palette().color(QPalette::WindowText), QColor(Qt::red));
    QCOMPARE(tip->palette().color(QPalette::Window), QColor(Qt::darkGray));

    // Building the dialog makes no web view and sends nothing. The facade's
    // own server-time request, its only one, is in before the count starts.
    QTRY_COMPARE_WITH_TIMEOUT(stub.requestsTo(QStringLiteral("/H5nc/src/timestamp")).size(), 1, 10000);
    QCOMPARE(stub.requestCount(), 1);
    stub.clearRequests();
    f.auth().clear();
    login second(nullptr);
    second.setLiveProxy(f.proxy());
    second.setConfig(f.config.get());
    QVERIFY(second.findChildren<QWebView *>().isEmpty());
    QTest::qWait(50);
    QCOMPARE(stub.requestCount(), 0);
    QCOMPARE(f.auth().all().size(), size_t(0));
}

void TestLoginDialog::looks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("rules"); // fragments of the style sheet
    QTest::addColumn<bool>("hand");

    const QStringList grey14{"color:#656f7a", "14px"};
    QTest::newRow("label") << "label" << QStringList{"color:#2c3e50", "bold 18px", "微软雅黑"} << false;
    QTest::newRow("label_2") << "label_2" << QStringList{"color:#2c3e50", "bold 18px"} << false;
    QTest::newRow("label_6") << "label_6" << grey14 << false;
    QTest::newRow("label_7") << "label_7" << grey14 << false;
    QTest::newRow("label_loginbypsd") << "label_loginbypsd" << grey14 << true;
    QTest::newRow("label_register") << "label_register" << grey14 << true;
    QTest::newRow("label_morvaAPP") << "label_morvaAPP" << QStringList{"color:#ff4b2f", "14px"} << true;
    QTest::newRow("label_5register") << "label_5register" << QStringList{"color:#ff4b2f", "12px"} << true;
    QTest::newRow("label_9") << "label_9" << QStringList{"12px"} << false;
    QTest::newRow("label_forgetPsd") << "label_forgetPsd" << QStringList{"color:#33beff", "14px"} << true;
    QTest::newRow("label_5") << "label_5" << QStringList{"color:#89898a", "12px"} << false;
    QTest::newRow("label_QR_code") << "label_QR_code" << QStringList{"border:5px solid white"} << false;
    QTest::newRow("label_10") << "label_10"
                              << QStringList{"background-color:rgba(0,0,0,150)", "color:white", "bold 16px"} << false;
    QTest::newRow("button_QR_refresh") << "button_QR_refresh"
                                       << QStringList{"background-color:#ff5500", "color:white", "14px"} << false;
    QTest::newRow("line_6") << "line_6" << QStringList{"background-color:lightgray;"} << false;
    QTest::newRow("line_9") << "line_9" << QStringList{"background-color:lightgray;"} << false;
    QTest::newRow("ledit_password") << "ledit_password"
                                    << QStringList{"background:#F8FCFF", "color:#555555", "1px solid #DEE5F5", "13px"}
                                    << false;
    QTest::newRow("ledit_username") << "ledit_username" << QStringList{"background:#F8FCFF", "13px"} << false;
    QTest::newRow("ledit_phonenumber") << "ledit_phonenumber" << QStringList{"background:#F8FCFF", "13px"} << false;
    QTest::newRow("button_close")
        << "button_close"
        << QStringList{"QPushButton{border-image: url(:/image/skin/login/setdialog_close.png)}"
                       "QPushButton:hover {border-image: url(:/image/skin/login/setdialog_close_hover.png);}"
                       "QPushButton:pressed {border-image: url(:/image/skin/login/setdialog_close_press.png);}"}
        << false;
    QTest::newRow("button_loginbypsw") << "button_loginbypsw"
                                       << QStringList{"QPushButton{border-image: url(:/image/skin/login/normal_login.png)}"}
                                       << true;
    QTest::newRow("button_loginbyQRcode")
        << "button_loginbyQRcode" << QStringList{"QPushButton{border-image: url(:/image/skin/login/QRCode_login.png)}"}
        << true;
    QTest::newRow("button_login")
        << "button_login"
        << QStringList{"QPushButton{border-image: url(:/image/skin/login/login.png);}"
                       "QPushButton:hover {border-image: url(:/image/skin/login/login_pressed.png);}"
                       "QPushButton:pressed {border-image: url(:/image/skin/login/login_pressed.png);}"}
        << true;
    QTest::newRow("autologinCheck")
        << "autologinCheck"
        << QStringList{"QCheckBox::indicator:unchecked {image: url(:/image/skin/login/unchoosed.png);",
                       "QCheckBox::indicator:checked {image: url(:/image/skin/login/choose.png);"}
        << true;
    QTest::newRow("button_QQ") << "button_QQ" << QStringList{"login/qq.png", "hover", "login/qq_hover.png"} << true;
    QTest::newRow("button_WeChat") << "button_WeChat" << QStringList{"login/wechat.png", "login/wechat_hover.png"}
                                   << true;
    QTest::newRow("button_MicroBlog") << "button_MicroBlog"
                                      << QStringList{"login/microblog.png", "login/microblog_hover.png"} << true;
    QTest::newRow("combo_Area_code") << "combo_Area_code"
                                     << QStringList{"login/login_combox_down.png", "login/login_combox_up.png",
                                                    "#ff5500", "padding-left:-16px"}
                                     << false;
    QTest::newRow("button_phonelogin") << "button_phonelogin" << QStringList{"color:#ff4b2f"} << true;
    QTest::newRow("button_nickname") << "button_nickname" << QStringList{"color:#34495e"} << true;
}

void TestLoginDialog::looks()
{
    QFETCH(QString, name);
    QFETCH(QStringList, rules);
    QFETCH(bool, hand);

    LoginFixture f;
    QWidget *w = f.dialog->findChild<QWidget *>(name);
    QVERIFY2(w, qPrintable(name));
    for (const QString &rule : rules)
        QVERIFY2(w->styleSheet().contains(rule), qPrintable(rule + QStringLiteral(" in ") + w->styleSheet()));
    if (hand)
        QCOMPARE(w->cursor().shape(), Qt::PointingHandCursor);
    if (name == QLatin1String("button_close"))
        QCOMPARE(w->focusPolicy(), Qt::NoFocus);
}

void TestLoginDialog::skinPictures()
{
    const struct
    {
        const char *name;
        QSize size;
    } pictures[] = {
        {"normal_login.png", {42, 42}},      {"QRCode_login.png", {42, 42}},
        {"phone.png", {227, 221}},           {"tip1.png", {137, 25}},
        {"tip2.png", {137, 25}},             {"scan.png", {32, 32}},
        {"qq.png", {52, 52}},                {"qq_hover.png", {52, 52}},
        {"wechat.png", {52, 52}},            {"wechat_hover.png", {52, 52}},
        {"microblog.png", {52, 52}},         {"microblog_hover.png", {52, 52}},
        {"setdialog_close.png", {12, 12}},   {"setdialog_close_hover.png", {12, 12}},
        {"setdialog_close_press.png", {12, 12}},
        {"login.png", {314, 54}},            {"login_pressed.png", {314, 54}},
        {"logining.png", {314, 54}},         {"unchoosed.png", {14, 14}},
        {"choose.png", {14, 14}},            {"login_combox_down.png", {10, 6}},
        {"login_combox_up.png", {10, 6}},    {"login-head.png", {15, 16}},
        {"login_psd.png", {14, 17}},         {"hidePsd.png", {16, 12}},
        {"showPsd.png", {16, 12}},
    };
    QCOMPARE(int(sizeof(pictures) / sizeof(pictures[0])), 26);
    for (const auto &p : pictures) {
        const QPixmap pixmap(QStringLiteral(":/image/skin/login/") + QLatin1String(p.name));
        QVERIFY2(!pixmap.isNull(), p.name);
        QCOMPARE(pixmap.size(), p.size);
    }
}


// ---- saved account and automatic sign-in -------------------------------------

void TestLoginDialog::savedAccountFillsTheForm_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("zone");
    QTest::addColumn<QString>("nickname");
    QTest::addColumn<QString>("phone");
    QTest::addColumn<bool>("filler");
    QTest::addColumn<bool>("checked");

    QTest::newRow("nickname") << accountFile(account("小明", "T-1234567890", true, "+852", 1)) << 1 << "+852"
                              << "小明" << "" << true << true;
    QTest::newRow("phone") << accountFile(account("13800000000", "T-1234567890", true, "+86", 2)) << 2 << "+86" << ""
                           << "13800000000" << true << true;
    QTest::newRow("mode 7 reads as QR") << accountFile(account("小明", "T-1234567890", true, "+86", 7)) << 0 << "+86"
                                        << "" << "" << true << true;
    QTest::newRow("empty zone") << accountFile(account("小明", "T-1", true, "", 1)) << 1 << "+86" << "小明" << ""
                                << true << true;
    QTest::newRow("automatic login off") << accountFile(account("小明", "T-1", false, "+86", 1)) << 1 << "+86"
                                         << "小明" << "" << false << false;
    QTest::newRow("no token") << accountFile(account("小明", "", true, "+86", 1)) << 1 << "+86" << "小明" << ""
                              << false << true;
    QTest::newRow("no zone, no mode") << accountFile(QJsonObject{{"name", "x"}, {"token", "T-1"}, {"auto_login", true}})
                                      << 0 << "+86" << "" << "" << true << true;
    QTest::newRow("no account") << QByteArray("{\"sys\":{}}") << 0 << "+86" << "" << "" << false << true;
}

void TestLoginDialog::savedAccountFillsTheForm()
{
    QFETCH(QByteArray, file);
    QFETCH(int, mode);
    QFETCH(QString, zone);
    QFETCH(QString, nickname);
    QFETCH(QString, phone);
    QFETCH(bool, filler);
    QFETCH(bool, checked);

    LoginFixture f(file);
    QCOMPARE(f.dialog->currentMode(), mode);
    QCOMPARE(f.dialog->currentZone(), zone);
    QCOMPARE(child<QComboBox>(f, "combo_Area_code")->currentText(), zone);
    QCOMPARE(child<QLineEdit>(f, "ledit_username")->text(), nickname);
    QCOMPARE(child<QLineEdit>(f, "ledit_phonenumber")->text(), phone);
    const QString password = child<QLineEdit>(f, "ledit_password")->text();
    QCOMPARE(!password.isEmpty(), filler);
    // The token itself never reaches a widget.
    QVERIFY(!password.contains(QStringLiteral("T-1")));
    QCOMPARE(child<QCheckBox>(f, "autologinCheck")->isChecked(), checked);
    // The dialog opens on the QR page whatever the saved mode.
    QCOMPARE(child<QStackedWidget>(f, "stackedWidget")->currentIndex(), 0);
}

void TestLoginDialog::autoLoginUsesTheSavedToken_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("sends");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<QString>("signal");

    QTest::newRow("nickname") << accountFile(account("小明", kAnchorToken, true, "+86", 1)) << true
                              << QStringLiteral("小明 auto login.") << QStringLiteral("小明/true");
    // Mode 2 signs in with the phone number and no password; the signal
    // carries the nickname the service returned.
    QTest::newRow("phone") << accountFile(account("13800000000", kAnchorToken, true, "+86", 2)) << true
                           << QStringLiteral(" auto login.") << kAnchorNick + "/true";
    QTest::newRow("automatic login off") << accountFile(account("小明", kAnchorToken, false, "+86", 1)) << false
                                         << QString() << QString();
    QTest::newRow("no token") << accountFile(account("小明", "", true, "+86", 1)) << false << QString() << QString();
}

void TestLoginDialog::autoLoginUsesTheSavedToken()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, sends);
    QFETCH(QString, logLine);
    QFETCH(QString, signal);

    LoginFixture f(file);
    f.auth().clear();
    const int logBefore = LogCapture::texts().size();
    f.dialog->autoLogin();
    f.settle();

    if (!sends) {
        QCOMPARE(f.auth().all().size(), size_t(0));
        QVERIFY(f.status->isEmpty());
        return;
    }
    QCOMPARE(f.auth().count("LoginByToken"), 1);
    QCOMPARE(lastArgs(f, "LoginByToken"), QStringList{kAnchorToken});
    QCOMPARE(f.auth().count("Login"), 0);
    QVERIFY(LogCapture::texts().mid(logBefore).contains(logLine));
    QCOMPARE(statusSignals(*f.status), QStringList{signal});
    QVERIFY(f.proxy()->isLoggedIn());
    QVERIFY(child<QCheckBox>(f, "autologinCheck")->isChecked());
}

void TestLoginDialog::successSavesTheAccount_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QJsonObject>("saved");
    QTest::addColumn<QString>("signal");

    QTest::newRow("QR") << 0 << account("", kAnchorToken, true, "+86", 0) << QStringLiteral("/true");
    QTest::newRow("nickname") << 1 << account("mvanchor", kAnchorToken, true, "+86", 1)
                              << QStringLiteral("mvanchor/true");
    QTest::newRow("phone") << 2 << account("13800000000", kAnchorToken, true, "+86", 2) << kAnchorNick + "/true";
}

void TestLoginDialog::successSavesTheAccount()
{
    QFETCH(int, mode);
    QFETCH(QJsonObject, saved);
    QFETCH(QString, signal);

    LoginFixture f;
    if (mode == 0) {
        signInByQr(f);
    } else {
        show(f);
        if (mode == 1)
            fillNickname(f, "mvanchor", "123456");
        else
            fillPhone(f, "13800000000", "123456");
        press(f, "button_login");
        f.settle();
    }
    QVERIFY(f.dialog->isLoggedIn());
    QVERIFY(f.dialog->isHidden());
    QCOMPARE(statusSignals(*f.status), QStringList{signal});
    QCOMPARE(child<QPushButton>(f, "button_login")->styleSheet(),
             QStringLiteral("QPushButton{border-image: url(:/image/skin/login/login.png);}"));
    QCOMPARE(f.savedAccount(), saved);
}

void TestLoginDialog::failureKeepsTheSavedAccount()
{
    const QJsonObject before = account("mvanchor", kAnchorToken, true, "+86", 1);
    LoginFixture f(accountFile(before));
    show(f);
    fillNickname(f, "mvanchor", "wrong");
    press(f, "button_login");
    f.settle();

    QVERIFY(!f.dialog->isLoggedIn());
    QVERIFY(!f.proxy()->isLoggedIn());
    QCOMPARE(tipText(f), QStringLiteral("密码错误"));
    QCOMPARE(statusSignals(*f.status), QStringList{"mvanchor/false"});
    QVERIFY(f.dialog->isVisible());
    QCOMPARE(f.savedAccount(), before);
}

void TestLoginDialog::signedElsewhere_data()
{
    QTest::addColumn<bool>("autoLogin");
    QTest::addColumn<QJsonObject>("saved");
    QTest::newRow("automatic login on") << true << account("小明", "", true, "+852", 1);
    QTest::newRow("automatic login off") << false << account("小明", kAnchorToken, false, "+852", 1);
}

void TestLoginDialog::signedElsewhere()
{
    QFETCH(bool, autoLogin);
    QFETCH(QJsonObject, saved);

    LoginFixture f(accountFile(account("小明", kAnchorToken, autoLogin, "+852", 1)));
    show(f);
    authport::control().fireNetEvent(211);
    authport::control().waitIdle();
    QTRY_COMPARE(f.relogin->count(), 1);

    QCOMPARE(tipText(f), QStringLiteral("账号在别处登录!"));
    QVERIFY(child<QLineEdit>(f, "ledit_password")->text().isEmpty());
    QVERIFY(!f.proxy()->isLoggedIn());
    QVERIFY(f.status->isEmpty());
    QVERIFY(LogCapture::texts().contains(QStringLiteral("receive login status: code 211")));
    QCOMPARE(f.savedAccount(), saved);
}

void TestLoginDialog::logoutSavesWithoutToken_data()
{
    QTest::addColumn<QJsonObject>("before");
    QTest::addColumn<QJsonObject>("after");
    QTest::addColumn<QString>("signal");
    QTest::newRow("nickname") << account("小明", kAnchorToken, true, "+86", 1) << account("小明", "", true, "+86", 1)
                              << "小明/false";
    QTest::newRow("phone") << account("138", kAnchorToken, false, "+852", 2) << account("138", "", false, "+852", 2)
                           << "/false";
    QTest::newRow("QQ saves no name") << account("someone", kAnchorToken, true, "+86", 3)
                                      << account("", "", true, "+86", 3) << "/false";
}

void TestLoginDialog::logoutSavesWithoutToken()
{
    QFETCH(QJsonObject, before);
    QFETCH(QJsonObject, after);
    QFETCH(QString, signal);

    LoginFixture f(accountFile(before));
    f.dialog->autoLogin();
    f.settle();
    f.status->clear();

    f.dialog->logout();
    QVERIFY(!f.proxy()->isLoggedIn());
    QVERIFY(!f.dialog->isLoggedIn());
    QCOMPARE(statusSignals(*f.status), QStringList{signal});
    QVERIFY(child<QLineEdit>(f, "ledit_password")->text().isEmpty());
    QCOMPARE(child<QCheckBox>(f, "autologinCheck")->isChecked(), before.value("auto_login").toBool());
    QCOMPARE(f.savedAccount(), after);
}

void TestLoginDialog::autoLoginBoxSavesItsState_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QJsonObject>("after");
    QTest::newRow("saved account") << accountFile(account("小明", "T", true, "+852", 9))
                                   << account("小明", "T", false, "+852", 0);
    QTest::newRow("no saved account") << QByteArray() << account("", "", false, "+86", 0);
}

void TestLoginDialog::autoLoginBoxSavesItsState()
{
    QFETCH(QByteArray, file);
    QFETCH(QJsonObject, after);

    LoginFixture f(file);
    show(f);
    press(f, "button_loginbypsw");
    QTest::mouseClick(child(f, "autologinCheck"), Qt::LeftButton, Qt::NoModifier, QPoint(5, 10));
    QVERIFY(!child<QCheckBox>(f, "autologinCheck")->isChecked());
    QCOMPARE(f.savedAccount(), after);
}

// ---- results -----------------------------------------------------------------

void TestLoginDialog::failureTips_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("serviceText");
    QTest::addColumn<QString>("tip");
    QTest::newRow("service text") << 205 << QStringLiteral("密码不对哦") << QStringLiteral("密码不对哦");
    QTest::newRow("code text") << 206 << QString() << QStringLiteral("您的账号已被限制!");
    QTest::newRow("unknown code") << 4711 << QString()
                                  << QStringLiteral("未知错误 error code:4711，如有疑问请与客服联系!");
}

void TestLoginDialog::failureTips()
{
    QFETCH(int, code);
    QFETCH(QString, serviceText);
    QFETCH(QString, tip);

    LoginFixture f;
    authport::control().scriptLogin("Login", code, serviceText.toStdString());
    show(f);
    fillNickname(f, "mvanchor", "123456");
    press(f, "button_login");
    QCOMPARE(child<QPushButton>(f, "button_login")->styleSheet(),
             QStringLiteral("QPushButton{border-image: url(:/image/skin/login/logining.png);}"));
    f.settle();

    QCOMPARE(tipText(f), tip);
    QCOMPARE(statusSignals(*f.status), QStringList{"mvanchor/false"});
    QCOMPARE(child<QPushButton>(f, "button_login")->styleSheet(),
             QStringLiteral("QPushButton{border-image: url(:/image/skin/login/login.png);}"));
    QVERIFY(LogCapture::texts().contains(QStringLiteral("mvanchor login return: code %1").arg(code)));
    QVERIFY(LogCapture::texts().contains(QStringLiteral("mvanchor login fail")));
}

void TestLoginDialog::resultsIgnoredWhileSignedIn()
{
    LoginFixture f;
    show(f);
    fillNickname(f, "mvanchor", "123456");
    press(f, "button_login");
    f.settle();
    QCOMPARE(f.status->count(), 1);

    const int logBefore = LogCapture::texts().size();
    f.dialog->slot_onProxyLoginReturn("other", "T2", QString(), 0);
    f.dialog->slot_onProxyLoginReturn("other", QString(), QStringLiteral("失败"), 205);
    QCOMPARE(f.status->count(), 1);
    QVERIFY(f.dialog->isLoggedIn());
    QCOMPARE(LogCapture::texts().size(), logBefore);
}

void TestLoginDialog::expiredCodeOnlyInQrMode()
{
    LoginFixture f;
    show(f);
    press(f, "button_loginbypsw");
    f.dialog->slot_onProxyLoginReturn(QString(), QString(), QString(), -2);
    QVERIFY(f.status->isEmpty());
    QVERIFY(!f.dialog->messageTip()->isVisible());
    QVERIFY(child(f, "label_10")->isHidden());

    press(f, "button_loginbyQRcode");
    f.settle();
    f.dialog->slot_onProxyLoginReturn(QString(), QString(), QString(), -2);
    QVERIFY(f.status->isEmpty());
    QVERIFY(!f.dialog->messageTip()->isVisible());
    QVERIFY(child(f, "label_10")->isVisible());
    QVERIFY(child(f, "button_QR_refresh")->isVisible());
}

void TestLoginDialog::nonAnchorNoticeOnlyForPasswords()
{
    {
        LoginFixture f;
        setAnchor(false);
        show(f);
        fillNickname(f, "mvanchor", "123456");
        press(f, "button_login");
        f.settle();
        QVERIFY(f.dialog->isHidden());
        QCOMPARE(tipText(f), QStringLiteral("登陆成功，您不是主播!"));
        // The filler stands for the new token.
        QVERIFY(!child<QLineEdit>(f, "ledit_password")->text().isEmpty());
        QVERIFY(!child<QLineEdit>(f, "ledit_password")->text().contains(QStringLiteral("token")));
    }
    {
        LoginFixture f;
        setAnchor(false);
        signInByQr(f);
        QVERIFY(f.dialog->isLoggedIn());
        QCOMPARE(tipText(f), QString());
    }
}

void TestLoginDialog::code227ForgetsTheToken()
{
    LoginFixture f(accountFile(account("mvanchor", kAnchorToken, true, "+86", 1)));
    authport::control().scriptLogin("LoginByToken", 227, "过期了");
    f.dialog->autoLogin();
    f.settle();
    QVERIFY(child<QLineEdit>(f, "ledit_password")->text().isEmpty());

    // Nothing is left to sign in with: the sign-in button asks for a password.
    show(f);
    QCOMPARE(tipText(f), QStringLiteral("过期了"));
    press(f, "button_loginbypsw");
    press(f, "button_nickname");
    ModalDriver driver;
    driver.pressNext(QStringLiteral("确定"));
    press(f, "button_login");
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.last().text("tipinfolabel"), QStringLiteral("用户名或密码为空!"));
}

void TestLoginDialog::closingUnsignedTellsOnce_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("close button") << "button";
    QTest::newRow("Escape") << "escape";
}

void TestLoginDialog::closingUnsignedTellsOnce()
{
    QFETCH(QString, how);
    LoginFixture f(accountFile(account("小明", "", true, "+86", 1)));
    ModalDriver driver;
    driver.onNext([&](QWidget *) {
        if (how == QLatin1String("button"))
            press(f, "button_close");
        else
            QTest::keyClick(f.dialog.get(), Qt::Key_Escape);
    });
    const int result = f.dialog->exec();
    QVERIFY(driver.waitDone());
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(statusSignals(*f.status), QStringList{"小明/false"});
}

void TestLoginDialog::tipFollowsTheDialog()
{
    LoginFixture f;
    f.dialog->move(100, 80);
    show(f);
    MvToolTip *tip = f.dialog->messageTip();
    // Shown: 10 right and 38 down of the centred place.
    QCOMPARE(tip->geometry(), QRect(100 + 30 + 10, 80 + 195 + 38, 300, 35));

    const QPoint start = f.dialog->mapToGlobal(QPoint(150, 5));
    sendMouse(f.dialog.get(), QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    sendMouse(f.dialog.get(), QEvent::MouseMove, start + QPoint(40, 25), Qt::NoButton, Qt::LeftButton);
    sendMouse(f.dialog.get(), QEvent::MouseButtonRelease, start + QPoint(40, 25), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(f.dialog->pos(), QPoint(140, 105));
    QCOMPARE(tip->geometry(), QRect(140 + 30, 105 + 195, 300, 35));

    // Two seconds after construction the tip is placed once more, plainly.
    f.dialog->move(10, 20);
    f.dialog->OnInitDelayed();
    QCOMPARE(tip->geometry(), QRect(10 + 30, 20 + 195, 300, 35));
}

// The automatic sign-in at start fails before the dialog was ever on the
// screen: its tip has no place yet, and comes on the dialog when it shows.
void TestLoginDialog::tipOfAFailedAutoLoginWaitsForTheDialog()
{
    LoginFixture f(accountFile(account("mvanchor", kAnchorToken, true, "+86", 1)));
    authport::control().scriptLogin("LoginByToken", 205, "密码不对哦");
    f.dialog->autoLogin();
    f.settle();
    QCOMPARE(statusSignals(*f.status), QStringList{"mvanchor/false"});
    MvToolTip *tip = f.dialog->messageTip();
    QVERIFY(!tip->isVisible());

    f.dialog->move(100, 80);
    show(f);
    QCOMPARE(tipText(f), QStringLiteral("密码不对哦"));
    QCOMPARE(tip->TargetGeometry(), QRect(100 + 30 + 10, 80 + 195 + 38, 300, 35));

    // Told once: the next showing brings no tip of its own.
    f.dialog->hide();
    tip->hide();
    show(f);
    QVERIFY(!tip->isVisible());
}

// ---- QR code -------------------------------------------------------------------

void TestLoginDialog::qrPictureDecodesToTheCode()
{
    if (QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty())
        QSKIP("zbarimg (zbar-tools) is not installed");
    LoginFixture f(accountFile(account("小明", "", true, "+86", 1)));
    QCOMPARE(f.dialog->currentMode(), 1);
    show(f);
    authport::control().scriptQrCode(0, "https://127.0.0.1:9/qr?c=", "KEY-4711", 60);
    QVERIFY(f.proxy()->requestQrCode());
    f.settle();
    // A code polled on the QR page signs in as a QR sign-in.
    QCOMPARE(f.dialog->currentMode(), 0);

    const auto encode = qrmark::callLog().last("encodeQrText");
    QVERIFY(encode);
    QCOMPARE(argsOf(*encode), (QStringList{"https://127.0.0.1:9/qr?c=KEY-4711", "1", "0", "2", "1"}));
    QCOMPARE(qrmark::encodeCount(), 1);
    QCOMPARE(qrmark::freeCount(), 1);
    QCOMPARE(qrmark::liveMatrices(), 0);

    const QImage picture = shownQr(f);
    QCOMPARE(picture.size(), QSize(132, 132));
    // One bit a pixel: black or white, nothing between.
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb c = picture.pixel(x, y) & 0xFFFFFF;
            QVERIFY(c == 0 || c == 0xFFFFFF);
        }
    QTemporaryDir folder;
    QCOMPARE(decodeQr(picture, folder.path()), QStringLiteral("https://127.0.0.1:9/qr?c=KEY-4711"));

    QVERIFY(qrTimer(f)->isActive());
    QCOMPARE(qrTimer(f)->interval(), 55000);
    QVERIFY(!qrTimer(f)->isSingleShot());
    QVERIFY(f.proxy()->isQrPolling());
    f.proxy()->onTimer();
    f.settle();
    QCOMPARE(lastArgs(f, "PollQrLogin"), QStringList{"KEY-4711"});
}

void TestLoginDialog::qrTimerInterval_data()
{
    QTest::addColumn<int>("expire");
    QTest::addColumn<int>("interval"); // -1: no timer runs
    QTest::newRow("60 s") << 60 << 55000;
    QTest::newRow("6 s") << 6 << 1000;
    QTest::newRow("4 s: the service's expiry is all there is") << 4 << -1;
    QTest::newRow("beyond a timer's range") << 3000000 << 2147483647;
}

void TestLoginDialog::qrTimerInterval()
{
    QFETCH(int, expire);
    QFETCH(int, interval);
    LoginFixture f;
    showQrCode(f, "K1", 60);
    QVERIFY(qrTimer(f)->isActive());

    // The new code's lifetime replaces the old one's.
    authport::control().scriptQrCode(0, "https://127.0.0.1:9/qr?c=", "K2", expire);
    QVERIFY(f.proxy()->requestQrCode());
    f.settle();
    QCOMPARE(qrTimer(f)->isActive(), interval >= 0);
    if (interval >= 0)
        QCOMPARE(qrTimer(f)->interval(), interval);
    QVERIFY(f.proxy()->isQrPolling());
}

void TestLoginDialog::qrModulePixels_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<QVector<int>>("darkBytes"); // index, value pairs
    QTest::addColumn<QVector<QPoint>>("black");
    QTest::addColumn<QVector<QPoint>>("white");

    // 132 / 21 = 6.2857 pixels a module: module (0, 0) covers pixels 0 to 5,
    // module (1, 0) the rows 6 to 12 (centres 6.5 to 12.5 lie below 12.571).
    QTest::newRow("21 modules") << 21 << QVector<int>{0, 1, 1, 2, 21, 3}
                                << QVector<QPoint>{{0, 0}, {5, 5}, {0, 6}, {5, 12}}
                                << QVector<QPoint>{{6, 0}, {12, 3}, {0, 13}, {131, 131}, {6, 6}};
    QTest::newRow("largest symbol") << 177 << QVector<int>{0, 1, 177 * 177 - 1, 1}
                                    << QVector<QPoint>{{0, 0}, {131, 131}} << QVector<QPoint>{{1, 0}, {130, 131}};
    QTest::newRow("one module") << 1 << QVector<int>{0, 1} << QVector<QPoint>{{0, 0}, {131, 131}, {66, 66}}
                                << QVector<QPoint>{};
    // Only bit 0 counts.
    QTest::newRow("other bits") << 2 << QVector<int>{0, 0xFE, 3, 0x81} << QVector<QPoint>{{66, 66}, {131, 131}}
                                << QVector<QPoint>{{0, 0}, {65, 65}};
}

void TestLoginDialog::qrModulePixels()
{
    QFETCH(int, width);
    QFETCH(QVector<int>, darkBytes);
    QFETCH(QVector<QPoint>, black);
    QFETCH(QVector<QPoint>, white);

    LoginFixture f;
    std::vector<unsigned char> data(size_t(width) * size_t(width), 0);
    for (int i = 0; i + 1 < darkBytes.size(); i += 2)
        data[size_t(darkBytes[i])] = static_cast<unsigned char>(darkBytes[i + 1]);
    qrmark::forceNextResult(3, width, data);
    showQrCode(f);

    const QImage picture = shownQr(f);
    QCOMPARE(picture.size(), QSize(132, 132));
    for (const QPoint &p : black)
        QVERIFY2(picture.pixelColor(p) == QColor(Qt::black), qPrintable(QString("%1,%2").arg(p.x()).arg(p.y())));
    for (const QPoint &p : white)
        QVERIFY2(picture.pixelColor(p) == QColor(Qt::white), qPrintable(QString("%1,%2").arg(p.x()).arg(p.y())));
    QCOMPARE(qrmark::liveMatrices(), 0);
}

void TestLoginDialog::qrEncoderFailuresStartNothing_data()
{
    QTest::addColumn<int>("width"); // -100: the encoder fails
    QTest::newRow("no matrix") << -100;
    QTest::newRow("zero width") << 0;
    QTest::newRow("negative width") << -3;
    QTest::newRow("wider than any symbol") << 178;
}

void TestLoginDialog::qrEncoderFailuresStartNothing()
{
    QFETCH(int, width);
    LoginFixture f;
    if (width == -100)
        qrmark::forceNextFailure();
    else
        qrmark::forceNextResult(1, width, std::vector<unsigned char>(size_t(qMax(width, 0)) * size_t(qMax(width, 0)), 1));
    showQrCode(f);

    QCOMPARE(qrmark::encodeCount(), 1);
    QCOMPARE(qrmark::liveMatrices(), 0);
    QVERIFY(shownQr(f).isNull());
    QVERIFY(!qrTimer(f)->isActive());
    QVERIFY(!f.proxy()->isQrPolling());
}

void TestLoginDialog::qrErrorReplyIsOnlyLogged()
{
    LoginFixture f;
    showQrCode(f);
    const qint64 picture = child<QLabel>(f, "label_QR_code")->pixmap(Qt::ReturnByValue).cacheKey();

    authport::control().scriptQrCode(5);
    QVERIFY(f.proxy()->requestQrCode());
    f.settle();
    QVERIFY(LogCapture::texts().contains(QStringLiteral("slot_onReceiveQRCode receive: code 5")));
    QCOMPARE(child<QLabel>(f, "label_QR_code")->pixmap(Qt::ReturnByValue).cacheKey(), picture);
    QCOMPARE(qrmark::encodeCount(), 1);
    QVERIFY(qrTimer(f)->isActive());
    QVERIFY(f.proxy()->isQrPolling());
    QCOMPARE(tipText(f), QString());
    QVERIFY(f.status->isEmpty());
}

void TestLoginDialog::qrWaitingPollsAreSilent()
{
    LoginFixture f;
    authport::control().scriptQrPolls({229, -5, 229, 0});
    showQrCode(f);
    for (int i = 0; i < 3; ++i) {
        f.proxy()->onTimer();
        f.settle();
    }
    QCOMPARE(f.auth().count("PollQrLogin"), 3);
    QVERIFY(f.status->isEmpty());
    QCOMPARE(tipText(f), QString());
    QVERIFY(f.dialog->isVisible());

    f.proxy()->onTimer();
    f.settle();
    QCOMPARE(statusSignals(*f.status), QStringList{"/true"});
    QVERIFY(f.dialog->isHidden());
    QVERIFY(qrStopped(f));
}

void TestLoginDialog::qrOverlayAndRefresh()
{
    LoginFixture f;
    // A code that lives 5 seconds is overdue at once.
    showQrCode(f, "K1", 5);
    QCOMPARE(qrTimer(f)->interval(), 0);
    QTRY_VERIFY(child(f, "label_10")->isVisible());
    QVERIFY(child(f, "button_QR_refresh")->isVisible());
    QVERIFY(f.proxy()->isQrPolling());

    // The refresh button hides the overlay and asks again.
    authport::control().scriptQrCode(0, "https://127.0.0.1:9/qr?c=", "K2", 60);
    press(f, "button_QR_refresh");
    QVERIFY(child(f, "label_10")->isHidden());
    f.settle();
    QCOMPARE(f.auth().count("RequestQrCode"), 2);
    QCOMPARE(qrTimer(f)->interval(), 55000);
    QTest::qWait(20);
    QVERIFY(child(f, "label_10")->isHidden());

    // A new code that arrives over the overlay hides it too.
    f.dialog->timerDone();
    authport::control().scriptQrCode(0, "https://127.0.0.1:9/qr?c=", "K3", 30);
    QVERIFY(f.proxy()->requestQrCode());
    f.settle();
    QVERIFY(child(f, "label_10")->isHidden());
    QVERIFY(child(f, "button_QR_refresh")->isHidden());
    QCOMPARE(qrTimer(f)->interval(), 25000);
    f.proxy()->onTimer();
    f.settle();
    QCOMPARE(lastArgs(f, "PollQrLogin"), QStringList{"K3"});
}

void TestLoginDialog::qrExpiredPollShowsTheOverlay()
{
    LoginFixture f;
    authport::control().scriptQrPolls({-2});
    showQrCode(f);
    f.proxy()->onTimer();
    f.settle();
    QVERIFY(child(f, "label_10")->isVisible());
    QVERIFY(!f.proxy()->isQrPolling());
    QVERIFY(f.status->isEmpty());
    QCOMPARE(tipText(f), QString());
}

void TestLoginDialog::qrEveryCloseStopsTheCode_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("close button") << "button";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("signed in") << "success";
}

void TestLoginDialog::qrEveryCloseStopsTheCode()
{
    QFETCH(QString, how);
    LoginFixture f;
    showQrCode(f);
    f.dialog->timerDone();
    if (how == QLatin1String("button"))
        press(f, "button_close");
    else if (how == QLatin1String("escape"))
        QTest::keyClick(f.dialog.get(), Qt::Key_Escape);
    else
        f.dialog->slot_onProxyLoginReturn(QString(), kAnchorToken, QString(), 0);
    QVERIFY(f.dialog->isHidden());
    QVERIFY(qrStopped(f));
}

void TestLoginDialog::qrPasswordPageStopsTheCode_data()
{
    QTest::addColumn<bool>("byLabel");
    QTest::newRow("corner button") << false;
    QTest::newRow("label") << true;
}

void TestLoginDialog::qrPasswordPageStopsTheCode()
{
    QFETCH(bool, byLabel);
    LoginFixture f;
    showQrCode(f);
    f.dialog->timerDone();
    if (byLabel)
        pressLabel(f, "label_loginbypsd");
    else
        press(f, "button_loginbypsw");
    QCOMPARE(child<QStackedWidget>(f, "stackedWidget")->currentIndex(), 1);
    QVERIFY(qrStopped(f));

    // A code that arrives now is drawn for later, but not polled.
    QVERIFY(f.proxy()->requestQrCode());
    f.settle();
    QCOMPARE(qrmark::encodeCount(), 2);
    QVERIFY(qrStopped(f));
    QCOMPARE(f.dialog->currentMode(), 2);
}

void TestLoginDialog::qrRefreshWhileARequestRuns()
{
    LoginFixture f;
    show(f);
    authport::control().gates().close("RequestQrCode");
    press(f, "button_QR_refresh");
    QVERIFY(authport::control().gates().waitForWaiting("RequestQrCode", 1, 5000));
    press(f, "button_QR_refresh");
    authport::control().gates().open("RequestQrCode");
    f.settle();
    QCOMPARE(f.auth().count("RequestQrCode"), 1);
    QCOMPARE(qrmark::encodeCount(), 1);
}

void TestLoginDialog::execAsksForACodeEachRun()
{
    LoginFixture f;
    for (int run = 1; run <= 2; ++run) {
        ModalDriver driver;
        driver.onNext([&](QWidget *) {
            f.settle();
            // The login dialog is not the one the main window hides.
            QVERIFY(currentDialog.isNull());
            press(f, "button_close");
        });
        f.dialog->exec();
        QVERIFY(driver.waitDone());
        f.settle();
        QCOMPARE(f.auth().count("RequestQrCode"), run);
    }
    // The shadow is made once.
    QCOMPARE(f.dialog->findChildren<LayeredShadowWindow *>().size(), 1);
    QCOMPARE(qrmark::encodeCount(), 2);
    QVERIFY(qrStopped(f));
}

// ---- password and phone --------------------------------------------------------

void TestLoginDialog::emptyFieldsAreRefused_data()
{
    QTest::addColumn<bool>("nicknameTab");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::newRow("nickname, no password") << true << "mvanchor" << "" << QStringLiteral("用户名或密码为空!");
    QTest::newRow("no nickname") << true << "" << "123456" << QStringLiteral("用户名或密码为空!");
    QTest::newRow("phone, no password") << false << "13800000000" << "" << QStringLiteral("电话号码或密码为空!");
    QTest::newRow("no phone") << false << "" << "123456" << QStringLiteral("电话号码或密码为空!");
}

void TestLoginDialog::emptyFieldsAreRefused()
{
    QFETCH(bool, nicknameTab);
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, message);

    LoginFixture f;
    show(f);
    if (nicknameTab)
        fillNickname(f, name, password);
    else
        fillPhone(f, name, password);
    f.auth().clear();
    ModalDriver driver;
    driver.pressNext(QStringLiteral("确定"));
    press(f, "button_login");
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.last().className, QStringLiteral("UiToolTipDialog"));
    QCOMPARE(driver.last().text("tipinfolabel"), message);
    f.settle();
    QCOMPARE(f.auth().all().size(), size_t(0));
    QVERIFY(f.status->isEmpty());
    QVERIFY(!child<QPushButton>(f, "button_login")->styleSheet().contains(QStringLiteral("logining")));
}

void TestLoginDialog::passwordDigestAndDialCode_data()
{
    QTest::addColumn<QString>("zone");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("digest");
    QTest::addColumn<QString>("area");
    QTest::newRow("+86") << "+86" << "123456" << "e10adc3949ba59abbe56e057f20f883e" << "86";
    QTest::newRow("+852, Chinese password") << "+852" << QStringLiteral("密码1")
                                            << "b4e32b8555a9fd3571a5c28e3f38fc3e" << "852";
    QTest::newRow("+1, blank in password") << "+1" << "pass word" << "4ac6430a17d0215b3052b15c879d48bc" << "1";
}

void TestLoginDialog::passwordDigestAndDialCode()
{
    QFETCH(QString, zone);
    QFETCH(QString, password);
    QFETCH(QString, digest);
    QFETCH(QString, area);

    LoginFixture f(accountFile(account("", "", true, zone, 0)));
    show(f);
    const int logBefore = LogCapture::texts().size();
    fillPhone(f, "13800000000", password);
    press(f, "button_login");
    f.settle();
    QCOMPARE(lastArgs(f, "PhoneLogin"), (QStringList{"13800000000", digest, area}));
    QVERIFY(LogCapture::texts().mid(logBefore).contains(
        QStringLiteral("13800000000 use passwd begin to login by phone.")));

    // The nickname path sends the same digest and no token.
    LoginFixture g;
    show(g);
    fillNickname(g, QStringLiteral("主播"), password);
    press(g, "button_login");
    g.settle();
    QCOMPARE(lastArgs(g, "Login"), (QStringList{QStringLiteral("主播"), digest}));
    QCOMPARE(g.auth().count("LoginByToken"), 0);
    QVERIFY(LogCapture::texts().contains(QStringLiteral("主播 use passwd begin to login.")));
}

void TestLoginDialog::refusedStartKeepsTheRunningAttempt()
{
    const QJsonObject saved = account("someone", "", true, "+86", 1);
    LoginFixture f(accountFile(saved));
    show(f);
    authport::control().gates().close("Login");
    fillNickname(f, "mvanchor", "123456");
    press(f, "button_login");
    QVERIFY(authport::control().gates().waitForWaiting("Login", 1, 5000));

    // A second attempt while the first runs: refused, said so, nothing sent.
    child<QLineEdit>(f, "ledit_username")->setText(QStringLiteral("other"));
    press(f, "button_login");
    QCOMPARE(child<QPushButton>(f, "button_login")->styleSheet(),
             QStringLiteral("QPushButton{border-image: url(:/image/skin/login/login.png);}"));
    QCOMPARE(tipText(f), QStringLiteral("上一个登录请求尚未完成，请稍后再试!"));
    // So is an outside account: no page opens.
    ModalWatchdog watchdog(10000);
    press(f, "button_QQ");
    QTest::qWait(20);
    QVERIFY(watchdog.openDialogs().isEmpty());
    QCOMPARE(endedPages(watchdog, "WebViewDlg"), 0);
    QCOMPARE(f.dialog->currentMode(), 1);

    // The held attempt answers as itself.
    authport::control().gates().open("Login");
    f.settle();
    QCOMPARE(f.auth().count("Login"), 1);
    QCOMPARE(statusSignals(*f.status), QStringList{"mvanchor/true"});
    QCOMPARE(f.savedAccount(), account("mvanchor", kAnchorToken, true, "+86", 1));
}

void TestLoginDialog::returnSignsInOnce_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
}

void TestLoginDialog::returnSignsInOnce()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    LoginFixture f;
    show(f);
    fillNickname(f, "mvanchor", "123456");
    auto *field = child<QLineEdit>(f, "ledit_password");
    field->setFocus();
    QTest::keyClick(field, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    f.settle();
    QCOMPARE(f.auth().count("Login"), 1);
    QCOMPARE(statusSignals(*f.status), QStringList{"mvanchor/true"});
}

void TestLoginDialog::fillerSignsInWithTheSavedToken()
{
    // A password the user never typed is no password: the saved token signs in.
    {
        LoginFixture f(accountFile(account("mvanchor", kAnchorToken, true, "+86", 1)));
        show(f);
        press(f, "button_loginbypsw");
        press(f, "button_nickname");
        press(f, "button_login");
        f.settle();
        QCOMPARE(f.auth().count("Login"), 0);
        QCOMPARE(lastArgs(f, "LoginByToken"), QStringList{kAnchorToken});
        QCOMPARE(statusSignals(*f.status), QStringList{"mvanchor/true"});
    }
    // Typing over the filler replaces it.
    {
        LoginFixture f(accountFile(account("mvanchor", kAnchorToken, true, "+86", 1)));
        show(f);
        fillNickname(f, "mvanchor", "123456");
        QCOMPARE(child<QLineEdit>(f, "ledit_password")->text(), QStringLiteral("123456"));
        press(f, "button_login");
        f.settle();
        QCOMPARE(lastArgs(f, "Login"), (QStringList{"mvanchor", "e10adc3949ba59abbe56e057f20f883e"}));
        QCOMPARE(f.auth().count("LoginByToken"), 0);
    }
}

void TestLoginDialog::fillerOnlyForTheSavedAccount_data()
{
    QTest::addColumn<QJsonObject>("saved");
    QTest::addColumn<bool>("phoneTab");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("zone");
    // Empty: the filler signs in with the saved token.
    QTest::addColumn<QString>("box");

    const QJsonObject nickname = account("mvanchor", kAnchorToken, true, "+86", 1);
    const QJsonObject phone = account("13800000000", kAnchorToken, true, "+86", 2);
    const QString nicknameBox = QStringLiteral("用户名或密码为空!");
    const QString phoneBox = QStringLiteral("电话号码或密码为空!");
    QTest::newRow("saved nickname, same nickname") << nickname << false << "mvanchor" << "" << "";
    QTest::newRow("saved phone, same number") << phone << true << "13800000000" << "" << "";
    QTest::newRow("saved nickname, another nickname") << nickname << false << "mvguest" << "" << nicknameBox;
    QTest::newRow("saved nickname, a phone number") << nickname << true << "13900000000" << "" << phoneBox;
    QTest::newRow("saved nickname, same nickname, another zone") << nickname << false << "mvanchor" << "+852"
                                                                 << nicknameBox;
    QTest::newRow("saved phone, another number") << phone << true << "13900000000" << "" << phoneBox;
    QTest::newRow("saved phone, same number, another zone") << phone << true << "13800000000" << "+852" << phoneBox;
    QTest::newRow("saved phone, its number as a nickname") << phone << false << "13800000000" << "" << nicknameBox;
    QTest::newRow("saved QR account") << account("", kAnchorToken, true, "+86", 0) << false << "mvanchor" << ""
                                      << nicknameBox;
}

void TestLoginDialog::fillerOnlyForTheSavedAccount()
{
    QFETCH(QJsonObject, saved);
    QFETCH(bool, phoneTab);
    QFETCH(QString, name);
    QFETCH(QString, zone);
    QFETCH(QString, box);

    LoginFixture f(accountFile(saved));
    show(f);
    press(f, "button_loginbypsw");
    press(f, phoneTab ? "button_phonelogin" : "button_nickname");
    child<QLineEdit>(f, phoneTab ? "ledit_phonenumber" : "ledit_username")->setText(name);
    if (!zone.isEmpty())
        QVERIFY(chooseZone(f, zone));
    // The filler is left as it is.
    QVERIFY(!child<QLineEdit>(f, "ledit_password")->text().isEmpty());
    f.auth().clear();

    ModalDriver driver;
    if (!box.isEmpty())
        driver.pressNext(QStringLiteral("确定"));
    press(f, "button_login");
    f.settle();

    if (box.isEmpty()) {
        QCOMPARE(loginCalls(f), 1);
        QCOMPARE(lastArgs(f, "LoginByToken"), QStringList{kAnchorToken});
        QVERIFY(f.proxy()->isLoggedIn());
        QCOMPARE(f.savedAccount(), saved);
        return;
    }
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.last().text("tipinfolabel"), box);
    QCOMPARE(loginCalls(f), 0);
    QVERIFY(f.status->isEmpty());
    QCOMPARE(f.savedAccount(), saved);
}

void TestLoginDialog::otherNameNeverGetsTheSavedToken_data()
{
    QTest::addColumn<bool>("phoneTab");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QJsonObject>("saved");
    QTest::addColumn<QString>("signal");
    QTest::newRow("nickname") << false << "mvguest" << "Login" << account("mvguest", "token-mvguest", true, "+86", 1)
                              << "mvguest/true";
    QTest::newRow("phone") << true << "13900000000" << "PhoneLogin"
                           << account("13900000000", "token-mvguest", true, "+86", 2) << "访客/true";
}

void TestLoginDialog::otherNameNeverGetsTheSavedToken()
{
    QFETCH(bool, phoneTab);
    QFETCH(QString, name);
    QFETCH(QString, op);
    QFETCH(QJsonObject, saved);
    QFETCH(QString, signal);

    // The anchor's token is saved with automatic sign-in on; another user
    // types a name of their own and leaves the filler.
    LoginFixture f(accountFile(account("mvanchor", kAnchorToken, true, "+86", 1)));
    addGuest();
    show(f);
    press(f, "button_loginbypsw");
    press(f, phoneTab ? "button_phonelogin" : "button_nickname");
    child<QLineEdit>(f, phoneTab ? "ledit_phonenumber" : "ledit_username")->setText(name);
    f.auth().clear();
    ModalDriver driver;
    driver.pressNext(QStringLiteral("确定"));
    press(f, "button_login");
    QVERIFY(driver.waitDone());
    f.settle();
    QCOMPARE(loginCalls(f), 0);

    // Their own password signs them in, and their name is saved with their
    // own token.
    typePassword(f, "654321");
    press(f, "button_login");
    f.settle();
    QCOMPARE(f.auth().count("LoginByToken"), 0);
    QCOMPARE(lastArgs(f, op.toStdString()).value(1), QStringLiteral("c33367701511b4f6020ec61ded352059"));
    QVERIFY(f.dialog->isLoggedIn());
    QCOMPARE(statusSignals(*f.status), QStringList{signal});
    QCOMPARE(f.savedAccount(), saved);
}

void TestLoginDialog::signInFollowsTheShownSubPage()
{
    // Saved mode 3 (QQ): the sign-in button still checks the shown fields.
    LoginFixture f(accountFile(account("", "", true, "+86", 3)));
    show(f);
    press(f, "button_loginbypsw");
    QCOMPARE(f.dialog->currentMode(), 2);
    ModalDriver driver;
    driver.pressNext(QStringLiteral("确定"));
    press(f, "button_login");
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.last().text("tipinfolabel"), QStringLiteral("电话号码或密码为空!"));

    // Nickname tab, a trip to the QR page and back: the nickname sub-page
    // shows, and the nickname signs in.
    press(f, "button_nickname");
    press(f, "button_loginbyQRcode");
    QCOMPARE(f.dialog->currentMode(), 0);
    f.settle(); // the QR request's job ends before the sign-in starts one
    press(f, "button_loginbypsw");
    QCOMPARE(child<QStackedWidget>(f, "stackedWidget_2")->currentWidget()->objectName(), QStringLiteral("page_4"));
    QCOMPARE(f.dialog->currentMode(), 1);
    child<QLineEdit>(f, "ledit_username")->setText("mvanchor");
    typePassword(f, "123456");
    press(f, "button_login");
    f.settle();
    QCOMPARE(f.auth().count("PhoneLogin"), 0);
    QCOMPARE(f.auth().count("Login"), 1);
    QCOMPARE(f.savedAccount().value("mode").toInt(), 1);
}

void TestLoginDialog::areaCodeBecomesTheZone()
{
    LoginFixture f;
    authport::World world = authport::control().world();
    world.accounts.at(0).area = "852";
    authport::control().setWorld(world);
    show(f);
    fillPhone(f, "13800000000", "123456");
    auto *box = child<QComboBox>(f, "combo_Area_code");
    int hongKong = -1;
    for (int i = 0; i < box->count(); ++i)
        if (box->itemData(i, Qt::UserRole).toString() == QLatin1String("+852"))
            hongKong = i;
    QVERIFY(hongKong > 0);
    emit box->activated(hongKong);
    QCOMPARE(box->currentText(), QStringLiteral("+852"));
    press(f, "button_login");
    f.settle();
    QCOMPARE(lastArgs(f, "PhoneLogin").value(2), QStringLiteral("852"));
    QCOMPARE(f.savedAccount().value("zone").toString(), QStringLiteral("+852"));
}

// ---- captcha -------------------------------------------------------------------

void TestLoginDialog::captchaAnswerStartsTheCaptchaJob_data()
{
    QTest::addColumn<bool>("phone");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("signals_");
    QTest::newRow("nickname, captcha word")
        << false << "captcha_word=w1&captcha_key=k1" << "LoginWithCaptcha"
        << QStringList{"mvanchor", "e10adc3949ba59abbe56e057f20f883e", "w1", "k1", "", "", ""}
        << "mvanchor/false,mvanchor/true";
    QTest::newRow("phone, geetest")
        << true << "geetest_challenge=c1&geetest_validate=v1&geetest_seccode=s1" << "PhoneLoginWithCaptcha"
        << QStringList{"13800000000", "e10adc3949ba59abbe56e057f20f883e", "86", "", "", "c1", "v1", "s1"}
        << "/false," + kAnchorNick + "/true";
}

void TestLoginDialog::captchaAnswerStartsTheCaptchaJob()
{
    QFETCH(bool, phone);
    QFETCH(QString, answer);
    QFETCH(QString, op);
    QFETCH(QStringList, args);
    QFETCH(QString, signals_);

    HttpStub stub;
    stub.route("GET", "/api/appCaptchaV3", HttpResponse::redirect(("/captcha/result?" + answer).toUtf8()));
    stub.route("GET", "/captcha/result", HttpResponse::html("<html><body>ok</body></html>"));
    ScopedHosts hosts(QStringList{"passport"}, stub.hostPort());
    ModalWatchdog watchdog(10000);

    LoginFixture f;
    setAnchor(true, 81);
    show(f);
    if (phone)
        fillPhone(f, "13800000000", "123456");
    else
        fillNickname(f, "mvanchor", "123456");
    press(f, "button_login");
    f.settle();
    QTRY_COMPARE(f.auth().count(op.toStdString()), 1);
    f.settle();

    QVERIFY(watchdog.firedOn().isEmpty());
    QCOMPARE(endedPages(watchdog, "VerifyWebDlg"), 1);
    const QList<testsupport::HttpRequest> page = stub.requestsTo("/api/appCaptchaV3");
    QCOMPARE(page.size(), 1);
    QCOMPARE(page.first().query, QStringLiteral("style=3&client_sys=mvshow&deviceid=52:54:00:12:34:56&version=2.3.0.0"));
    QCOMPARE(lastArgs(f, op.toStdString()), args);
    // The first attempt ends silently; the captcha attempt signs in.
    QCOMPARE(statusSignals(*f.status).join(','), signals_);
    QCOMPARE(tipText(f), QString());
    QVERIFY(f.dialog->isLoggedIn());
}

void TestLoginDialog::captchaClosedUnanswered()
{
    UnansweredCaptchaPage page;
    LoginFixture f;
    startNeedingCaptcha(f);
    ModalDriver driver;
    driver.pressNext(QStringLiteral("closeBtn"));
    press(f, "button_login");
    f.settle();
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.last().className, QStringLiteral("VerifyWebDlg"));
    f.settle();

    QCOMPARE(f.auth().count("LoginWithCaptcha"), 0);
    QCOMPARE(tipText(f), QStringLiteral("未知错误 error code:81，如有疑问请与客服联系!"));
    QCOMPARE(statusSignals(*f.status), QStringList{"mvanchor/false"});
    QVERIFY(!f.proxy()->isLoggedIn());
}

void TestLoginDialog::withoutWebPagesTheUserIsTold_data()
{
    QTest::addColumn<QByteArray>("library"); // the file in place of the web page library; empty: none
    QTest::addColumn<bool>("captcha");       // else the QQ page
    QTest::newRow("captcha, no library") << QByteArray() << true;
    QTest::newRow("captcha, not a library") << QByteArray("\x7f" "ELF, cut short") << true;
    QTest::newRow("QQ, no library") << QByteArray() << false;
    QTest::newRow("QQ, not a library") << QByteArray("not a library") << false;
}

// A missing or damaged web page library: no page, the user is told why, and
// the dialog goes on working; the next attempt with the library opens its page.
void TestLoginDialog::withoutWebPagesTheUserIsTold()
{
    QFETCH(QByteArray, library);
    QFETCH(bool, captcha);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("libmvwebview.so"));
    if (!library.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(library);
    }
    WebPages::setLibraryPath(path);
    const auto restore = qScopeGuard([] { WebPages::setLibraryPath(QString()); });
    UnansweredCaptchaPage page;
    ModalWatchdog watchdog(10000);

    LoginFixture f;
    const QString told = QStringLiteral("网页组件无法加载，请重新安装程序后再试。");
    if (captcha) {
        startNeedingCaptcha(f);
        press(f, "button_login");
        f.settle();
        QTRY_COMPARE(tipText(f), told);
        QCOMPARE(f.auth().count("LoginWithCaptcha"), 0);
        QCOMPARE(statusSignals(*f.status), QStringList{"mvanchor/false"});
    } else {
        show(f);
        press(f, "button_QQ");
        f.settle();
        QTRY_COMPARE(tipText(f), told);
    }
    for (QDialog *open : watchdog.openDialogs())
        QCOMPARE(open, static_cast<QDialog *>(f.dialog.get()));
    QCOMPARE(endedPages(watchdog, captcha ? "VerifyWebDlg" : "WebViewDlg"), 0);
    QVERIFY(!f.proxy()->isLoggedIn());
    QCOMPARE(testsupport::LogCapture::texts().filter(QStringLiteral("web pages not available: ")).size(), 1);
    QVERIFY(child<QPushButton>(f, "button_login")->isEnabled());

    // With the library back, the same button opens its page.
    WebPages::setLibraryPath(QString());
    ModalDriver driver;
    driver.pressNext(QStringLiteral("closeBtn"));
    press(f, captcha ? "button_login" : "button_QQ");
    f.settle();
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.last().className, captcha ? QStringLiteral("VerifyWebDlg") : QStringLiteral("WebViewDlg"));
}

void TestLoginDialog::secondCaptchaWhileOneIsOpen()
{
    UnansweredCaptchaPage page;
    LoginFixture f;
    startNeedingCaptcha(f);
    ModalWatchdog watchdog(10000);
    ModalDriver driver;
    QString tipWhileOpen;
    driver.onNext([&](QWidget *page) {
        // A second 81 for the same flow: an ordinary failure, no second page.
        f.dialog->slot_onProxyLoginReturn("mvanchor", QString(), QStringLiteral("请输入验证码"), 81);
        tipWhileOpen = tipText(f);
        ModalDriver::press(page, QStringLiteral("closeBtn"));
    });
    press(f, "button_login");
    f.settle();
    QVERIFY(driver.waitDone());
    f.settle();

    QCOMPARE(driver.seen().size(), 1);
    QCOMPARE(endedPages(watchdog, "VerifyWebDlg"), 1);
    QCOMPARE(tipWhileOpen, QStringLiteral("请输入验证码"));
    QCOMPARE(statusSignals(*f.status), (QStringList{"mvanchor/false", "mvanchor/false"}));
    QCOMPARE(f.auth().count("LoginWithCaptcha"), 0);
}

void TestLoginDialog::captchaNeverForATokenSignIn()
{
    LoginFixture f(accountFile(account("mvanchor", kAnchorToken, true, "+86", 1)));
    setAnchor(true, 81);
    ModalWatchdog watchdog(10000);
    f.dialog->autoLogin();
    f.settle();
    QTest::qWait(50);
    QCOMPARE(endedPages(watchdog, "VerifyWebDlg"), 0);
    QVERIFY(watchdog.openDialogs().isEmpty());
    QCOMPARE(statusSignals(*f.status), QStringList{"mvanchor/false"});
    // The tip comes with the dialog.
    show(f);
    QCOMPARE(tipText(f), QStringLiteral("未知错误 error code:81，如有疑问请与客服联系!"));
}

void TestLoginDialog::captchaSignInStaysSignedIn_data()
{
    QTest::addColumn<bool>("phone");
    QTest::addColumn<bool>("jobFirst");
    QTest::newRow("nickname, captcha job ends after the dialog") << false << false;
    QTest::newRow("nickname, captcha job ends first") << false << true;
    QTest::newRow("phone, captcha job ends after the dialog") << true << false;
    QTest::newRow("phone, captcha job ends first") << true << true;
}

void TestLoginDialog::captchaSignInStaysSignedIn()
{
    QFETCH(bool, phone);
    QFETCH(bool, jobFirst);

    AnsweringCaptchaPage page(phone ? "geetest_challenge=c1&geetest_validate=v1&geetest_seccode=s1"
                                    : "captcha_word=w1&captcha_key=k1");
    ModalWatchdog watchdog(10000);
    LoginFixture f;
    setAnchor(true, 81);
    const std::string op = phone ? "PhoneLoginWithCaptcha" : "LoginWithCaptcha";
    authport::control().gates().close(op);
    std::unique_ptr<CaptchaJobFinishesFirst> hold;
    if (jobFirst)
        hold = std::make_unique<CaptchaJobFinishesFirst>(
            f, op, phone ? LiveTaskThread::JobPhoneCaptchaLogin : LiveTaskThread::JobCaptchaLogin);
    show(f);
    if (phone)
        fillPhone(f, "13800000000", "123456");
    else
        fillNickname(f, "mvanchor", "123456");
    press(f, "button_login");

    if (jobFirst) {
        QTRY_VERIFY(f.dialog->isLoggedIn());
        QCOMPARE(hold->holds, 1);
        QVERIFY(hold->jobEnded);
    } else {
        // The first attempt has ended in the dialog while the captcha job
        // still waits at its gate.
        QTRY_COMPARE(f.status->size(), 1);
        QVERIFY(authport::control().gates().waitForWaiting(op, 1, 10000));
        QVERIFY(!f.proxy()->isLoggedIn());
        authport::control().gates().open(op);
        QTRY_VERIFY(f.dialog->isLoggedIn());
    }
    f.settle();

    QVERIFY(watchdog.firedOn().isEmpty());
    QCOMPARE(f.auth().count(op), 1);
    const QString name = phone ? kAnchorNick : QStringLiteral("mvanchor");
    QCOMPARE(statusSignals(*f.status).join(','), (phone ? "/false," : "mvanchor/false,") + name + "/true");
    // The facade agrees with the dialog: whoever reads it last sees the
    // captcha attempt's sign-in.
    QVERIFY(f.proxy()->isLoggedIn());
    std::string user;
    std::string token;
    f.proxy()->getLoginUser(user, token);
    QCOMPARE(QString::fromStdString(user), kAnchorNick);
    QCOMPARE(QString::fromStdString(token), kAnchorToken);
    QCOMPARE(f.savedAccount(), account(phone ? "13800000000" : "mvanchor", kAnchorToken, true, "+86", phone ? 2 : 1));
}

void TestLoginDialog::captchaRoadRepeated()
{
    // The captcha page answers at once, so the captcha job races the end of
    // the first attempt's handling in every round.
    AnsweringCaptchaPage page("captcha_word=w1&captcha_key=k1");
    ModalWatchdog watchdog(30000);
    LoginFixture f;
    setAnchor(true, 81);
    show(f);
    const int rounds = 50;
    QStringList signedOut;
    for (int round = 0; round < rounds; ++round) {
        fillNickname(f, "mvanchor", "123456");
        press(f, "button_login");
        QTRY_VERIFY_WITH_TIMEOUT(f.dialog->isLoggedIn(), 10000);
        f.settle();
        if (!f.proxy()->isLoggedIn())
            signedOut << QString::number(round);
        QCOMPARE(f.auth().count("LoginWithCaptcha"), round + 1);
        f.dialog->logout();
        QVERIFY(!f.proxy()->isLoggedIn());
        show(f);
    }
    QVERIFY(watchdog.firedOn().isEmpty());
    QCOMPARE(endedPages(watchdog, "VerifyWebDlg"), rounds);
    QCOMPARE(signedOut.join(','), QString());
}

// ---- outside accounts ----------------------------------------------------------

void TestLoginDialog::outsideAccounts_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("provider");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("QQ, signed in") << "button_QQ" << 3 << "qq" << QStringLiteral("QQ登录") << "use qq login." << true;
    QTest::newRow("WeChat, failed") << "button_WeChat" << 4 << "weixin" << QStringLiteral("微信登录")
                                    << "use weixin login." << false;
    QTest::newRow("Weibo, signed in") << "button_MicroBlog" << 5 << "weibo" << QStringLiteral("微博登录")
                                      << "use weibo login." << true;
    QTest::newRow("Weibo, failed") << "button_MicroBlog" << 5 << "weibo" << QStringLiteral("微博登录")
                                   << "use weibo login." << false;
}

void TestLoginDialog::outsideAccounts()
{
    QFETCH(QString, button);
    QFETCH(int, mode);
    QFETCH(QString, provider);
    QFETCH(QString, title);
    QFETCH(QString, logLine);
    QFETCH(bool, succeeds);

    HttpStub stub;
    stub.route("GET", "/api/appcastmate/oauthSignin/" + provider, HttpResponse::html("<html><body>page</body></html>"));
    ScopedHosts hosts(QStringList{"clientApi", "webApi"}, stub.hostPort());

    LoginFixture f;
    show(f);
    press(f, "button_loginbypsw");
    ModalDriver driver;
    QString shownTitle;
    bool loggedWhileOpen = true;
    driver.onNext([&](QWidget *page) {
        QTRY_VERIFY(!stub.requestsTo("/api/appcastmate/oauthSignin/" + provider).isEmpty());
        shownTitle = page->findChild<QLabel *>(QStringLiteral("label"))->text();
        loggedWhileOpen = LogCapture::texts().contains(logLine);
        ModalDriver::press(page, QStringLiteral("closeBtn"));
    });
    press(f, button.toLatin1().constData());
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.last().className, QStringLiteral("WebViewDlg"));
    QCOMPARE(shownTitle, title);
    QVERIFY(!loggedWhileOpen);
    QVERIFY(LogCapture::texts().contains(logLine));
    QCOMPARE(f.dialog->currentMode(), mode);

    // The page's outcome reaches the facade, and through it the dialog.
    if (succeeds)
        emit f.proxy()->loginManager().loginSucceed(kAnchorToken);
    else
        emit f.proxy()->loginManager().loginFailed(3, QStringLiteral("授权失败"));
    QTest::qWait(10);
    f.settle();
    if (succeeds) {
        QCOMPARE(lastArgs(f, "LoginByToken"), QStringList{kAnchorToken});
        QCOMPARE(statusSignals(*f.status), QStringList{"/true"});
        QCOMPARE(f.savedAccount(), account("", kAnchorToken, true, "+86", mode));
    } else {
        QCOMPARE(tipText(f), QStringLiteral("授权失败"));
        QCOMPARE(statusSignals(*f.status), QStringList{"/false"});
    }
}

// ---- form behaviour ------------------------------------------------------------

void TestLoginDialog::areaCodeBox()
{
    LoginFixture f;
    auto *box = child<QComboBox>(f, "combo_Area_code");
    QCOMPARE(box->count(), 234);
    QVERIFY(box->isEditable());
    QCOMPARE(box->maxVisibleItems(), 6);
    QCOMPARE(box->view()->width(), 300);
    QCOMPARE(box->itemData(0, Qt::UserRole).toString(), QStringLiteral("+86"));
    for (int i = 0; i < box->count(); ++i) {
        QCOMPARE(box->itemText(i), CountryDialCodeTable::entry(i).label);
        QCOMPARE(box->itemData(i, Qt::UserRole).toString(), CountryDialCodeTable::entry(i).code);
    }
    QVERIFY(qobject_cast<MvComboBoxItemDelegate *>(box->itemDelegate()));

    // Typed codes: "+" and 1 to 4 digits become the zone; anything else
    // goes back to it.
    const struct
    {
        const char *typed;
        const char *zone;
    } typed[] = {{"+1", "+1"}, {"+1234", "+1234"}, {"+12345", "+1234"}, {"86", "+1234"}, {"+8a", "+1234"},
                 {" +44 ", "+44"}, {"", "+44"}};
    for (const auto &t : typed) {
        box->lineEdit()->setText(QString::fromUtf8(t.typed));
        emit box->lineEdit()->editingFinished();
        QCOMPARE(f.dialog->currentZone(), QString::fromUtf8(t.zone));
        QCOMPARE(box->currentText(), QString::fromUtf8(t.zone));
    }
    // Return in the box never adds a row.
    box->lineEdit()->setText(QStringLiteral("+7"));
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    QCOMPARE(box->count(), 234);
}

void TestLoginDialog::eyeButtonShowsThePassword()
{
    LoginFixture f;
    auto *field = child<QLineEdit>(f, "ledit_password");
    auto *eye = field->findChild<QPushButton *>();
    QVERIFY(eye);
    QVERIFY(eye->isCheckable());
    QCOMPARE(eye->size(), QSize(16, 12));
    QCOMPARE(field->echoMode(), QLineEdit::Password);
    eye->click();
    QCOMPARE(field->echoMode(), QLineEdit::Normal);
    eye->click();
    QCOMPARE(field->echoMode(), QLineEdit::Password);
    QCOMPARE(field->contextMenuPolicy(), Qt::NoContextMenu);
    QCOMPARE(field->textMargins().left(), 14 + 15);
    QCOMPARE(field->textMargins().right(), 16);
    QCOMPARE(child<QLineEdit>(f, "ledit_username")->textMargins().left(), 15 + 15);
    QCOMPARE(child<QLineEdit>(f, "ledit_phonenumber")->textMargins().left(), 15);
}

void TestLoginDialog::labelsOpenBrowserPages_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("url");
    QTest::newRow("client download") << "label_morvaAPP" << "https://127.0.0.1:7001/client?platform=2";
    QTest::newRow("register") << "label_register" << "https://127.0.0.1:7002/member/login?type=reg";
    QTest::newRow("5 s register") << "label_5register" << "https://127.0.0.1:7002/member/login?type=reg";
    QTest::newRow("forgotten password") << "label_forgetPsd" << "http://127.0.0.1:7001/member/findpassword";
}

void TestLoginDialog::labelsOpenBrowserPages()
{
    QFETCH(QString, label);
    QFETCH(QString, url);
    ScopedHosts hosts(QJsonObject{{"site", "127.0.0.1:7001"}, {"passport", "127.0.0.1:7002"}});
    UrlOpenRecorder recorder;
    LoginFixture f;
    show(f);
    QWidget *w = child(f, label.toLatin1().constData());
    QCOMPARE(w->cursor().shape(), Qt::PointingHandCursor);
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    QCOMPARE(recorder.urls(), QList<QUrl>{QUrl(url)});
    QCOMPARE(f.auth().count("Login"), 0);
}

void TestLoginDialog::pagesAndTabs()
{
    LoginFixture f;
    show(f);
    auto *pages = child<QStackedWidget>(f, "stackedWidget");
    auto *sub = child<QStackedWidget>(f, "stackedWidget_2");
    const QString active = QStringLiteral("QPushButton{color:#ff4b2f;font: 14px \"微软雅黑\";border:none}");
    const QString idle = QStringLiteral("QPushButton{color:#34495e;font: 14px \"微软雅黑\";border:none}");

    press(f, "button_loginbypsw");
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("page_2"));
    QVERIFY(child(f, "page")->isHidden());
    QCOMPARE(f.dialog->currentMode(), 2);

    press(f, "button_nickname");
    QCOMPARE(sub->currentWidget()->objectName(), QStringLiteral("page_4"));
    QVERIFY(child(f, "page_3")->isHidden());
    QCOMPARE(child<QPushButton>(f, "button_nickname")->styleSheet(), active);
    QCOMPARE(child<QPushButton>(f, "button_phonelogin")->styleSheet(), idle);
    QCOMPARE(f.dialog->currentMode(), 1);

    press(f, "button_phonelogin");
    QCOMPARE(sub->currentWidget()->objectName(), QStringLiteral("page_3"));
    QCOMPARE(child<QPushButton>(f, "button_phonelogin")->styleSheet(), active);
    QCOMPARE(child<QPushButton>(f, "button_nickname")->styleSheet(), idle);
    QCOMPARE(f.dialog->currentMode(), 2);

    press(f, "button_loginbyQRcode");
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("page"));
    QVERIFY(child(f, "page_2")->isHidden());
    QCOMPARE(f.dialog->currentMode(), 0);
}

QTEST_MAIN(TestLoginDialog)
#include "tst_logindialog.moc"
