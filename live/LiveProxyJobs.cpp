#include "LiveProxy.h"

#include "IListener.h"
#include "Logger.h"
#include "WebEndpoints.h"
#include "WebRequester.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <QUrl>
#include <QWidget>

#include <cstring>

// The account jobs on the job thread: the five logins, the QR code and its
// polling (opening the room is in LiveProxySession.cpp), and what follows a
// login on the GUI thread: the open-status query.

namespace {

constexpr int kQrWaiting = 229;
constexpr int kQrWaitingToo = -5;
constexpr int kOutsideAccountFailure = -1;

} // namespace

void LiveProxy::runJob(int job)
{
    if (!m_netService)
        return;
    switch (job) {
    case LiveTaskThread::JobLogin:
        jobLogin();
        break;
    case LiveTaskThread::JobOpenLive:
        jobOpenLive();
        break;
    case LiveTaskThread::JobCaptchaLogin:
        jobCaptchaLogin();
        break;
    case LiveTaskThread::JobPhoneLogin:
        jobPhoneLogin();
        break;
    case LiveTaskThread::JobPhoneCaptchaLogin:
        jobPhoneCaptchaLogin();
        break;
    case LiveTaskThread::JobQrPoll:
        jobQrPoll();
        break;
    case LiveTaskThread::JobQrCode:
        jobQrCode();
        break;
    default:
        break;
    }
}

// ---- starters (GUI thread) -------------------------------------------------

bool LiveProxy::startJob(int job, const std::function<void()> &storeInputs)
{
    if (!m_netService)
        return false;
    return m_taskThread.startTask(job, [&] {
        QMutexLocker lock(&m_taskMutex);
        storeInputs();
    });
}

void LiveProxy::storeCaptcha(const std::string &word, const std::string &key, const std::string &challenge,
                             const std::string &validate, const std::string &seccode)
{
    m_captcha[0] = word;
    m_captcha[1] = key;
    m_captcha[2] = challenge;
    m_captcha[3] = validate;
    m_captcha[4] = seccode;
}

bool LiveProxy::loginByPassword(const std::string &user, const std::string &password, const std::string &token)
{
    return startJob(LiveTaskThread::JobLogin, [&] {
        m_user = user;
        m_password = password;
        m_token = token;
    });
}

bool LiveProxy::loginWithCaptcha(const std::string &user, const std::string &password,
                                 const std::string &captchaWord, const std::string &captchaKey,
                                 const std::string &geetestChallenge, const std::string &geetestValidate,
                                 const std::string &geetestSeccode, const std::string &token)
{
    return startJob(LiveTaskThread::JobCaptchaLogin, [&] {
        m_user = user;
        m_password = password;
        storeCaptcha(captchaWord, captchaKey, geetestChallenge, geetestValidate, geetestSeccode);
        m_token = token;
    });
}

bool LiveProxy::loginByPhone(const std::string &phone, const std::string &password, const std::string &zone,
                             const std::string &token)
{
    return startJob(LiveTaskThread::JobPhoneLogin, [&] {
        m_user = phone;
        m_password = password;
        m_areaCode = zone;
        m_token = token;
    });
}

bool LiveProxy::loginByPhoneWithCaptcha(const std::string &phone, const std::string &password,
                                        const std::string &zone, const std::string &captchaWord,
                                        const std::string &captchaKey, const std::string &geetestChallenge,
                                        const std::string &geetestValidate, const std::string &geetestSeccode,
                                        const std::string &token)
{
    return startJob(LiveTaskThread::JobPhoneCaptchaLogin, [&] {
        m_user = phone;
        m_password = password;
        m_areaCode = zone;
        storeCaptcha(captchaWord, captchaKey, geetestChallenge, geetestValidate, geetestSeccode);
        m_token = token;
    });
}

bool LiveProxy::requestQrCode()
{
    return startJob(LiveTaskThread::JobQrCode, [] {});
}

bool LiveProxy::setQrCode(const std::string &code)
{
    {
        QMutexLocker lock(&m_taskMutex);
        m_qrCode = code;
    }
    m_qrPolling = true;
    return true;
}

void LiveProxy::stopQrPolling()
{
    m_qrPolling = false;
}

void LiveProxy::pollQrOnTick()
{
    // A refusal (a job still runs) is fine: the next tick asks again.
    if (m_qrPolling && m_netService)
        m_taskThread.startTask(LiveTaskThread::JobQrPoll);
}

bool LiveProxy::thirdPartyLogin(int kind, QWidget *parent)
{
    if (kind < 1 || kind > 3)
        return false;
    // The page ends in a token login; with a job running it would be lost.
    if (m_taskThread.isBusy())
        return false;
    if (kind == 1)
        m_loginManager.loginByQQ(parent);
    else if (kind == 2)
        m_loginManager.loginByWeibo(parent);
    else
        m_loginManager.loginByWeixin(parent);
    return true;
}

void LiveProxy::slot_thirdpartyLoginSucceed(QString token)
{
    const std::string latin1 = token.toLatin1().toStdString();
    if (loginByPassword(std::string(), std::string(), latin1))
        return;
    // The dialog waits for an answer: a dropped sign-in must not leave it busy.
    Logger::instance()->write(Logger::LOG_ERROR, "third party login dropped: a job is running.");
    if (m_listener)
        m_listener->OnLoginReturn(std::string(), std::string(), std::string(), kOutsideAccountFailure);
}

void LiveProxy::slot_thirdpartyLoginFailed(int, QString errorMsg)
{
    if (m_listener)
        m_listener->OnLoginReturn(std::string(), std::string(), errorMsg.toUtf8().toStdString(),
                                  kOutsideAccountFailure);
}

// ---- jobs (job thread) -----------------------------------------------------

void LiveProxy::jobLogin()
{
    std::string error;
    std::string token = m_token;
    int code = 0;
    if (m_password.empty())
        code = m_netService->LoginByToken(token, &error);
    else
        code = m_netService->Login(m_user.c_str(), m_password.c_str(), &error, &token);
    finishLogin(code, error, token);
}

void LiveProxy::jobCaptchaLogin()
{
    std::string error;
    std::string token = m_token;
    const int code = m_netService->LoginWithCaptcha(m_user.c_str(), m_password.c_str(), m_captcha[0].c_str(),
                                                    m_captcha[1].c_str(), m_captcha[2].c_str(),
                                                    m_captcha[3].c_str(), m_captcha[4].c_str(), &error, &token);
    finishLogin(code, error, token);
}

void LiveProxy::jobPhoneLogin()
{
    std::string error;
    std::string token = m_token;
    int code = 0;
    if (m_password.empty())
        code = m_netService->LoginByToken(token, &error);
    else
        code = m_netService->PhoneLogin(m_user.c_str(), m_password.c_str(), m_areaCode.c_str(), &token, &error);
    finishLogin(code, error, token);
}

void LiveProxy::jobPhoneCaptchaLogin()
{
    std::string error;
    std::string token = m_token;
    const int code = m_netService->PhoneLoginWithCaptcha(
        m_user.c_str(), m_password.c_str(), m_areaCode.c_str(), m_captcha[0].c_str(), m_captcha[1].c_str(),
        m_captcha[2].c_str(), m_captcha[3].c_str(), m_captcha[4].c_str(), &error, &token);
    finishLogin(code, error, token);
}

void LiveProxy::finishLogin(int code, const std::string &error, const std::string &token)
{
    {
        // The panels read the account while the job writes it.
        QMutexLocker lock(&m_taskMutex);
        m_token = token;
    }
    if (code == 0) {
        setLoggedIn(true);
        char nick[INetService::kNickNameSize];
        std::memset(nick, 0, sizeof(nick));
        m_netService->GetNickName(nick);
        nick[sizeof(nick) - 1] = '\0';
        QMutexLocker lock(&m_taskMutex);
        m_user = nick;
    } else {
        setLoggedIn(false);
    }
    reportLogin(code, error);
}

void LiveProxy::reportLogin(int code, const std::string &error)
{
    std::string user;
    std::string token;
    {
        QMutexLocker lock(&m_taskMutex);
        user = m_user;
        token = m_token;
    }
    if (m_listener)
        m_listener->OnLoginReturn(user, token, error, code);
}

void LiveProxy::jobQrPoll()
{
    std::string code;
    {
        QMutexLocker lock(&m_taskMutex);
        code = m_qrCode;
    }
    std::string error;
    std::string token;
    {
        QMutexLocker lock(&m_taskMutex);
        token = m_token;
    }
    const int result = m_netService->PollQrLogin(code, &token, &error);
    if (result == kQrWaiting || result == kQrWaitingToo)
        return;
    stopQrPolling();
    if (result == 0) {
        // A failed poll leaves whoever is signed in signed in.
        finishLogin(0, error, token);
        return;
    }
    reportLogin(result, error);
}

void LiveProxy::jobQrCode()
{
    std::string url;
    std::string code;
    int expire = 0;
    const int result = m_netService->RequestQrCode(&url, &code, &expire);
    if (m_listener)
        m_listener->OnReceiveQRCode(url, code, expire, result);
}

// ---- after a login (GUI thread) --------------------------------------------

void LiveProxy::on_login_result(bool success)
{
    if (!success) {
        m_openStatus = false;
        return;
    }
    sendOpenStatusQuery();
}

void LiveProxy::sendOpenStatusQuery()
{
    const int rid = roomId();
    std::string token;
    if (m_netService)
        m_netService->GetToken(&token);
    const QString text = QString::fromUtf8(token.c_str());
    // The token goes into a form body: characters such as '+', '&' and '='
    // must reach the server as they are.
    const QString body = QStringLiteral("rid=%1&token=%2")
                             .arg(rid)
                             .arg(QString::fromLatin1(QUrl::toPercentEncoding(text)));
    WebRequester::instance()->postRequest(WebEndpoints::openStatusUrl(), {{QStringLiteral("auth"), text}}, body);
}

void LiveProxy::onWebResponse(QString url, QByteArray response)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(response, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return;
    const QJsonObject root = doc.object();
    qDebug() << root;
    const QJsonValue code = root.value(QStringLiteral("error"));
    if (code.isDouble() && code.toDouble() != 0) {
        const QJsonValue data = root.value(QStringLiteral("data"));
        if (data.isString())
            Logger::instance()->write(Logger::LOG_INFO, "%s fail : {error : %d, %s}", url.toUtf8().constData(),
                                      int(code.toDouble()), data.toString().toUtf8().constData());
        return;
    }
    const QJsonValue data = root.value(QStringLiteral("data"));
    if (!data.isObject() || !url.contains(QStringLiteral("getOpenStatus")))
        return;
    m_openStatus = data.toObject().value(QStringLiteral("status")).toInt(0) != 0;
    Logger::instance()->write(Logger::LOG_INFO, "%s  return %d", "getOpenStatus", m_openStatus ? 1 : 0);
}

// ---- teardown --------------------------------------------------------------

void LiveProxy::finishJobsAndCallbacks()
{
    m_qrPolling = false;
    m_taskThread.waitIdle();
    m_callbackGate.close();
    {
        // Lines still held go back before the service does.
        QMutexLocker lock(&m_lineMutex);
        freeLiveLinesLocked();
    }
    // The listener dies with the main window, right after destroy().
    m_listener = nullptr;
}
