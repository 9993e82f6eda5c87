#pragma once

#include "GrabOffsetDrag.h"
#include "WebPage.h"

#include <QDialog>
#include <QUrl>

class QLabel;
class QWebView;

namespace Ui {
class WebViewDlg;
}

// Frameless dialog that shows an outside provider's sign-in pages. The caller
// loads the page into webView(), watches its addresses and ends the run with
// accept() or reject(); the close button rejects. Dragged by its title strip.
// A page that cannot be loaded shows our own failure text (WebFailurePage).
class WebViewDlg : public QDialog, public WebPage
{
    Q_OBJECT

public:
    explicit WebViewDlg(QWidget *parent = nullptr);
    ~WebViewDlg() override;

    QWebView *webView() const;

    // WebPage
    QDialog *dialog() override { return this; }
    void setTitle(const QString &title) override;
    void load(const QUrl &url) override;
    void onAddressChanged(std::function<void(const QUrl &)> handler) override;
    QNetworkCookieJar *cookieJar() const override;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private slots:
    void on_closeBtn_clicked();
    void on_webView_urlChanged(const QUrl &url);

private:
    Ui::WebViewDlg *ui;
    QWebView *m_webView;
    QLabel *m_label;
    GrabOffsetDrag m_drag;
};
