#include "LiveProxy.h"

#include "IListener.h"
#include "Logger.h"

#include <QMutexLocker>

// Logged-in, live and recording state as teardown and analytics need it;
// the jobs that sign in and open the room build on these.

void LiveProxy::setLoggedIn(bool loggedIn)
{
    {
        QMutexLocker lock(&m_taskMutex);
        m_loggedIn = loggedIn;
    }
    emit LoginResult(loggedIn);
}

void LiveProxy::setLiveBusy(bool busy)
{
    QMutexLocker lock(&m_taskMutex);
    m_liveBusy = busy;
}

void LiveProxy::logout()
{
    setLoggedIn(false);
}

bool LiveProxy::startRecording(const std::string &path)
{
    if (path.empty() || !m_recorder)
        return false;
    const bool started = m_recorder->Start(path.c_str());
    if (started)
        m_recording = true;
    return started;
}

void LiveProxy::stopRecording()
{
    if (m_recording && m_recorder)
        m_recorder->Stop();
    m_recording = false;
}

void LiveProxy::endLive()
{
    if (m_scene)
        m_scene->SetLive(false);
    setLiveBusy(false);
    stopRecording();
}

int LiveProxy::userId()
{
    int uid = -1;
    if (m_netService)
        m_netService->GetUserId(&uid);
    return uid;
}

int LiveProxy::roomId()
{
    return m_netService && isAnchor() ? m_netService->GetRoomId() : -1;
}

bool LiveProxy::isAnchor()
{
    return m_netService && m_netService->IsAnchor();
}

void LiveProxy::reportAction(int action, int value)
{
    int uid = 0;
    int rid = 0;
    if (isLoggedIn()) {
        uid = std::max(0, userId());
        rid = std::max(0, roomId());
    }
    m_pointing.Report(action, value, uid, rid);
}

void LiveProxy::on_login_room(QString room)
{
    if (m_scene)
        m_scene->SetPushUrl(room.toLatin1().constData(), 1, 0);
}

void LiveProxy::on_open_live()
{
    Logger::instance()->write(Logger::LOG_DEBUG, "open live :  -> on_open_live.");
    if (m_scene)
        m_scene->SetLive(true);
    if (!m_recordPath.empty())
        startRecording(m_recordPath);
}

void LiveProxy::on_close_live()
{
    endLive();
}

void LiveProxy::on_login_result(bool success)
{
    if (!success)
        m_openStatus = false;
}

// The sign-in jobs, the live lines and the room messages fill the bodies
// that are still empty below: they need the job thread.
void LiveProxy::slot_thirdpartyLoginSucceed(QString)
{
}

void LiveProxy::slot_thirdpartyLoginFailed(int, QString errorMsg)
{
    if (m_listener)
        m_listener->OnLoginReturn(std::string(), std::string(), errorMsg.toUtf8().toStdString(), -1);
}

void LiveProxy::onWebResponse(QString, QByteArray)
{
}

void LiveProxy::OnVideoFps(int fps)
{
    if (m_listener)
        m_listener->OnVideoFps(fps);
    m_fps = fps;
}

void LiveProxy::GetPushUrl(char *, int, int)
{
}

void LiveProxy::OnPushState(const char *, bool, int)
{
}

void LiveProxy::OnAudioLevel(int type, int level)
{
    if (m_listener)
        m_listener->OnAudioLevel(type, level);
}

void LiveProxy::OnKbps(float kbps)
{
    if (m_listener)
        m_listener->OnKbps(kbps);
}

void LiveProxy::OnSystemPerformance(int cpu, int mem)
{
    if (m_listener)
        m_listener->OnSystemPerformance(cpu, mem);
    m_cpu = cpu;
    m_memory = mem;
}

void LiveProxy::OnFrameDropped(int64_t total, int, float percent)
{
    if (m_listener)
        m_listener->OnFrameDropped(total, percent);
}

void LiveProxy::OnNetEvent(int)
{
}

void LiveProxy::OnRoomMessage(const std::string &)
{
}

void LiveProxy::OnLiveClosed(int, int)
{
}

void LiveProxy::onCameraTurn(int, int, void *)
{
}
