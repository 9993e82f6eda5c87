#pragma once

// A local RTMP receiver: `ffmpeg -listen 1` on a free loopback port, copying
// what one publisher sends into an FLV file, each packet as it comes. It
// takes one publisher only: probing its port with a connection would use it
// up.

#include <QFile>
#include <QProcess>
#include <QString>

#include <string>
#include <vector>

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

    struct VideoTag
    {
        qint64 ms = 0; // the stream's timestamp
        bool keyframe = false;
    };
    // The pictures written to the file so far, in order (the codec's
    // header left out); a tag still being written waits for the next call.
    const std::vector<VideoTag> &videoReceived();

private:
    QString m_file;
    QFile m_reading;
    qint64 m_readOffset = 0;
    std::vector<VideoTag> m_videoTags;
    quint16 m_port = 0;
    QProcess m_process;
};

} // namespace testsupport
