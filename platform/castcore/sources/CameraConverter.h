#pragma once

// A camera's picture into the RGB32 frame the compositor draws (memory
// order blue, green, red, 0xff), converted once, straight into the frame:
// by libyuv for the formats cameras deliver (YUYV, UYVY, I420, MJPG's planar
// YUV, BGR24), a good ten times as fast as libswscale; by a cached
// libswscale context for the rest.

#include <QImage>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include <cstdint>

struct SwsContext;

namespace castcore {

class CameraConverter
{
public:
    CameraConverter() = default;
    ~CameraConverter();
    CameraConverter(const CameraConverter &) = delete;
    CameraConverter &operator=(const CameraConverter &) = delete;

    // `planes` and `strides` as FFmpeg lays out `format` (a packed format in
    // plane 0) at the frame's size; `fullRange` for YUV at 0-255 (JPEG's).
    // False when the frame is no RGB32 picture or the conversion fails.
    bool convert(const uint8_t *const planes[4], const int strides[4], AVPixelFormat format, bool fullRange,
                 QImage &frame);

private:
    bool convertBySwscale(const uint8_t *const planes[4], const int strides[4], AVPixelFormat format,
                          bool fullRange, QImage &frame);

    SwsContext *m_scaler = nullptr;
};

} // namespace castcore
