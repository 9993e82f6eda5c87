#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QWidget;
class QDialog;
class WebPage;

// Signs a broadcaster in with an outside account (QQ, Weibo, WeChat): shows
// the platform's signed authorize page in a modal WebViewDlg, catches the
// page address that carries the provider's code and state, sends one signed
// request with the page's cookies to the client API host and turns the JSON
// answer into loginSucceed(token) or loginFailed(code, text).
//
// It keeps its own server-time offset for the signatures and offers the
// device id (getMacAddress). Everything runs on the GUI thread.
class LoginManager : public QObject
{
    Q_OBJECT

public:
    explicit LoginManager(QObject *parent = nullptr);
    ~LoginManager() override;

    // One modal sign-in each; they return when the dialog closes, before the
    // answer arrives.
    void loginByQQ(QWidget *parent);
    void loginByWeibo(QWidget *parent);
    void loginByWeixin(QWidget *parent);

    static QString getMacAddress();

    // Seconds since 1970-01-01 UTC on the server's clock; the local clock
    // while no server time has been received.
    qint64 serverTime();

    QUrl buildQQAuthorizeUrl();
    QUrl buildWeiboAuthorizeUrl();
    QUrl buildWeixinAuthorizeUrl();
    static bool parseCodeAndState(const QUrl &url, QString &code, QString &state);
    static bool isAccessDenied(const QUrl &url);

signals:
    void beginLogin();
    void loginSucceed(QString token);
    void loginFailed(int errorNo, QString errorMsg);

public slots:
    void handleNetworkResponse(QNetworkReply *reply);
    void onWebViewUrlChanged(QUrl arg1);

private:
    void requestServerTime();
    void onServerTimeReply(QNetworkReply *reply);
    void onSignInReply(QNetworkReply *reply);
    void runSignIn(int type, QWidget *parent);
    QUrl buildAuthorizeUrl(int type);

    QNetworkAccessManager *networkManager;
    qint64 timeOffset;
    QDialog *webDialog;
    WebPage *signInPage; // the page whose answer is still awaited
    int loginType;
    QString m_serverTimeUrl; // the address the time request went to
};
