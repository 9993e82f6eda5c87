#include "LoginManager.h"

#include "Md5.h"
#include "NetworkInterfaces.h"
#include "WebClock.h"
#include "WebEndpoints.h"
#include "WebPage.h"
#include "WebPages.h"

#include <QDesktopServices>
#include <QDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrlQuery>

namespace {

const qint64 kUnknownOffset = -65535;
const char kAid[] = "mvtool";
const int kBizType = 24;
// Tail of every sign text; it never travels in a request.
const char kSignSalt[] = "Qm7Rb2xKpW4nZt8LcVa3e";

struct SignInKind
{
    const char *title;
    const char *provider;
};

// Indexed by loginType; 0 is "none".
const SignInKind kKinds[] = {
    {"", ""},
    {"QQ登录", "qq"},
    {"微博登录", "weibo"},
    {"微信登录", "weixin"},
};

bool validType(int type)
{
    return type >= 1 && type <= 3;
}

QString signPath(int type)
{
    return QStringLiteral("appcastmate/oauthSignin/") + QLatin1String(kKinds[type].provider);
}

QString requestUrl(int type)
{
    return WebEndpoints::oauthSigninUrl(QLatin1String(kKinds[type].provider));
}

QString md5Hex(const QString &text)
{
    std::string out;
    md5HexString(text.toUtf8().toStdString(), out);
    return QString::fromStdString(out);
}

} // namespace

LoginManager::LoginManager(QObject *parent)
    : QObject(parent)
    , networkManager(new QNetworkAccessManager(this))
    , timeOffset(kUnknownOffset)
    , webDialog(nullptr)
    , signInPage(nullptr)
    , loginType(0)
{
    connect(networkManager, &QNetworkAccessManager::finished, this,
            &LoginManager::handleNetworkResponse);
    requestServerTime();
}

LoginManager::~LoginManager() = default;

void LoginManager::loginByQQ(QWidget *parent)
{
    runSignIn(1, parent);
}

void LoginManager::loginByWeibo(QWidget *parent)
{
    runSignIn(2, parent);
}

void LoginManager::loginByWeixin(QWidget *parent)
{
    runSignIn(3, parent);
}

void LoginManager::runSignIn(int type, QWidget *parent)
{
    loginType = type;
    WebPageFactory *pages = WebPages::factory();
    if (!pages) {
        emit loginFailed(0, WebPages::unavailableText());
        return;
    }
    const std::unique_ptr<WebPage> page = pages->createSignInPage(parent);
    webDialog = page->dialog();
    page->setTitle(QString::fromUtf8(kKinds[type].title));
    page->load(buildAuthorizeUrl(type));
    page->onAddressChanged([this](const QUrl &url) { onWebViewUrlChanged(url); });
    signInPage = page.get();
    webDialog->exec();
    webDialog = nullptr;
    signInPage = nullptr;
}

QString LoginManager::getMacAddress()
{
    return NetworkInterfaces::firstHardwareAddress();
}

qint64 LoginManager::serverTime()
{
    const qint64 local = WebClock::currentSecsSinceEpoch();
    if (timeOffset == kUnknownOffset)
        return local;
    return local + timeOffset;
}

QUrl LoginManager::buildQQAuthorizeUrl()
{
    return buildAuthorizeUrl(1);
}

QUrl LoginManager::buildWeiboAuthorizeUrl()
{
    return buildAuthorizeUrl(2);
}

QUrl LoginManager::buildWeixinAuthorizeUrl()
{
    return buildAuthorizeUrl(3);
}

QUrl LoginManager::buildAuthorizeUrl(int type)
{
    const qint64 t = serverTime();
    const QString signText = signPath(type) + QStringLiteral("?aid=") + QLatin1String(kAid)
        + QStringLiteral("&biz_type=") + QString::number(kBizType) + QStringLiteral("&time=")
        + QString::number(t) + QLatin1String(kSignSalt);

    QUrlQuery query;
    query.addQueryItem(QStringLiteral("aid"), QLatin1String(kAid));
    query.addQueryItem(QStringLiteral("biz_type"), QString::number(kBizType));
    query.addQueryItem(QStringLiteral("time"), QString::number(t));
    query.addQueryItem(QStringLiteral("auth"), md5Hex(signText));

    QUrl url(requestUrl(type));
    url.setQuery(query);
    return url;
}

bool LoginManager::parseCodeAndState(const QUrl &url, QString &code, QString &state)
{
    bool haveCode = false;
    bool haveState = false;
    const QList<QPair<QString, QString>> items = QUrlQuery(url).queryItems();
    for (const auto &item : items) {
        if (item.first == QLatin1String("code")) {
            code = item.second;
            haveCode = true;
        } else if (item.first == QLatin1String("state")) {
            state = item.second;
            haveState = true;
        }
    }
    return haveCode && haveState;
}

bool LoginManager::isAccessDenied(const QUrl &url)
{
    const QList<QPair<QString, QString>> items = QUrlQuery(url).queryItems();
    for (const auto &item : items) {
        if (item.first == QLatin1String("error") && item.second == QLatin1String("access_denied"))
            return true;
    }
    return false;
}

void LoginManager::onWebViewUrlChanged(QUrl arg1)
{
    if (arg1.toString().isEmpty())
        return;
    if (!validType(loginType))
        return;

    if (isAccessDenied(arg1)) {
        if (webDialog) {
            webDialog->reject();
            webDialog = nullptr;
            signInPage = nullptr;
        }
        return;
    }

    QString code;
    QString state;
    if (!parseCodeAndState(arg1, code, state) || !signInPage)
        return;

    const qint64 t = serverTime();
    const QString signText = signPath(loginType) + QStringLiteral("?aid=") + QLatin1String(kAid)
        + QStringLiteral("&code=") + code + QStringLiteral("&state=") + state
        + QStringLiteral("&time=") + QString::number(t) + QLatin1String(kSignSalt);
    const QString extra = QStringLiteral("aid=") + QLatin1String(kAid) + QStringLiteral("&time=")
        + QString::number(t) + QStringLiteral("&auth=") + md5Hex(signText);

    QUrl url(requestUrl(loginType));
    url.setQuery(arg1.query() + QLatin1Char('&') + extra);

    // The cookies that the sign-in pages set travel with the request.
    networkManager->setCookieJar(signInPage->cookieJar());
    networkManager->get(QNetworkRequest(url));

    // The page may report the same address again before the dialog has
    // closed; one caught answer sends one request.
    signInPage = nullptr;

    emit beginLogin();
    if (webDialog)
        webDialog->accept();
}

void LoginManager::requestServerTime()
{
    if (timeOffset != kUnknownOffset)
        return;
    m_serverTimeUrl = QUrl(WebEndpoints::serverTimeUrl()).toString();
    networkManager->get(QNetworkRequest(QUrl(m_serverTimeUrl)));
}

void LoginManager::handleNetworkResponse(QNetworkReply *reply)
{
    QString url = reply->url().toString();
    const int q = url.indexOf(QLatin1Char('?'));
    if (q >= 0)
        url.truncate(q);
    if (!m_serverTimeUrl.isEmpty() && url == m_serverTimeUrl)
        onServerTimeReply(reply);
    else
        onSignInReply(reply);
    reply->deleteLater();
}

void LoginManager::onServerTimeReply(QNetworkReply *reply)
{
    const QJsonDocument doc = QJsonDocument::fromJson(reply->readAll());
    if (!doc.isObject())
        return;
    const QJsonObject obj = doc.object();
    const QJsonValue error = obj.value(QStringLiteral("error"));
    if (!error.isDouble() || error.toDouble() != 0)
        return;
    const QJsonValue data = obj.value(QStringLiteral("data"));
    // Beyond 2^53 a double holds no exact second count.
    if (!data.isDouble() || data.toDouble() < 0 || data.toDouble() > 9007199254740992.0)
        return;
    timeOffset = static_cast<qint64>(data.toDouble()) - WebClock::currentSecsSinceEpoch();
}

void LoginManager::onSignInReply(QNetworkReply *reply)
{
    const QString failed = QStringLiteral("登录失败");
    const QJsonDocument doc = QJsonDocument::fromJson(reply->readAll());
    if (!doc.isObject()) {
        emit loginFailed(0, failed);
        return;
    }
    const QJsonObject obj = doc.object();
    if (!obj.contains(QStringLiteral("error"))) {
        emit loginFailed(0, QStringLiteral("服务器返回数据格式错误"));
        return;
    }
    const QJsonValue error = obj.value(QStringLiteral("error"));
    if (!error.isDouble()) {
        emit loginFailed(0, failed);
        return;
    }
    // Truncated toward zero, clamped to the int range.
    const double rawError = error.toDouble();
    const int errorNo = rawError >= 2147483647.0 ? 2147483647
        : rawError <= -2147483648.0              ? -2147483647 - 1
                                                 : static_cast<int>(rawError);
    const QJsonValue data = obj.value(QStringLiteral("data"));
    if (errorNo != 0) {
        emit loginFailed(errorNo, data.toString());
        return;
    }
    if (!data.isObject()) {
        emit loginFailed(0, failed);
        return;
    }
    const QJsonObject dataObj = data.toObject();
    if (dataObj.contains(QStringLiteral("newuser"))) {
        QDesktopServices::openUrl(QUrl(WebEndpoints::registerPageUrl()));
        emit loginFailed(0, QStringLiteral("该账号第一次在摩瓦使用，请先到摩瓦网站通过第三方账号登录设置昵称"));
        return;
    }
    emit loginSucceed(dataObj.value(QStringLiteral("long_token")).toString());
}
