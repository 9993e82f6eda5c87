#pragma once

#include "WebViewPage.h"

#include <QUrl>

class QLabel;

namespace Ui {
class WebViewDlg;
}

// Frameless dialog that shows an outside provider's sign-in pages. The caller
// loads the page into webView(), watches its addresses and ends the run with
// accept() or reject(); the close button rejects. Dragged by its title strip.
// A page that cannot be loaded shows our own failure text (WebFailurePage).
class WebViewDlg : public WebViewPage<WebPage>
{
    Q_OBJECT

public:
    explicit WebViewDlg(QWidget *parent = nullptr);
    ~WebViewDlg() override;

    // WebPage
    void setTitle(const QString &title) override;

private slots:
    void on_closeBtn_clicked();
    void on_webView_urlChanged(const QUrl &url);

private:
    Ui::WebViewDlg *ui;
    QLabel *m_label;
};
