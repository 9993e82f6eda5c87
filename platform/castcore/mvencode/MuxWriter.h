#pragma once

// One container output (FLV to an RTMP server, fragmented MP4 to a file):
// opens the target, writes the header from the encoders' parameters, and
// writes packets from the first video keyframe on, with timestamps moved so
// the output starts at zero. Every blocking call is bounded by an IoDeadline.

#include "EncodedStream.h"
#include "IoDeadline.h"
#include "LatencyMeter.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <array>
#include <deque>
#include <string>

namespace castcore {

class MuxWriter
{
public:
    MuxWriter(const char *format, IoDeadline *deadline);
    ~MuxWriter(); // closes without a trailer when still open
    MuxWriter(const MuxWriter &) = delete;
    MuxWriter &operator=(const MuxWriter &) = delete;

    // Opens the target for writing; false with `error` set when it cannot.
    bool open(const std::string &target, std::string *error);
    // `code`, when given, gets FFmpeg's error code of a failure.
    bool writeHeader(const StreamParams &params, const char *muxerOptions, std::string *error, int *code = nullptr);
    // < 0: an FFmpeg error (the output is broken).
    int write(const EncodedPacket &packet);
    // Writes the trailer and closes; false when a write failed.
    bool finish();
    void close();

    bool isOpen() const { return m_context != nullptr; }
    bool started() const { return m_baseUs != kNoBase; }
    int generation() const { return m_generation; }
    // Bytes handed to the target so far.
    int64_t bytesWritten() const;
    // From now on, each video packet's time from its origin to the moment
    // the muxer writes it out (after interleaving) goes to `meter`.
    void measureLatency(LatencyMeter *meter) { m_latency = meter; }

private:
    int writeNow(const EncodedPacket &packet);
    void noteWritten();

    static constexpr int64_t kNoBase = INT64_MIN;
    const char *m_format;
    IoDeadline *m_deadline;
    AVFormatContext *m_context = nullptr;
    AVStream *m_video = nullptr;
    AVStream *m_audio = nullptr;
    AVRational m_videoTimeBase{1, 25};
    AVRational m_audioTimeBase{1, 48000};
    int m_generation = -1;
    bool m_headerWritten = false;
    int64_t m_baseUs = kNoBase;
    AVPacket *m_scratch = nullptr;
    std::deque<EncodedPacket> m_earlySound; // sound just before the first keyframe
    // Origins of the video packets handed to the interleaver, by sequence
    // number; the stream's frame count tells how many it has written out.
    LatencyMeter *m_latency = nullptr;
    std::array<int64_t, 64> m_origins{};
    int64_t m_videoQueued = 0;
    int64_t m_videoMeasured = 0;
};

} // namespace castcore
