#include "login.h"

#include "ui_login.h"

#include "AccountInfo.h"
#include "CountryDialCodeTable.h"
#include "LayeredShadowWindow.h"
#include "LiveProxy.h"
#include "LoginManager.h"
#include "Logger.h"
#include "Md5.h"
#include "MvComboBoxItemDelegate.h"
#include "MvToolTip.h"
#include "QrMark.h"
#include "ShellOpen.h"
#include "SysConfig.h"
#include "UiToolTipDialog.h"
#include "WebEndpoints.h"
#include "WebPage.h"
#include "WebPages.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>
#include <QtDebug>

#include <climits>

namespace {

const char kClientVersion[] = "2.3.0.0";
const int kInitDelayMs = 2000;
// Where the tip goes when the dialog shows, relative to the dialog's place.
const QPoint kShowTipOffset(10, 38);

// Stands in the password field for a saved token: the token itself never
// reaches a widget.
const QString kPasswordFiller = QStringLiteral("********");

const QString kLoginLook = QStringLiteral("QPushButton{border-image: url(:/image/skin/login/login.png);}");
const QString kLoginLookWithHover = QStringLiteral(
    "QPushButton{border-image: url(:/image/skin/login/login.png);}"
    "QPushButton:hover {border-image: url(:/image/skin/login/login_pressed.png);}"
    "QPushButton:pressed {border-image: url(:/image/skin/login/login_pressed.png);}");
const QString kLoginBusyLook = QStringLiteral("QPushButton{border-image: url(:/image/skin/login/logining.png);}");
const QString kTabActive = QStringLiteral("QPushButton{color:#ff4b2f;font: 14px \"微软雅黑\";border:none}");
const QString kTabIdle = QStringLiteral("QPushButton{color:#34495e;font: 14px \"微软雅黑\";border:none}");

// One captcha page per flow: a second request for the same flow while its
// page is open is an ordinary failure.
bool nicknameCaptchaOpen = false;
bool phoneCaptchaOpen = false;

std::string utf8(const QString &text)
{
    return text.toUtf8().toStdString();
}

QString md5Hex(const QString &text)
{
    std::string digest;
    md5HexString(utf8(text), &digest);
    return QString::fromStdString(digest);
}

void logInfo(const char *format, const QString &text)
{
    Logger::instance()->write(Logger::LOG_INFO, format, text.toUtf8().constData());
}

} // namespace

login::login(QWidget *parent)
    : MvDragDialog(parent)
    , ui(new Ui::login)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::SplashScreen);
    setFocusPolicy(Qt::ClickFocus);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    initQrTimer();
    initWidgets();
    ui->button_loginbypsw->setStyleSheet(
        QStringLiteral("QPushButton{border-image: url(:/image/skin/login/normal_login.png)}"));
    ui->button_loginbyQRcode->setStyleSheet(
        QStringLiteral("QPushButton{border-image: url(:/image/skin/login/QRCode_login.png)}"));
    setTabOrder(ui->ledit_phonenumber, ui->ledit_password);
    setTabOrder(ui->ledit_username, ui->ledit_password);
    setTabOrder(ui->ledit_password, ui->button_login);

    // Return in the password field signs in through the event filter; a
    // default button would sign in a second time.
    for (QPushButton *button : findChildren<QPushButton *>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    zone = QStringLiteral("+86");
    ui->combo_Area_code->setEditText(zone);
    setAutoLoginChecked(autoLoginEnabled);

    QTimer::singleShot(kInitDelayMs, this, SLOT(OnInitDelayed()));

    tip = new MvToolTip(this);
    tip->setFixedSize(kTipWidth, kTipHeight);
    tip->hide();
    tip->SetColors(Qt::red, Qt::darkGray);
}

login::~login()
{
    delete tip;
    delete ui;
}

// ---- the program's calls ---------------------------------------------------

void login::setLiveProxy(LiveProxy *proxy)
{
    liveProxy = proxy;
}

AccountInfo login::defaultRecord()
{
    AccountInfo record;
    record.mode = ModeQr;
    record.zone = QStringLiteral("+86");
    record.autoLogin = true;
    return record;
}

void login::setConfig(SysConfig *store)
{
    config = store;
    AccountInfo record = defaultRecord();
    if (config && config->getAccount(record)) {
        mode = (record.mode < ModeQr || record.mode > ModeWeibo) ? ModeQr : record.mode;
        zone = record.zone.isEmpty() ? QStringLiteral("+86") : record.zone;
        autoLoginEnabled = record.autoLogin;
        ui->combo_Area_code->setEditText(zone);
        if (mode == ModeNickname) {
            userName = record.name;
            ui->ledit_username->setText(userName);
        } else if (mode == ModePhone) {
            phoneNumber = record.name;
            ui->ledit_phonenumber->setText(phoneNumber);
        }
        if (autoLoginEnabled)
            token = record.token;
        rememberSavedAccount(mode, zone, record.name, token);
        if (savedToken.isEmpty())
            clearPassword();
        else
            showFiller();
    } else {
        const int row = ui->combo_Area_code->currentIndex();
        ui->combo_Area_code->setEditText(ui->combo_Area_code->itemData(row, Qt::UserRole).toString());
    }
    setAutoLoginChecked(autoLoginEnabled);
}

void login::autoLogin()
{
    if (!config || !config->autoLogin() || token.isEmpty())
        return;
    autoLoginEnabled = true;
    setAutoLoginChecked(true);
    const QString user = mode == ModePhone ? phoneNumber : userName;
    tokenAttempt = true;
    const bool started = liveProxy && liveProxy->loginByPassword(utf8(user), std::string(), utf8(token));
    logInfo("%s auto login.", userName);
    if (!started)
        Logger::instance()->write(Logger::LOG_ERROR, "auto login not started: another job runs.");
}

void login::logout()
{
    logoutProxy();
    token.clear();
    savedToken.clear();
    AccountInfo record = defaultRecord();
    record.name = mode == ModePhone ? phoneNumber : (mode == ModeNickname ? userName : QString());
    record.token.clear();
    record.autoLogin = autoLoginEnabled;
    record.mode = mode;
    record.zone = zone;
    saveAccount(record);
    emit signal_notifyLoginStatus(userName, loggedIn);
    clearPassword();
    setAutoLoginChecked(autoLoginEnabled);
}

int login::exec()
{
    if (!shadowAttached) {
        shadow = LayeredShadowWindow::Attach(winId());
        shadowAttached = true;
    }
    if (liveProxy)
        liveProxy->requestQrCode();
    return MvDragDialog::exec();
}

void login::done(int result)
{
    // Every way out (close button, Escape, success) ends the QR code's life.
    stopQr();
    if (!loggedIn)
        emit signal_notifyLoginStatus(userName, false);
    MvDragDialog::done(result);
}

// ---- results ---------------------------------------------------------------

void login::slot_onProxyLoginReturn(QString name, QString longtoken, QString errorMsg, int code)
{
    if (loggedIn)
        return;
    Logger::instance()->write(Logger::LOG_INFO, "%s login return: code %d", name.toUtf8().constData(), code);
    if (code == 0) {
        loggedIn = true;
        token = longtoken;
        if (mode == ModePhone)
            userName = name;
    } else if (code == -2) {
        if (mode == ModeQr)
            timerDone();
        return;
    } else {
        lastCode = code;
        lastMessage = errorMsg;
        // The failed attempt is signed out before a captcha attempt can
        // start: signed out afterwards, it would undo that attempt's sign-in
        // whenever the captcha job ends first.
        logoutProxy();
        // A token sign-in has no password to send with a captcha answer.
        if (code == 81 && !tokenAttempt) {
            bool started = false;
            if (mode == ModeNickname)
                started = showCaptchaForNickname();
            else if (mode == ModePhone)
                started = showCaptchaForPhone();
            if (started) {
                lastCode = 0;
                lastMessage.clear();
            }
        }
    }
    onLoginResult();
}

void login::onLoginResult()
{
    if (loggedIn) {
        logInfo("%s login success", userName);
        AccountInfo record = defaultRecord();
        record.name = mode == ModePhone ? phoneNumber : (mode == ModeNickname ? userName : QString());
        record.token = token;
        record.autoLogin = ui->autologinCheck->isChecked();
        record.mode = mode;
        record.zone = zone;
        saveAccount(record);
        rememberSavedAccount(record.mode, record.zone, record.name, record.token);
        if (mode == ModeNickname || mode == ModePhone) {
            showFiller();
            if (liveProxy && !liveProxy->isAnchor())
                showTip(QStringLiteral("登陆成功，您不是主播!"));
        }
        setLoginButtonNormal(false);
        close();
        emit signal_notifyLoginStatus(userName, true);
        return;
    }

    logInfo("%s login fail", userName);
    setLoginButtonNormal(false);
    if (!lastMessage.isEmpty())
        showTip(lastMessage);
    else if (lastCode != 0)
        showTip(LiveProxy::errorMessage(lastCode));
    if (lastCode == 227) {
        clearPassword();
        token.clear();
        savedToken.clear();
    }
    // The facade was signed out when the result came in.
    emit signal_notifyLoginStatus(userName, false);
}

void login::slot_onProxyLoginStatus(int code)
{
    Logger::instance()->write(Logger::LOG_INFO, "receive login status: code %d", code);
    if (code != 211)
        return;
    logoutProxy();
    showTip(LiveProxy::errorMessage(211));
    token.clear();
    savedToken.clear();
    clearPassword();
    if (autoLoginEnabled) {
        AccountInfo record = defaultRecord();
        if (config && config->getAccount(record))
            record.token.clear();
        saveAccount(record);
    }
    emit signal_notifyRelogin();
}

void login::on_autologinCheck_clicked()
{
    AccountInfo record = defaultRecord();
    const bool read = config && config->getAccount(record);
    // The box is the user's choice, with or without a saved account.
    autoLoginEnabled = ui->autologinCheck->isChecked();
    record.autoLogin = autoLoginEnabled;
    if (read && (record.mode < ModeQr || record.mode > ModeWeibo))
        record.mode = ModeQr;
    saveAccount(record);
}

void login::rememberSavedAccount(int accountMode, const QString &accountZone, const QString &accountName,
                                 const QString &accountToken)
{
    savedMode = accountMode;
    savedZone = accountZone;
    savedName = accountName;
    savedToken = accountToken;
}

bool login::isSavedAccount(int formMode, const QString &formName) const
{
    return formMode == savedMode && zone == savedZone && formName == savedName;
}

void login::saveAccount(const AccountInfo &record)
{
    if (config)
        config->setAccount(record);
}

void login::resetLoginState()
{
    userName.clear();
    phoneNumber.clear();
    password.clear();
    token.clear();
    loggedIn = false;
    lastCode = 0;
    lastMessage.clear();
    tokenAttempt = false;
    pendingTip.clear();
}

void login::logoutProxy()
{
    if (liveProxy)
        liveProxy->logout();
    loggedIn = false;
}

void login::setAutoLoginChecked(bool checked)
{
    ui->autologinCheck->setChecked(checked);
}

// ---- the form's events -----------------------------------------------------

bool login::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == ui->label_morvaAPP)
            mvplatform::ShellOpen::openPage(WebEndpoints::clientDownloadUrl());
        else if (watched == ui->label_loginbypsd)
            on_button_loginbypsw_clicked();
        else if (watched == ui->label_register || watched == ui->label_5register)
            mvplatform::ShellOpen::openPage(WebEndpoints::registerPageUrl());
        else if (watched == ui->label_forgetPsd)
            mvplatform::ShellOpen::openPage(WebEndpoints::findPasswordUrl());
    } else if (watched == ui->ledit_password && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            on_button_login_clicked();
        } else if (fillerShown && !key->text().isEmpty()) {
            // Typing over the filler starts a new password.
            clearPassword();
        }
    }
    return MvDragDialog::eventFilter(watched, event);
}

void login::mouseMoveEvent(QMouseEvent *event)
{
    MvDragDialog::mouseMoveEvent(event);
    placeTip(pos());
}

void login::closeEvent(QCloseEvent *event)
{
    hideQrOverlay();
    if (liveProxy)
        liveProxy->stopQrPolling();
    MvDragDialog::closeEvent(event);
}

void login::showEvent(QShowEvent *event)
{
    MvDragDialog::showEvent(event);
    placeTip(pos() + kShowTipOffset);
    if (!pendingTip.isEmpty()) {
        tip->ShowMessage(pendingTip);
        pendingTip.clear();
    }
}

void login::OnInitDelayed()
{
    if (isVisible())
        placeTip(pos());
}

void login::placeTip(QPoint origin)
{
    tip->setGeometry(origin.x() + (width() - tip->width()) / 2, origin.y() + (height() - tip->height()) / 2,
                     tip->width(), tip->height());
    tipPlaced = true;
}

void login::showTip(const QString &text)
{
    if (tipPlaced || isVisible())
        tip->ShowMessage(text);
    else
        pendingTip = text;
}

void login::on_button_close_clicked()
{
    close();
}

// ---- QR code ---------------------------------------------------------------

void login::initQrTimer()
{
    qrTimer = new QTimer(this);
    qrTimer->setObjectName(QStringLiteral("qrTimer"));
    connect(qrTimer, SIGNAL(timeout()), this, SLOT(timerDone()));
    ui->label_10->hide();
    ui->button_QR_refresh->hide();
    ui->label_3->setPixmap(QPixmap(QStringLiteral(":/image/skin/login/tip2.png")));
    ui->label_4->setPixmap(QPixmap(QStringLiteral(":/image/skin/login/phone.png")));
    ui->label_scan->setPixmap(QPixmap(QStringLiteral(":/image/skin/login/scan.png")));
    for (QLabel *label : {ui->label_morvaAPP, ui->label_loginbypsd, ui->label_register}) {
        label->installEventFilter(this);
        label->setCursor(Qt::PointingHandCursor);
    }
}

bool login::qrPageShown() const
{
    return isVisible() && ui->stackedWidget->currentWidget() == ui->page;
}

void login::hideQrOverlay()
{
    ui->label_10->hide();
    ui->button_QR_refresh->hide();
}

void login::stopQr()
{
    hideQrOverlay();
    qrTimer->stop();
    if (liveProxy)
        liveProxy->stopQrPolling();
}

void login::on_button_loginbyQRcode_clicked()
{
    resetLoginState();
    mode = ModeQr;
    ui->stackedWidget->setCurrentWidget(ui->page);
    if (liveProxy)
        liveProxy->requestQrCode();
}

void login::on_button_QR_refresh_clicked()
{
    hideQrOverlay();
    if (liveProxy)
        liveProxy->requestQrCode();
}

bool login::paintQrMatrix(const QrCodeMatrix &matrix, QImage *image)
{
    *image = QImage();
    // No modules, or more than the largest symbol has: nothing to show.
    if (matrix.width <= 0 || matrix.width > kQrMaxModules || !matrix.data)
        return false;
    QImage picture(kQrSide, kQrSide, QImage::Format_Mono);
    QPainter painter(&picture);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(Qt::white, Qt::SolidPattern));
    painter.drawRect(0, 0, kQrSide, kQrSide);
    painter.setBrush(QBrush(Qt::black, Qt::SolidPattern));
    const int n = matrix.width;
    const double s = double(kQrSide) / n;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            if (matrix.data[size_t(i) * size_t(n) + size_t(j)] & 1)
                painter.drawRect(QRectF(j * s, i * s, s, s));
        }
    }
    painter.end();
    *image = picture;
    return true;
}

void login::slot_onReceiveQRCode(QString url, QString code, int exprie, int errorcode)
{
    if (errorcode != 0) {
        Logger::instance()->write(Logger::LOG_INFO, "slot_onReceiveQRCode receive: code %d", errorcode);
        return;
    }
    const QByteArray text = (url + code).toUtf8();
    QrCodeMatrix *matrix = encodeQrText(text.constData(), 1, 0, 2, 1);
    if (!matrix)
        return;
    QImage picture;
    const bool painted = paintQrMatrix(*matrix, &picture);
    freeQrMatrix(matrix);
    if (!painted)
        return;
    ui->label_QR_code->setPixmap(QPixmap::fromImage(picture));

    // The new code is fresh: no overlay, and its own expiry.
    hideQrOverlay();
    qrTimer->stop();
    // A code that arrives while the password page shows (or the dialog is
    // closed) is drawn for later but not polled.
    if (!qrPageShown())
        return;
    // Whatever mode was saved, a code scanned now signs in as a QR sign-in.
    mode = ModeQr;
    const qint64 interval = (qint64(exprie) - kQrLeadSeconds) * 1000;
    if (interval >= 0)
        qrTimer->start(int(qMin<qint64>(interval, INT_MAX)));
    if (liveProxy)
        liveProxy->setQrCode(utf8(code));
}

void login::timerDone()
{
    ui->label_10->show();
    ui->button_QR_refresh->show();
}

// ---- password, phone and outside accounts -----------------------------------

void login::showPasswordPage()
{
    resetLoginState();
    // The mode follows the sub-page the password page shows.
    mode = ui->stackedWidget_2->currentWidget() == ui->page_4 ? ModeNickname : ModePhone;
    ui->stackedWidget->setCurrentWidget(ui->page_2);
    stopQr();
}

void login::on_button_loginbypsw_clicked()
{
    showPasswordPage();
}

void login::on_button_phonelogin_clicked()
{
    resetLoginState();
    mode = ModePhone;
    ui->button_phonelogin->setStyleSheet(kTabActive);
    ui->button_nickname->setStyleSheet(kTabIdle);
    ui->stackedWidget_2->setCurrentWidget(ui->page_3);
}

void login::on_button_nickname_clicked()
{
    resetLoginState();
    mode = ModeNickname;
    ui->button_nickname->setStyleSheet(kTabActive);
    ui->button_phonelogin->setStyleSheet(kTabIdle);
    ui->stackedWidget_2->setCurrentWidget(ui->page_4);
}

bool login::isDialCode(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\+[0-9]{1,4}$"));
    return pattern.match(text).hasMatch();
}

void login::onAeroCodeComboClicked(int index)
{
    const QString code = ui->combo_Area_code->itemData(index, Qt::UserRole).toString();
    qDebug() << code;
    ui->combo_Area_code->setEditText(code);
    if (isDialCode(code))
        zone = code;
}

void login::onAreaCodeEdited()
{
    const QString typed = ui->combo_Area_code->currentText().trimmed();
    if (isDialCode(typed))
        zone = typed;
    ui->combo_Area_code->setEditText(zone);
}

std::string login::zoneDigits() const
{
    return utf8(zone.mid(1));
}

void login::on_button_login_clicked()
{
    const QString user = ui->ledit_username->text();
    const QString typed = ui->ledit_password->text();
    const QString phone = ui->ledit_phonenumber->text();
    const int shownMode = ui->stackedWidget_2->currentWidget() == ui->page_4 ? ModeNickname : ModePhone;
    onAreaCodeEdited();
    // The filler untouched stands for the saved token, and only for the
    // account it was saved with; for any other it is no password at all.
    const bool withToken =
        fillerShown && !savedToken.isEmpty() && isSavedAccount(shownMode, shownMode == ModePhone ? phone : user);
    const bool noPassword = typed.isEmpty() || (fillerShown && !withToken);
    if (shownMode == ModeNickname && (user.isEmpty() || noPassword)) {
        UiToolTipDialog box(QStringLiteral("用户名或密码为空!"), this);
        box.exec();
        return;
    }
    if (shownMode == ModePhone && (phone.isEmpty() || noPassword)) {
        UiToolTipDialog box(QStringLiteral("电话号码或密码为空!"), this);
        box.exec();
        return;
    }
    if (!liveProxy)
        return;
    const QString sendToken = withToken ? savedToken : QString();
    const std::string digest = withToken ? std::string() : utf8(md5Hex(typed));
    bool started = false;
    if (shownMode == ModePhone) {
        logInfo("%s use passwd begin to login by phone.", phone);
        started = liveProxy->loginByPhone(utf8(phone), digest, zoneDigits(), utf8(sendToken));
    } else {
        logInfo("%s use passwd begin to login.", user);
        started = liveProxy->loginByPassword(utf8(user), digest, utf8(sendToken));
    }
    if (!started) {
        // Another job runs; its own result is still to come, so the
        // attempt's state stays as it was.
        refusedStart();
        return;
    }
    resetLoginState();
    mode = shownMode;
    if (mode == ModePhone)
        phoneNumber = phone;
    else
        userName = user;
    password = withToken ? QString() : typed;
    token = sendToken;
    tokenAttempt = withToken;
    setLoginButtonBusy();
}

bool login::runCaptchaPage(QString answer[5])
{
    WebPageFactory *pages = WebPages::factory();
    if (!pages) {
        // Told instead of the refusal that asked for the page.
        lastMessage = WebPages::unavailableText();
        return false;
    }
    const QString address = WebEndpoints::captchaPageUrl(LoginManager::getMacAddress(),
                                                         QString::fromLatin1(kClientVersion));
    const std::unique_ptr<CaptchaPage> page = pages->createCaptchaPage(nullptr);
    page->load(QUrl(address));
    if (page->dialog()->exec() != QDialog::Accepted)
        return false;
    const CaptchaAnswer a = page->answer();
    answer[0] = a.word;
    answer[1] = a.key;
    answer[2] = a.geetestChallenge;
    answer[3] = a.geetestValidate;
    answer[4] = a.geetestSeccode;
    return true;
}

bool login::runCaptchaFlow(bool &pageOpen, const CaptchaStart &startAttempt)
{
    if (pageOpen)
        return false;
    pageOpen = true;
    QString answer[5];
    const bool started = runCaptchaPage(answer) && liveProxy && startAttempt(answer, utf8(md5Hex(password)));
    pageOpen = false;
    if (!started)
        return false;
    loggedIn = false;
    lastCode = 0;
    lastMessage.clear();
    return true;
}

bool login::showCaptchaForNickname()
{
    return runCaptchaFlow(nicknameCaptchaOpen, [this](const QString *a, const std::string &digest) {
        return liveProxy->loginWithCaptcha(utf8(userName), digest, utf8(a[0]), utf8(a[1]), utf8(a[2]), utf8(a[3]),
                                           utf8(a[4]), utf8(token));
    });
}

bool login::showCaptchaForPhone()
{
    return runCaptchaFlow(phoneCaptchaOpen, [this](const QString *a, const std::string &digest) {
        return liveProxy->loginByPhoneWithCaptcha(utf8(phoneNumber), digest, zoneDigits(), utf8(a[0]), utf8(a[1]),
                                                  utf8(a[2]), utf8(a[3]), utf8(a[4]), utf8(token));
    });
}

void login::startOutsideAccount(int newMode, int kind, const char *logLine)
{
    if (!liveProxy)
        return;
    // The page ends in a token sign-in, which a running job would refuse:
    // the running attempt keeps its state and its result.
    if (liveProxy->taskThread().isBusy()) {
        Logger::instance()->write(Logger::LOG_INFO, "%s", logLine);
        refusedStart();
        return;
    }
    resetLoginState();
    mode = newMode;
    const bool started = liveProxy->thirdPartyLogin(kind, this);
    Logger::instance()->write(Logger::LOG_INFO, "%s", logLine);
    if (!started)
        refusedStart();
}

void login::on_button_QQ_clicked()
{
    startOutsideAccount(ModeQQ, 1, "use qq login.");
}

void login::on_button_WeChat_clicked()
{
    startOutsideAccount(ModeWeixin, 3, "use weixin login.");
}

void login::on_button_MicroBlog_clicked()
{
    startOutsideAccount(ModeWeibo, 2, "use weibo login.");
}

void login::refusedStart()
{
    setLoginButtonNormal(false);
    showTip(QStringLiteral("上一个登录请求尚未完成，请稍后再试!"));
}

// ---- looks -----------------------------------------------------------------

void login::setLoginButtonNormal(bool withHover)
{
    ui->button_login->setStyleSheet(withHover ? kLoginLookWithHover : kLoginLook);
}

void login::setLoginButtonBusy()
{
    ui->button_login->setStyleSheet(kLoginBusyLook);
}

void login::showFiller()
{
    ui->ledit_password->setText(kPasswordFiller);
    fillerShown = true;
}

void login::clearPassword()
{
    ui->ledit_password->clear();
    fillerShown = false;
}

void login::onPasswordEdited()
{
    fillerShown = false;
}

void login::isShowPsd()
{
    ui->ledit_password->setEchoMode(passwordToggle->isChecked() ? QLineEdit::Normal : QLineEdit::Password);
}

void login::initWidgets()
{
    ui->button_close->setStyleSheet(QStringLiteral(
        "QPushButton{border-image: url(:/image/skin/login/setdialog_close.png)}"
        "QPushButton:hover {border-image: url(:/image/skin/login/setdialog_close_hover.png);}"
        "QPushButton:pressed {border-image: url(:/image/skin/login/setdialog_close_press.png);}"));
    ui->button_close->setFocusPolicy(Qt::NoFocus);
    ui->label_8->setPixmap(QPixmap(QStringLiteral(":/image/skin/login/tip1.png")));
    ui->button_phonelogin->setStyleSheet(kTabActive);
    ui->button_nickname->setStyleSheet(kTabIdle);

    QMargins phoneMargins = ui->ledit_password->textMargins();
    phoneMargins.setLeft(phoneMargins.left() + 15);
    ui->ledit_phonenumber->setTextMargins(phoneMargins);
    ui->stackedWidget_2->setCurrentWidget(ui->page_3);

    QComboBox *box = ui->combo_Area_code;
    box->setItemDelegate(new MvComboBoxItemDelegate(box));
    box->setStyleSheet(QStringLiteral(
        "QComboBox{border:1px solid #DEE5F5;background:#F8FCFF;color:#6C7B85;font:12px \"微软雅黑\";"
        "padding-left:12px;padding-right:6px;}"
        "QComboBox QAbstractItemView{border:1px solid #DEE5F5;background:white;outline:0px;}"
        "QComboBox QAbstractItemView::item{height:30px;background:white;color:#262938;}"
        "QComboBox QAbstractItemView::item:hover{background:#ff5500;color:white;}"
        "QComboBox::drop-down{background:#F8FCFF;border:none;}"
        "QComboBox::drop-down:on{background:#F8FCFF;}"
        "QComboBox::down-arrow{image:url(:/image/skin/login/login_combox_down.png);padding-left:-16px;}"
        "QComboBox::down-arrow:on{image:url(:/image/skin/login/login_combox_up.png);padding-left:-16px;}"));
    box->setEditable(true);
    // Typed text never becomes a row of its own.
    box->setInsertPolicy(QComboBox::NoInsert);
    const QVector<DialCodeEntry> &rows = CountryDialCodeTable::rows();
    for (int i = 0; i < rows.size(); ++i)
        box->insertItem(i, rows.at(i).label, rows.at(i).code);
    box->setMaxVisibleItems(6);
    box->view()->setFixedWidth(300);
    connect(box, SIGNAL(activated(int)), this, SLOT(onAeroCodeComboClicked(int)));
    connect(box->lineEdit(), SIGNAL(editingFinished()), this, SLOT(onAreaCodeEdited()));

    auto *head = new QLabel(ui->ledit_username);
    head->setPixmap(QPixmap(QStringLiteral(":/image/skin/login/login-head.png")));
    head->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    head->setFixedSize(15, 16);
    auto *headLayout = new QHBoxLayout(ui->ledit_username);
    headLayout->addWidget(head);
    headLayout->addStretch();
    headLayout->setContentsMargins(10, 0, 10, 0);
    QMargins nameMargins = ui->ledit_username->textMargins();
    nameMargins.setLeft(head->width() + 15);
    ui->ledit_username->setTextMargins(nameMargins);

    auto *lock = new QLabel(ui->ledit_password);
    lock->setPixmap(QPixmap(QStringLiteral(":/image/skin/login/login_psd.png")));
    lock->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lock->setFixedSize(14, 17);
    passwordToggle = new QPushButton(ui->ledit_password);
    passwordToggle->setObjectName(QStringLiteral("passwordToggle"));
    passwordToggle->setCheckable(true);
    passwordToggle->setCursor(Qt::PointingHandCursor);
    passwordToggle->setFixedSize(16, 12);
    passwordToggle->setStyleSheet(
        QStringLiteral("QPushButton{border-image:url(:/image/skin/login/hidePsd.png);}"
                       "QPushButton:checked{border-image:url(:/image/skin/login/showPsd.png)}"));
    connect(passwordToggle, SIGNAL(clicked(bool)), this, SLOT(isShowPsd()));
    auto *passwordLayout = new QHBoxLayout(ui->ledit_password);
    passwordLayout->setSpacing(0);
    passwordLayout->addWidget(lock);
    passwordLayout->addStretch();
    passwordLayout->addWidget(passwordToggle);
    passwordLayout->setContentsMargins(10, 0, 10, 0);
    QMargins passwordMargins = ui->ledit_password->textMargins();
    passwordMargins.setLeft(lock->width() + 15);
    passwordMargins.setRight(passwordToggle->width());
    ui->ledit_password->setTextMargins(passwordMargins);

    ui->ledit_phonenumber->setPlaceholderText(QStringLiteral("请输入电话号码"));
    ui->ledit_username->setPlaceholderText(QStringLiteral("请输入用户昵称"));
    ui->ledit_password->setPlaceholderText(QStringLiteral("请输入您的密码"));
    ui->ledit_password->setEchoMode(QLineEdit::Password);
    for (QLineEdit *field : {ui->ledit_phonenumber, ui->ledit_username, ui->ledit_password})
        field->setContextMenuPolicy(Qt::NoContextMenu);
    connect(ui->ledit_password, SIGNAL(textEdited(QString)), this, SLOT(onPasswordEdited()));

    setLoginButtonNormal(true);
    ui->ledit_password->installEventFilter(this);
    ui->label_5register->installEventFilter(this);
    ui->label_forgetPsd->installEventFilter(this);
    ui->autologinCheck->setStyleSheet(QStringLiteral(
        "QCheckBox {color: #6C7B85;font: 14px \"微软雅黑\";}"
        "QCheckBox::indicator:unchecked {image: url(:/image/skin/login/unchoosed.png);color: #6C7B85;font: 14px \"微软雅黑\";}"
        "QCheckBox::indicator:checked {image: url(:/image/skin/login/choose.png);color: #6C7B85;font: 14px \"微软雅黑\";}"));
    const struct
    {
        QPushButton *button;
        const char *picture;
    } outside[] = {{ui->button_QQ, "qq"}, {ui->button_WeChat, "wechat"}, {ui->button_MicroBlog, "microblog"}};
    for (const auto &o : outside) {
        o.button->setStyleSheet(QStringLiteral("QPushButton{border-image:url(:/image/skin/login/%1.png);}"
                                               "QPushButton:hover{border-image:url(:/image/skin/login/%1_hover.png);}")
                                    .arg(QLatin1String(o.picture)));
    }
    for (QWidget *w : std::initializer_list<QWidget *>{ui->label_5register, ui->button_login, ui->button_phonelogin,
                                                       ui->button_nickname, ui->autologinCheck, ui->label_forgetPsd,
                                                       ui->button_QQ, ui->button_WeChat, ui->button_MicroBlog})
        w->setCursor(Qt::PointingHandCursor);
}
