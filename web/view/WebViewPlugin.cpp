#include "WebViewPlugin.h"

#include "VerifyWebDlg.h"
#include "WebViewDlg.h"

std::unique_ptr<WebPage> WebViewPlugin::createSignInPage(QWidget *parent)
{
    return std::make_unique<WebViewDlg>(parent);
}

std::unique_ptr<CaptchaPage> WebViewPlugin::createCaptchaPage(QWidget *parent)
{
    return std::make_unique<VerifyWebDlg>(parent);
}
