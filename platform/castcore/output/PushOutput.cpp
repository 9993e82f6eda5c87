#include "PushOutput.h"

#include "AvError.h"
#include "ThreadSignalStack.h"

#include <QtGlobal>

namespace castcore {

namespace {

constexpr auto kConnectLimit = std::chrono::seconds(10);
constexpr auto kWriteLimit = std::chrono::seconds(10);
constexpr auto kEndLimit = std::chrono::seconds(3);
constexpr auto kShutdownLimit = std::chrono::seconds(2);
constexpr int64_t kQueueSpanUs = 2500000;
constexpr size_t kMaxUrlBytes = 1024;

std::string shortened(const std::string &url)
{
    return url.size() > 200 ? url.substr(0, 200) + "..." : url;
}

} // namespace

PushOutput::PushOutput(EncodeEvents events, std::function<StreamParamsPtr()> params,
                       std::function<void()> wantKeyframe)
    : m_events(std::move(events)),
      m_params(std::move(params)),
      m_wantKeyframe(std::move(wantKeyframe)),
      m_writer("flv", &m_deadline),
      m_queue(kQueueSpanUs)
{
    m_writer.measureLatency(&m_latency);
    m_thread = std::thread([this] { run(); });
}

PushOutput::~PushOutput()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        // Tightens a connect or write under way; the trailer shares the bound.
        m_deadline.arm(kShutdownLimit);
    }
    m_wake.notify_all();
    m_thread.join();
}

bool PushOutput::acceptableUrl(const std::string &url, std::string *why)
{
    static const std::string scheme = "rtmp://";
    if (url.size() > kMaxUrlBytes) {
        *why = "longer than 1024 bytes";
        return false;
    }
    for (unsigned char c : url) {
        if (c <= 0x20 || c == 0x7f) {
            *why = "contains a space or a control character";
            return false;
        }
    }
    if (url.compare(0, scheme.size(), scheme) != 0) {
        *why = "not an rtmp:// address";
        return false;
    }
    const std::string rest = url.substr(scheme.size());
    const std::string authority = rest.substr(0, rest.find('/'));
    const size_t colon = authority.rfind(':');
    const std::string host = authority.substr(0, colon);
    if (host.empty()) {
        *why = "no host";
        return false;
    }
    if (colon != std::string::npos) {
        const std::string port = authority.substr(colon + 1);
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos
            || std::stoi(port) == 0 || std::stoi(port) > 65535) {
            *why = "bad port";
            return false;
        }
    }
    return true;
}

void PushOutput::connect(const std::string &url)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pendingUrl = url;
        m_connectPending = true;
        // A new address replaces the attempt under way.
        if (m_connecting)
            m_deadline.cancel();
    }
    m_wake.notify_all();
}

void PushOutput::setLive(bool live)
{
    bool wantKeyframe = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_live = live;
        if (live) {
            m_endPending = false;
            m_queue.clear();
            m_framesSeen = 0;
            m_framesDropped = 0;
            m_latency.reset();
            wantKeyframe = m_connected;
        } else {
            m_endPending = true;
        }
    }
    m_wake.notify_all();
    if (wantKeyframe)
        m_wantKeyframe();
}

bool PushOutput::live() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_live;
}

void PushOutput::submit(const EncodedPacket &packet)
{
    bool wantKeyframe = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_live || !m_connected)
            return;
        if (packet.video)
            ++m_framesSeen;
        const int dropped = m_queue.push(
            {copyPacket(packet.packet.get()), packet.video, packet.generation, packet.ptsUs, packet.originUs});
        if (dropped > 0) {
            noteDropped(dropped);
            wantKeyframe = m_queue.waitingForKeyframe();
        }
    }
    m_wake.notify_all();
    if (wantKeyframe)
        m_wantKeyframe();
}

void PushOutput::countEncoderDrop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_live || !m_connected)
            return;
        ++m_framesSeen;
        noteDropped(1);
    }
    m_wake.notify_all();
}

void PushOutput::noteDropped(int frames)
{
    m_framesDropped += frames;
    m_dropReportPending = true;
}

void PushOutput::run()
{
    const mvplatform::ThreadSignalStack signalStack; // a crash here still writes its dump
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
        if (m_endPending) {
            m_endPending = false;
            endStream(lock);
            continue;
        }
        if (m_connectPending) {
            const std::string url = m_pendingUrl;
            m_connectPending = false;
            connectTo(url, lock);
            continue;
        }
        if (m_live && m_connected && !m_queue.empty())
            sendQueued(lock);
        if (m_dropReportPending) {
            m_dropReportPending = false;
            const int64_t total = m_framesDropped;
            const float percent = m_framesSeen > 0 ? float(100.0 * total / m_framesSeen) : 0.0f;
            lock.unlock();
            if (m_events.framesDropped)
                m_events.framesDropped(total, percent);
            lock.lock();
            continue;
        }
        if (m_live && m_connected && std::chrono::steady_clock::now() - m_kbpsSince >= std::chrono::seconds(1)) {
            lock.unlock();
            reportKbps();
            lock.lock();
            continue;
        }
        if (m_stop || m_endPending || m_connectPending || (m_live && m_connected && !m_queue.empty()))
            continue;
        m_wake.wait_for(lock, std::chrono::milliseconds(100));
    }
    const bool connected = m_connected;
    m_connected = false;
    lock.unlock();
    // Ends the stream cleanly within the bound the destructor set.
    if (connected)
        m_writer.finish();
    m_writer.close();
}

void PushOutput::connectTo(const std::string &url, std::unique_lock<std::mutex> &lock)
{
    m_connecting = true;
    m_connected = false;
    m_queue.clear();
    m_deadline.resetCancel();
    m_deadline.arm(kConnectLimit);
    lock.unlock();

    m_writer.close();
    std::string error;
    bool ok = m_writer.open(url, &error);
    if (ok) {
        const StreamParamsPtr params = m_params();
        ok = params && m_writer.writeHeader(*params, nullptr, &error);
        if (!params)
            error = "no encoder";
    }
    if (!ok)
        m_writer.close();

    lock.lock();
    m_connecting = false;
    if (!m_stop)
        m_deadline.disarm();
    if (m_stop || m_connectPending)
        return; // replaced meanwhile: only the newest address is reported
    m_connected = ok;
    m_url = url;
    const bool wantKeyframe = ok && m_live;
    if (ok) {
        m_kbpsBytes = m_writer.bytesWritten();
        m_kbpsSince = std::chrono::steady_clock::now();
    }
    lock.unlock();
    if (ok)
        qInfo("engine: push connected to %s", shortened(url).c_str());
    else
        qWarning("engine: push to %s failed: %s", shortened(url).c_str(), error.c_str());
    if (wantKeyframe)
        m_wantKeyframe();
    if (m_events.pushState)
        m_events.pushState(url, ok);
    lock.lock();
}

void PushOutput::sendQueued(std::unique_lock<std::mutex> &lock)
{
    while (m_live && m_connected && !m_queue.empty() && !m_stop && !m_connectPending && !m_endPending) {
        EncodedPacket packet = m_queue.pop();
        if (packet.generation != m_writer.generation()) {
            // The encoder was re-opened at new settings: a new header is due.
            m_pendingUrl = m_url;
            m_connectPending = true;
            return;
        }
        m_deadline.arm(kWriteLimit);
        lock.unlock();
        const int rc = m_writer.write(packet);
        lock.lock();
        if (!m_stop)
            m_deadline.disarm();
        if (rc >= 0)
            continue;
        m_connected = false;
        m_queue.clear();
        const std::string url = m_url;
        const bool cancelled = m_stop || m_connectPending;
        lock.unlock();
        m_writer.close();
        if (!cancelled) {
            qWarning("engine: push to %s lost: %s", shortened(url).c_str(), avError(rc).c_str());
            if (m_events.pushState)
                m_events.pushState(url, false);
        }
        lock.lock();
        return;
    }
}

void PushOutput::endStream(std::unique_lock<std::mutex> &lock)
{
    if (!m_connected)
        return;
    m_connected = false;
    m_deadline.arm(kEndLimit);
    // What is queued still goes out, then the trailer, all within the bound.
    while (!m_queue.empty() && !m_stop) {
        EncodedPacket packet = m_queue.pop();
        lock.unlock();
        const int rc = packet.generation == m_writer.generation() ? m_writer.write(packet) : 0;
        lock.lock();
        if (rc < 0)
            break;
    }
    m_queue.clear();
    const std::string url = m_url;
    lock.unlock();
    const bool clean = m_writer.finish();
    if (clean)
        qInfo("engine: push to %s ended", shortened(url).c_str());
    else
        qWarning("engine: push to %s ended without its trailer", shortened(url).c_str());
    lock.lock();
    if (!m_stop)
        m_deadline.disarm();
}

void PushOutput::reportKbps()
{
    const auto now = std::chrono::steady_clock::now();
    const int64_t bytes = m_writer.bytesWritten();
    const double seconds = std::chrono::duration<double>(now - m_kbpsSince).count();
    const float kbps = seconds > 0 ? float((bytes - m_kbpsBytes) * 8 / 1000.0 / seconds) : 0.0f;
    m_kbpsBytes = bytes;
    m_kbpsSince = now;
    if (m_events.kbps)
        m_events.kbps(kbps);
}

} // namespace castcore
