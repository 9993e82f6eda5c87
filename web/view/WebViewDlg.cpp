#include "WebViewDlg.h"

#include "WebFailurePage.h"
#include "ui_WebViewDlg.h"

#include <QMouseEvent>
#include <QNetworkAccessManager>
#include <QPalette>
#include <QWebPage>
#include <QWebView>

WebViewDlg::WebViewDlg(QWidget *parent)
    : WebViewPage(parent)
    , ui(new Ui::WebViewDlg)
{
    ui->setupUi(this);
    m_webView = ui->webView;
    WebFailurePage::useIn(m_webView);
    m_label = ui->label;

    ui->closeBtn->setStyleSheet(QStringLiteral(
        "QPushButton{background: transparent;border:none;border-image:url(:/image/skin/btn_ThirdParty_close.png) 0 72 0 0 stretch stretch }"
        "QPushButton:hover{border-image:url(:/image/skin/btn_ThirdParty_close.png) 0 48 0 24}"));
    setStyleSheet(QStringLiteral("background-color: #f9f9f9;"));

    QPalette pal = m_label->palette();
    pal.setColor(QPalette::WindowText, QColor(169, 101, 101));
    m_label->setPalette(pal);
    m_label->setText(QStringLiteral("第三方登录"));

    setFixedSize(832, 619);
    ui->closeBtn->setGeometry(width() - 24 - 2, 2, 24, 24);
    m_webView->setGeometry(0, 56, width(), height() - 56);

    setWindowFlags(Qt::FramelessWindowHint | Qt::Dialog);
    setMouseTracking(true);
}

WebViewDlg::~WebViewDlg()
{
    delete ui;
}

void WebViewDlg::setTitle(const QString &title)
{
    m_label->setText(title);
}

void WebViewDlg::on_closeBtn_clicked()
{
    reject();
}

void WebViewDlg::on_webView_urlChanged(const QUrl &)
{
    // The sign-in manager watches the addresses itself.
}
