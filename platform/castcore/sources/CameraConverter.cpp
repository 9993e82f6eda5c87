#include "CameraConverter.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <libyuv/convert_argb.h>

namespace castcore {

namespace {

// libyuv's converters into "ARGB", which is B, G, R, A in memory, as RGB32 is
// on little-endian machines; its I formats are BT.601 at studio range, its J
// formats at full range. 0 on success.
using PlanarToArgb = int (*)(const uint8_t *, int, const uint8_t *, int, const uint8_t *, int, uint8_t *, int, int,
                             int);

PlanarToArgb planarConverter(AVPixelFormat format, bool fullRange)
{
    switch (format) {
    case AV_PIX_FMT_YUV420P: return fullRange ? libyuv::J420ToARGB : libyuv::I420ToARGB;
    case AV_PIX_FMT_YUV422P: return fullRange ? libyuv::J422ToARGB : libyuv::I422ToARGB;
    case AV_PIX_FMT_YUV444P: return fullRange ? libyuv::J444ToARGB : libyuv::I444ToARGB;
    default: return nullptr;
    }
}

} // namespace

CameraConverter::~CameraConverter()
{
    sws_freeContext(m_scaler);
}

bool CameraConverter::convert(const uint8_t *const planes[4], const int strides[4], AVPixelFormat format,
                              bool fullRange, QImage &frame)
{
    if (frame.format() != QImage::Format_RGB32 || frame.isNull())
        return false;
    const int w = frame.width(), h = frame.height();
    uint8_t *const out = frame.bits();
    const int outStride = int(frame.bytesPerLine());
    if (const PlanarToArgb planar = planarConverter(format, fullRange))
        return planar(planes[0], strides[0], planes[1], strides[1], planes[2], strides[2], out, outStride, w, h) == 0;
    switch (format) {
    case AV_PIX_FMT_YUYV422: return libyuv::YUY2ToARGB(planes[0], strides[0], out, outStride, w, h) == 0;
    case AV_PIX_FMT_UYVY422: return libyuv::UYVYToARGB(planes[0], strides[0], out, outStride, w, h) == 0;
    case AV_PIX_FMT_BGR24: return libyuv::RGB24ToARGB(planes[0], strides[0], out, outStride, w, h) == 0;
    default: return convertBySwscale(planes, strides, format, fullRange, frame);
    }
}

bool CameraConverter::convertBySwscale(const uint8_t *const planes[4], const int strides[4], AVPixelFormat format,
                                       bool fullRange, QImage &frame)
{
    const int w = frame.width(), h = frame.height();
    m_scaler = sws_getCachedContext(m_scaler, w, h, format, w, h, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr,
                                    nullptr);
    if (!m_scaler)
        return false;
    const int *table = sws_getCoefficients(SWS_CS_DEFAULT);
    sws_setColorspaceDetails(m_scaler, table, fullRange ? 1 : 0, table, 1, 0, 1 << 16, 1 << 16);
    uint8_t *dst[4] = {frame.bits(), nullptr, nullptr, nullptr};
    const int dstStrides[4] = {int(frame.bytesPerLine()), 0, 0, 0};
    return sws_scale(m_scaler, planes, strides, 0, h, dst, dstStrides) == h;
}

} // namespace castcore
