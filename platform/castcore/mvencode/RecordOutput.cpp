#include "RecordOutput.h"

#include "AvError.h"
#include "RecordFile.h"
#include "ThreadSignalStack.h"

#include <QtGlobal>

#include <cerrno>
#include <csignal>
#include <thread>

#include <pthread.h>
#include <unistd.h>

namespace castcore {

namespace {

// A fragment at every keyframe and at least once a second: a crash loses
// one second at most. The index goes out with the first fragment, when each
// stream's start is known: sound that begins a little after the first
// picture keeps its place.
const char *const kMp4Options = "movflags=+frag_keyframe+empty_moov+default_base_moof+delay_moov:frag_duration=1000000";
constexpr int64_t kQueueSpanUs = 5000000;

int64_t nowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// Marks the writing thread as inside a call that writes to the file.
struct Writing
{
    explicit Writing(std::atomic<int64_t> &since) : m_since(since) { m_since.store(nowUs()); }
    ~Writing() { m_since.store(0); }
    std::atomic<int64_t> &m_since;
};

// The system's error number behind an FFmpeg error; EIO for FFmpeg's own.
int systemError(int rc)
{
    return rc < 0 && -rc < 4096 ? -rc : EIO;
}

} // namespace

void RecordingReport::ended(const std::string &path, int error, const std::string &why)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_ended)
        m_ended(path, error, why);
}

void RecordingReport::close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ended = nullptr;
}

std::shared_ptr<RecordOutput> RecordOutput::start(const std::string &path, StreamParamsPtr params,
                                                  std::shared_ptr<RecordingReport> report, std::string *error)
{
    if (!params) {
        *error = "no encoder";
        return nullptr;
    }
    RecordFile file = RecordFile::create(path, error);
    if (file.fd < 0)
        return nullptr;
    if (file.path != path)
        qInfo("engine: %s is taken; recording to %s", path.c_str(), file.path.c_str());
    std::shared_ptr<RecordOutput> output(
        new RecordOutput(path, file.path, file.fd, std::move(params), std::move(report)));
    // FFmpeg writes through the descriptor; it never closes it (we do).
    if (!output->m_writer.open("pipe:" + std::to_string(file.fd), error)) {
        if (file.created)
            ::unlink(file.path.c_str());
        return nullptr;
    }
    std::thread([output] { output->run(); }).detach();
    return output;
}

RecordOutput::RecordOutput(std::string requested, std::string path, int fd, StreamParamsPtr params,
                           std::shared_ptr<RecordingReport> report)
    : m_requested(std::move(requested)),
      m_path(std::move(path)),
      m_fd(fd),
      m_report(std::move(report)),
      m_writer("mp4", &m_deadline),
      m_params(std::move(params)),
      m_queue(kQueueSpanUs)
{
}

RecordOutput::~RecordOutput()
{
    m_writer.close();
    ::close(m_fd);
}

void RecordOutput::submit(const EncodedPacket &packet, const StreamParamsPtr &params)
{
    if (m_ended.load())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_finish)
            return;
        if (!m_paramsFromPacket) {
            // The header describes the packets that come, not the encoders
            // the recording was started with.
            m_paramsFromPacket = true;
            if (params)
                m_params = params;
        }
        const int dropped = m_queue.push(
            {copyPacket(packet.packet.get()), packet.video, packet.generation, packet.ptsUs, packet.originUs});
        if (dropped > 0) {
            if (!m_behind) {
                m_behind = true;
                m_leftOut = 0;
                qWarning("engine: recording %s fell behind: leaving frames out until it catches up",
                         m_path.c_str());
            }
            m_leftOut += dropped;
        }
    }
    m_wake.notify_all();
}

void RecordOutput::finish()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_finish)
            return;
        m_finish = true;
        m_deadline.arm(kFinishLimit);
    }
    m_wake.notify_all();
}

bool RecordOutput::waitDone(std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_wake.wait_for(lock, limit, [this] { return m_done; });
}

bool RecordOutput::waitDone(std::chrono::milliseconds limit, std::chrono::milliseconds stall)
{
    const int64_t endUs = nowUs() + limit.count() * 1000;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_done) {
        const int64_t now = nowUs();
        const int64_t since = m_writingSinceUs.load();
        if (now >= endUs || (since != 0 && now - since >= stall.count() * 1000))
            return false;
        m_wake.wait_for(lock, std::chrono::milliseconds(2));
    }
    return true;
}

void RecordOutput::noteCaughtUp()
{
    if (!m_behind)
        return;
    m_behind = false;
    qWarning("engine: recording %s caught up: %lld frames left out", m_path.c_str(), static_cast<long long>(m_leftOut));
}

void RecordOutput::endBySelf(const std::string &why, int error, bool trailer)
{
    qWarning("engine: recording %s stopped: %s", m_path.c_str(), why.c_str());
    // The file keeps every fragment written so far; the trailer only adds
    // an index of them.
    if (trailer) {
        const Writing writing(m_writingSinceUs);
        m_writer.finish();
    }
    m_writer.close();
    bool report = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        report = !m_finish; // a stop asked by the owner is no news to it
        m_finish = true;
        m_queue.clear();
    }
    m_ended.store(true);
    if (report && m_report)
        m_report->ended(m_path, error, why);
}

StreamParamsPtr RecordOutput::headerParams()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_params;
}

bool RecordOutput::writePacket(const EncodedPacket &packet)
{
    if (!m_headerWritten && !writeHeader())
        return false;
    if (packet.generation != m_writer.generation()) {
        endBySelf("the video settings changed", 0, true);
        return false;
    }
    int rc = 0;
    {
        const Writing writing(m_writingSinceUs);
        rc = m_writer.write(packet);
    }
    if (rc >= 0)
        return true;
    if (rc == AVERROR_EXIT && m_deadline.expired()) {
        qWarning("engine: recording %s given up: its end was not written within %d s", m_path.c_str(),
                 int(kFinishLimit.count()));
        m_writer.close();
        return false;
    }
    endBySelf("write error: " + avError(rc), systemError(rc), false);
    return false;
}

bool RecordOutput::writeHeader()
{
    std::string error;
    int rc = 0;
    bool written = false;
    {
        const Writing writing(m_writingSinceUs);
        written = m_writer.writeHeader(*headerParams(), kMp4Options, &error, &rc);
    }
    if (!written) {
        endBySelf("cannot write the file: " + error, systemError(rc), false);
        return false;
    }
    m_headerWritten = true;
    qInfo("engine: recording to %s", m_path.c_str());
    return true;
}

void RecordOutput::run()
{
    pthread_setname_np(pthread_self(), "mvencode-record");
    const mvplatform::ThreadSignalStack signalStack; // a crash here still writes its dump
    // A FIFO whose reader left answers EPIPE instead of ending the process.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_finish || !m_queue.empty(); });
        if (m_queue.empty())
            break;
        EncodedPacket packet = m_queue.pop();
        lock.unlock();
        const bool written = writePacket(packet);
        lock.lock();
        if (!written)
            break;
        if (m_queue.empty() && !m_queue.waitingForKeyframe())
            noteCaughtUp();
    }
    noteCaughtUp();
    lock.unlock();
    if (!m_ended.load() && m_writer.isOpen())
        finishFile();
    lock.lock();
    m_done = true;
    m_wake.notify_all();
}

void RecordOutput::finishFile()
{
    // Stopped before its first packet: still a file that opens.
    if (!m_headerWritten && !writeHeader())
        return;
    bool finished = false;
    {
        const Writing writing(m_writingSinceUs);
        finished = m_writer.finish();
    }
    if (finished)
        qInfo("engine: recording %s finished", m_path.c_str());
    else if (m_deadline.expired())
        qWarning("engine: recording %s given up: its end was not written within %d s", m_path.c_str(),
                 int(kFinishLimit.count()));
    else
        qWarning("engine: recording %s stopped: write error at its end", m_path.c_str());
}

} // namespace castcore
