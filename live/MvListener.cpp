#include "MvListener.h"

namespace {

QString utf8(const std::string &s)
{
    return QString::fromUtf8(s.data(), int(s.size()));
}

// The login result is read as C strings, as the 8-bit QString constructor
// reads them: UTF-8 up to the first zero byte.
QString utf8z(const std::string &s)
{
    return QString::fromUtf8(s.c_str());
}

} // namespace

MvListener::MvListener()
    : QObject(nullptr)
{
}

void MvListener::OnVideoFps(int fps)
{
    emit signal_setVideoFPS(fps);
}

void MvListener::OnReserved1(std::int32_t, std::int32_t)
{
}

void MvListener::OnReserved2(std::int32_t, std::int32_t, std::int32_t)
{
}

void MvListener::OnAudioLevel(int type, int level)
{
    emit signal_notifyAudioLevel(type, level);
}

void MvListener::OnKbps(float kbps)
{
    emit signal_setKBPS(kbps);
}

void MvListener::OnSystemPerformance(int cpu, int mem)
{
    emit signal_setSystemPerformance(cpu, mem);
}

void MvListener::OnFrameDropped(std::int64_t total, float percent)
{
    emit signal_setFrameDroppedPercent(qlonglong(total), percent);
}

void MvListener::OnLoginReturn(std::string name, std::string longToken, std::string errorMsg, int code)
{
    emit signal_loginReturn(utf8z(name), utf8z(longToken), utf8z(errorMsg), code);
}

void MvListener::OnLoginStatus(int code)
{
    emit signal_loginStatus(code);
}

void MvListener::OnLiveStatus(std::string message, int code)
{
    emit signal_notifyLiveStatus(utf8(message), code);
}

void MvListener::OnCameraTurnStatus(bool horizontal, bool vertical)
{
    emit signal_notifyCameraTurnStatus(horizontal, vertical);
}

void MvListener::OnNewBlacker(int id)
{
    emit signal_notifyNewBlacker(id);
}

void MvListener::OnNewBarrage(int id, const std::string &name, const std::string &content, int level)
{
    emit signal_notifyNewBarrage(id, utf8(name), utf8(content), level);
}

void MvListener::OnDonaterMsg(const std::string &nick, int price)
{
    emit signal_notifyDonaterMsg(utf8(nick), price);
}

void MvListener::OnAmberMsg(const std::string &nick, int id, const std::string &giftName, int price)
{
    emit signal_notifyAmberMsg(utf8(nick), id, utf8(giftName), price);
}

void MvListener::OnMeritMsg(const std::string &nick, int level)
{
    emit signal_notifyMeritMsg(utf8(nick), level);
}

void MvListener::OnReceiveQRCode(const std::string &url, const std::string &code, int expire, int errorCode)
{
    emit signal_receiveQRCode(utf8(url), utf8(code), expire, errorCode);
}
