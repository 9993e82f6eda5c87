#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

// The process-wide sender of form requests to the platform's web API. Every
// finished request, failed ones included, is broadcast to every listener by
// signal_notifyWebResponse; listeners tell their replies apart by the URL.
class WebRequester : public QObject
{
    Q_OBJECT

public:
    // Created on first use, destroyed when the application object goes.
    static WebRequester *instance();

    // One form-encoded POST with the headers Content-Type, "time" (server
    // time in seconds) and "aid", then the caller's pairs in order; a caller
    // pair of the same name replaces the requester's own. A caller pair
    // whose name or value holds CR, LF or NUL refuses the whole request: it
    // is logged, nothing is sent, and the listeners hear an empty response.
    void postRequest(const QString &url, const QList<QPair<QString, QString>> &headers, QString body);

signals:
    void signal_notifyWebResponse(QString url, QByteArray response);

public slots:
    void onWebRequestResult(QNetworkReply *reply);

private:
    WebRequester();
    ~WebRequester() override;

    QNetworkAccessManager *m_manager;
};

// The server's clock for the "time" header. The offset (server minus local
// seconds) is process-wide; it stays unknown until the first good answer of
// the web API's timestamp query and is never reset. While it is unknown,
// every GetServerTime sends another query and answers the local time.
class ServerTimeManager : public QObject
{
    Q_OBJECT

public:
    ServerTimeManager();
    ~ServerTimeManager() override;

    static qint64 GetServerTime();
    // Managers whose time query has not been answered yet.
    static int pendingQueries();

    void RequestTimestamp();

public slots:
    void handleNetworkResponse(QNetworkReply *reply);

private:
    QNetworkAccessManager *m_manager;
};
