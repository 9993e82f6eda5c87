#pragma once

// The encoder as the program sees it: no FFmpeg type crosses this header.
// Its one implementation, FfmpegEncoder, lives in libmvencode.so (which
// brings libavcodec and libavformat), loaded on first need by EncodeLibrary;
// the program itself never links it, so a start with nobody live maps
// neither.

#include "EncodeEvents.h"
#include "MediaSinks.h"
#include "SendLatency.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace castcore {

// See EncodeLibraryClient for what each call does.
class Encoder : public VideoSink, public AudioSink
{
public:
    ~Encoder() override = default;

    virtual void configure(int width, int height, int fps, int bitRate) = 0;
    virtual void connect(const std::string &url) = 0;
    virtual void setLive(bool live) = 0;
    virtual bool startRecording(const std::string &path) = 0;
    virtual void stopRecording() = 0;
    virtual bool recording() const = 0;
    virtual bool active() const = 0;
    virtual SendLatency sendLatency() const = 0;
};

// One decoded MJPG picture; its planes stay valid until the next decode.
// pixelFormat is an AVPixelFormat (libavutil), already mapped from the "J"
// formats to the plain ones, with fullRange set for them.
struct DecodedPicture
{
    const uint8_t *planes[4] = {};
    int strides[4] = {};
    int width = 0;
    int height = 0;
    int pixelFormat = -1;
    bool fullRange = false;
};

class JpegDecoder
{
public:
    virtual ~JpegDecoder() = default;
    // False when the data gives no picture.
    virtual bool decode(const uint8_t *data, size_t bytes, DecodedPicture *picture) = 0;
};

} // namespace castcore

// The library's entry points, looked up by name. Null when they fail.
extern "C" {
castcore::Encoder *mvencode_create_encoder(const castcore::EncodeEvents *events);
castcore::JpegDecoder *mvencode_create_jpeg_decoder();
}
