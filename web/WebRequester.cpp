#include "WebRequester.h"

#include "Logger.h"
#include "WebClock.h"
#include "WebEndpoints.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {

const qint64 kUnknownOffset = -65535;

WebRequester *g_requester = nullptr;
qint64 g_timeOffset = kUnknownOffset;
int g_pendingQueries = 0;

// A line break in a header would end the header line and let the rest be
// read as headers of the caller's choosing; a NUL cuts it short on servers.
bool breaksHeaderLine(const QByteArray &text)
{
    return text.contains('\r') || text.contains('\n') || text.contains('\0');
}

} // namespace

WebRequester *WebRequester::instance()
{
    if (!g_requester) {
        g_requester = new WebRequester;
        // Network objects must go while the application object still exists.
        qAddPostRoutine([] {
            delete g_requester;
            g_requester = nullptr;
        });
    }
    return g_requester;
}

WebRequester::WebRequester()
    : m_manager(new QNetworkAccessManager(this))
{
    connect(m_manager, &QNetworkAccessManager::finished, this, &WebRequester::onWebRequestResult);
}

WebRequester::~WebRequester()
{
    delete m_manager;
}

void WebRequester::postRequest(const QString &url, const QList<QPair<QString, QString>> &headers,
                               QString body)
{
    const QUrl target(url, QUrl::TolerantMode);
    for (const auto &h : headers) {
        const QByteArray name = h.first.toUtf8();
        if (breaksHeaderLine(name) || breaksHeaderLine(h.second.toUtf8())) {
            // The value may be the account token: only the name is logged.
            Logger::instance()->write(Logger::LOG_ERROR,
                                      "WebRequester: request to %s refused: header \"%s\" holds a line break or NUL",
                                      target.toString(QUrl::RemoveQuery | QUrl::RemoveUserInfo).toUtf8().constData(),
                                      name.toPercentEncoding().constData());
            // Listeners hear it as a failed request, as they would a refused
            // connection, so none waits for an answer that never comes.
            QMetaObject::invokeMethod(
                this, [this, text = target.toString()] { emit signal_notifyWebResponse(text, QByteArray()); },
                Qt::QueuedConnection);
            return;
        }
    }

    const qint64 t = ServerTimeManager::GetServerTime();
    QNetworkRequest request(target);
    request.setRawHeader("Content-Type", "application/x-www-form-urlencoded");
    request.setRawHeader("time", QByteArray::number(t));
    request.setRawHeader("aid", "mvtool");
    for (const auto &h : headers)
        request.setRawHeader(h.first.toUtf8(), h.second.toUtf8());
    m_manager->post(request, body.toUtf8());
}

void WebRequester::onWebRequestResult(QNetworkReply *reply)
{
    const QString url = reply->request().url().toString();
    const QByteArray response = reply->readAll();
    emit signal_notifyWebResponse(url, response);
    reply->deleteLater();
}

ServerTimeManager::ServerTimeManager()
    : m_manager(new QNetworkAccessManager(this))
{
    connect(m_manager, &QNetworkAccessManager::finished, this,
            &ServerTimeManager::handleNetworkResponse);
}

ServerTimeManager::~ServerTimeManager() = default;

qint64 ServerTimeManager::GetServerTime()
{
    const qint64 local = WebClock::currentSecsSinceEpoch();
    if (g_timeOffset == kUnknownOffset) {
        // Kept until its reply has been handled, so the reply can set the offset.
        ServerTimeManager *manager = new ServerTimeManager;
        ++g_pendingQueries;
        manager->RequestTimestamp();
        return local;
    }
    return local + g_timeOffset;
}

int ServerTimeManager::pendingQueries()
{
    return g_pendingQueries;
}

void ServerTimeManager::RequestTimestamp()
{
    m_manager->get(QNetworkRequest(QUrl(WebEndpoints::serverTimeUrl(), QUrl::TolerantMode)));
}

void ServerTimeManager::handleNetworkResponse(QNetworkReply *reply)
{
    const QJsonDocument doc = QJsonDocument::fromJson(reply->readAll());
    reply->deleteLater();
    deleteLater();
    --g_pendingQueries;

    if (!doc.isObject())
        return;
    const QJsonObject obj = doc.object();
    const QJsonValue error = obj.value(QStringLiteral("error"));
    if (!error.isDouble())
        return;
    const int code = error.toInt(-1);
    if (code < 0)
        return;
    if (code > 0) {
        // The text in "data" explains the failure; nothing uses it.
        return;
    }
    const QJsonValue data = obj.value(QStringLiteral("data"));
    if (!data.isDouble())
        return;
    const int serverSecs = data.toInt(-1);
    if (serverSecs < 0)
        return;
    // Both taken as 32-bit numbers; the difference is stored sign-extended.
    const quint32 local = static_cast<quint32>(WebClock::currentSecsSinceEpoch());
    g_timeOffset = static_cast<qint32>(static_cast<quint32>(serverSecs) - local);
}
