#pragma once

// AAC (FFmpeg's native encoder), 48 kHz stereo, 128 kbit/s. Takes the
// mixer's interleaved s16 in frameSize() chunks and converts them to fltp
// with libswresample into one pooled frame.

#include <cstdint>
#include <functional>
#include <string>

struct AVCodecContext;
struct AVCodecParameters;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace castcore {

class AudioEncoder
{
public:
    using PacketSink = std::function<void(AVPacket *)>;
    static constexpr int kBitRate = 128000;

    AudioEncoder();
    ~AudioEncoder();
    AudioEncoder(const AudioEncoder &) = delete;
    AudioEncoder &operator=(const AudioEncoder &) = delete;

    bool open(std::string *error);
    void close();
    bool isOpen() const { return m_context != nullptr; }
    bool parameters(AVCodecParameters *params) const;
    int frameSize() const;

    // frameSize() interleaved stereo frames; `pts` in 1/48000.
    bool encode(const int16_t *samples, int64_t pts, const PacketSink &sink);
    // Hands on every packet still held (the last frames' sound comes out
    // one frame late); the encoder takes nothing after it (close and open it
    // again).
    void flush(const PacketSink &sink);

private:
    AVCodecContext *m_context = nullptr;
    AVFrame *m_frame = nullptr;
    AVPacket *m_packet = nullptr;
    SwrContext *m_resampler = nullptr;
};

} // namespace castcore
