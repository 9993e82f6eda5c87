#include "PushOutput.h"

#include "AvError.h"
#include "PushAddress.h"
#include "ThreadSignalStack.h"

#include <QtGlobal>

#include <dirent.h>
#include <linux/sockios.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <set>

namespace castcore {

namespace {

constexpr auto kConnectLimit = std::chrono::seconds(10);
// A write without the socket's counts to watch.
constexpr auto kWriteLimit = std::chrono::seconds(10);
// A peer that acknowledges nothing for this long is gone; with the time it
// takes to notice, it is reported within 10 s of when it stopped.
constexpr auto kStallLimit = std::chrono::seconds(8);
constexpr auto kEndLimit = std::chrono::seconds(3);
constexpr auto kShutdownLimit = std::chrono::seconds(2);
// Queued and unacknowledged together: with the little the kernel holds
// unsent on top, a link at 40 % of the bit rate keeps viewers within 3 s.
constexpr int64_t kQueueSpanUs = 2000000;
// Unsent bytes the kernel may hold: 0.1 s of the stream, 8 KiB at least.
constexpr int kUnsentSeconds = 10;
constexpr int kUnsentMinBytes = 8192;
// FFmpeg keeps its socket to itself, so the push finds it among the
// process's descriptors: the one TCP socket to the server's port that was
// not there before the connection opened. The descriptors are told apart by
// their links ("socket:[inode]"), which touches none of the other threads'
// descriptors.
template <typename Visit>
void eachSocket(Visit visit)
{
    DIR *dir = opendir("/proc/self/fd");
    if (!dir)
        return;
    static const char kPrefix[] = "socket:[";
    while (const dirent *entry = readdir(dir)) {
        char *end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == dirfd(dir))
            continue;
        char target[64];
        const ssize_t length = readlinkat(dirfd(dir), entry->d_name, target, sizeof(target) - 1);
        if (length <= ssize_t(sizeof(kPrefix) - 1))
            continue;
        target[length] = '\0';
        if (std::strncmp(target, kPrefix, sizeof(kPrefix) - 1) != 0)
            continue;
        const unsigned long long inode = std::strtoull(target + sizeof(kPrefix) - 1, &end, 10);
        if (*end == ']')
            visit(int(fd), ino_t(inode));
    }
    closedir(dir);
}

std::set<ino_t> socketsNow()
{
    std::set<ino_t> inodes;
    eachSocket([&inodes](int, ino_t inode) { inodes.insert(inode); });
    return inodes;
}

int newConnection(const std::set<ino_t> &before, int port)
{
    int found = -1;
    int count = 0;
    eachSocket([&](int fd, ino_t inode) {
        if (before.count(inode))
            return;
        int type = 0;
        int protocol = 0;
        socklen_t length = sizeof(type);
        sockaddr_storage peer{};
        socklen_t peerLength = sizeof(peer);
        if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_STREAM
            || getsockopt(fd, SOL_SOCKET, SO_PROTOCOL, &protocol, &(length = sizeof(protocol))) != 0
            || protocol != IPPROTO_TCP
            || getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &peerLength) != 0)
            return;
        int peerPort = -1;
        if (peer.ss_family == AF_INET)
            peerPort = ntohs(reinterpret_cast<const sockaddr_in &>(peer).sin_port);
        else if (peer.ss_family == AF_INET6)
            peerPort = ntohs(reinterpret_cast<const sockaddr_in6 &>(peer).sin6_port);
        if (peerPort == port) {
            found = fd;
            ++count;
        }
    });
    return count == 1 ? found : -1;
}

// What the peer has acknowledged since the connection began, and what it
// has yet to acknowledge (sent or not); false when the kernel cannot say.
bool socketCounts(int fd, int64_t *acknowledged, int64_t *waiting)
{
    // Waiting first: an acknowledgement between the two reads then makes
    // the sum larger, never smaller, than what was written.
    int unacknowledged = 0;
    tcp_info info{};
    socklen_t length = sizeof(info);
    if (ioctl(fd, SIOCOUTQ, &unacknowledged) != 0
        || getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &length) != 0
        || length < offsetof(tcp_info, tcpi_bytes_acked) + sizeof(info.tcpi_bytes_acked))
        return false;
    *acknowledged = int64_t(info.tcpi_bytes_acked);
    *waiting = unacknowledged;
    return true;
}

// Lets the kernel hold only a little data it has not sent, so the backlog
// of a slow link stays in the send queue, where whole GOPs can be dropped;
// what is in flight is not limited.
bool keepLittleUnsent(int fd, int bitRate)
{
    const int unsent = std::max(kUnsentMinBytes, bitRate / 8 / kUnsentSeconds);
    int64_t acknowledged = 0;
    int64_t waiting = 0;
    return setsockopt(fd, IPPROTO_TCP, TCP_NOTSENT_LOWAT, &unsent, sizeof(unsent)) == 0
           && socketCounts(fd, &acknowledged, &waiting);
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
            m_framesReported = 0;
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
    int dropped = 0;
    bool wantKeyframe = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_live || !m_connected)
            return;
        if (packet.video)
            ++m_framesSeen;
        int64_t acknowledged = 0;
        int64_t waiting = 0;
        if (m_socket >= 0 && socketCounts(m_socket, &acknowledged, &waiting))
            m_queue.acknowledged(acknowledged);
        dropped = m_queue.push(
            {copyPacket(packet.packet.get()), packet.video, packet.generation, packet.ptsUs, packet.originUs});
        if (dropped > 0) {
            noteDropped(dropped);
            wantKeyframe = m_queue.waitingForKeyframe();
        }
    }
    m_wake.notify_all();
    if (dropped > 0)
        reportDrops();
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
    reportDrops();
}

void PushOutput::noteDropped(int frames)
{
    m_framesDropped += frames;
}

void PushOutput::reportDrops()
{
    // Two threads drop (the encoder's and the compositor's): one at a time,
    // so the totals reported only grow.
    std::lock_guard<std::mutex> order(m_reportMutex);
    int64_t total = 0;
    float percent = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_framesDropped == m_framesReported)
            return;
        total = m_framesReported = m_framesDropped;
        percent = m_framesSeen > 0 ? float(100.0 * total / m_framesSeen) : 0.0f;
    }
    if (m_events.framesDropped)
        m_events.framesDropped(total, percent);
}

void PushOutput::forgetSocket()
{
    m_socket = -1;
    m_deadline.stopFollowing();
}

void PushOutput::run()
{
    pthread_setname_np(pthread_self(), "mvencode-push");
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
    forgetSocket();
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
    forgetSocket();
    m_deadline.resetCancel();
    m_deadline.arm(kConnectLimit);
    lock.unlock();

    m_writer.close();
    std::string error;
    const std::set<ino_t> before = socketsNow();
    bool ok = m_writer.open(PushAddress::forFfmpeg(url), &error);
    int socket = -1;
    if (ok) {
        const StreamParamsPtr params = m_params();
        ok = params && m_writer.writeHeader(*params, nullptr, &error);
        if (!params)
            error = "no encoder";
        socket = ok ? newConnection(before, PushAddress::port(url)) : -1;
        if (socket >= 0 && !keepLittleUnsent(socket, params->bitRate))
            socket = -1;
        if (ok && socket < 0)
            qWarning("engine: push to %s cannot watch its socket: a slow link is noticed late",
                     PushAddress::masked(url).c_str());
    }
    // FFmpeg calls a deadline "Immediate exit requested": say what it was.
    if (!ok && m_deadline.expired())
        error = "the server did not answer within " + std::to_string(kConnectLimit.count()) + " s";
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
    if (socket >= 0) {
        m_socket = socket;
        m_deadline.followProgress([socket](int64_t *acknowledged,
                                           int64_t *waiting) { return socketCounts(socket, acknowledged, waiting); },
                                  kStallLimit);
    }
    const bool wantKeyframe = ok && m_live;
    if (ok) {
        m_kbpsBytes = m_writer.bytesWritten();
        m_kbpsSince = std::chrono::steady_clock::now();
    }
    lock.unlock();
    if (ok)
        qInfo("engine: push connected to %s", PushAddress::masked(url).c_str());
    else
        qWarning("engine: push to %s failed: %s", PushAddress::masked(url).c_str(), error.c_str());
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
        // With the socket watched, a slow write may take as long as it
        // keeps moving.
        if (m_socket < 0)
            m_deadline.arm(kWriteLimit);
        lock.unlock();
        const int rc = m_writer.write(packet);
        lock.lock();
        if (!m_stop)
            m_deadline.disarm();
        if (rc >= 0) {
            int64_t acknowledged = 0;
            int64_t waiting = 0;
            if (m_socket >= 0 && socketCounts(m_socket, &acknowledged, &waiting)) {
                m_queue.acknowledged(acknowledged);
                m_queue.written(packet.ptsUs, acknowledged + waiting);
            }
            continue;
        }
        m_connected = false;
        m_queue.clear();
        forgetSocket();
        const std::string url = m_url;
        const bool cancelled = m_stop || m_connectPending;
        // A broken connection closes without waiting for its peer.
        if (!m_stop)
            m_deadline.arm(std::chrono::milliseconds(0));
        lock.unlock();
        m_writer.close();
        lock.lock();
        if (!m_stop)
            m_deadline.disarm();
        lock.unlock();
        if (!cancelled) {
            qWarning("engine: push to %s lost: %s", PushAddress::masked(url).c_str(),
                     rc == AVERROR_EXIT ? "timed out" : avError(rc).c_str());
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
    forgetSocket();
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
        qInfo("engine: push to %s ended", PushAddress::masked(url).c_str());
    else
        qWarning("engine: push to %s ended without its trailer", PushAddress::masked(url).c_str());
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
