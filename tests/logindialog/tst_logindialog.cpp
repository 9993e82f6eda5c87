// The login dialog on the real facade, listener, account-service layer, QR
// encoder and web dialogs; the settings store on a real file.

#include "LoginFixture.h"

#include "CountryDialCodeTable.h"
#include "FixedWebSources.h"
#include "HttpStub.h"
#include "LogCapture.h"
#include "Md5.h"
#include "ModalDriver.h"
#include "ModalWatchdog.h"
#include "MvToolTip.h"
#include "UrlOpenRecorder.h"
#include "VerifyWebDlg.h"
#include "WebEndpoints.h"
#include "WebViewDlg.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebView>

using namespace logintest;
using testsupport::HttpResponse;
using testsupport::HttpStub;
using testsupport::LogCapture;
using testsupport::ModalDriver;
using testsupport::ModalWatchdog;
using testsupport::ScopedHosts;
using testsupport::UrlOpenRecorder;

namespace {

template <typename T = QWidget>
T *child(const LoginFixture &f, const char *name)
{
    return f.dialog->findChild<T *>(QLatin1String(name));
}

QByteArray accountFile(const QJsonObject &account)
{
    return QJsonDocument(QJsonObject{{"account", account}}).toJson();
}

QString md5(const QString &text)
{
    std::string digest;
    md5HexString(text.toUtf8().toStdString(), &digest);
    return QString::fromStdString(digest);
}

QStringList argsOf(const mvplatform::CallRecord &record)
{
    QStringList out;
    for (const std::string &a : record.args)
        out << QString::fromStdString(a);
    return out;
}

QStringList lastArgs(const LoginFixture &f, const std::string &op)
{
    const auto record = f.auth().last(op);
    return record ? argsOf(*record) : QStringList{QStringLiteral("<no call>")};
}

} // namespace

class TestLoginDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // form and looks
    void formGeometry_data();
    void formGeometry();
    void formTexts_data();
    void formTexts();
    void stateAfterConstruction();
    void skinPictures();

private:
    std::unique_ptr<testsupport::TempEnvironment> m_env;
};

void TestLoginDialog::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("MorvaShow"));
}

void TestLoginDialog::init()
{
    webtest::fixWebSources();
    WebEndpoints::clearOverrides();
}

void TestLoginDialog::cleanup()
{
    webtest::restoreWebSources();
    WebEndpoints::clearOverrides();
}

// ---- form and looks ---------------------------------------------------------

void TestLoginDialog::formGeometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QRect>("geometry");

    const struct
    {
        const char *name;
        const char *className;
        const char *parent;
        QRect rect;
    } rows[] = {
        {"button_loginbypsw", "QPushButton", "page", {300, 0, 42, 42}},
        {"label", "QLabel", "page", {30, 0, 171, 21}},
        {"label_QR_code", "QLabel", "page", {36, 96, 142, 142}},
        {"line_6", "Line", "page", {35, 95, 143, 1}},
        {"line_7", "Line", "page", {35, 238, 143, 1}},
        {"line_8", "Line", "page", {35, 95, 1, 143}},
        {"line_9", "Line", "page", {178, 95, 1, 143}},
        {"label_10", "QLabel", "page", {36, 96, 142, 142}},
        {"button_QR_refresh", "QPushButton", "page", {50, 181, 121, 31}},
        {"label_4", "QLabel", "page", {190, 66, 227, 221}},
        {"label_3", "QLabel", "page", {188, 25, 137, 25}},
        {"label_scan", "QLabel", "page", {110, 293, 32, 32}},
        {"label_6", "QLabel", "page", {160, 287, 31, 21}},
        {"label_morvaAPP", "QLabel", "page", {200, 287, 61, 20}},
        {"label_7", "QLabel", "page", {160, 310, 71, 16}},
        {"label_loginbypsd", "QLabel", "page", {190, 351, 61, 20}},
        {"line_5", "Line", "page", {250, 355, 20, 15}},
        {"label_register", "QLabel", "page", {270, 350, 61, 21}},
        {"button_loginbyQRcode", "QPushButton", "page_2", {300, 0, 42, 42}},
        {"label_2", "QLabel", "page_2", {30, 0, 121, 21}},
        {"label_9", "QLabel", "page_2", {170, 0, 61, 16}},
        {"label_5register", "QLabel", "page_2", {230, 0, 54, 16}},
        {"label_8", "QLabel", "page_2", {188, 25, 137, 25}},
        {"line_3", "Line", "page_2", {20, 20, 166, 20}},
        {"button_phonelogin", "QPushButton", "page_2", {20, 50, 75, 23}},
        {"line_4", "Line", "page_2", {90, 54, 15, 18}},
        {"button_nickname", "QPushButton", "page_2", {105, 50, 75, 23}},
        {"stackedWidget_2", "QStackedWidget", "page_2", {30, 90, 300, 35}},
        {"combo_Area_code", "QComboBox", "page_3", {0, 0, 95, 35}},
        {"ledit_phonenumber", "QLineEdit", "page_3", {100, 0, 200, 35}},
        {"ledit_username", "QLineEdit", "page_4", {0, 0, 296, 35}},
        {"ledit_password", "QLineEdit", "page_2", {30, 145, 300, 35}},
        {"button_login", "QPushButton", "page_2", {22, 195, 314, 54}},
        {"autologinCheck", "QCheckBox", "page_2", {30, 255, 81, 21}},
        {"label_forgetPsd", "QLabel", "page_2", {260, 255, 71, 21}},
        {"line", "Line", "page_2", {10, 290, 101, 20}},
        {"line_2", "Line", "page_2", {240, 290, 101, 20}},
        {"label_5", "QLabel", "page_2", {120, 290, 111, 20}},
        {"button_QQ", "QPushButton", "page_2", {34, 320, 52, 52}},
        {"button_WeChat", "QPushButton", "page_2", {154, 320, 52, 52}},
        {"button_MicroBlog", "QPushButton", "page_2", {274, 320, 52, 52}},
    };
    for (const auto &r : rows)
        QTest::newRow(r.name) << QString(r.name) << QString(r.className) << QString(r.parent) << r.rect;
}

void TestLoginDialog::formGeometry()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, parentName);
    QFETCH(QRect, geometry);

    LoginFixture f;
    QWidget *w = f.dialog->findChild<QWidget *>(name);
    QVERIFY2(w, qPrintable(name));
    if (className == QLatin1String("Line"))
        QCOMPARE(w->metaObject()->className(), "QFrame");
    else
        QVERIFY(w->inherits(className.toLatin1().constData()));
    QVERIFY(w->parentWidget());
    QCOMPARE(w->parentWidget()->objectName(), parentName);
    QCOMPARE(w->geometry(), geometry);
}

void TestLoginDialog::formTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("label") << "label" << QStringLiteral("手机扫码，安全登录");
    QTest::newRow("label_10") << "label_10" << QStringLiteral("二维码已失效");
    QTest::newRow("button_QR_refresh") << "button_QR_refresh" << QStringLiteral("点击刷新");
    QTest::newRow("label_6") << "label_6" << QStringLiteral("打开");
    QTest::newRow("label_morvaAPP") << "label_morvaAPP" << QStringLiteral("手机摩瓦");
    QTest::newRow("label_7") << "label_7" << QStringLiteral("扫一扫登录");
    QTest::newRow("label_loginbypsd") << "label_loginbypsd" << QStringLiteral("密码登录");
    QTest::newRow("label_register") << "label_register" << QStringLiteral("免费注册");
    QTest::newRow("label_2") << "label_2" << QStringLiteral("登录摩瓦");
    QTest::newRow("label_9") << "label_9" << QStringLiteral("没有账号？");
    QTest::newRow("label_5register") << "label_5register" << QStringLiteral("5秒注册>");
    QTest::newRow("button_phonelogin") << "button_phonelogin" << QStringLiteral("手机登录");
    QTest::newRow("button_nickname") << "button_nickname" << QStringLiteral("昵称登录");
    QTest::newRow("button_login") << "button_login" << QString();
    QTest::newRow("autologinCheck") << "autologinCheck" << QStringLiteral("自动登录");
    QTest::newRow("label_forgetPsd") << "label_forgetPsd" << QStringLiteral("忘记密码？");
    QTest::newRow("label_5") << "label_5" << QStringLiteral("第三方账号直接登录");
    QTest::newRow("ledit_phonenumber placeholder") << "ledit_phonenumber" << QStringLiteral("请输入电话号码");
    QTest::newRow("ledit_username placeholder") << "ledit_username" << QStringLiteral("请输入用户昵称");
    QTest::newRow("ledit_password placeholder") << "ledit_password" << QStringLiteral("请输入您的密码");
}

void TestLoginDialog::formTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);

    LoginFixture f;
    QWidget *w = f.dialog->findChild<QWidget *>(name);
    QVERIFY2(w, qPrintable(name));
    if (auto *label = qobject_cast<QLabel *>(w))
        QCOMPARE(label->text(), text);
    else if (auto *button = qobject_cast<QAbstractButton *>(w))
        QCOMPARE(button->text(), text);
    else if (auto *edit = qobject_cast<QLineEdit *>(w))
        QCOMPARE(edit->placeholderText(), text);
    else
        QFAIL("no text widget");
}

void TestLoginDialog::stateAfterConstruction()
{
    HttpStub stub;
    ScopedHosts hosts(QStringList{"webApi", "clientApi", "passport", "site", "analytics", "music"}, stub.hostPort());
    authport::control().log().clear();
    LoginFixture f;

    QCOMPARE(f.dialog->size(), QSize(360, 425));
    QCOMPARE(f.dialog->windowTitle(), QStringLiteral("login"));
    QCOMPARE(int(f.dialog->windowFlags() & Qt::WindowType_Mask), 15);
    QCOMPARE(f.dialog->focusPolicy(), Qt::ClickFocus);
    QCOMPARE(f.dialog->palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(f.dialog->isHidden());

    auto *pages = child<QStackedWidget>(f, "stackedWidget");
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("page"));
    QCOMPARE(child<QStackedWidget>(f, "stackedWidget_2")->currentWidget()->objectName(), QStringLiteral("page_3"));
    QCOMPARE(child<QPushButton>(f, "button_phonelogin")->styleSheet(),
             QStringLiteral("QPushButton{color:#ff4b2f;font: 14px \"微软雅黑\";border:none}"));
    QCOMPARE(child<QPushButton>(f, "button_nickname")->styleSheet(),
             QStringLiteral("QPushButton{color:#34495e;font: 14px \"微软雅黑\";border:none}"));
    QVERIFY(child(f, "label_10")->isHidden());
    QVERIFY(child(f, "button_QR_refresh")->isHidden());
    QVERIFY(child<QCheckBox>(f, "autologinCheck")->isChecked());
    QCOMPARE(child<QLineEdit>(f, "ledit_password")->echoMode(), QLineEdit::Password);
    QCOMPARE(child<QComboBox>(f, "combo_Area_code")->currentText(), QStringLiteral("+86"));
    QCOMPARE(f.dialog->currentMode(), 0);
    QCOMPARE(f.dialog->currentZone(), QStringLiteral("+86"));

    // Qt would click a default button on Return, next to the password
    // field's own sign-in.
    for (QPushButton *b : f.dialog->findChildren<QPushButton *>()) {
        QVERIFY2(!b->isDefault(), qPrintable(b->objectName()));
        QVERIFY2(!b->autoDefault(), qPrintable(b->objectName()));
    }

    MvToolTip *tip = f.dialog->messageTip();
    QVERIFY(tip);
    QCOMPARE(tip->size(), QSize(300, 35));
    QVERIFY(tip->isHidden());
    QCOMPARE(tip->palette().color(QPalette::WindowText), QColor(Qt::red));
    QCOMPARE(tip->palette().color(QPalette::Window), QColor(Qt::darkGray));

    // Building the dialog makes no web view and sends nothing (the facade's
    // own server-time request went out before).
    QTest::qWait(50);
    stub.clearRequests();
    f.auth().clear();
    login second(nullptr);
    second.setLiveProxy(f.proxy());
    second.setConfig(f.config.get());
    QVERIFY(second.findChildren<QWebView *>().isEmpty());
    QTest::qWait(50);
    QCOMPARE(stub.requestCount(), 0);
    QCOMPARE(f.auth().all().size(), size_t(0));
}

void TestLoginDialog::skinPictures()
{
    const struct
    {
        const char *name;
        QSize size;
    } pictures[] = {
        {"normal_login.png", {42, 42}},      {"QRCode_login.png", {42, 42}},
        {"phone.png", {227, 221}},           {"tip1.png", {137, 25}},
        {"tip2.png", {137, 25}},             {"scan.png", {32, 32}},
        {"qq.png", {52, 52}},                {"qq_hover.png", {52, 52}},
        {"wechat.png", {52, 52}},            {"wechat_hover.png", {52, 52}},
        {"microblog.png", {52, 52}},         {"microblog_hover.png", {52, 52}},
        {"setdialog_close.png", {12, 12}},   {"setdialog_close_hover.png", {12, 12}},
        {"setdialog_close_press.png", {12, 12}},
        {"login.png", {314, 54}},            {"login_pressed.png", {314, 54}},
        {"logining.png", {314, 54}},         {"unchoosed.png", {14, 14}},
        {"choose.png", {14, 14}},            {"login_combox_down.png", {10, 6}},
        {"login_combox_up.png", {10, 6}},    {"login-head.png", {15, 16}},
        {"login_psd.png", {14, 17}},         {"hidePsd.png", {16, 12}},
        {"showPsd.png", {16, 12}},
    };
    QCOMPARE(int(sizeof(pictures) / sizeof(pictures[0])), 26);
    for (const auto &p : pictures) {
        const QPixmap pixmap(QStringLiteral(":/image/skin/login/") + QLatin1String(p.name));
        QVERIFY2(!pixmap.isNull(), p.name);
        QCOMPARE(pixmap.size(), p.size);
    }
}

QTEST_MAIN(TestLoginDialog)
#include "tst_logindialog.moc"
