// The job thread and the account jobs: logins of every kind, the QR code
// and its polling, outside-account sign-in and the open-status query.

#include "SessionFixture.h"

#include "HttpStub.h"
#include "LiveTaskThread.h"
#include "ModalDriver.h"
#include "WebEndpoints.h"

#include <QDialog>
#include <QSemaphore>
#include <QWebFrame>
#include <QWebPage>
#include <QWebView>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace sessiontest;
using testsupport::HttpResponse;
using testsupport::HttpStub;
using testsupport::LogCapture;
using testsupport::ScopedHosts;

namespace {

enum LoginKind { ByPassword, WithCaptcha, ByPhone, ByPhoneWithCaptcha };

const std::string kCaptcha[5] = {"word", "key", "challenge", "validate", "seccode"};

bool startLogin(LiveProxy &proxy, int kind, const std::string &user, const std::string &password,
                const std::string &token)
{
    switch (kind) {
    case WithCaptcha:
        return proxy.loginWithCaptcha(user, password, kCaptcha[0], kCaptcha[1], kCaptcha[2], kCaptcha[3],
                                      kCaptcha[4], token);
    case ByPhone:
        return proxy.loginByPhone(user, password, "86", token);
    case ByPhoneWithCaptcha:
        return proxy.loginByPhoneWithCaptcha(user, password, "86", kCaptcha[0], kCaptcha[1], kCaptcha[2],
                                             kCaptcha[3], kCaptcha[4], token);
    default:
        return proxy.loginByPassword(user, password, token);
    }
}

QStringList argsOf(const mvplatform::CallRecord &r)
{
    QStringList out;
    for (const std::string &a : r.args)
        out << QString::fromStdString(a);
    return out;
}

} // namespace

class JobsTest : public QObject
{
    Q_OBJECT

private slots:
    void taskThreadRunsOneJobAtATime();
    void taskThreadRunsEveryStartItAccepts();
    void taskThreadFinishRunsTheAcceptedJobAndRefusesLater();
    void loginReportsEachResult_data();
    void loginReportsEachResult();
    void refusedLoginKeepsTheRunningJobsInputs();
    void everyLoginResultReachesTheFacade();
    void qrCodeRequestReportsCodeOrError();
    void qrPollsWaitSilentlyThenSignIn();
    void qrPollFailureStopsPollingAndKeepsTheSession();
    void timerStartsOnePollPerTickWhilePolling();
    void sixtiethTickHopsTheWatermarkAndPolls();
    void outsideAccountFailureReportsMinusOne();
    void outsideAccountTokenSignsInWithJobOne();
    void outsideAccountKindsOtherThanOneToThreeOpenNothing();
    void outsideAccountKindsRunTheirSignInPage_data();
    void outsideAccountKindsRunTheirSignInPage();
    void openStatusQueryAfterLogin();
    void openStatusErrorReplyKeepsTheFlag();
    void hugeAndEmptyNamesAndTokensAreAnsweredByTheService();
};

void JobsTest::taskThreadRunsOneJobAtATime()
{
    QSemaphore release;
    std::vector<int> ran;
    std::mutex ranMutex;
    LiveTaskThread thread([&](int job) {
        {
            std::lock_guard<std::mutex> lock(ranMutex);
            ran.push_back(job);
        }
        if (job == 1)
            release.acquire();
    });
    QVERIFY(thread.startTask(1));
    QVERIFY(thread.isBusy());
    bool accepted = false;
    QVERIFY(!thread.startTask(3, [&] { accepted = true; }));
    QVERIFY(!accepted); // a refused start stores nothing
    release.release();
    thread.waitIdle();
    QVERIFY(!thread.isBusy());
    QVERIFY(thread.startTask(3, [&] { accepted = true; }));
    QVERIFY(accepted);
    thread.waitIdle();
    // A number outside 1..7 is accepted and runs nothing.
    QVERIFY(thread.startTask(8));
    thread.waitIdle();
    QCOMPARE(thread.jobNumber(), 8);
    QCOMPARE(ran, (std::vector<int>{1, 3}));
}

void JobsTest::taskThreadRunsEveryStartItAccepts()
{
    // Starts right after a job ended must neither be lost nor run twice.
    std::atomic<int> runs{0};
    LiveTaskThread thread([&](int) { ++runs; });
    int accepted = 0;
    for (int i = 0; i < 2000; ++i)
        if (thread.startTask(1 + i % 7))
            ++accepted;
    thread.waitIdle();
    QVERIFY(accepted > 0);
    QCOMPARE(runs.load(), accepted);
}

void JobsTest::taskThreadFinishRunsTheAcceptedJobAndRefusesLater()
{
    QSemaphore entered;
    QSemaphore release;
    std::atomic<int> runs{0};
    LiveTaskThread thread([&](int) {
        entered.release();
        release.acquire();
        ++runs;
    });
    QVERIFY(thread.startTask(2));
    entered.acquire();
    std::thread opener([&] { release.release(); });
    thread.finish();
    opener.join();
    QCOMPARE(runs.load(), 1);
    QVERIFY(!thread.startTask(2));
    QVERIFY(thread.isFinished());
}

void JobsTest::loginReportsEachResult_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password"); // plain text; hashed unless empty
    QTest::addColumn<QString>("token");
    QTest::addColumn<int>("scripted");     // -1000: none
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("opArgs");

    const QString md5 = QString::fromStdString(anchorPasswordMd5());
    const QString nick = QStringLiteral("摩瓦主播");
    QTest::newRow("nickname and password") << int(ByPassword) << "mvanchor" << "123456" << "" << -1000 << 0
                                           << nick << "" << "Login" << "mvanchor," + md5;
    QTest::newRow("nickname typed as shown") << int(ByPassword) << nick << "123456" << "" << -1000 << 0 << nick
                                             << "" << "Login" << nick + "," + md5;
    QTest::newRow("wrong password") << int(ByPassword) << "mvanchor" << "654321" << "" << -1000 << 205
                                    << "mvanchor" << QStringLiteral("密码错误") << "Login" << "";
    QTest::newRow("no such account") << int(ByPassword) << "nobody" << "123456" << "" << -1000 << 204 << "nobody"
                                     << QStringLiteral("账号不存在") << "Login" << "";
    QTest::newRow("empty name") << int(ByPassword) << "" << "123456" << "" << -1000 << 207 << ""
                                << QStringLiteral("用户名无效") << "Login" << "";
    QTest::newRow("token") << int(ByPassword) << "mvanchor" << "" << "token-mvanchor" << -1000 << 0 << nick << ""
                           << "LoginByToken" << "token-mvanchor";
    QTest::newRow("expired token") << int(ByPassword) << "mvanchor" << "" << "stale" << -1000 << 1 << "mvanchor"
                                   << QStringLiteral("登录已过期，请重新登录") << "LoginByToken" << "stale";
    for (int code : {1, 206, 209, 210, 211, 81})
        QTest::newRow(qPrintable(QStringLiteral("scripted %1").arg(code)))
            << int(ByPassword) << "mvanchor" << "123456" << "" << code << code << "mvanchor" << "服务器说不" << "Login"
            << "";
    QTest::newRow("captcha") << int(WithCaptcha) << "mvanchor" << "123456" << "" << -1000 << 0 << nick << ""
                             << "LoginWithCaptcha" << "mvanchor," + md5 + ",word,key,challenge,validate,seccode";
    QTest::newRow("captcha needed") << int(WithCaptcha) << "mvanchor" << "123456" << "" << 81 << 81 << "mvanchor"
                                    << "服务器说不" << "LoginWithCaptcha" << "";
    QTest::newRow("phone") << int(ByPhone) << "13800000000" << "123456" << "" << -1000 << 0 << nick << ""
                           << "PhoneLogin" << "13800000000," + md5 + ",86";
    QTest::newRow("phone token") << int(ByPhone) << "13800000000" << "" << "token-mvanchor" << -1000 << 0 << nick
                                 << "" << "LoginByToken" << "token-mvanchor";
    QTest::newRow("phone wrong password") << int(ByPhone) << "13800000000" << "000000" << "" << -1000 << 205
                                          << "13800000000" << QStringLiteral("密码错误") << "PhoneLogin" << "";
    QTest::newRow("phone captcha") << int(ByPhoneWithCaptcha) << "13800000000" << "123456" << "" << -1000 << 0
                                   << nick << "" << "PhoneLoginWithCaptcha"
                                   << "13800000000," + md5 + ",86,word,key,challenge,validate,seccode";
}

void JobsTest::loginReportsEachResult()
{
    QFETCH(int, kind);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, token);
    QFETCH(int, scripted);
    QFETCH(int, code);
    QFETCH(QString, name);
    QFETCH(QString, error);
    QFETCH(QString, op);
    QFETCH(QString, opArgs);

    SessionFixture f;
    QVERIFY(f.started);
    if (scripted != -1000)
        authport::control().scriptLogin(op.toStdString(), scripted, "服务器说不");
    const std::string hashed = password.isEmpty() ? std::string() : authport::md5Hex(password.toStdString());
    QVERIFY(startLogin(*f.proxy, kind, user.toStdString(), hashed, token.toStdString()));
    QVERIFY(f.waitFor("loginReturn", 1));
    const QVariantList r = f.recorder.last("loginReturn");
    QCOMPARE(r.at(3).toInt(), code);
    QCOMPARE(r.at(0).toString(), name);
    QCOMPARE(r.at(2).toString(), error);
    QCOMPARE(r.at(1).toString(), code == 0 ? QStringLiteral("token-mvanchor") : token);
    QCOMPARE(f.proxy->isLoggedIn(), code == 0);
    QCOMPARE(authport::control().log().count(op.toStdString()), 1);
    if (!opArgs.isEmpty())
        QCOMPARE(argsOf(*authport::control().log().last(op.toStdString())).join(','), opArgs);
    QVERIFY(!f.recorder.offGuiThread());
}

void JobsTest::refusedLoginKeepsTheRunningJobsInputs()
{
    SessionFixture f;
    authport::control().gates().close("Login");
    QVERIFY(f.proxy->loginByPassword("mvanchor", authport::md5Hex("wrong"), std::string()));
    QVERIFY(authport::control().gates().waitForWaiting("Login", 1, 5000));
    // Every other start is refused while the login runs, and tells its caller.
    QVERIFY(!f.proxy->loginByPhone("13800000000", anchorPasswordMd5(), "86", std::string()));
    QVERIFY(!f.proxy->loginWithCaptcha("other", "x", "a", "b", "c", "d", "e", std::string()));
    QVERIFY(!f.proxy->requestQrCode());
    QVERIFY(!f.proxy->thirdPartyLogin(1, nullptr));
    authport::control().gates().open("Login");
    QVERIFY(f.waitFor("loginReturn", 1));
    f.settle();
    QCOMPARE(f.recorder.count("loginReturn"), 1);
    QCOMPARE(f.recorder.last("loginReturn").at(0).toString(), QStringLiteral("mvanchor"));
    QCOMPARE(f.recorder.last("loginReturn").at(3).toInt(), 205);
    QCOMPARE(authport::control().log().count("PhoneLogin"), 0);
    QCOMPARE(authport::control().log().count("RequestQrCode"), 0);
}

void JobsTest::everyLoginResultReachesTheFacade()
{
    SessionFixture f;
    QSignalSpy results(f.proxy.get(), SIGNAL(LoginResult(bool)));
    QVERIFY(f.login());
    QVERIFY(f.proxy->loginByPassword("mvanchor", authport::md5Hex("bad"), std::string()));
    QVERIFY(f.waitFor("loginReturn", 2));
    f.proxy->logout();
    f.settle();
    QCOMPARE(results.size(), 3);
    QCOMPARE(results.at(0).at(0).toBool(), true);
    QCOMPARE(results.at(1).at(0).toBool(), false);
    QCOMPARE(results.at(2).at(0).toBool(), false);
    QVERIFY(!f.proxy->isLoggedIn());
}

void JobsTest::qrCodeRequestReportsCodeOrError()
{
    SessionFixture f;
    QVERIFY(f.proxy->requestQrCode());
    QVERIFY(f.waitFor("qrCode", 1));
    QVariantList r = f.recorder.last("qrCode");
    QCOMPARE(r.at(0).toString(), QStringLiteral("https://127.0.0.1:9/qrlogin?code="));
    QVERIFY(r.at(1).toString().startsWith(QStringLiteral("mvqr")));
    QCOMPARE(r.at(2).toInt(), 60);
    QCOMPARE(r.at(3).toInt(), 0);

    f.settle();
    authport::control().scriptQrCode(5);
    QVERIFY(f.proxy->requestQrCode());
    QVERIFY(f.waitFor("qrCode", 2));
    r = f.recorder.last("qrCode");
    QCOMPARE(r, (QVariantList{QString(), QString(), 0, 5}));
}

void JobsTest::qrPollsWaitSilentlyThenSignIn()
{
    SessionFixture f;
    authport::control().scriptQrPolls({229, -5, 229, 0});
    QVERIFY(f.proxy->setQrCode("mvqr-key"));
    for (int tick = 1; tick <= 3; ++tick) {
        f.proxy->onTimer();
        f.settle();
        QCOMPARE(authport::control().log().count("PollQrLogin"), tick);
        QCOMPARE(f.recorder.count("loginReturn"), 0);
        QVERIFY(f.proxy->isQrPolling());
    }
    f.proxy->onTimer();
    QVERIFY(f.waitFor("loginReturn", 1));
    QCOMPARE(f.recorder.last("loginReturn"),
             (QVariantList{QStringLiteral("摩瓦主播"), QStringLiteral("token-mvanchor"), QString(), 0}));
    QCOMPARE(argsOf(*authport::control().log().last("PollQrLogin")), QStringList{"mvqr-key"});
    QVERIFY(f.proxy->isLoggedIn());
    QVERIFY(!f.proxy->isQrPolling());
    f.proxy->onTimer();
    f.settle();
    QCOMPARE(authport::control().log().count("PollQrLogin"), 4);
}

void JobsTest::qrPollFailureStopsPollingAndKeepsTheSession()
{
    SessionFixture f;
    QVERIFY(f.login());
    authport::control().scriptQrPolls({-2});
    f.proxy->setQrCode("old-key");
    f.proxy->onTimer();
    QVERIFY(f.waitFor("loginReturn", 2));
    QCOMPARE(f.recorder.last("loginReturn").at(3).toInt(), -2);
    QVERIFY(!f.proxy->isQrPolling());
    QVERIFY(f.proxy->isLoggedIn());
}

void JobsTest::timerStartsOnePollPerTickWhilePolling()
{
    SessionFixture f;
    f.proxy->onTimer();
    f.settle();
    QCOMPARE(authport::control().log().count("PollQrLogin"), 0);

    authport::control().scriptCode("PollQrLogin", 229, authport::Repeat::Always);
    f.proxy->setQrCode("key");
    // While a poll is held, the ticks in between start nothing; the next
    // free tick polls again.
    authport::control().gates().close("PollQrLogin");
    f.proxy->onTimer();
    QVERIFY(authport::control().gates().waitForWaiting("PollQrLogin", 1, 5000));
    f.proxy->onTimer();
    f.proxy->onTimer();
    authport::control().gates().open("PollQrLogin");
    f.settle();
    QCOMPARE(authport::control().log().count("PollQrLogin"), 1);
    for (int i = 0; i < 3; ++i) {
        f.proxy->onTimer();
        f.settle();
    }
    QCOMPARE(authport::control().log().count("PollQrLogin"), 4);
    f.proxy->stopQrPolling();
    f.proxy->onTimer();
    f.settle();
    QCOMPARE(authport::control().log().count("PollQrLogin"), 4);
    QCOMPARE(f.recorder.count("loginReturn"), 0);
}

void JobsTest::sixtiethTickHopsTheWatermarkAndPolls()
{
    SessionFixture f;
    authport::control().scriptCode("PollQrLogin", 229, authport::Repeat::Always);
    f.proxy->setQrCode("key");
    castcore::control().log().clear();
    for (int tick = 1; tick <= 120; ++tick) {
        f.proxy->onTimer();
        f.proxy->taskThread().waitIdle();
        QCOMPARE(authport::control().log().count("PollQrLogin"), tick);
        QCOMPARE(castcore::control().log().count("SetItemRelativeRect"), tick / 60);
    }
}

void JobsTest::outsideAccountFailureReportsMinusOne()
{
    SessionFixture f;
    QVERIFY(f.login());
    emit f.proxy->loginManager().loginFailed(37, QStringLiteral("授权失败"));
    QVERIFY(f.waitFor("loginReturn", 2));
    QCOMPARE(f.recorder.last("loginReturn"), (QVariantList{QString(), QString(), QStringLiteral("授权失败"), -1}));
    QVERIFY(f.proxy->isLoggedIn());
}

void JobsTest::outsideAccountTokenSignsInWithJobOne()
{
    SessionFixture f;
    emit f.proxy->loginManager().loginSucceed(QStringLiteral("token-mvanchor"));
    QVERIFY(f.waitFor("loginReturn", 1));
    QCOMPARE(f.recorder.last("loginReturn").at(3).toInt(), 0);
    QCOMPARE(f.recorder.last("loginReturn").at(0).toString(), QStringLiteral("摩瓦主播"));
    QCOMPARE(argsOf(*authport::control().log().last("LoginByToken")), QStringList{"token-mvanchor"});
    QCOMPARE(f.proxy->taskThread().jobNumber(), 1);

    // A token arriving while another job runs is not lost silently.
    authport::control().gates().close("RequestQrCode");
    QVERIFY(f.proxy->requestQrCode());
    QVERIFY(authport::control().gates().waitForWaiting("RequestQrCode", 1, 5000));
    emit f.proxy->loginManager().loginSucceed(QStringLiteral("token-mvanchor"));
    QVERIFY(f.waitFor("loginReturn", 2));
    QCOMPARE(f.recorder.last("loginReturn").at(3).toInt(), -1);
    authport::control().gates().open("RequestQrCode");
}

void JobsTest::outsideAccountKindsOtherThanOneToThreeOpenNothing()
{
    SessionFixture f;
    QVERIFY(!f.proxy->thirdPartyLogin(0, nullptr));
    QVERIFY(!f.proxy->thirdPartyLogin(4, nullptr));
    QVERIFY(!f.proxy->thirdPartyLogin(-1, nullptr));
    QCOMPARE(QApplication::topLevelWidgets().size(), 0);
}

void JobsTest::outsideAccountKindsRunTheirSignInPage_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("provider"); // in the authorize address
    QTest::newRow("QQ") << 1 << "oauthSignin/qq";
    QTest::newRow("Weibo") << 2 << "oauthSignin/weibo";
    QTest::newRow("WeChat") << 3 << "oauthSignin/weixin";
}

void JobsTest::outsideAccountKindsRunTheirSignInPage()
{
    QFETCH(int, kind);
    QFETCH(QString, provider);
    SessionFixture f;
    testsupport::ModalDriver driver;
    QString address;
    driver.onNext([&](QWidget *dialog) {
        if (QWebView *view = dialog->findChild<QWebView *>())
            address = view->page()->mainFrame()->requestedUrl().toString();
        static_cast<QDialog *>(dialog)->reject();
    });
    QVERIFY(f.proxy->thirdPartyLogin(kind, nullptr));
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.last().className, QStringLiteral("WebViewDlg"));
    QVERIFY2(address.contains(provider), qPrintable(address));
    f.settle();
    QCOMPARE(f.recorder.count("loginReturn"), 0);
}

void JobsTest::openStatusQueryAfterLogin()
{
    HttpStub::trustTestCertificate();
    HttpStub stub(HttpStub::Tls);
    ScopedHosts hosts(QStringList{QStringLiteral("webApi")}, stub.hostPort());
    stub.route("POST", QStringLiteral("/musicnc/anchor/getOpenStatus"),
               HttpResponse::json(R"({"error":0,"data":{"status":1}})"));
    SessionFixture f;
    // A token with form characters reaches the server unchanged.
    authport::control().scriptLogin("Login", 0, std::string(), "ab+c&d=e/f");
    QVERIFY(f.login());
    QTRY_COMPARE(stub.requestsTo(QStringLiteral("/musicnc/anchor/getOpenStatus")).size(), 1);
    const testsupport::HttpRequest r = stub.requestsTo(QStringLiteral("/musicnc/anchor/getOpenStatus")).at(0);
    QCOMPARE(r.body, QByteArray("rid=20001&token=ab%2Bc%26d%3De%2Ff"));
    QCOMPARE(r.header("auth"), QByteArray("ab+c&d=e/f"));
    QTRY_VERIFY(f.proxy->isMusicOpen());

    // A failed login sends nothing and clears the flag.
    QVERIFY(f.proxy->loginByPassword("mvanchor", authport::md5Hex("bad"), std::string()));
    QVERIFY(f.waitFor("loginReturn", 2));
    QTRY_VERIFY(!f.proxy->isMusicOpen());
    f.settle();
    QCOMPARE(stub.requestsTo(QStringLiteral("/musicnc/anchor/getOpenStatus")).size(), 1);
}

void JobsTest::openStatusErrorReplyKeepsTheFlag()
{
    HttpStub::trustTestCertificate();
    HttpStub stub(HttpStub::Tls);
    ScopedHosts hosts(QStringList{QStringLiteral("webApi")}, stub.hostPort());
    int answers = 0;
    stub.route("POST", QStringLiteral("/musicnc/anchor/getOpenStatus"), [&](const testsupport::HttpRequest &) {
        ++answers;
        return answers == 1 ? HttpResponse::json(R"({"error":0,"data":{"status":2}})")
                            : HttpResponse::json(R"({"error":3,"data":"房间不存在"})");
    });
    SessionFixture f;
    QVERIFY(f.login());
    QTRY_VERIFY(f.proxy->isMusicOpen());
    const int logFrom = SessionFixture::logSize();
    QVERIFY(f.login());
    QTRY_COMPARE(answers, 2);
    QTRY_VERIFY(SessionFixture::logSince(logFrom).filter(QStringLiteral("fail : {error : 3, 房间不存在}")).size() == 1);
    QVERIFY(f.proxy->isMusicOpen());
}

void JobsTest::hugeAndEmptyNamesAndTokensAreAnsweredByTheService()
{
    SessionFixture f;
    const std::string huge(1 << 20, 'x');
    QVERIFY(f.proxy->loginByPassword(huge, anchorPasswordMd5(), std::string()));
    QVERIFY(f.waitFor("loginReturn", 1));
    QCOMPARE(f.recorder.last("loginReturn").at(3).toInt(), 204);
    QCOMPARE(f.recorder.last("loginReturn").at(0).toString().size(), 1 << 20);
    f.settle();
    QVERIFY(f.proxy->loginByPassword(std::string(), std::string(), huge));
    QVERIFY(f.waitFor("loginReturn", 2));
    QCOMPARE(f.recorder.last("loginReturn").at(3).toInt(), 1);
    f.settle();
    QVERIFY(f.proxy->loginByPassword(std::string(), std::string(), std::string()));
    QVERIFY(f.waitFor("loginReturn", 3));
    QCOMPARE(f.recorder.last("loginReturn").at(3).toInt(), 1);
    QVERIFY(!f.proxy->isLoggedIn());

    // A nickname far beyond the service's buffer is cut by it, never overrun.
    authport::World w = authport::control().world();
    w.accounts.front().nick = std::string(5000, 'n');
    authport::control().setWorld(w);
    f.settle();
    QVERIFY(f.login());
    QCOMPARE(f.recorder.last("loginReturn").at(0).toString().size(), 1023);
}

std::unique_ptr<QObject> makeJobsTest()
{
    return std::make_unique<JobsTest>();
}

#include "tst_jobs.moc"
