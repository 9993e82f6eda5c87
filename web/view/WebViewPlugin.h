#pragma once

#include "WebPage.h"

#include <QObject>

// The entry of the web page library: QtWebKit pages behind WebPage.
class WebViewPlugin : public QObject, public WebPageFactory
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID MorvaWebPageFactory_iid)
    Q_INTERFACES(WebPageFactory)

public:
    std::unique_ptr<WebPage> createSignInPage(QWidget *parent) override;
    std::unique_ptr<CaptchaPage> createCaptchaPage(QWidget *parent) override;
};
