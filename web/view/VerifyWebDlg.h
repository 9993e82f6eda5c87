#pragma once

#include "WebViewPage.h"

#include <QList>
#include <QSslError>
#include <QString>
#include <QUrl>

class QLabel;
class QNetworkReply;

namespace Ui {
class VerifyWebDlg;
}

// Frameless, always-on-top dialog for the platform's captcha page. It reads
// the answer out of the addresses the page navigates to and closes itself
// (Accepted) once the answer is complete: a captcha word and key, or a geetest
// challenge, seccode and validate string. The close button rejects. The
// getters keep what arrived for the life of the dialog. A page that cannot be
// loaded shows our own failure text (WebFailurePage).
class VerifyWebDlg : public WebViewPage<CaptchaPage>
{
    Q_OBJECT

public:
    explicit VerifyWebDlg(QWidget *parent = nullptr);
    ~VerifyWebDlg() override;

    // CaptchaPage
    void setTitle(const QString &title) override;
    CaptchaAnswer answer() const override;

    QString captchaWord() const { return m_captchaWord; }
    QString captchaKey() const { return m_captchaKey; }
    QString geetestChallenge() const { return m_geetestChallenge; }
    QString geetestValidate() const { return m_geetestValidate; }
    QString geetestSeccode() const { return m_geetestSeccode; }

public slots:
    // Any resource of the page that fails TLS verification is not loaded.
    void on_sslErrors(QNetworkReply *reply, const QList<QSslError> &errors);

private slots:
    void on_webView_urlChanged(const QUrl &url);
    void on_closeBtn_clicked();

private:
    Ui::VerifyWebDlg *ui;
    QLabel *m_title;
    QString m_captchaWord;
    QString m_captchaKey;
    QString m_geetestChallenge;
    QString m_geetestValidate;
    QString m_geetestSeccode;
};
