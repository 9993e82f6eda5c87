#include "VerifyWebDlg.h"

#include "WebFailurePage.h"
#include "ui_VerifyWebDlg.h"

#include <QMouseEvent>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPalette>
#include <QUrlQuery>
#include <QWebPage>
#include <QWebView>
#include <QtDebug>

VerifyWebDlg::VerifyWebDlg(QWidget *parent)
    : WebViewPage(parent)
    , ui(new Ui::VerifyWebDlg)
{
    ui->setupUi(this);
    m_title = ui->lbTitle;
    m_webView = ui->webView;
    // Before the page's network manager is connected below.
    WebFailurePage::useIn(m_webView);

    ui->closeBtn->setStyleSheet(QStringLiteral(
        "QPushButton{background: transparent;border:none;border-image:url(:/image/skin/btn_verify_close.png) 0 72 0 0 stretch stretch }"
        "QPushButton:hover{border-image:url(:/image/skin/btn_verify_close.png) 0 48 0 24}"
        "QPushButton:pressed{border-image:url(:/image/skin/btn_verify_close.png) 0 24 0 48}"));
    setStyleSheet(QStringLiteral("background-color: #ffffff;"));

    QPalette pal = m_title->palette();
    pal.setColor(QPalette::WindowText, QColor(44, 62, 80));
    pal.setColor(QPalette::Window, Qt::white);
    m_title->setPalette(pal);
    m_title->setText(QStringLiteral("登录验证"));
    m_title->setAttribute(Qt::WA_TranslucentBackground);

    // The size of the login dialog it covers.
    setFixedSize(360, 425);
    m_title->move(width() / 2 - 40, 7);
    ui->closeBtn->setGeometry(width() - 24 - 2, 2, 24, 24);
    m_webView->setGeometry(2, 42, width() - 4, height() - 42);

    // Address changes reach on_webView_urlChanged through the form's
    // connect-by-name.
    connect(m_webView->page()->networkAccessManager(), &QNetworkAccessManager::sslErrors, this,
            &VerifyWebDlg::on_sslErrors);

    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setMouseTracking(true);
    setModal(true);
}

VerifyWebDlg::~VerifyWebDlg()
{
    delete ui;
}

void VerifyWebDlg::setTitle(const QString &title)
{
    m_title->setText(title);
}

CaptchaAnswer VerifyWebDlg::answer() const
{
    return CaptchaAnswer{m_captchaWord, m_captchaKey, m_geetestChallenge, m_geetestValidate, m_geetestSeccode};
}

void VerifyWebDlg::on_webView_urlChanged(const QUrl &url)
{
    if (url.toString().isEmpty())
        return;

    const QList<QPair<QString, QString>> items = QUrlQuery(url).queryItems();
    for (const auto &item : items) {
        if (item.first == QLatin1String("captcha_word"))
            m_captchaWord = item.second;
        else if (item.first == QLatin1String("captcha_key"))
            m_captchaKey = item.second;
        else if (item.first == QLatin1String("geetest_challenge"))
            m_geetestChallenge = item.second;
        else if (item.first == QLatin1String("geetest_validate"))
            m_geetestValidate = item.second;
        else if (item.first == QLatin1String("geetest_seccode"))
            m_geetestSeccode = item.second;
    }

    const bool captcha = !m_captchaWord.isEmpty() && !m_captchaKey.isEmpty();
    const bool geetest =
        !m_geetestChallenge.isEmpty() && !m_geetestSeccode.isEmpty() && !m_geetestValidate.isEmpty();
    if (captcha || geetest)
        accept();
}

void VerifyWebDlg::on_sslErrors(QNetworkReply *reply, const QList<QSslError> &errors)
{
    qDebug("handleSslErrors: ");
    for (const QSslError &e : errors)
        qDebug("ssl error: %s", qUtf8Printable(e.errorString()));
    reply->abort();
}

void VerifyWebDlg::on_closeBtn_clicked()
{
    reject();
}

