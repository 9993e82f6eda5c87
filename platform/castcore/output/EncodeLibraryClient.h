#pragma once

// The program's encoder for the broadcast and the recording: one H.264 (libx264) and one AAC
// encoding of the composed canvas and the mixed sound, shared by the push
// (FLV over RTMP, on its own network thread, bounded queue) and the
// recording (fragmented MP4). Encoding runs only while live or recording.
// Neither onCanvas nor onAudio ever waits on the network or the disk.
//
// The encoding itself (FfmpegEncoder) lives in libmvencode.so, loaded the
// first time the encoder is needed (connect, going live, recording): until then frames and
// sound are dropped here at the cost of an atomic read. When the library
// cannot load, those calls fail as an encoder that cannot open does.

#include "Encoder.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace castcore {

class EncodeLibraryClient : public VideoSink, public AudioSink
{
public:
    explicit EncodeLibraryClient(EncodeEvents events);
    ~EncodeLibraryClient() override; // ends the push and the recording cleanly

    // Canvas size, frame rate, bit rate (bit/s). Taken up when nothing is
    // live or recording; asked for meanwhile, they wait (with a log line)
    // until the broadcast and the recording have ended, so that a running
    // encoding keeps both its streams as they began.
    void configure(int width, int height, int fps, int bitRate);
    // Connects to an RTMP address on the network thread (10 s at most) and
    // reports through pushState. A malformed, over-long or non-RTMP address
    // is refused at once (pushState false) with a log line. A new address
    // replaces the old connection without restarting the encoder.
    void connect(const std::string &url);
    // true: sends from the next keyframe on; false: ends the stream cleanly.
    void setLive(bool live);
    // False, with a log line, when the file cannot be created. Never
    // replaces a file: a taken name gets "-1", "-2", ... before its
    // extension (logged). Asked again for the file it is writing, the
    // recording goes on in it.
    bool startRecording(const std::string &path);
    // Returns once the file is whole, but never waits on a disk that does
    // not answer (a write stuck for 20 ms) nor, while live, for the sound
    // that ends the recording: the file is then finished in the background.
    void stopRecording();
    bool recording() const;
    // Whether frames are wanted now (live or recording).
    bool active() const;
    // Any thread; a few atomic reads.
    SendLatency sendLatency() const;

    void onCanvas(const QImage &canvas, int64_t ptsUs) override;
    void onAudio(const int16_t *samples, int frames, int64_t ptsUs) override;

private:
    // The loaded encoder, made on first call; null when the library failed.
    Encoder *ensureEncoder();
    Encoder *encoder() const { return m_encoder.load(std::memory_order_acquire); }

    const EncodeEvents m_events;
    std::mutex m_mutex; // making the encoder, and the settings it starts with
    bool m_configured = false;
    int m_width = 0;
    int m_height = 0;
    int m_fps = 0;
    int m_bitRate = 0;
    std::unique_ptr<Encoder> m_owned;
    std::atomic<Encoder *> m_encoder{nullptr};
};

} // namespace castcore
