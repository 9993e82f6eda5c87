#pragma once

// H.264 through libx264 for live use (veryfast, zerolatency: no B-frames, no
// look-ahead, so each picture comes out at once), with the VBV at the bit
// rate and a keyframe every two seconds, on a few slice threads. Converts the
// premultiplied ARGB32 canvas to yuv420p into one pooled frame: with libyuv
// at the encoder's size, with libswscale when the canvas has another size.

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

    // The slice threads x264 gets on a machine with `cores` cores.
    static int threadCount(unsigned cores);

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
    bool convert(const QImage &canvas);

    AVCodecContext *m_context = nullptr;
    AVFrame *m_frame = nullptr;
    AVPacket *m_packet = nullptr;
    SwsContext *m_scaler = nullptr;
};

} // namespace castcore
