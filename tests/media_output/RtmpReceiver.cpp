#include "RtmpReceiver.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTest>

namespace mediatest {

RtmpReceiver::RtmpReceiver(const QString &file) : m_file(file) {}

RtmpReceiver::~RtmpReceiver()
{
    kill();
}

bool RtmpReceiver::start()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return false;
    m_port = probe.serverPort();
    probe.close();
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("ffmpeg"),
                    {"-nostdin", "-loglevel", "error", "-listen", "1", "-i",
                     QString::fromStdString(url()), "-c", "copy", "-f", "flv", "-y", m_file});
    return m_process.waitForStarted(10000);
}

std::string RtmpReceiver::url() const
{
    return "rtmp://127.0.0.1:" + std::to_string(m_port) + "/live/s";
}

void RtmpReceiver::kill()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
}

bool RtmpReceiver::waitForEnd(int ms)
{
    return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(ms);
}

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
    return e;
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

bool connectWhenListening(castcore::EncodePipeline &pipeline, EncodeEventLog &log, const std::string &url)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 30000) {
        const int failures = log.states(url, false);
        pipeline.connect(url);
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

} // namespace mediatest
