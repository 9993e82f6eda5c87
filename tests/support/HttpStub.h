#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSslCertificate>
#include <QString>
#include <QUrlQuery>

#include <functional>

class QTcpServer;
class QTcpSocket;

namespace testsupport {

using HttpHeaderList = QList<QPair<QByteArray, QByteArray>>;

// One request as the stub received it.
struct HttpRequest
{
    QByteArray method;
    QString path;        // percent-decoded
    QString query;       // the raw query text, as sent
    HttpHeaderList headers; // in the order sent, names as sent
    QByteArray body;

    // The first header of that name (case-insensitive); null when absent.
    QByteArray header(const QByteArray &name) const;
    bool hasHeader(const QByteArray &name) const;
    QList<QByteArray> headerNames() const;
    QUrlQuery queryItems() const { return QUrlQuery(query); }
    QString queryItem(const QString &key) const;
};

struct HttpResponse
{
    int status = 200;
    HttpHeaderList headers;
    QByteArray body;

    static HttpResponse json(const QByteArray &body, int status = 200);
    static HttpResponse html(const QByteArray &body, int status = 200);
    static HttpResponse text(const QByteArray &body, int status = 200);
    static HttpResponse redirect(const QByteArray &location, int status = 302);
    HttpResponse &header(const QByteArray &name, const QByteArray &value);
    // Adds a Set-Cookie header, e.g. "sid=abc; Path=/".
    HttpResponse &cookie(const QByteArray &setCookie);
};

// A small HTTP/1.1 server on 127.0.0.1 with an ephemeral port, served from
// the thread that owns it through Qt's event loop, so a test stays in step
// with it: every route answers while the test waits (QTRY_*, QSignalSpy::wait,
// a modal dialog's loop). Keeps connections alive; understands
// Content-Length bodies. Optionally speaks TLS with a built-in self-signed
// certificate for 127.0.0.1. Unrouted paths answer 404.
class HttpStub : public QObject
{
    Q_OBJECT

public:
    enum Transport { Plain, Tls };
    using Handler = std::function<HttpResponse(const HttpRequest &)>;

    explicit HttpStub(Transport transport = Plain, QObject *parent = nullptr);
    ~HttpStub() override;

    bool isListening() const;
    quint16 port() const;
    QString hostPort() const; // "127.0.0.1:<port>"
    QString baseUrl() const;  // "http://127.0.0.1:<port>" or "https://..."

    // An empty method matches every method. A later route for the same
    // method and path replaces the earlier one.
    void route(const QByteArray &method, const QString &path, const HttpResponse &response);
    void route(const QByteArray &method, const QString &path, Handler handler);
    void clearRoutes();

    QList<HttpRequest> requests() const { return m_requests; }
    QList<HttpRequest> requestsTo(const QString &path) const;
    int requestCount() const { return m_requests.size(); }
    void clearRequests() { m_requests.clear(); }

    // The stub's certificate; trustTestCertificate() adds it to the default
    // TLS configuration of this process so clients accept the stub.
    static QSslCertificate testCertificate();
    static void trustTestCertificate();

signals:
    void requestReceived(const testsupport::HttpRequest &request);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    bool handleOne(QTcpSocket *socket, QByteArray &buffer);
    HttpResponse answer(const HttpRequest &request);

    struct Route
    {
        QByteArray method;
        QString path;
        Handler handler;
    };

    Transport m_transport;
    QTcpServer *m_server;
    QList<Route> m_routes;
    QList<HttpRequest> m_requests;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

// Sets MORVASHOW_HOSTS for as long as it lives and restores the old value.
// Keys as WebEndpoints reads them: webApi, clientApi, passport, site,
// analytics, music, forum, feedback.
class ScopedHosts
{
public:
    explicit ScopedHosts(const QJsonObject &hosts);
    // Points every given kind at one host:port.
    ScopedHosts(const QStringList &kinds, const QString &hostPort);
    ~ScopedHosts();

    ScopedHosts(const ScopedHosts &) = delete;
    ScopedHosts &operator=(const ScopedHosts &) = delete;

private:
    void apply(const QJsonObject &hosts);
    QByteArray m_old;
    bool m_wasSet;
};

} // namespace testsupport

Q_DECLARE_METATYPE(testsupport::HttpRequest)
