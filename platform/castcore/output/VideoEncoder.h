#pragma once

// H.264 through libx264 for live use (veryfast, zerolatency: no B-frames, no
// look-ahead, so each picture comes out at once), with the VBV at the bit
// rate and a keyframe every two seconds. Converts the premultiplied ARGB32
// canvas to yuv420p with a cached libswscale context into one pooled frame.

#include <QImage>

#include <cstdint>
#include <functional>
#include <string>

struct AVCodecContext;
struct AVCodecParameters;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace castcore {

class VideoEncoder
{
public:
    using PacketSink = std::function<void(AVPacket *)>;

    VideoEncoder();
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder &) = delete;
    VideoEncoder &operator=(const VideoEncoder &) = delete;

    bool open(int width, int height, int fps, int bitRate, std::string *error);
    void close();
    bool isOpen() const { return m_context != nullptr; }
    // Fills `params` (allocated by the caller) from the open encoder.
    bool parameters(AVCodecParameters *params) const;

    // `pts` in 1/fps; `keyframe` forces an IDR picture. Packets go to `sink`.
    bool encode(const QImage &canvas, int64_t pts, bool keyframe, const PacketSink &sink);
    // Hands on every packet still held; the encoder takes nothing after it
    // (close and open it again).
    void flush(const PacketSink &sink);

private:
    AVCodecContext *m_context = nullptr;
    AVFrame *m_frame = nullptr;
    AVPacket *m_packet = nullptr;
    SwsContext *m_scaler = nullptr;
};

} // namespace castcore
