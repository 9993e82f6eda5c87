#include "ErrorTexts.h"

#include <QHash>

namespace livetexts {

namespace {

const QHash<int, QString> &errorTable()
{
    static const QHash<int, QString> table = {
        {1, QStringLiteral("用户名或密码错误!")},
        {204, QStringLiteral("该摩瓦账号不存在!")},
        {205, QStringLiteral("密码错误!")},
        {206, QStringLiteral("您的账号已被限制!")},
        {207, QStringLiteral("请输入有效的用户名!")},
        {209, QStringLiteral("今日密码错误次数过多已被禁止登录!")},
        {210, QStringLiteral("网络异常!")},
        {211, QStringLiteral("账号在别处登录!")},
        {212, QStringLiteral("连接服务器失败!")},
        {213, QStringLiteral("服务器断开连接!")},
        {214, QStringLiteral("您不是主播，不能使用直播功能!")},
        {215, QStringLiteral("您的房间不存在，不能使用直播功能!")},
        {216, QStringLiteral("您的房间未激活，不能使用直播功能!")},
        {217, QStringLiteral("您的房间被超管关闭，暂时不能直播!")},
        {218, QStringLiteral("该房间已经开启，无法获取推流地址，请关闭房间再试!")},
        {219, QStringLiteral("房间已经关闭!")},
        {220, QStringLiteral("账号未进行手机验证，暂时无法直播!")},
        {221, QStringLiteral("账号未进行实名认证，暂时无法直播!")},
        {222, QStringLiteral("本次开播地点与您常用的开播地点不同，为了保障您的账号安全，系统已经向您的绑定邮箱发送了一份开播验证邮件，请进行邮件验证!")},
        {223, QStringLiteral("请用该账号登录摩瓦官网-个人中心-直播设置-点击开始直播进行相关设置!")},
        {225, QStringLiteral("请在邮件验证同一浏览器或相同地点开播!")},
        {226, QStringLiteral("直播间当前分类不可用,请登录网页修改后再开播!")},
        {233, QStringLiteral("很抱歉，您被限制不能开播\r\n您的身份证或账号（手机号）已被列入黑名单，如有疑问请与客服联系!")},
        {326, QStringLiteral("您已主动关闭直播间!")},
        {327, QStringLiteral("您的房间长时间没有观众观看，系统已自动帮您关闭直播间!")},
        {328, QStringLiteral("您的直播间播放违禁内容,已经被超管封禁!")},
        {426, QStringLiteral("打开直播间操作失败!请登录网页尝试相关操作!")},
    };
    return table;
}

const char *const kFormatNames[] = {"YUY2", "YVYU", "UYVY", "I420", "RGB32", "RGB24", "MJPG"};
constexpr int kFormatCount = int(sizeof(kFormatNames) / sizeof(kFormatNames[0]));

} // namespace

QString errorMessage(int code)
{
    const auto it = errorTable().constFind(code);
    if (it != errorTable().constEnd())
        return it.value();
    return QStringLiteral("未知错误 error code:%1，如有疑问请与客服联系!").arg(code);
}

std::string colorFormatName(int format)
{
    if (format >= 0 && format < kFormatCount)
        return kFormatNames[format];
    return "NONE";
}

int colorFormatFromName(const std::string &name)
{
    for (int i = 0; i < kFormatCount; ++i)
        if (name == kFormatNames[i])
            return i;
    return CameraColorFormat_NONE;
}

} // namespace livetexts
