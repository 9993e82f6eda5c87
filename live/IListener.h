#pragma once

#include <cstdint>
#include <string>

// How the live facade reports to the user interface. It calls these from
// whatever thread the libraries or the job thread run on; texts are UTF-8.
class IListener
{
public:
    IListener() = default;
    virtual ~IListener() = default;

    virtual void OnVideoFps(int fps) = 0;
    virtual void OnReserved1(std::int32_t a, std::int32_t b) = 0;
    virtual void OnReserved2(std::int32_t a, std::int32_t b, std::int32_t c) = 0;
    virtual void OnAudioLevel(int type, int level) = 0;
    virtual void OnKbps(float kbps) = 0;
    virtual void OnSystemPerformance(int cpu, int mem) = 0;
    virtual void OnFrameDropped(std::int64_t total, float percent) = 0;
    virtual void OnLoginReturn(std::string name, std::string longToken, std::string errorMsg, int code) = 0;
    virtual void OnLoginStatus(int code) = 0;
    virtual void OnLiveStatus(std::string message, int code) = 0;
    virtual void OnCameraTurnStatus(bool horizontal, bool vertical) = 0;
    virtual void OnNewBlacker(int id) = 0;
    virtual void OnNewBarrage(int id, const std::string &name, const std::string &content, int level) = 0;
    virtual void OnDonaterMsg(const std::string &nick, int price) = 0;
    virtual void OnAmberMsg(const std::string &nick, int id, const std::string &giftName, int price) = 0;
    virtual void OnMeritMsg(const std::string &nick, int level) = 0;
    virtual void OnReceiveQRCode(const std::string &url, const std::string &code, int expire, int errorCode) = 0;
};
