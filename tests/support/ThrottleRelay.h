#pragma once

// A slow uplink in miniature: a TCP relay on a free 127.0.0.1 port that
// passes each connection on to a target port on 127.0.0.1, the sender's
// bytes at a fixed rate and the answers as they come. Its own socket
// buffers are a few kilobytes, so what the link cannot carry stays with the
// sender, as it does behind a real slow link. stall() stops it reading from
// senders altogether: a receiver that stops reading. Runs on its own thread.
//
//   ThrottleRelay relay(receiver.port(), 40000); // 320 kbit/s
//   relay.start();
//   push to "rtmp://127.0.0.1:" + relay.port() + "/live/s"

#include <QtGlobal>

#include <atomic>
#include <thread>

namespace testsupport {

class ThrottleRelay
{
public:
    // `bytesPerSecond` 0: as fast as the target takes them.
    ThrottleRelay(quint16 targetPort, qint64 bytesPerSecond);
    ~ThrottleRelay();
    ThrottleRelay(const ThrottleRelay &) = delete;
    ThrottleRelay &operator=(const ThrottleRelay &) = delete;

    // Listens; false when it cannot.
    bool start();
    quint16 port() const { return m_port; }
    // From now on nothing more is read from any sender.
    void stall() { m_stalled.store(true); }

private:
    void run();

    const quint16 m_targetPort;
    const qint64 m_rate;
    quint16 m_port = 0;
    int m_listener = -1;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_stalled{false};
    std::thread m_thread;
};

} // namespace testsupport
