#pragma once

// A local RTMP receiver: `ffmpeg -listen 1` on a free loopback port, copying
// what one publisher sends into an FLV file. It takes one publisher only:
// probing its port with a connection would use it up.

#include <QProcess>
#include <QString>

#include <string>

namespace testsupport {

class RtmpReceiver
{
public:
    explicit RtmpReceiver(const QString &file);
    ~RtmpReceiver();

    RtmpReceiver(const RtmpReceiver &) = delete;
    RtmpReceiver &operator=(const RtmpReceiver &) = delete;

    bool start();
    // "rtmp://127.0.0.1:<port>/live/s".
    std::string url() const;
    quint16 port() const { return m_port; }
    // Waits until ffmpeg listens on its port (read from the kernel's socket
    // table, without connecting); false when it ended or the time ran out.
    bool waitUntilListening(int ms);
    bool isRunning() const;
    void kill();
    // Waits for ffmpeg to end by itself (the publisher ended the stream).
    bool waitForEnd(int ms);

private:
    QString m_file;
    quint16 m_port = 0;
    QProcess m_process;
};

} // namespace testsupport
