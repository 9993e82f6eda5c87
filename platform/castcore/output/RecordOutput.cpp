#include "RecordOutput.h"

#include "AvError.h"
#include "ThreadSignalStack.h"

#include <QtGlobal>

namespace castcore {

namespace {

// A fragment at every keyframe and at least once a second: a crash loses
// one second at most.
const char *const kMp4Options = "movflags=+frag_keyframe+empty_moov+default_base_moof:frag_duration=1000000";
constexpr int64_t kQueueSpanUs = 5000000;

} // namespace

RecordOutput::RecordOutput(std::string path, StreamParamsPtr params)
    : m_path(std::move(path)), m_params(std::move(params)), m_writer("mp4", &m_deadline), m_queue(kQueueSpanUs)
{
}

RecordOutput::~RecordOutput()
{
    close();
}

void RecordOutput::close()
{
    std::lock_guard<std::mutex> closing(m_closeMutex);
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finish = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

bool RecordOutput::start(std::string *error)
{
    if (!m_params) {
        *error = "no encoder";
        return false;
    }
    if (!m_writer.open(m_path, error))
        return false;
    m_thread = std::thread([this] { run(); });
    return true;
}

void RecordOutput::submit(const EncodedPacket &packet)
{
    if (m_ended.load())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_finish)
            return;
        const int dropped = m_queue.push(
            {copyPacket(packet.packet.get()), packet.video, packet.generation, packet.ptsUs, packet.originUs});
        if (dropped > 0)
            qWarning("engine: recording %s fell behind: %d frames left out", m_path.c_str(), dropped);
    }
    m_wake.notify_all();
}

void RecordOutput::end(const char *why, const std::string &detail)
{
    qWarning("engine: recording %s stopped: %s%s%s", m_path.c_str(), why, detail.empty() ? "" : ": ",
             detail.c_str());
    m_ended.store(true);
    // The file keeps every fragment written so far; no trailer is needed.
    m_writer.close();
}

void RecordOutput::run()
{
    const mvplatform::ThreadSignalStack signalStack; // a crash here still writes its dump
    std::string error;
    if (!m_writer.writeHeader(*m_params, kMp4Options, &error)) {
        end("cannot write the file", error);
        return;
    }
    qInfo("engine: recording to %s", m_path.c_str());
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_finish || !m_queue.empty(); });
        if (m_queue.empty() && m_finish)
            break;
        EncodedPacket packet = m_queue.pop();
        lock.unlock();
        if (packet.generation != m_writer.generation()) {
            qWarning("engine: recording %s stopped: the video settings changed", m_path.c_str());
            m_ended.store(true);
            m_writer.finish();
            return;
        }
        const int rc = m_writer.write(packet);
        if (rc < 0) {
            end("write error", avError(rc));
            return;
        }
        lock.lock();
    }
    lock.unlock();
    if (m_writer.finish())
        qInfo("engine: recording %s finished", m_path.c_str());
    else
        end("write error at its end", {});
}

} // namespace castcore
