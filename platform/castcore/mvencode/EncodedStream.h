#pragma once

// What the encoders hand the outputs: the streams' codec parameters (for a
// container's header) and reference-counted packets carrying the encoding
// generation they belong to, so an output notices a re-opened encoder.

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cstdint>
#include <cstring>
#include <memory>

namespace castcore {

struct StreamParams
{
    StreamParams() = default;
    StreamParams(const StreamParams &) = delete;
    StreamParams &operator=(const StreamParams &) = delete;
    ~StreamParams()
    {
        avcodec_parameters_free(&video);
        avcodec_parameters_free(&audio);
    }

    AVCodecParameters *video = nullptr;
    AVCodecParameters *audio = nullptr;
    AVRational videoTimeBase{1, 25};
    AVRational audioTimeBase{1, 48000};
    AVRational frameRate{25, 1};
    int bitRate = 0; // video + audio, bit/s
    int generation = 0;
};
using StreamParamsPtr = std::shared_ptr<const StreamParams>;

struct PacketFree
{
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;

// An output's own copy of a packet: its data is not shared with the encoder
// thread, so each buffer has one owner at a time, handed over under a lock.
inline PacketPtr copyPacket(const AVPacket *source)
{
    PacketPtr copy(av_packet_alloc());
    if (!copy || av_new_packet(copy.get(), source->size) < 0 || av_packet_copy_props(copy.get(), source) < 0)
        return nullptr;
    if (source->size > 0)
        memcpy(copy->data, source->data, size_t(source->size));
    return copy;
}

struct EncodedPacket
{
    PacketPtr packet;     // timestamps in the encoder's time base
    bool video = false;
    int generation = 0;
    int64_t ptsUs = 0;    // the same timestamp in microseconds
    int64_t originUs = 0; // video: the canvas's time on the engine clock; 0 when unknown

    bool keyframe() const { return video && (packet->flags & AV_PKT_FLAG_KEY); }
};

} // namespace castcore
