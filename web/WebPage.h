#pragma once

#include <QString>
#include <QUrl>
#include <QtPlugin>

#include <functional>
#include <memory>

class QDialog;
class QNetworkCookieJar;
class QWidget;

// One web page in a frameless dialog of its own. The page engine lives in a
// library loaded on first use (WebPages), so nothing here names its types.
class WebPage
{
public:
    virtual ~WebPage() = default;

    // The dialog to run; it belongs to this page.
    virtual QDialog *dialog() = 0;
    virtual void setTitle(const QString &title) = 0;
    virtual void load(const QUrl &url) = 0;
    // Called on the GUI thread with each address the page moves to.
    virtual void onAddressChanged(std::function<void(const QUrl &)> handler) = 0;
    // The cookies the page's own requests carry.
    virtual QNetworkCookieJar *cookieJar() const = 0;
};

// What a completed captcha page answered; fields the page did not give stay
// empty.
struct CaptchaAnswer
{
    QString word;
    QString key;
    QString geetestChallenge;
    QString geetestValidate;
    QString geetestSeccode;
};

// The captcha page closes itself (Accepted) once its answer is complete.
class CaptchaPage : public WebPage
{
public:
    virtual CaptchaAnswer answer() const = 0;
};

// What the web page library offers.
class WebPageFactory
{
public:
    virtual ~WebPageFactory() = default;

    // An outside provider's sign-in pages.
    virtual std::unique_ptr<WebPage> createSignInPage(QWidget *parent) = 0;
    virtual std::unique_ptr<CaptchaPage> createCaptchaPage(QWidget *parent) = 0;
};

#define MorvaWebPageFactory_iid "com.morvashow.WebPageFactory/1"
Q_DECLARE_INTERFACE(WebPageFactory, MorvaWebPageFactory_iid)
