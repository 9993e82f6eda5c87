#pragma once

#include "GrabOffsetDrag.h"
#include "WebPage.h"

#include <QDialog>
#include <QNetworkAccessManager>
#include <QWebPage>
#include <QWebView>

// What the page dialogs share: a frameless dialog around one web view, the
// WebPage calls on that view, and a drag with the left button anywhere the
// view does not take the mouse. The dialog sets m_webView in its constructor.
template <class Page>
class WebViewPage : public QDialog, public Page
{
public:
    QWebView *webView() const { return m_webView; }

    QDialog *dialog() override { return this; }
    void load(const QUrl &url) override { m_webView->load(url); }
    void onAddressChanged(std::function<void(const QUrl &)> handler) override
    {
        QObject::connect(m_webView, &QWebView::urlChanged, this, [handler](const QUrl &url) { handler(url); });
    }
    QNetworkCookieJar *cookieJar() const override { return m_webView->page()->networkAccessManager()->cookieJar(); }

protected:
    explicit WebViewPage(QWidget *parent)
        : QDialog(parent)
    {
    }

    void mousePressEvent(QMouseEvent *event) override
    {
        m_drag.press(this, event);
        QDialog::mousePressEvent(event);
    }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        m_drag.move(this, event);
        QDialog::mouseMoveEvent(event);
    }

    QWebView *m_webView = nullptr;

private:
    GrabOffsetDrag m_drag;
};
