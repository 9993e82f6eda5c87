#include "EncodeEventLog.h"

#include <QElapsedTimer>
#include <QTest>

namespace mediatest {

castcore::EncodeEvents EncodeEventLog::events()
{
    castcore::EncodeEvents e;
    e.pushState = [this](const std::string &url, bool connected) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_states.emplace_back(url, connected);
    };
    e.kbps = [this](float kbps) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_kbps.push_back(kbps);
    };
    e.recordingEnded = [this](const std::string &path, int error, const std::string &why) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ends.push_back({path, error, why});
    };
    return e;
}

std::vector<RecordingEnd> EncodeEventLog::recordingEnds() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_ends;
}

int EncodeEventLog::states(const std::string &url, bool connected) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int n = 0;
    for (const auto &state : m_states)
        n += (state.first == url && state.second == connected) ? 1 : 0;
    return n;
}

int EncodeEventLog::kbpsReports() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_kbps.size());
}

float EncodeEventLog::lastKbps() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_kbps.empty() ? 0.0f : m_kbps.back();
}

bool connectWhenListening(castcore::EncodeLibraryClient &encoder, EncodeEventLog &log, const std::string &url)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 30000) {
        const int failures = log.states(url, false);
        encoder.connect(url);
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 15000 && log.states(url, true) == 0 && log.states(url, false) == failures)
            QTest::qWait(20);
        if (log.states(url, true) > 0)
            return true;
        QTest::qWait(200);
    }
    return false;
}

bool waitFinished(const testsupport::DebugCapture &capture, const QString &file)
{
    const QString line = QStringLiteral("engine: recording %1 finished").arg(file);
    QElapsedTimer timer;
    timer.start();
    while (!capture.contains(line) && timer.elapsed() < 20000)
        QTest::qWait(20);
    return capture.contains(line);
}

} // namespace mediatest
