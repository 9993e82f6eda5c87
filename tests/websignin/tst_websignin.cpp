// Outside-account sign-in, the web view dialogs, the table of web hosts and
// the device id, against a loopback HTTP stub.

#include "ClosedPort.h"
#include "DebugCapture.h"
#include "FixedWebSources.h"
#include "HttpStub.h"
#include "LogCapture.h"
#include "QtMessageLog.h"
#include "LoginManager.h"
#include "ModalWatchdog.h"
#include "TempEnvironment.h"
#include "UrlOpenRecorder.h"
#include "VerifyWebDlg.h"
#include "WebEndpoints.h"
#include "WebViewDlg.h"

#include <QCryptographicHash>
#include <QLabel>
#include <QMouseEvent>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QWebFrame>
#include <QScopeGuard>
#include <QWebView>
#include <QtTest>

#include <functional>
#include <memory>

using testsupport::HttpRequest;
using testsupport::HttpResponse;
using testsupport::HttpStub;
using testsupport::ModalWatchdog;
using testsupport::ScopedHosts;
using webtest::itf;
using webtest::kNowMs;
using webtest::kNowSecs;

namespace {

const char kSalt[] = "Qm7Rb2xKpW4nZt8LcVa3e";

QString md5Hex(const QString &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex());
}

const QString kSigninPath = QStringLiteral("/api/appcastmate/oauthSignin/");

} // namespace

Q_DECLARE_METATYPE(NetworkInterfaceEntry)

class TestWebSignin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // host table
    void endpointDefaults_data();
    void endpointDefaults();
    void hostOverrides_data();
    void hostOverrides();
    void setHostWinsOverEnvironment();

    // device id
    void macAddress_data();
    void macAddress();

    // sign-in
    void authorizeUrl_data();
    void authorizeUrl();
    void serverTimeAnswer_data();
    void serverTimeAnswer();
    void fullSignIn_data();
    void fullSignIn();
    void accessDeniedRejectsWithoutRequest();
    void caughtAddresses_data();
    void caughtAddresses();
    void closeButtonEndsSignInQuietly();
    void signInAnswers_data();
    void signInAnswers();

    // dialogs
    void dialogsAsBuilt();
    void dialogSlots_data();
    void dialogSlots();
    void captchaCompletion_data();
    void captchaCompletion();
    void captchaCloseKeepsItems();
    void captchaPageThroughStub();
    void captchaSslErrorsAbortTheResource();
    void unreachablePageShowsOurText_data();
    void unreachablePageShowsOurText();
    void dragFollowsLeftButtonOnly_data();
    void dragFollowsLeftButtonOnly();

private:
    // Waits until the manager's own server-time request has been answered.
    void waitForTimeReply(LoginManager &lm, QSignalSpy &finished);
    // Runs one sign-in of the kind (1 QQ, 2 Weibo, 3 WeChat); `whileOpen`
    // runs once the dialog is up, from the dialog's own event loop.
    void runSignIn(LoginManager &lm, int kind, std::function<void(WebViewDlg *)> whileOpen = {});

    std::unique_ptr<testsupport::TempEnvironment> m_env;
};

void TestWebSignin::initTestCase()
{
    qRegisterMetaType<QNetworkReply *>();
    QVERIFY(!qEnvironmentVariableIsSet("MORVASHOW_HOSTS") || qgetenv("MORVASHOW_HOSTS").isEmpty());
}

void TestWebSignin::init()
{
    m_env.reset(new testsupport::TempEnvironment);
    QVERIFY(m_env->isValid());
    webtest::fixWebSources();
    WebEndpoints::clearOverrides();
}

void TestWebSignin::cleanup()
{
    webtest::restoreWebSources();
    WebEndpoints::clearOverrides();
    m_env.reset();
}

// ---- host table ----------------------------------------------------------

void TestWebSignin::endpointDefaults_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    QTest::newRow("server time") << WebEndpoints::serverTimeUrl()
                                 << "http://127.0.0.1:9/H5nc/src/timestamp";
    QTest::newRow("open status") << WebEndpoints::openStatusUrl()
                                 << "https://127.0.0.1:9/musicnc/anchor/getOpenStatus";
    QTest::newRow("analytics") << WebEndpoints::analyticsUrl() << "https://127.0.0.1:9/deliver/tide2";
    QTest::newRow("sign-in") << WebEndpoints::oauthSigninUrl("weibo")
                             << "http://127.0.0.1:9/api/appcastmate/oauthSignin/weibo";
    QTest::newRow("captcha") << WebEndpoints::captchaPageUrl("52:54:00:12:34:56", "2.3.0.0")
                             << "http://127.0.0.1:9/api/appCaptchaV3?style=3&client_sys=mvshow"
                                "&deviceid=52:54:00:12:34:56&version=2.3.0.0";
    QTest::newRow("register") << WebEndpoints::registerPageUrl()
                              << "https://127.0.0.1:9/member/login?type=reg";
    QTest::newRow("download") << WebEndpoints::clientDownloadUrl()
                              << "https://127.0.0.1:9/client?platform=2";
    QTest::newRow("password") << WebEndpoints::findPasswordUrl()
                              << "http://127.0.0.1:9/member/findpassword";
    QTest::newRow("member") << WebEndpoints::memberCentreUrl() << "https://127.0.0.1:9/member/cp";
    QTest::newRow("forum") << WebEndpoints::helpForumUrl()
                           << "https://127.0.0.1:9/forum.php?mod=viewthread&tid=3";
}

void TestWebSignin::endpointDefaults()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void TestWebSignin::hostOverrides_data()
{
    QTest::addColumn<QByteArray>("env");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("warns"); // a bad value is reported, not silently dropped

    const int web = WebEndpoints::WebApi;
    const int passport = WebEndpoints::Passport;
    QTest::newRow("host and port") << QByteArray(R"({"webApi":"127.0.0.1:8080"})") << web
                                   << "127.0.0.1:8080" << false;
    QTest::newRow("other kinds keep the default")
        << QByteArray(R"({"webApi":"127.0.0.1:8080"})") << passport << "127.0.0.1:9" << false;
    QTest::newRow("host without port") << QByteArray(R"({"passport":"127.0.0.5"})") << passport
                                       << "127.0.0.5" << false;
    QTest::newRow("bracketed IPv6") << QByteArray(R"({"webApi":"[::1]:8443"})") << web << "[::1]:8443" << false;
    QTest::newRow("a path is refused") << QByteArray(R"({"webApi":"127.0.0.1:80/x"})") << web
                                       << "127.0.0.1:9" << true;
    QTest::newRow("a scheme is refused") << QByteArray(R"({"webApi":"http://127.0.0.1"})") << web
                                         << "127.0.0.1:9" << true;
    QTest::newRow("a user is refused") << QByteArray(R"({"webApi":"me@127.0.0.1"})") << web
                                       << "127.0.0.1:9" << true;
    QTest::newRow("port 0 is refused") << QByteArray(R"({"webApi":"127.0.0.1:0"})") << web
                                       << "127.0.0.1:9" << true;
    QTest::newRow("port too big") << QByteArray(R"({"webApi":"127.0.0.1:65536"})") << web
                                  << "127.0.0.1:9" << true;
    QTest::newRow("number instead of text") << QByteArray(R"({"webApi":8080})") << web
                                            << "127.0.0.1:9" << true;
    QTest::newRow("not JSON") << QByteArray("webApi=127.0.0.1") << web << "127.0.0.1:9" << true;
    QTest::newRow("JSON array") << QByteArray(R"(["127.0.0.1:1"])") << web << "127.0.0.1:9" << true;
    QTest::newRow("empty") << QByteArray("") << web << "127.0.0.1:9" << false;
}

void TestWebSignin::hostOverrides()
{
    QFETCH(QByteArray, env);
    QFETCH(int, kind);
    QFETCH(QString, expected);
    QFETCH(bool, warns);

    const QByteArray old = qgetenv("MORVASHOW_HOSTS");
    qputenv("MORVASHOW_HOSTS", env);
    if (warns)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^MORVASHOW_HOSTS"));
    const QString actual = WebEndpoints::host(WebEndpoints::Host(kind));
    qputenv("MORVASHOW_HOSTS", old);
    QCOMPARE(actual, expected);
    // The table follows the variable when it changes back.
    QCOMPARE(WebEndpoints::host(WebEndpoints::Host(kind)), WebEndpoints::defaultHost());
}

void TestWebSignin::setHostWinsOverEnvironment()
{
    ScopedHosts hosts(QStringList{"clientApi"}, "127.0.0.1:7000");
    QCOMPARE(WebEndpoints::oauthSigninUrl("qq"), QString("http://127.0.0.1:7000/api/appcastmate/oauthSignin/qq"));

    QVERIFY(WebEndpoints::setHost(WebEndpoints::ClientApi, "127.0.0.1:7001"));
    QCOMPARE(WebEndpoints::host(WebEndpoints::ClientApi), QString("127.0.0.1:7001"));
    QVERIFY(!WebEndpoints::setHost(WebEndpoints::ClientApi, "127.0.0.1:7002/evil"));
    QCOMPARE(WebEndpoints::host(WebEndpoints::ClientApi), QString("127.0.0.1:7001"));

    QVERIFY(WebEndpoints::setHost(WebEndpoints::ClientApi, QString()));
    QCOMPARE(WebEndpoints::host(WebEndpoints::ClientApi), QString("127.0.0.1:7000"));
}

// ---- device id -----------------------------------------------------------

void TestWebSignin::macAddress_data()
{
    QTest::addColumn<QList<NetworkInterfaceEntry>>("interfaces");
    QTest::addColumn<QString>("expected");

    const auto lo = itf("lo", true, "00:00:00:00:00:00", {"127.0.0.1", "::1"});
    QTest::newRow("loopback only") << QList<NetworkInterfaceEntry>{lo} << QString();
    QTest::newRow("no interfaces") << QList<NetworkInterfaceEntry>{} << QString();
    QTest::newRow("first usable after loopback")
        << QList<NetworkInterfaceEntry>{lo, itf("eth0", false, "52:54:00:AA:BB:01", {"192.0.2.1"}),
                                        itf("eth1", false, "52:54:00:AA:BB:02", {"192.0.2.2"})}
        << "52:54:00:AA:BB:01";
    QTest::newRow("IPv6 only is skipped")
        << QList<NetworkInterfaceEntry>{itf("eth0", false, "52:54:00:AA:BB:01", {"fe80::1", "2001:db8::1"}),
                                        itf("eth1", false, "52:54:00:AA:BB:02", {"fe80::2", "198.51.100.7"})}
        << "52:54:00:AA:BB:02";
    QTest::newRow("127.0.0.1 on a non-loopback interface is skipped")
        << QList<NetworkInterfaceEntry>{itf("dummy0", false, "52:54:00:AA:BB:09", {"127.0.0.1"}),
                                        itf("eth0", false, "52:54:00:AA:BB:01", {"10.1.2.3"})}
        << "52:54:00:AA:BB:01";
    QTest::newRow("a loopback interface never counts")
        << QList<NetworkInterfaceEntry>{itf("lo", true, "00:00:00:00:00:00", {"127.0.0.1", "10.9.9.9"})}
        << QString();
    QTest::newRow("no addresses") << QList<NetworkInterfaceEntry>{itf("eth0", false, "52:54:00:AA:BB:01", {})}
                                  << QString();
    QTest::newRow("another loopback address counts")
        << QList<NetworkInterfaceEntry>{itf("eth0", false, "52:54:00:AA:BB:01", {"127.0.0.2"})}
        << "52:54:00:AA:BB:01";
}

void TestWebSignin::macAddress()
{
    QFETCH(QList<NetworkInterfaceEntry>, interfaces);
    QFETCH(QString, expected);
    NetworkInterfaces::setSource([interfaces] { return interfaces; });
    QCOMPARE(LoginManager::getMacAddress(), expected);
}

// ---- sign-in -------------------------------------------------------------

void TestWebSignin::waitForTimeReply(LoginManager &lm, QSignalSpy &finished)
{
    Q_UNUSED(lm);
    if (finished.isEmpty())
        QVERIFY(finished.wait(5000));
}

void TestWebSignin::runSignIn(LoginManager &lm, int kind, std::function<void(WebViewDlg *)> whileOpen)
{
    ModalWatchdog watchdog(10000);
    bool ran = false;
    connect(&watchdog, &ModalWatchdog::dialogShown, this, [&](QDialog *dialog) {
        auto *webDialog = qobject_cast<WebViewDlg *>(dialog);
        if (!webDialog || ran || !whileOpen)
            return;
        ran = true;
        QTimer::singleShot(0, webDialog, [=] { whileOpen(webDialog); });
    });
    switch (kind) {
    case 1: lm.loginByQQ(nullptr); break;
    case 2: lm.loginByWeibo(nullptr); break;
    default: lm.loginByWeixin(nullptr); break;
    }
    QVERIFY2(watchdog.firedOn().isEmpty(), "the sign-in dialog had to be closed by the watchdog");
}

void TestWebSignin::authorizeUrl_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("expected");
    const QString base = QStringLiteral("http://127.0.0.1:8080/api/appcastmate/oauthSignin/");
    QTest::newRow("QQ") << 1
                        << base + "qq?aid=mvtool&biz_type=24&time=1500000000&auth=37924830b514afff3d94c5b891cf6bd9";
    QTest::newRow("Weibo") << 2
                           << base + "weibo?aid=mvtool&biz_type=24&time=1500000000&auth=b3e5274c16757f533fe5cf30b2a6ad6c";
    QTest::newRow("WeChat") << 3
                            << base + "weixin?aid=mvtool&biz_type=24&time=1500000000&auth=d86fec6a5e8b43c4d497168549bb7d40";
}

void TestWebSignin::authorizeUrl()
{
    QFETCH(int, kind);
    QFETCH(QString, expected);

    // The server-time request goes where nothing listens: the local clock
    // signs.
    ScopedHosts hosts(QJsonObject{{"clientApi", "127.0.0.1:8080"}, {"webApi", testsupport::closedLoopbackHost()}});
    LoginManager lm;
    QSignalSpy finished(lm.findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
    waitForTimeReply(lm, finished);
    QCOMPARE(lm.serverTime(), kNowSecs);

    const QUrl url = kind == 1 ? lm.buildQQAuthorizeUrl()
                   : kind == 2 ? lm.buildWeiboAuthorizeUrl()
                               : lm.buildWeixinAuthorizeUrl();
    QCOMPARE(url.toString(), expected);

    // The same signature computed independently from its rule.
    const QString provider = kind == 1 ? "qq" : kind == 2 ? "weibo" : "weixin";
    const QString signText = "appcastmate/oauthSignin/" + provider
        + "?aid=mvtool&biz_type=24&time=1500000000" + kSalt;
    QCOMPARE(QUrlQuery(url).queryItemValue("auth"), md5Hex(signText));
}

void TestWebSignin::serverTimeAnswer_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("ten seconds ahead") << QByteArray(R"({"error":0,"data":1500000010})") << kNowSecs + 10;
    QTest::newRow("behind") << QByteArray(R"({"error":0,"data":1499999000})") << kNowSecs - 1000;
    QTest::newRow("zero") << QByteArray(R"({"error":0,"data":0})") << qint64(0);
    QTest::newRow("data -1 ignored") << QByteArray(R"({"error":0,"data":-1})") << kNowSecs;
    QTest::newRow("error 1 ignored") << QByteArray(R"({"error":1,"data":"busy"})") << kNowSecs;
    QTest::newRow("error as text ignored") << QByteArray(R"({"error":"0","data":1500000010})") << kNowSecs;
    QTest::newRow("data as text ignored") << QByteArray(R"({"error":0,"data":"1500000010"})") << kNowSecs;
    QTest::newRow("not JSON") << QByteArray("<html>gateway</html>") << kNowSecs;
    QTest::newRow("array") << QByteArray("[0,1500000010]") << kNowSecs;
}

void TestWebSignin::serverTimeAnswer()
{
    QFETCH(QByteArray, answer);
    QFETCH(qint64, expected);

    HttpStub stub;
    QVERIFY(stub.isListening());
    stub.route("GET", "/H5nc/src/timestamp", HttpResponse::json(answer));
    ScopedHosts hosts(QStringList{"webApi"}, stub.hostPort());

    LoginManager lm;
    QSignalSpy finished(lm.findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
    // Before any answer the local clock is the server's.
    QCOMPARE(lm.serverTime(), kNowSecs);
    waitForTimeReply(lm, finished);
    QCOMPARE(stub.requestsTo("/H5nc/src/timestamp").size(), 1);
    QCOMPARE(stub.requests().first().query, QString());
    QCOMPARE(lm.serverTime(), expected);

    // The offset holds as the local clock moves on.
    WebClock::setSource([] { return kNowMs + 5000; });
    QCOMPARE(lm.serverTime(), expected + 5);
}

void TestWebSignin::fullSignIn_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("provider");
    QTest::addColumn<QString>("title");
    QTest::newRow("QQ") << 1 << "qq" << QStringLiteral("QQ登录");
    QTest::newRow("Weibo") << 2 << "weibo" << QStringLiteral("微博登录");
    QTest::newRow("WeChat") << 3 << "weixin" << QStringLiteral("微信登录");
}

void TestWebSignin::fullSignIn()
{
    QFETCH(int, kind);
    QFETCH(QString, provider);
    QFETCH(QString, title);

    HttpStub stub;
    const QString path = kSigninPath + provider;
    stub.route("GET", "/H5nc/src/timestamp", HttpResponse::json(R"({"error":0,"data":1500000100})"));
    // The authorize page sets a cookie and sends the browser on to the
    // callback with the provider's answer; the signed request comes back to
    // the same path with the code.
    stub.route("GET", path, [provider](const HttpRequest &r) {
        if (r.queryItems().hasQueryItem("code"))
            return HttpResponse::json(R"({"error":0,"data":{"long_token":"tok-)" + provider.toUtf8()
                                      + "\"}}");
        return HttpResponse::redirect("/oauth/callback?code=C1&state=S1").cookie("sid=abc123; Path=/");
    });
    stub.route("GET", "/oauth/callback", HttpResponse::html("<html><body>done</body></html>"));
    ScopedHosts hosts(QStringList{"webApi", "clientApi"}, stub.hostPort());

    LoginManager lm;
    QSignalSpy timeReply(lm.findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
    waitForTimeReply(lm, timeReply);
    QCOMPARE(lm.serverTime(), kNowSecs + 100);
    const qint64 t = kNowSecs + 100;

    QSignalSpy begin(&lm, &LoginManager::beginLogin);
    QSignalSpy succeed(&lm, &LoginManager::loginSucceed);
    QSignalSpy failed(&lm, &LoginManager::loginFailed);

    ModalWatchdog watchdog(10000);
    QString shownTitle;
    connect(&watchdog, &ModalWatchdog::dialogShown, this, [&](QDialog *d) {
        if (auto *label = d->findChild<QLabel *>("label"))
            shownTitle = label->text();
    });
    runSignIn(lm, kind);
    if (QTest::currentTestFailed())
        return;

    QCOMPARE(shownTitle, title);
    QCOMPARE(watchdog.ended().size(), 1);
    QCOMPARE(watchdog.ended().first().className, QString("WebViewDlg"));
    QCOMPARE(watchdog.ended().first().result, int(QDialog::Accepted));
    QCOMPARE(begin.count(), 1);

    QVERIFY(succeed.wait(5000));
    QCOMPARE(succeed.count(), 1);
    QCOMPARE(succeed.first().first().toString(), "tok-" + provider);
    QCOMPARE(failed.count(), 0);

    const QList<HttpRequest> toPath = stub.requestsTo(path);
    QCOMPARE(toPath.size(), 2);

    // The authorize page was loaded with the signed query.
    const HttpRequest &authorize = toPath.at(0);
    const QString authSign = "appcastmate/oauthSignin/" + provider + "?aid=mvtool&biz_type=24&time="
        + QString::number(t) + kSalt;
    QCOMPARE(authorize.query, "aid=mvtool&biz_type=24&time=" + QString::number(t) + "&auth=" + md5Hex(authSign));

    // The sign-in request: the provider's items first, then aid, time, auth;
    // sent with the cookie that the authorize page set.
    const HttpRequest &signIn = toPath.at(1);
    const QString sign = "appcastmate/oauthSignin/" + provider + "?aid=mvtool&code=C1&state=S1&time="
        + QString::number(t) + kSalt;
    QCOMPARE(signIn.query, "code=C1&state=S1&aid=mvtool&time=" + QString::number(t) + "&auth=" + md5Hex(sign));
    QVERIFY(QRegularExpression("^[0-9a-f]{32}$").match(signIn.queryItem("auth")).hasMatch());
    QCOMPARE(signIn.header("Cookie"), QByteArray("sid=abc123"));
}

void TestWebSignin::accessDeniedRejectsWithoutRequest()
{
    HttpStub stub;
    const QString path = kSigninPath + "weixin";
    stub.route("GET", path,
               HttpResponse::redirect("/oauth/callback?error=access_denied&code=C1&state=S1")
                   .cookie("sid=abc123; Path=/"));
    stub.route("GET", "/oauth/callback", HttpResponse::html("<html><body>refused</body></html>"));
    // No server time: the request fails and the local clock signs.
    ScopedHosts hosts(QJsonObject{{"clientApi", stub.hostPort()}, {"webApi", testsupport::closedLoopbackHost()}});

    LoginManager lm;
    QSignalSpy timeReply(lm.findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
    waitForTimeReply(lm, timeReply);
    QSignalSpy begin(&lm, &LoginManager::beginLogin);
    QSignalSpy succeed(&lm, &LoginManager::loginSucceed);
    QSignalSpy failed(&lm, &LoginManager::loginFailed);

    ModalWatchdog watchdog(10000);
    runSignIn(lm, 3);

    QCOMPARE(watchdog.ended().size(), 1);
    QCOMPARE(watchdog.ended().first().result, int(QDialog::Rejected));
    QVERIFY(!watchdog.ended().first().closedByWatchdog);
    // Nothing was sent: no reply of the manager exists and the stub saw only
    // the authorize page.
    QVERIFY(lm.findChildren<QNetworkReply *>().isEmpty());
    QCOMPARE(stub.requestsTo(path).size(), 1);
    QCOMPARE(begin.count(), 0);
    QCOMPARE(succeed.count() + failed.count(), 0);
}

void TestWebSignin::caughtAddresses_data()
{
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<int>("result"); // -1: still open after the addresses
    QTest::addColumn<QString>("sentQuery"); // the provider's part of the sign-in query
    QTest::addColumn<QString>("signedCode");

    QTest::newRow("empty query") << QStringList{"http://127.0.0.1:1/cb"} << -1 << QString() << QString();
    QTest::newRow("state without code") << QStringList{"http://127.0.0.1:1/cb?state=S"} << -1 << QString()
                                        << QString();
    QTest::newRow("code without state") << QStringList{"http://127.0.0.1:1/cb?code=C"} << -1 << QString()
                                        << QString();
    QTest::newRow("code and state on separate pages")
        << QStringList{"http://127.0.0.1:1/cb?code=C", "http://127.0.0.1:1/cb?state=S"} << -1 << QString()
        << QString();
    QTest::newRow("refusal wins over an answer")
        << QStringList{"http://127.0.0.1:1/cb?code=C&state=S&error=access_denied"} << int(QDialog::Rejected)
        << QString() << QString();
    QTest::newRow("another error is no refusal")
        << QStringList{"http://127.0.0.1:1/cb?error=server_error"} << -1 << QString() << QString();
    QTest::newRow("any host and path")
        << QStringList{"http://127.0.0.1:1/elsewhere?x=1&state=S&code=C"} << int(QDialog::Accepted)
        << "x=1&state=S&code=C" << "C";
    QTest::newRow("last code is signed, both forwarded")
        << QStringList{"http://127.0.0.1:1/cb?code=first&state=S&code=second"} << int(QDialog::Accepted)
        << "code=first&state=S&code=second" << "second";
    QTest::newRow("one answer sends one request")
        << QStringList{"http://127.0.0.1:1/cb?code=C&state=S", "http://127.0.0.1:1/cb?code=C&state=S"}
        << int(QDialog::Accepted) << "code=C&state=S" << "C";
}

void TestWebSignin::caughtAddresses()
{
    QFETCH(QStringList, addresses);
    QFETCH(int, result);
    QFETCH(QString, sentQuery);
    QFETCH(QString, signedCode);

    HttpStub stub;
    const QString path = kSigninPath + "qq";
    stub.route("GET", path, [](const HttpRequest &r) {
        if (r.queryItems().hasQueryItem("auth") && r.queryItems().hasQueryItem("biz_type"))
            return HttpResponse::html("<html><body>authorize</body></html>");
        return HttpResponse::json(R"({"error":0,"data":{"long_token":"t"}})");
    });
    // No server time: the request fails and the local clock signs.
    ScopedHosts hosts(QJsonObject{{"clientApi", stub.hostPort()}, {"webApi", testsupport::closedLoopbackHost()}});

    LoginManager lm;
    QSignalSpy timeReply(lm.findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
    waitForTimeReply(lm, timeReply);
    QSignalSpy begin(&lm, &LoginManager::beginLogin);
    QSignalSpy succeed(&lm, &LoginManager::loginSucceed);

    ModalWatchdog watchdog(10000);
    bool stayedOpen = false;
    runSignIn(lm, 1, [&](WebViewDlg *dialog) {
        for (const QString &a : addresses)
            lm.onWebViewUrlChanged(QUrl(a));
        if (dialog->isVisible() && watchdog.ended().isEmpty()) {
            stayedOpen = true;
            dialog->findChild<QPushButton *>("closeBtn")->click();
        }
    });

    if (result == -1) {
        QVERIFY(stayedOpen);
        QCOMPARE(watchdog.ended().first().result, int(QDialog::Rejected));
        QCOMPARE(begin.count(), 0);
        QVERIFY(lm.findChildren<QNetworkReply *>().isEmpty());
        return;
    }
    QVERIFY(!stayedOpen);
    QCOMPARE(watchdog.ended().first().result, result);
    if (result == int(QDialog::Rejected)) {
        QCOMPARE(begin.count(), 0);
        QVERIFY(lm.findChildren<QNetworkReply *>().isEmpty());
        return;
    }

    QCOMPARE(begin.count(), 1);
    QVERIFY(succeed.wait(5000));
    QList<HttpRequest> sent;
    for (const HttpRequest &r : stub.requestsTo(path)) {
        if (!r.queryItems().hasQueryItem("biz_type"))
            sent << r;
    }
    QCOMPARE(sent.size(), 1);
    const QString t = QString::number(kNowSecs);
    const QString sign = "appcastmate/oauthSignin/qq?aid=mvtool&code=" + signedCode + "&state=S&time=" + t + kSalt;
    QCOMPARE(sent.first().query, sentQuery + "&aid=mvtool&time=" + t + "&auth=" + md5Hex(sign));
}

void TestWebSignin::closeButtonEndsSignInQuietly()
{
    HttpStub stub;
    stub.route("GET", kSigninPath + "weibo", HttpResponse::html("<html><body>authorize</body></html>"));
    // No server time: the request fails and the local clock signs.
    ScopedHosts hosts(QJsonObject{{"clientApi", stub.hostPort()}, {"webApi", testsupport::closedLoopbackHost()}});

    LoginManager lm;
    QSignalSpy timeReply(lm.findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
    waitForTimeReply(lm, timeReply);
    QSignalSpy begin(&lm, &LoginManager::beginLogin);

    ModalWatchdog watchdog(10000);
    runSignIn(lm, 2, [](WebViewDlg *dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton *>("closeBtn"), Qt::LeftButton);
    });
    QCOMPARE(watchdog.ended().size(), 1);
    QCOMPARE(watchdog.ended().first().result, int(QDialog::Rejected));
    QCOMPARE(begin.count(), 0);
    QVERIFY(lm.findChildren<QNetworkReply *>().isEmpty());

    // After the dialog is gone, a late address does nothing.
    lm.onWebViewUrlChanged(QUrl("http://127.0.0.1:1/cb?code=C&state=S"));
    QCOMPARE(begin.count(), 0);
    QVERIFY(lm.findChildren<QNetworkReply *>().isEmpty());
}

void TestWebSignin::signInAnswers_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<int>("errorNo");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("opensRegistration");

    const QString failed = QStringLiteral("登录失败");
    const QString firstUse = QStringLiteral("该账号第一次在摩瓦使用，请先到摩瓦网站通过第三方账号登录设置昵称");
    QTest::newRow("token") << QByteArray(R"({"error":0,"data":{"long_token":"abc"}})") << true << 0 << "abc"
                           << false;
    QTest::newRow("no token") << QByteArray(R"({"error":0,"data":{"uid":1}})") << true << 0 << QString()
                              << false;
    QTest::newRow("token not text") << QByteArray(R"({"error":0,"data":{"long_token":12}})") << true << 0
                                    << QString() << false;
    QTest::newRow("first use") << QByteArray(R"({"error":0,"data":{"newuser":1}})") << false << 0 << firstUse
                               << true;
    QTest::newRow("first use beside a token")
        << QByteArray(R"({"error":0,"data":{"newuser":null,"long_token":"abc"}})") << false << 0 << firstUse
        << true;
    QTest::newRow("error with text") << QByteArray(R"({"error":5,"data":"x"})") << false << 5 << "x" << false;
    QTest::newRow("error with object") << QByteArray(R"({"error":5,"data":{"m":"x"}})") << false << 5
                                       << QString() << false;
    QTest::newRow("negative error") << QByteArray(R"({"error":-3,"data":"签名错误"})") << false << -3
                                    << QStringLiteral("签名错误") << false;
    QTest::newRow("no error key") << QByteArray(R"({"data":{"long_token":"abc"}})") << false << 0
                                  << QStringLiteral("服务器返回数据格式错误") << false;
    QTest::newRow("error as text") << QByteArray(R"({"error":"0","data":{"long_token":"abc"}})") << false << 0
                                   << failed << false;
    QTest::newRow("success without object") << QByteArray(R"({"error":0,"data":"abc"})") << false << 0 << failed
                                            << false;
    QTest::newRow("not JSON") << QByteArray("<html>bad gateway</html>") << false << 0 << failed << false;
    QTest::newRow("array") << QByteArray(R"([{"error":0}])") << false << 0 << failed << false;
    QTest::newRow("network failure") << QByteArray() << false << 0 << failed << false;
}

void TestWebSignin::signInAnswers()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, succeeds);
    QFETCH(int, errorNo);
    QFETCH(QString, text);
    QFETCH(bool, opensRegistration);

    HttpStub stub;
    const QString path = kSigninPath + "weixin";
    stub.route("GET", path, HttpResponse::json(answer));
    // A network failure: the sign-in host is where nothing listens.
    const bool networkFailure = answer.isEmpty();
    ScopedHosts hosts(QJsonObject{{"passport", "127.0.0.1:4431"},
                                  {"webApi", testsupport::closedLoopbackHost()},
                                  {"clientApi", networkFailure ? testsupport::closedLoopbackHost() : stub.hostPort()}});
    testsupport::UrlOpenRecorder browser;

    LoginManager lm;
    auto *manager = lm.findChild<QNetworkAccessManager *>();
    QSignalSpy finished(manager, &QNetworkAccessManager::finished);
    waitForTimeReply(lm, finished);
    QSignalSpy succeed(&lm, &LoginManager::loginSucceed);
    QSignalSpy failedSpy(&lm, &LoginManager::loginFailed);

    // The answer travels the manager's own path: its network manager and
    // its reply dispatch.
    finished.clear();
    manager->get(QNetworkRequest(QUrl(WebEndpoints::oauthSigninUrl("weixin") + "?code=C&state=S&aid=mvtool")));
    QVERIFY(finished.wait(5000));

    QCOMPARE(succeed.count() + failedSpy.count(), 1);
    if (succeeds) {
        QCOMPARE(succeed.count(), 1);
        QCOMPARE(succeed.first().first().toString(), text);
    } else {
        QCOMPARE(failedSpy.count(), 1);
        QCOMPARE(failedSpy.first().at(0).toInt(), errorNo);
        QCOMPARE(failedSpy.first().at(1).toString(), text);
    }
    if (opensRegistration)
        QCOMPARE(browser.urls(), QList<QUrl>{QUrl("https://127.0.0.1:4431/member/login?type=reg")});
    else
        QVERIFY(browser.urls().isEmpty());
}

// ---- dialogs -------------------------------------------------------------

void TestWebSignin::dialogsAsBuilt()
{
    WebViewDlg web;
    QCOMPARE(web.objectName(), QString("WebViewDlg"));
    QCOMPARE(web.minimumSize(), QSize(832, 619));
    QCOMPARE(web.maximumSize(), QSize(832, 619));
    QCOMPARE(web.windowType(), Qt::Dialog);
    QVERIFY(web.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(web.hasMouseTracking());
    QCOMPARE(web.styleSheet(), QString("background-color: #f9f9f9;"));
    auto *webClose = web.findChild<QPushButton *>("closeBtn");
    QCOMPARE(webClose->geometry(), QRect(806, 2, 24, 24));
    QCOMPARE(webClose->text(), QString());
    QCOMPARE(webClose->styleSheet(),
             QString("QPushButton{background: transparent;border:none;border-image:url(:/image/skin/btn_ThirdParty_close.png) 0 72 0 0 stretch stretch }"
                     "QPushButton:hover{border-image:url(:/image/skin/btn_ThirdParty_close.png) 0 48 0 24}"));
    QCOMPARE(web.webView()->objectName(), QString("webView"));
    QCOMPARE(web.webView()->geometry(), QRect(0, 56, 832, 563));
    QCOMPARE(web.webView()->url(), QUrl("about:blank"));
    auto *label = web.findChild<QLabel *>("label");
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(169, 101, 101));
    QCOMPARE(label->font().family(), QStringLiteral("微软雅黑"));
    QCOMPARE(label->font().pointSize(), 15);
    QCOMPARE(label->font().weight(), 75);

    VerifyWebDlg verify;
    QCOMPARE(verify.objectName(), QString("VerifyWebDlg"));
    QCOMPARE(verify.windowTitle(), QString("Dialog"));
    QCOMPARE(verify.windowModality(), Qt::ApplicationModal);
    QVERIFY(verify.isModal());
    QCOMPARE(verify.minimumSize(), QSize(360, 425));
    QCOMPARE(verify.maximumSize(), QSize(360, 425));
    QVERIFY(verify.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(verify.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(verify.hasMouseTracking());
    QCOMPARE(verify.styleSheet(), QString("background-color: #ffffff;"));
    auto *title = verify.findChild<QLabel *>("lbTitle");
    QCOMPARE(title->geometry(), QRect(140, 7, 261, 41));
    QCOMPARE(title->styleSheet(), QStringLiteral("color: #2c3e50;\nfont:Bold 18px \"微软雅黑\";"));
    QCOMPARE(title->font().family(), QStringLiteral("微软雅黑"));
    QCOMPARE(title->font().weight(), 75);
    QCOMPARE(title->palette().color(QPalette::WindowText), QColor(44, 62, 80));
    QCOMPARE(title->palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(title->testAttribute(Qt::WA_TranslucentBackground));
    verify.setTitle(QStringLiteral("安全验证"));
    QCOMPARE(title->text(), QStringLiteral("安全验证"));
    auto *verifyClose = verify.findChild<QPushButton *>("closeBtn");
    QCOMPARE(verifyClose->geometry(), QRect(334, 2, 24, 24));
    QVERIFY(!verifyClose->autoDefault());
    QCOMPARE(verifyClose->styleSheet(),
             QString("QPushButton{background: transparent;border:none;border-image:url(:/image/skin/btn_verify_close.png) 0 72 0 0 stretch stretch }"
                     "QPushButton:hover{border-image:url(:/image/skin/btn_verify_close.png) 0 48 0 24}"
                     "QPushButton:pressed{border-image:url(:/image/skin/btn_verify_close.png) 0 24 0 48}"));
    QCOMPARE(verify.webView()->geometry(), QRect(2, 42, 356, 383));
    QCOMPARE(verify.webView()->url(), QUrl("about:blank"));
}

void TestWebSignin::dialogSlots_data()
{
    QTest::addColumn<QByteArray>("dialog");
    QTest::addColumn<QByteArray>("signature");
    QTest::newRow("sign-in close") << QByteArray("WebViewDlg") << QByteArray("on_closeBtn_clicked()");
    QTest::newRow("sign-in address") << QByteArray("WebViewDlg") << QByteArray("on_webView_urlChanged(QUrl)");
    QTest::newRow("captcha close") << QByteArray("VerifyWebDlg") << QByteArray("on_closeBtn_clicked()");
    QTest::newRow("captcha address") << QByteArray("VerifyWebDlg") << QByteArray("on_webView_urlChanged(QUrl)");
    QTest::newRow("captcha TLS errors") << QByteArray("VerifyWebDlg")
                                        << QByteArray("on_sslErrors(QNetworkReply*,QList<QSslError>)");
}

void TestWebSignin::dialogSlots()
{
    QFETCH(QByteArray, dialog);
    QFETCH(QByteArray, signature);
    const QMetaObject &meta = dialog == "WebViewDlg" ? WebViewDlg::staticMetaObject : VerifyWebDlg::staticMetaObject;
    const int index = meta.indexOfSlot(signature.constData());
    QVERIFY2(index >= 0, signature.constData());
    QCOMPARE(meta.method(index).methodType(), QMetaMethod::Slot);
}

void TestWebSignin::captchaCompletion_data()
{
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("items"); // word, key, challenge, validate, seccode

    const QString p = QStringLiteral("http://127.0.0.1:1/done?");
    QTest::newRow("word and key") << QStringList{p + "captcha_word=w&captcha_key=k"} << true
                                  << QStringList{"w", "k", "", "", ""};
    QTest::newRow("word with empty key") << QStringList{p + "captcha_word=w&captcha_key="} << false
                                         << QStringList{"w", "", "", "", ""};
    QTest::newRow("geetest without seccode")
        << QStringList{p + "geetest_challenge=c&geetest_validate=v"} << false << QStringList{"", "", "c", "v", ""};
    QTest::newRow("seccode completes later")
        << QStringList{p + "geetest_challenge=c&geetest_validate=v", p + "geetest_seccode=s"} << true
        << QStringList{"", "", "c", "v", "s"};
    QTest::newRow("all five") << QStringList{p + "captcha_word=w&captcha_key=k&geetest_challenge=c"
                                                 "&geetest_validate=v&geetest_seccode=s"}
                              << true << QStringList{"w", "k", "c", "v", "s"};
    QTest::newRow("later duplicate wins") << QStringList{p + "captcha_word=a&captcha_key=k&captcha_word=b"}
                                          << true << QStringList{"b", "k", "", "", ""};
    QTest::newRow("half of each kind") << QStringList{p + "captcha_word=w&geetest_challenge=c&geetest_seccode=s"}
                                       << false << QStringList{"w", "", "c", "", "s"};
    QTest::newRow("other keys ignored") << QStringList{p + "captcha=w&key=k", "about:blank"} << false
                                        << QStringList{"", "", "", "", ""};
}

void TestWebSignin::captchaCompletion()
{
    QFETCH(QStringList, addresses);
    QFETCH(bool, accepted);
    QFETCH(QStringList, items);

    VerifyWebDlg dialog;
    QSignalSpy finished(&dialog, &QDialog::finished);
    // The form joins the web view's address changes to the dialog by name.
    for (const QString &a : addresses)
        emit dialog.webView()->urlChanged(QUrl(a));

    QCOMPARE(finished.count(), accepted ? 1 : 0);
    if (accepted)
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Accepted));
    QCOMPARE(QStringList({dialog.captchaWord(), dialog.captchaKey(), dialog.geetestChallenge(),
                          dialog.geetestValidate(), dialog.geetestSeccode()}),
             items);
}

void TestWebSignin::captchaCloseKeepsItems()
{
    // The close buttons' skin pictures are built in.
    QVERIFY(!QPixmap(":/image/skin/btn_verify_close.png").isNull());
    QVERIFY(!QPixmap(":/image/skin/btn_ThirdParty_close.png").isNull());

    VerifyWebDlg dialog;
    QCOMPARE(dialog.findChild<QLabel *>("lbTitle")->text(), QStringLiteral("登录验证"));
    dialog.show();
    QSignalSpy finished(&dialog, &QDialog::finished);
    emit dialog.webView()->urlChanged(QUrl("http://127.0.0.1:1/p?geetest_challenge=c&captcha_word=w"));
    QCOMPARE(finished.count(), 0);
    QTest::mouseClick(dialog.findChild<QPushButton *>("closeBtn"), Qt::LeftButton);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
    QCOMPARE(dialog.captchaWord(), QString("w"));
    QCOMPARE(dialog.geetestChallenge(), QString("c"));
    QCOMPARE(dialog.captchaKey(), QString());

    // The sign-in dialog's close button rejects just the same.
    WebViewDlg web;
    QCOMPARE(web.findChild<QLabel *>("label")->text(), QStringLiteral("第三方登录"));
    web.show();
    web.setTitle(QStringLiteral("微信登录"));
    QCOMPARE(web.findChild<QLabel *>("label")->text(), QStringLiteral("微信登录"));
    QSignalSpy webFinished(&web, &QDialog::finished);
    QTest::mouseClick(web.findChild<QPushButton *>("closeBtn"), Qt::LeftButton);
    QCOMPARE(webFinished.count(), 1);
    QCOMPARE(webFinished.first().first().toInt(), int(QDialog::Rejected));
}

void TestWebSignin::captchaPageThroughStub()
{
    HttpStub stub;
    stub.route("GET", "/api/appCaptchaV3",
               HttpResponse::redirect("/captcha/result?geetest_challenge=c1&geetest_validate=v1&geetest_seccode=s1"));
    stub.route("GET", "/captcha/result", HttpResponse::html("<html><body>ok</body></html>"));
    ScopedHosts hosts(QStringList{"passport"}, stub.hostPort());

    VerifyWebDlg dialog;
    dialog.webView()->load(QUrl(WebEndpoints::captchaPageUrl(LoginManager::getMacAddress(), "2.3.0.0")));
    ModalWatchdog watchdog(10000);
    const int result = dialog.exec();
    QVERIFY(watchdog.firedOn().isEmpty());
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(dialog.geetestChallenge(), QString("c1"));
    QCOMPARE(dialog.geetestValidate(), QString("v1"));
    QCOMPARE(dialog.geetestSeccode(), QString("s1"));

    const QList<HttpRequest> page = stub.requestsTo("/api/appCaptchaV3");
    QCOMPARE(page.size(), 1);
    QCOMPARE(page.first().query, QString("style=3&client_sys=mvshow&deviceid=52:54:00:12:34:56&version=2.3.0.0"));
}

void TestWebSignin::captchaSslErrorsAbortTheResource()
{
    // The stub's certificate is not trusted in this process.
    HttpStub stub(HttpStub::Tls);
    stub.route("GET", "/api/appCaptchaV3",
               HttpResponse::redirect("/done?captcha_word=w&captcha_key=k"));
    stub.route("GET", "/done", HttpResponse::html("<html><body>ok</body></html>"));

    testsupport::DebugCapture debug;
    VerifyWebDlg dialog;
    QSignalSpy finished(&dialog, &QDialog::finished);
    QSignalSpy loaded(dialog.webView(), &QWebView::loadFinished);
    dialog.webView()->load(QUrl(stub.baseUrl() + "/api/appCaptchaV3?style=3"));
    QVERIFY(loaded.wait(5000));

    QCOMPARE(loaded.first().first().toBool(), false);
    QCOMPARE(finished.count(), 0);
    QCOMPARE(stub.requestCount(), 0);
    const QStringList lines = debug.messages();
    const int head = lines.indexOf("handleSslErrors: ");
    QVERIFY2(head >= 0, qPrintable(lines.join('\n')));
    QVERIFY(head + 1 < lines.size());
    QVERIFY(lines.at(head + 1).startsWith("ssl error: "));
    QVERIFY(lines.at(head + 1).size() > QString("ssl error: ").size());
}

void TestWebSignin::unreachablePageShowsOurText_data()
{
    QTest::addColumn<bool>("captcha"); // VerifyWebDlg, else WebViewDlg
    QTest::addColumn<QString>("host");
    QTest::newRow("captcha, connection refused") << true << testsupport::closedLoopbackHost();
    // WebKit refuses port 1 itself ("Request blocked").
    QTest::newRow("captcha, port WebKit blocks") << true << QStringLiteral("127.0.0.1:1");
    QTest::newRow("sign-in page, connection refused") << false << testsupport::closedLoopbackHost();
}

void TestWebSignin::unreachablePageShowsOurText()
{
    QFETCH(bool, captcha);
    QFETCH(QString, host);
    // The pages report through Qt's messages, which the program keeps in its
    // log; here only, as QTest's own handler checks expected messages.
    const QtMessageHandler testHandler = qInstallMessageHandler(&QtMessageLog::handle);
    const auto restoreHandler = qScopeGuard([testHandler] { qInstallMessageHandler(testHandler); });
    ScopedHosts hosts(QStringList{"passport"}, host);
    VerifyWebDlg verify;
    WebViewDlg web;
    QWebView *view = captcha ? verify.webView() : web.webView();
    QDialog &dialog = captcha ? static_cast<QDialog &>(verify) : static_cast<QDialog &>(web);
    QSignalSpy finished(&dialog, &QDialog::finished);
    const QString address = WebEndpoints::captchaPageUrl(QStringLiteral("52:54:00:12:34:56"), "2.3.0.0");
    QVERIFY(address.contains(host));
    view->load(QUrl(address));

    QTRY_COMPARE_WITH_TIMEOUT(view->page()->mainFrame()->toPlainText().trimmed(),
                              QStringLiteral("页面加载失败，请检查网络连接后重试。"), 10000);
    const QString html = view->page()->mainFrame()->toHtml();
    QVERIFY2(!html.contains("WebKit") && !html.contains("blocked") && !html.contains("refused"), qPrintable(html));
    // The page stays open for the user to close.
    QCOMPARE(finished.count(), 0);
    QTRY_VERIFY(testsupport::LogCapture::contains(QStringLiteral("page ") + address + QStringLiteral(" not loaded: ")));
}

void TestWebSignin::dragFollowsLeftButtonOnly_data()
{
    QTest::addColumn<bool>("captcha");
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("moves");
    QTest::newRow("sign-in, left") << false << int(Qt::LeftButton) << true;
    QTest::newRow("sign-in, right") << false << int(Qt::RightButton) << false;
    QTest::newRow("captcha, left") << true << int(Qt::LeftButton) << true;
    QTest::newRow("captcha, right") << true << int(Qt::RightButton) << false;
}

void TestWebSignin::dragFollowsLeftButtonOnly()
{
    QFETCH(bool, captcha);
    QFETCH(int, button);
    QFETCH(bool, moves);

    std::unique_ptr<QDialog> dialog;
    if (captcha)
        dialog.reset(new VerifyWebDlg);
    else
        dialog.reset(new WebViewDlg);
    dialog->move(100, 100);
    dialog->show();
    const QPoint start = dialog->pos();
    const QPoint inside(40, 20); // the title strip
    const Qt::MouseButton b = Qt::MouseButton(button);

    QMouseEvent press(QEvent::MouseButtonPress, inside, dialog->mapToGlobal(inside), b, b, Qt::NoModifier);
    QApplication::sendEvent(dialog.get(), &press);
    const QPoint to = inside + QPoint(30, 15);
    QMouseEvent move(QEvent::MouseMove, to, dialog->mapToGlobal(inside) + QPoint(30, 15), Qt::NoButton, b,
                     Qt::NoModifier);
    QApplication::sendEvent(dialog.get(), &move);

    QCOMPARE(dialog->pos(), moves ? start + QPoint(30, 15) : start);
}

QTEST_MAIN(TestWebSignin)
#include "tst_websignin.moc"
