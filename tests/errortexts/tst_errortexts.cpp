#include "ErrorTexts.h"

#include <QtTest>

using namespace livetexts;

class TestErrorTexts : public QObject
{
    Q_OBJECT
private slots:
    void errorMessage_data();
    void errorMessage();
    void colorFormatNames_data();
    void colorFormatNames();
    void colorFormatFromUnknownNames_data();
    void colorFormatFromUnknownNames();
};

void TestErrorTexts::errorMessage_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("1") << 1 << QStringLiteral("用户名或密码错误!");
    QTest::newRow("204") << 204 << QStringLiteral("该摩瓦账号不存在!");
    QTest::newRow("205") << 205 << QStringLiteral("密码错误!");
    QTest::newRow("206") << 206 << QStringLiteral("您的账号已被限制!");
    QTest::newRow("207") << 207 << QStringLiteral("请输入有效的用户名!");
    QTest::newRow("209") << 209 << QStringLiteral("今日密码错误次数过多已被禁止登录!");
    QTest::newRow("210") << 210 << QStringLiteral("网络异常!");
    QTest::newRow("211") << 211 << QStringLiteral("账号在别处登录!");
    QTest::newRow("212") << 212 << QStringLiteral("连接服务器失败!");
    QTest::newRow("213") << 213 << QStringLiteral("服务器断开连接!");
    QTest::newRow("214") << 214 << QStringLiteral("您不是主播，不能使用直播功能!");
    QTest::newRow("215") << 215 << QStringLiteral("您的房间不存在，不能使用直播功能!");
    QTest::newRow("216") << 216 << QStringLiteral("您的房间未激活，不能使用直播功能!");
    QTest::newRow("217") << 217 << QStringLiteral("您的房间被超管关闭，暂时不能直播!");
    QTest::newRow("218") << 218 << QStringLiteral("该房间已经开启，无法获取推流地址，请关闭房间再试!");
    QTest::newRow("219") << 219 << QStringLiteral("房间已经关闭!");
    QTest::newRow("220") << 220 << QStringLiteral("账号未进行手机验证，暂时无法直播!");
    QTest::newRow("221") << 221 << QStringLiteral("账号未进行实名认证，暂时无法直播!");
    QTest::newRow("222") << 222
                         << QStringLiteral("本次开播地点与您常用的开播地点不同，为了保障您的账号安全，系统已经向您的绑定邮箱"
                                           "发送了一份开播验证邮件，请进行邮件验证!");
    QTest::newRow("223") << 223 << QStringLiteral("请用该账号登录摩瓦官网-个人中心-直播设置-点击开始直播进行相关设置!");
    QTest::newRow("225") << 225 << QStringLiteral("请在邮件验证同一浏览器或相同地点开播!");
    QTest::newRow("226") << 226 << QStringLiteral("直播间当前分类不可用,请登录网页修改后再开播!");
    QTest::newRow("233") << 233
                         << QStringLiteral("很抱歉，您被限制不能开播") + QLatin1String("\r\n")
                                + QStringLiteral("您的身份证或账号（手机号）已被列入黑名单，如有疑问请与客服联系!");
    QTest::newRow("326") << 326 << QStringLiteral("您已主动关闭直播间!");
    QTest::newRow("327") << 327 << QStringLiteral("您的房间长时间没有观众观看，系统已自动帮您关闭直播间!");
    QTest::newRow("328") << 328 << QStringLiteral("您的直播间播放违禁内容,已经被超管封禁!");
    QTest::newRow("426") << 426 << QStringLiteral("打开直播间操作失败!请登录网页尝试相关操作!");
    const QString unknown = QStringLiteral("未知错误 error code:%1，如有疑问请与客服联系!");
    for (int code : {0, -5, -1, 2, 81, 203, 208, 224, 227, 229, 232, 234, 325, 329, 425, 427, 100000})
        QTest::addRow("unknown %d", code) << code << unknown.arg(code);
}

void TestErrorTexts::errorMessage()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(livetexts::errorMessage(code), text);
}

void TestErrorTexts::colorFormatNames_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("name");
    const char *names[] = {"YUY2", "YVYU", "UYVY", "I420", "RGB32", "RGB24", "MJPG"};
    for (int i = 0; i < 7; ++i)
        QTest::newRow(names[i]) << i << QString::fromLatin1(names[i]);
}

void TestErrorTexts::colorFormatNames()
{
    QFETCH(int, format);
    QFETCH(QString, name);
    QCOMPARE(QString::fromStdString(colorFormatName(format)), name);
    QCOMPARE(colorFormatFromName(name.toStdString()), format);
}

void TestErrorTexts::colorFormatFromUnknownNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("NONE") << "NONE";
    QTest::newRow("lower case") << "yuy2";
    QTest::newRow("mixed case") << "Mjpg";
    QTest::newRow("padded") << " RGB24";
    QTest::newRow("empty") << "";
    QTest::newRow("prefix") << "RGB";
}

void TestErrorTexts::colorFormatFromUnknownNames()
{
    QFETCH(QString, name);
    QCOMPARE(colorFormatFromName(name.toStdString()), int(CameraColorFormat_NONE));
    for (int format : {7, 8, -1, 100})
        QCOMPARE(colorFormatName(format), std::string("NONE"));
}

QTEST_GUILESS_MAIN(TestErrorTexts)
#include "tst_errortexts.moc"
