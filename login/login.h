#pragma once

#include "MvDragDialog.h"

#include <QPoint>
#include <QString>

#include <functional>
#include <string>

class LayeredShadowWindow;
class LiveProxy;
class MvToolTip;
class QPushButton;
class QTimer;
class SysConfig;
struct AccountInfo;
struct QrCodeMatrix;

namespace Ui {
class login;
}

// The modal sign-in dialog: QR code, nickname or phone with password (and the
// captcha page the service may ask for), or a QQ, WeChat or Weibo account.
// The title bar owns the one instance for the program's life. Results come
// back from the job thread through the listener's queued signals; the
// dialog turns them into tips, saves the account and tells the program who is
// signed in.
class login : public MvDragDialog
{
    Q_OBJECT

public:
    // Sign-in modes, as saved under "mode".
    enum Mode { ModeQr = 0, ModeNickname = 1, ModePhone = 2, ModeQQ = 3, ModeWeixin = 4, ModeWeibo = 5 };

    // The QR picture's side, in pixels.
    static constexpr int kQrSide = 132;
    // Modules a side of the largest QR symbol (version 40).
    static constexpr int kQrMaxModules = 177;
    // The expiry overlay shows this long before the service's expiry.
    static constexpr int kQrLeadSeconds = 5;
    static constexpr int kTipWidth = 300;
    static constexpr int kTipHeight = 35;

    explicit login(QWidget *parent);
    ~login() override;

    void setLiveProxy(LiveProxy *proxy);
    void setConfig(SysConfig *store);
    void autoLogin();
    void logout();

    bool isLoggedIn() const { return loggedIn; }
    int currentMode() const { return mode; }
    QString currentZone() const { return zone; }
    MvToolTip *messageTip() const { return tip; }

    // Paints a matrix as the 132 x 132 one-bit picture; false (and a null
    // image) when the matrix has no modules or more than a QR symbol can.
    static bool paintQrMatrix(const QrCodeMatrix &matrix, QImage *image);

signals:
    void signal_notifyLoginStatus(QString name, bool logon);
    void signal_notifyRelogin();

public slots:
    int exec() override;
    void done(int result) override;

    void on_button_close_clicked();
    void on_button_loginbypsw_clicked();
    void on_button_loginbyQRcode_clicked();
    void on_button_phonelogin_clicked();
    void on_button_nickname_clicked();
    void on_button_login_clicked();
    void on_button_QR_refresh_clicked();
    void on_button_QQ_clicked();
    void on_button_WeChat_clicked();
    void on_button_MicroBlog_clicked();
    void on_autologinCheck_clicked();
    void isShowPsd();
    void onAeroCodeComboClicked(int index);
    void OnInitDelayed();
    void timerDone();
    void slot_onProxyLoginReturn(QString name, QString longtoken, QString errorMsg, int code);
    void slot_onProxyLoginStatus(int code);
    void slot_onReceiveQRCode(QString url, QString code, int exprie, int errorcode);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void onAreaCodeEdited();
    void onPasswordEdited();

private:
    void resetLoginState();
    void onLoginResult();
    void logoutProxy();
    void setAutoLoginChecked(bool checked);
    void placeTip(QPoint origin);
    // A tip needs a place on the dialog: one that comes before the dialog was
    // ever placed waits for it to show.
    void showTip(const QString &text);
    void initQrTimer();
    void initWidgets();
    bool showCaptchaForNickname();
    bool showCaptchaForPhone();
    // Runs the captcha page; false when it closed without an answer.
    bool runCaptchaPage(QString answer[5]);
    // Starts the attempt with the five captcha values (word, key, challenge,
    // validate, seccode) and the password's digest; true when it started.
    using CaptchaStart = std::function<bool(const QString *answer, const std::string &digest)>;
    // One page per flow: false at once while the flow's page is open.
    bool runCaptchaFlow(bool &pageOpen, const CaptchaStart &startAttempt);
    void startOutsideAccount(int newMode, int kind, const char *logLine);
    void showPasswordPage();
    void hideQrOverlay();
    void stopQr();
    bool qrPageShown() const;
    void setLoginButtonNormal(bool withHover);
    void setLoginButtonBusy();
    void refusedStart();
    void showFiller();
    void clearPassword();
    void saveAccount(const AccountInfo &record);
    void rememberSavedAccount(int accountMode, const QString &accountZone, const QString &accountName,
                              const QString &accountToken);
    // The form's mode, the dialog's zone and the form's name are the saved
    // account's.
    bool isSavedAccount(int formMode, const QString &formName) const;
    // A record with the dialog's defaults: mode 0, "+86", automatic login on.
    static AccountInfo defaultRecord();
    // The zone as the service wants it: without its leading "+".
    std::string zoneDigits() const;
    static bool isDialCode(const QString &text);

    Ui::login *ui;
    LiveProxy *liveProxy = nullptr;
    SysConfig *config = nullptr;
    int mode = ModeQr;
    QString phoneNumber;
    QString userName;
    QString password;
    QString token;
    QString zone;
    bool loggedIn = false;
    int lastCode = 0;
    QString lastMessage;
    bool autoLoginEnabled = true;
    bool shadowAttached = false;
    LayeredShadowWindow *shadow = nullptr;
    QTimer *qrTimer = nullptr;
    QPushButton *passwordToggle = nullptr;
    MvToolTip *tip = nullptr;
    bool tipPlaced = false;
    QString pendingTip;

    // The saved account, kept apart from the attempt's state: the password
    // field shows a filler for its token, and a sign-in with the filler
    // untouched signs in with this token when the form names this account.
    int savedMode = ModeQr;
    QString savedZone;
    QString savedName;
    QString savedToken;
    bool fillerShown = false;
    // The running attempt signs in with a token (no password was typed).
    bool tokenAttempt = false;
};
