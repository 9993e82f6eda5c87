#include "HttpStub.h"

#include <QJsonDocument>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace testsupport {

extern const char *const kStubCertificatePem;
extern const char *const kStubPrivateKeyPem;

namespace {

// Accepts connections as QSslSocket and starts the server side of TLS.
class TlsServer : public QTcpServer
{
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QSslSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        socket->setLocalCertificate(HttpStub::testCertificate());
        socket->setPrivateKey(QSslKey(QByteArray(kStubPrivateKeyPem), QSsl::Rsa));
        socket->setPeerVerifyMode(QSslSocket::VerifyNone);
        addPendingConnection(socket);
        socket->startServerEncryption();
    }
};

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    default: return "Status";
    }
}

bool sameName(const QByteArray &a, const QByteArray &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

QByteArray HttpRequest::header(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (sameName(h.first, name))
            return h.second;
    }
    return QByteArray();
}

bool HttpRequest::hasHeader(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (sameName(h.first, name))
            return true;
    }
    return false;
}

QList<QByteArray> HttpRequest::headerNames() const
{
    QList<QByteArray> names;
    for (const auto &h : headers)
        names << h.first;
    return names;
}

QString HttpRequest::queryItem(const QString &key) const
{
    return queryItems().queryItemValue(key, QUrl::FullyDecoded);
}

namespace {

HttpResponse withBody(const QByteArray &contentType, const QByteArray &body, int status)
{
    HttpResponse r;
    r.status = status;
    r.body = body;
    r.header("Content-Type", contentType);
    return r;
}

} // namespace

HttpResponse HttpResponse::json(const QByteArray &body, int status)
{
    return withBody("application/json; charset=utf-8", body, status);
}

HttpResponse HttpResponse::html(const QByteArray &body, int status)
{
    return withBody("text/html; charset=utf-8", body, status);
}

HttpResponse HttpResponse::text(const QByteArray &body, int status)
{
    return withBody("text/plain; charset=utf-8", body, status);
}

HttpResponse HttpResponse::redirect(const QByteArray &location, int status)
{
    HttpResponse r;
    r.status = status;
    r.header("Location", location);
    r.header("Content-Type", "text/html; charset=utf-8");
    return r;
}

HttpResponse &HttpResponse::header(const QByteArray &name, const QByteArray &value)
{
    headers.append(qMakePair(name, value));
    return *this;
}

HttpResponse &HttpResponse::cookie(const QByteArray &setCookie)
{
    return header("Set-Cookie", setCookie);
}

HttpStub::HttpStub(Transport transport, QObject *parent)
    : QObject(parent)
    , m_transport(transport)
    , m_server(transport == Tls ? new TlsServer(this) : new QTcpServer(this))
{
    qRegisterMetaType<testsupport::HttpRequest>();
    connect(m_server, &QTcpServer::newConnection, this, &HttpStub::onNewConnection);
    m_server->listen(QHostAddress::LocalHost, 0);
}

HttpStub::~HttpStub()
{
    m_server->close();
    for (auto it = m_buffers.keyBegin(); it != m_buffers.keyEnd(); ++it) {
        QTcpSocket *socket = *it;
        socket->disconnect(this);
        socket->abort();
    }
}

bool HttpStub::isListening() const
{
    return m_server->isListening();
}

quint16 HttpStub::port() const
{
    return m_server->serverPort();
}

QString HttpStub::hostPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(port());
}

QString HttpStub::baseUrl() const
{
    return (m_transport == Tls ? QStringLiteral("https://") : QStringLiteral("http://")) + hostPort();
}

void HttpStub::route(const QByteArray &method, const QString &path, const HttpResponse &response)
{
    route(method, path, [response](const HttpRequest &) { return response; });
}

void HttpStub::route(const QByteArray &method, const QString &path, Handler handler)
{
    for (Route &r : m_routes) {
        if (r.method == method && r.path == path) {
            r.handler = std::move(handler);
            return;
        }
    }
    m_routes.append(Route{method, path, std::move(handler)});
}

void HttpStub::clearRoutes()
{
    m_routes.clear();
}

QList<HttpRequest> HttpStub::requestsTo(const QString &path) const
{
    QList<HttpRequest> out;
    for (const HttpRequest &r : m_requests) {
        if (r.path == path)
            out << r;
    }
    return out;
}

QSslCertificate HttpStub::testCertificate()
{
    return QSslCertificate(QByteArray(kStubCertificatePem), QSsl::Pem);
}

void HttpStub::trustTestCertificate()
{
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    const QSslCertificate cert = testCertificate();
    if (!config.caCertificates().contains(cert)) {
        config.addCaCertificate(cert);
        QSslConfiguration::setDefaultConfiguration(config);
    }
}

void HttpStub::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        m_buffers.insert(socket, QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void HttpStub::onReadyRead(QTcpSocket *socket)
{
    auto it = m_buffers.find(socket);
    if (it == m_buffers.end())
        return;
    it.value().append(socket->readAll());
    // Several requests may have arrived back to back.
    while (m_buffers.contains(socket) && handleOne(socket, m_buffers[socket])) {
    }
}

// Handles the first complete request in the buffer; false when none is complete.
bool HttpStub::handleOne(QTcpSocket *socket, QByteArray &buffer)
{
    const int headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return false;

    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    HttpRequest request;
    request.method = requestLine.value(0);
    const QByteArray target = requestLine.value(1);
    const QByteArray version = requestLine.value(2);
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const int colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        request.headers.append(qMakePair(line.left(colon).trimmed(), line.mid(colon + 1).trimmed()));
    }

    HttpResponse response;
    bool badRequest = false;
    int bodyLength = 0;
    if (request.hasHeader("Transfer-Encoding")) {
        badRequest = true; // chunked bodies are not understood here
        response = HttpResponse::text("chunked bodies are not supported", 501);
    } else if (request.hasHeader("Content-Length")) {
        bool ok = false;
        bodyLength = request.header("Content-Length").toInt(&ok);
        if (!ok || bodyLength < 0) {
            badRequest = true;
            bodyLength = 0;
            response = HttpResponse::text("bad Content-Length", 400);
        }
    }
    const int total = headerEnd + 4 + bodyLength;
    if (buffer.size() < total)
        return false;
    request.body = buffer.mid(headerEnd + 4, bodyLength);
    buffer.remove(0, total);

    const int q = target.indexOf('?');
    request.path = QUrl::fromPercentEncoding(q >= 0 ? target.left(q) : target);
    request.query = QString::fromLatin1(q >= 0 ? target.mid(q + 1) : QByteArray());

    if (!badRequest) {
        m_requests.append(request);
        response = answer(request);
    }

    const bool close = badRequest || version == "HTTP/1.0"
        || sameName(request.header("Connection"), "close");

    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' '
        + reasonPhrase(response.status) + "\r\n";
    bool haveLength = false;
    for (const auto &h : response.headers) {
        if (sameName(h.first, "Content-Length"))
            haveLength = true;
        out += h.first + ": " + h.second + "\r\n";
    }
    if (!haveLength)
        out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    if (close)
        out += "Connection: close\r\n";
    out += "\r\n";
    if (request.method != "HEAD")
        out += response.body;
    socket->write(out);

    if (!badRequest)
        emit requestReceived(request);

    if (close) {
        m_buffers.remove(socket);
        socket->disconnectFromHost();
        return false;
    }
    return true;
}

HttpResponse HttpStub::answer(const HttpRequest &request)
{
    for (const Route &r : m_routes) {
        if ((r.method.isEmpty() || r.method == request.method) && r.path == request.path)
            return r.handler(request);
    }
    return HttpResponse::text("no route for " + request.path.toUtf8(), 404);
}

ScopedHosts::ScopedHosts(const QJsonObject &hosts)
    : m_old(qgetenv("MORVASHOW_HOSTS"))
    , m_wasSet(qEnvironmentVariableIsSet("MORVASHOW_HOSTS"))
{
    apply(hosts);
}

ScopedHosts::ScopedHosts(const QStringList &kinds, const QString &hostPort)
    : m_old(qgetenv("MORVASHOW_HOSTS"))
    , m_wasSet(qEnvironmentVariableIsSet("MORVASHOW_HOSTS"))
{
    QJsonObject hosts;
    for (const QString &k : kinds)
        hosts.insert(k, hostPort);
    apply(hosts);
}

ScopedHosts::~ScopedHosts()
{
    if (m_wasSet)
        qputenv("MORVASHOW_HOSTS", m_old);
    else
        qunsetenv("MORVASHOW_HOSTS");
}

void ScopedHosts::apply(const QJsonObject &hosts)
{
    qputenv("MORVASHOW_HOSTS", QJsonDocument(hosts).toJson(QJsonDocument::Compact));
}

} // namespace testsupport
