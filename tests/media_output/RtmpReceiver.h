#pragma once

// A local RTMP receiver: `ffmpeg -listen 1` on a free loopback port, copying
// what one publisher sends into an FLV file.

#include "EncodePipeline.h"

#include <QProcess>
#include <QString>

#include <mutex>
#include <string>
#include <vector>

namespace mediatest {

class RtmpReceiver
{
public:
    explicit RtmpReceiver(const QString &file);
    ~RtmpReceiver();

    bool start();
    std::string url() const;
    void kill();
    // Waits for ffmpeg to end by itself (the publisher ended the stream).
    bool waitForEnd(int ms);

private:
    QString m_file;
    quint16 m_port = 0;
    QProcess m_process;
};

// What the pipeline reported, from whichever thread.
class EncodeEventLog
{
public:
    castcore::EncodeEvents events();
    int states(const std::string &url, bool connected) const;
    int kbpsReports() const;
    float lastKbps() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<std::string, bool>> m_states;
    std::vector<float> m_kbps;
};

// connect() until the receiver answers (it starts listening a little after
// its process starts); true when pushState(url, true) came.
bool connectWhenListening(castcore::EncodePipeline &pipeline, EncodeEventLog &log, const std::string &url);

} // namespace mediatest
