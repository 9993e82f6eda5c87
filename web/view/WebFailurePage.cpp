#include "WebFailurePage.h"

#include <QUrl>
#include <QWebView>
#include <QtDebug>

QString WebFailurePage::failureText()
{
    return QStringLiteral("页面加载失败，请检查网络连接后重试。");
}

void WebFailurePage::useIn(QWebView *view)
{
    view->setPage(new WebFailurePage(view));
    view->setUrl(QUrl(QStringLiteral("about:blank")));
}

WebFailurePage::WebFailurePage(QObject *parent)
    : QWebPage(parent)
{
}

bool WebFailurePage::supportsExtension(Extension extension) const
{
    return extension == ErrorPageExtension || QWebPage::supportsExtension(extension);
}

bool WebFailurePage::extension(Extension extension, const ExtensionOption *option, ExtensionReturn *output)
{
    if (extension != ErrorPageExtension || !option || !output)
        return QWebPage::extension(extension, option, output);
    const auto *failure = static_cast<const ErrorPageExtensionOption *>(option);
    auto *page = static_cast<ErrorPageExtensionReturn *>(output);
    // The program routes Qt's messages into its daily log; this library
    // carries no logger of its own.
    qInfo().noquote().nospace() << "page " << failure->url.toString() << " not loaded: " << failure->errorString
                                << " (" << failure->error << ')';
    page->baseUrl = failure->url;
    page->contentType = QStringLiteral("text/html");
    page->encoding = QStringLiteral("utf-8");
    page->content = QStringLiteral("<html><head><meta charset=\"utf-8\"></head>"
                                   "<body style=\"margin:0;padding:120px 16px 0;text-align:center;"
                                   "font-family:'微软雅黑';font-size:14px;color:#2c3e50;\">%1</body></html>")
                        .arg(failureText())
                        .toUtf8();
    return true;
}
