#pragma once

#include <QString>
#include <QWebPage>

class QWebView;

// A web page that shows the program's own Chinese failure text where WebKit
// would show its English error page ("Request blocked", "Connection refused",
// "WebKit Error ..."), for a frame whose address cannot be loaded. Each
// failure is logged once with its address and WebKit's reason.
class WebFailurePage : public QWebPage
{
    Q_OBJECT

public:
    // The text the failed frame shows.
    static QString failureText();

    // Gives the view a page of this kind (the view owns it; its old page, a
    // child of the view, goes) showing "about:blank", as a new view does.
    static void useIn(QWebView *view);

    explicit WebFailurePage(QObject *parent = nullptr);

    bool supportsExtension(Extension extension) const override;
    bool extension(Extension extension, const ExtensionOption *option = nullptr,
                   ExtensionReturn *output = nullptr) override;
};
