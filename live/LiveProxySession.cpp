#include "LiveProxy.h"

#include "IListener.h"
#include "Logger.h"
#include "RecordingTexts.h"

#include <QMutexLocker>

// Logged-in, live and recording state, opening and closing the broadcast
// over the room's live lines, and analytics.

namespace {

constexpr int kNetworkFailure = 210;
constexpr int kAllLinesTried = 212;
constexpr int kRoomClosed = 219;
constexpr int kServiceText = 226;
constexpr int kStoppedByUser = 326;

} // namespace

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

void LiveProxy::getLoginUser(std::string &name, std::string &token)
{
    if (!isLoggedIn())
        return;
    QMutexLocker lock(&m_taskMutex);
    name = m_user;
    token = m_token;
}

bool LiveProxy::startRecording(const std::string &path)
{
    if (path.empty() || !m_recorder)
        return false;
    // A line change opens the broadcast again: one file across it.
    if (m_recording && path == m_recordingFile)
        return true;
    const bool started = m_recorder->Start(path.c_str());
    if (started) {
        m_recording = true;
        m_recordingFile = path;
    }
    return started;
}

void LiveProxy::stopRecording()
{
    if (m_recording && m_recorder)
        m_recorder->Stop();
    m_recording = false;
    m_recordingFile.clear();
}

std::string LiveProxy::recordingPath() const
{
    return m_recording ? m_recordingFile : std::string();
}

void LiveProxy::onRecordingEnded(const std::string &path, int error)
{
    // A late report of a recording stopped or replaced since says nothing.
    if (m_ended || !m_recording || path != m_recordingFile)
        return;
    Logger::instance()->write(Logger::LOG_ERROR, "recording %s ended by itself, error %d.", path.c_str(), error);
    // The engine keeps what was written; the stop lets it go of the rest.
    stopRecording();
    tellRecordingFailed(livetexts::recordingEndedMessage(error));
}

void LiveProxy::tellRecordingFailed(const QString &message)
{
    // The broadcast goes on unrecorded: a later line change starts no file.
    m_recordPath.clear();
    emit recordingFailed(message);
}

void LiveProxy::endLive()
{
    if (m_scene)
        m_scene->SetLive(false);
    setLiveBusy(false);
    stopRecording();
}

bool LiveProxy::openLive(const std::string &recordPath)
{
    if (!isLoggedIn() || isLiving() || !m_netService)
        return false;
    // Busy and the record path are set only once the job thread took job 2,
    // so a refused start leaves the broadcast idle.
    return m_taskThread.startTask(LiveTaskThread::JobOpenLive, [&] {
        m_recordPath = recordPath;
        setLiveBusy(true);
        QMutexLocker lock(&m_lineMutex);
        freeLiveLinesLocked();
    });
}

void LiveProxy::stopLive(bool notify)
{
    if (m_netService)
        m_netService->CloseLive();
    endLive();
    if (notify && m_listener)
        m_listener->OnLiveStatus(std::string(), kStoppedByUser);
}

void LiveProxy::freeLiveLinesLocked()
{
    if (m_liveLines && m_netService)
        m_netService->FreeLiveLines(m_liveLines);
    m_liveLines = nullptr;
    m_liveLineCount = 0;
    m_liveLineIndex = 0;
}

int LiveProxy::fetchLiveLinesLocked()
{
    freeLiveLinesLocked();
    LiveLine *list = nullptr;
    int count = 0;
    const int code = m_netService->GetLiveLines(&list, &count);
    if (code != 0) {
        if (list)
            m_netService->FreeLiveLines(list);
        return code;
    }
    m_liveLines = list;
    m_liveLineCount = list ? std::max(0, count) : 0;
    return 0;
}

int LiveProxy::changeLiveLine()
{
    if (!m_netService)
        return kNetworkFailure;
    QMutexLocker lock(&m_lineMutex);
    int code = 0;
    if (m_roomWasLive) {
        const int closed = m_netService->CloseLive();
        if (closed == 0 || closed == kRoomClosed) {
            m_roomWasLive = false;
            code = fetchLiveLinesLocked();
        } else {
            code = kNetworkFailure;
        }
    }
    // A failed close stays 210: asking for lines must not hide it.
    if (code == 0 && (!m_liveLines || m_liveLineCount == 0))
        code = fetchLiveLinesLocked();
    if (code != 0)
        return code;
    if (m_liveLineIndex >= m_liveLineCount)
        return kAllLinesTried;
    const std::string url = m_liveLines[m_liveLineIndex++].url;
    emit OpenRoom(QString::fromUtf8(url.c_str()));
    return 0;
}

void LiveProxy::reportLiveFailure(int code)
{
    setLiveBusy(false);
    std::string text;
    if (code == kServiceText && m_netService)
        m_netService->GetLastErrorText(&text);
    if (m_listener)
        m_listener->OnLiveStatus(text, code);
}

void LiveProxy::jobOpenLive()
{
    Logger *log = Logger::instance();
    log->write(Logger::LOG_DEBUG, "open live :  -> is_room_broadcasting");
    bool broadcasting = false;
    int code = m_netService->IsRoomLive(&broadcasting);
    {
        QMutexLocker lock(&m_lineMutex);
        m_roomWasLive = broadcasting;
    }
    if (code == 0 && broadcasting) {
        log->write(Logger::LOG_DEBUG, "open live :  -> get_rtmp_address");
        std::string address;
        int unused = 0;
        code = m_netService->GetPushAddress(&address, &unused);
        // The room is pushed only to an address the service handed out.
        if (code == 0 && address.empty())
            code = kNetworkFailure;
        if (code == 0)
            emit OpenRoom(QString::fromUtf8(address.c_str()));
    } else if (code == 0) {
        log->write(Logger::LOG_DEBUG, "open live :  -> change_live_line");
        code = changeLiveLine();
    }
    if (code != 0)
        reportLiveFailure(code);
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
    if (m_scene && !m_ended)
        m_scene->SetPushUrl(room.toLatin1().constData(), 1, 0);
}

void LiveProxy::on_open_live()
{
    if (m_ended)
        return;
    Logger::instance()->write(Logger::LOG_DEBUG, "open live :  -> on_open_live.");
    if (m_scene)
        m_scene->SetLive(true);
    if (!m_recordPath.empty() && !startRecording(m_recordPath)) {
        Logger::instance()->write(Logger::LOG_ERROR, "recording %s did not start.", m_recordPath.c_str());
        tellRecordingFailed(livetexts::recordingNotStartedMessage());
    }
}

void LiveProxy::on_close_live()
{
    endLive();
}
