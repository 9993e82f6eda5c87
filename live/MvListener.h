#pragma once

#include "IListener.h"

#include <QObject>
#include <QString>

// Turns each listener call into one Qt signal. It only emits: receivers on
// the GUI thread connect with queued connections.
class MvListener : public QObject, public IListener
{
    Q_OBJECT
public:
    MvListener();

    void OnVideoFps(int fps) override;
    void OnReserved1(std::int32_t a, std::int32_t b) override;
    void OnReserved2(std::int32_t a, std::int32_t b, std::int32_t c) override;
    void OnAudioLevel(int type, int level) override;
    void OnKbps(float kbps) override;
    void OnSystemPerformance(int cpu, int mem) override;
    void OnFrameDropped(std::int64_t total, float percent) override;
    void OnLoginReturn(std::string name, std::string longToken, std::string errorMsg, int code) override;
    void OnLoginStatus(int code) override;
    void OnLiveStatus(std::string message, int code) override;
    void OnCameraTurnStatus(bool horizontal, bool vertical) override;
    void OnNewBlacker(int id) override;
    void OnNewBarrage(int id, const std::string &name, const std::string &content, int level) override;
    void OnDonaterMsg(const std::string &nick, int price) override;
    void OnAmberMsg(const std::string &nick, int id, const std::string &giftName, int price) override;
    void OnMeritMsg(const std::string &nick, int level) override;
    void OnReceiveQRCode(const std::string &url, const std::string &code, int expire, int errorCode) override;

signals:
    void signal_setSystemPerformance(int cpu, int mem);
    void signal_setVideoFPS(int fps);
    void signal_setFrameDroppedPercent(qlonglong drop_total, float dp);
    void signal_setKBPS(float kbps);
    void signal_loginReturn(QString name, QString longtoken, QString errorMsg, int code);
    void signal_loginStatus(int code);
    void signal_notifyAudioLevel(int type, int level);
    void signal_notifyLiveStatus(QString qErrorMsg, int code);
    void signal_notifyCameraTurnStatus(bool bHTurn, bool bVTurn);
    void signal_notifyNewBlacker(int id);
    void signal_notifyNewBarrage(int id, QString sname, QString content, int lev);
    void signal_notifyDonaterMsg(QString nick_name, int price);
    void signal_notifyAmberMsg(QString nick_name, int id, QString gift_name, int price);
    void signal_notifyMeritMsg(QString nick_name, int lev);
    void signal_receiveQRCode(QString url, QString code, int exprie, int errorcode);
};
