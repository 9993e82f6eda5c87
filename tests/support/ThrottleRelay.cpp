#include "ThrottleRelay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <vector>

namespace testsupport {

namespace {

// What each relay socket may hold (the kernel doubles it, and raises it to
// its minimum): a sender's bytes that the relay's kernel has taken are
// acknowledged, so they must be few, or the relay hides a backlog that the
// sender would see behind a real slow link.
constexpr int kSocketBuffer = 2048;
constexpr size_t kChunk = 4096;

struct Link
{
    int sender = -1;
    int target = -1;
    std::vector<char> up; // read from the sender, not yet taken by the target
    size_t upDone = 0;
    std::vector<char> down;
    size_t downDone = 0;
    double tokens = 0;
    bool dead = false;
};

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void smallBuffers(int fd)
{
    const int size = kSocketBuffer;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof(size));
}

sockaddr_in loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// Sends what is pending; false when the peer is gone.
bool flush(int fd, std::vector<char> &pending, size_t &done)
{
    while (done < pending.size()) {
        const ssize_t n = ::send(fd, pending.data() + done, pending.size() - done, MSG_NOSIGNAL);
        if (n < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        done += size_t(n);
    }
    pending.clear();
    done = 0;
    return true;
}

// Reads up to `most` bytes onto `into`; false when the peer is gone.
bool take(int fd, std::vector<char> &into, size_t most, size_t *got)
{
    char buffer[kChunk];
    const ssize_t n = ::recv(fd, buffer, std::min(most, sizeof(buffer)), 0);
    *got = 0;
    if (n == 0)
        return false;
    if (n < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    into.insert(into.end(), buffer, buffer + n);
    *got = size_t(n);
    return true;
}

} // namespace

ThrottleRelay::ThrottleRelay(quint16 targetPort, qint64 bytesPerSecond)
    : m_targetPort(targetPort), m_rate(bytesPerSecond)
{
}

ThrottleRelay::~ThrottleRelay()
{
    if (m_thread.joinable()) {
        const char stop = 1;
        while (::write(m_wake[1], &stop, 1) < 0 && errno == EINTR) {
        }
        m_thread.join();
    }
    closeFd(m_listener);
    closeFd(m_wake[0]);
    closeFd(m_wake[1]);
}

bool ThrottleRelay::start()
{
    if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_listener < 0)
        return false;
    smallBuffers(m_listener); // accepted sockets inherit them
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof(address);
    if (::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0
        || ::listen(m_listener, 8) != 0
        || getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return false;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { run(); });
    return true;
}

void ThrottleRelay::run()
{
    using Clock = std::chrono::steady_clock;
    std::vector<Link> links;
    std::vector<pollfd> polls;
    Clock::time_point last = Clock::now();
    for (;;) {
        const Clock::time_point now = Clock::now();
        const double elapsed = std::chrono::duration<double>(now - last).count();
        last = now;
        const qint64 rate = m_rate;
        const bool stalled = m_stalled.load();
        // A small burst keeps the rate even; a read waits for a useful size.
        const double burst = std::max(double(rate) / 20, 1024.0);
        const double enough = std::min(1024.0, burst);
        int timeoutMs = 50; // picks up a stall
        polls.clear();
        polls.push_back({m_wake[0], POLLIN, 0});
        polls.push_back({m_listener, POLLIN, 0});
        for (Link &link : links) {
            if (rate > 0)
                link.tokens = std::min(link.tokens + double(rate) * elapsed, burst);
            short senderEvents = link.down.empty() ? 0 : POLLOUT;
            if (link.up.empty() && !stalled) {
                if (rate <= 0 || link.tokens >= enough)
                    senderEvents |= POLLIN;
                else
                    timeoutMs = std::min(timeoutMs, int(std::ceil((enough - link.tokens) * 1000 / double(rate))));
            }
            const short targetEvents = short((link.up.empty() ? 0 : POLLOUT) | (link.down.empty() ? POLLIN : 0));
            polls.push_back({link.sender, senderEvents, 0});
            polls.push_back({link.target, targetEvents, 0});
        }
        if (::poll(polls.data(), polls.size(), std::max(timeoutMs, 1)) < 0 && errno != EINTR)
            break;
        if (polls[0].revents)
            break;
        for (size_t i = 0; i < links.size(); ++i) {
            Link &link = links[i];
            const short senderReady = polls[2 + 2 * i].revents;
            const short targetReady = polls[3 + 2 * i].revents;
            size_t got = 0;
            if (senderReady & POLLIN) {
                const size_t most = rate > 0 ? size_t(link.tokens) : kChunk;
                link.dead |= !take(link.sender, link.up, most, &got);
                link.tokens -= double(got);
            } else if (senderReady & (POLLERR | POLLHUP)) {
                link.dead = true;
            }
            if (targetReady & POLLIN)
                link.dead |= !take(link.target, link.down, kChunk, &got);
            else if (targetReady & (POLLERR | POLLHUP))
                link.dead = true;
            link.dead |= !flush(link.target, link.up, link.upDone);
            link.dead |= !flush(link.sender, link.down, link.downDone);
        }
        for (Link &link : links) {
            if (link.dead) {
                closeFd(link.sender);
                closeFd(link.target);
            }
        }
        links.erase(std::remove_if(links.begin(), links.end(), [](const Link &l) { return l.dead; }), links.end());
        if (polls[1].revents & POLLIN) {
            Link link;
            link.sender = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (link.sender < 0)
                continue;
            link.target = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const sockaddr_in target = loopback(m_targetPort);
            if (link.target >= 0)
                smallBuffers(link.target);
            // On loopback a connect succeeds or is refused at once.
            if (link.target < 0
                || ::connect(link.target, reinterpret_cast<const sockaddr *>(&target), sizeof(target)) != 0
                || fcntl(link.target, F_SETFL, O_NONBLOCK) != 0) {
                closeFd(link.sender);
                closeFd(link.target);
                continue;
            }
            links.push_back(std::move(link));
        }
    }
    for (Link &link : links) {
        closeFd(link.sender);
        closeFd(link.target);
    }
}

} // namespace testsupport
