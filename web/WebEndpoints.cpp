#include "WebEndpoints.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtDebug>

#include <mutex>

namespace {

const char *const kKeys[WebEndpoints::HostCount] = {
    "webApi", "clientApi", "passport", "site", "analytics", "music", "forum", "feedback",
};

struct HostTable
{
    std::mutex mutex;
    QString overrides[WebEndpoints::HostCount]; // from setHost
    QString fromEnv[WebEndpoints::HostCount];   // from MORVASHOW_HOSTS
    QByteArray envSeen;                         // the variable's value fromEnv was read from
    bool envRead = false;
};

HostTable &table()
{
    static HostTable t;
    return t;
}

// Re-reads MORVASHOW_HOSTS when its value changed. Caller holds the mutex.
void refreshFromEnv(HostTable &t)
{
    const QByteArray raw = qgetenv("MORVASHOW_HOSTS");
    if (t.envRead && raw == t.envSeen)
        return;
    t.envRead = true;
    t.envSeen = raw;
    for (QString &h : t.fromEnv)
        h.clear();
    if (raw.trimmed().isEmpty())
        return;

    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(raw, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject()) {
        qWarning("MORVASHOW_HOSTS is no JSON object (%s); the default hosts stay",
                 qPrintable(err.error != QJsonParseError::NoError ? err.errorString()
                                                                  : QStringLiteral("not an object")));
        return;
    }
    const QJsonObject obj = doc.object();
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        int kind = -1;
        for (int i = 0; i < WebEndpoints::HostCount; ++i) {
            if (it.key() == QLatin1String(kKeys[i]))
                kind = i;
        }
        if (kind < 0) {
            qWarning("MORVASHOW_HOSTS: unknown host kind \"%s\" ignored", qPrintable(it.key()));
            continue;
        }
        const QString value = it.value().toString();
        if (!it.value().isString() || !WebEndpoints::isValidHost(value)) {
            qWarning("MORVASHOW_HOSTS: \"%s\" needs a host[:port] text; the default stays",
                     qPrintable(it.key()));
            continue;
        }
        t.fromEnv[kind] = value;
    }
}

bool validKind(WebEndpoints::Host kind)
{
    return kind >= 0 && kind < WebEndpoints::HostCount;
}

} // namespace

QString WebEndpoints::defaultHost()
{
    return QStringLiteral("127.0.0.1:9");
}

QString WebEndpoints::key(Host kind)
{
    return validKind(kind) ? QString::fromLatin1(kKeys[kind]) : QString();
}

QString WebEndpoints::host(Host kind)
{
    if (!validKind(kind))
        return defaultHost();
    HostTable &t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (!t.overrides[kind].isEmpty())
        return t.overrides[kind];
    refreshFromEnv(t);
    if (!t.fromEnv[kind].isEmpty())
        return t.fromEnv[kind];
    return defaultHost();
}

bool WebEndpoints::setHost(Host kind, const QString &hostPort)
{
    if (!validKind(kind) || (!hostPort.isEmpty() && !isValidHost(hostPort)))
        return false;
    HostTable &t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.overrides[kind] = hostPort;
    return true;
}

void WebEndpoints::clearOverrides()
{
    HostTable &t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    for (QString &h : t.overrides)
        h.clear();
}

bool WebEndpoints::isValidHost(const QString &hostPort)
{
    // A name or IPv4 address, or a bracketed IPv6 address, with an optional
    // port; nothing that could carry a path, a user or a query.
    static const QRegularExpression re(QStringLiteral(
        "^(?:\\[[0-9A-Fa-f:.]+\\]|[A-Za-z0-9](?:[A-Za-z0-9.-]*[A-Za-z0-9])?)(?::([0-9]{1,5}))?$"));
    const QRegularExpressionMatch m = re.match(hostPort);
    if (!m.hasMatch())
        return false;
    const QString port = m.captured(1);
    if (!port.isEmpty()) {
        const int p = port.toInt();
        if (p < 1 || p > 65535)
            return false;
    }
    return true;
}

QString WebEndpoints::serverTimeUrl()
{
    return QStringLiteral("http://") + host(WebApi) + QStringLiteral("/H5nc/src/timestamp");
}

QString WebEndpoints::openStatusUrl()
{
    return QStringLiteral("https://") + host(WebApi) + QStringLiteral("/musicnc/anchor/getOpenStatus");
}

QString WebEndpoints::analyticsUrl()
{
    return QStringLiteral("https://") + host(Analytics) + QStringLiteral("/deliver/tide2");
}

QString WebEndpoints::oauthSigninUrl(const QString &provider)
{
    return QStringLiteral("http://") + host(ClientApi) + QStringLiteral("/api/appcastmate/oauthSignin/")
        + provider;
}

QString WebEndpoints::captchaPageUrl(const QString &deviceId, const QString &version)
{
    return QStringLiteral("http://") + host(Passport)
        + QStringLiteral("/api/appCaptchaV3?style=3&client_sys=mvshow") + QStringLiteral("&deviceid=")
        + deviceId + QStringLiteral("&version=") + version;
}

QString WebEndpoints::registerPageUrl()
{
    return QStringLiteral("https://") + host(Passport) + QStringLiteral("/member/login?type=reg");
}

QString WebEndpoints::siteBaseUrl()
{
    return QStringLiteral("https://") + host(WebSite);
}

QString WebEndpoints::clientDownloadUrl()
{
    return siteBaseUrl() + QStringLiteral("/client?platform=2");
}

QString WebEndpoints::findPasswordUrl()
{
    return QStringLiteral("http://") + host(WebSite) + QStringLiteral("/member/findpassword");
}

QString WebEndpoints::memberCentreUrl()
{
    return siteBaseUrl() + QStringLiteral("/member/cp");
}

QString WebEndpoints::helpForumUrl()
{
    return QStringLiteral("https://") + host(Forum) + QStringLiteral("/forum.php?mod=viewthread&tid=3");
}

QString WebEndpoints::feedbackGroupUrl()
{
    return QStringLiteral("https://") + host(Feedback) + QStringLiteral("/");
}

QString WebEndpoints::musicApiBaseUrl()
{
    return QStringLiteral("https://") + host(Music);
}
