#include "VideoEncoder.h"

#include "AvError.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <QtGlobal>

#include <libyuv/convert.h>

#include <algorithm>
#include <thread>

#include <pthread.h>

namespace castcore {

namespace {

// One slice thread per two cores, at most this many: a 720p picture at
// veryfast is a few milliseconds of work, and every thread is woken for
// every picture.
constexpr int kMaxThreads = 4;

} // namespace

int VideoEncoder::threadCount(unsigned cores)
{
    return std::clamp(int(cores / 2), 1, kMaxThreads);
}

VideoEncoder::VideoEncoder() : m_packet(av_packet_alloc()) {}

VideoEncoder::~VideoEncoder()
{
    close();
    av_packet_free(&m_packet);
}

bool VideoEncoder::open(int width, int height, int fps, int bitRate, std::string *error)
{
    close();
    const AVCodec *codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) {
        *error = "libx264 is not available";
        return false;
    }
    m_context = avcodec_alloc_context3(codec);
    // yuv420p wants even sizes.
    m_context->width = width & ~1;
    m_context->height = height & ~1;
    m_context->pix_fmt = AV_PIX_FMT_YUV420P;
    m_context->time_base = AVRational{1, fps};
    m_context->framerate = AVRational{fps, 1};
    m_context->gop_size = fps * 2;
    m_context->max_b_frames = 0;
    m_context->bit_rate = bitRate;
    m_context->rc_max_rate = bitRate;
    m_context->rc_buffer_size = bitRate;
    m_context->colorspace = AVCOL_SPC_SMPTE170M;
    m_context->color_primaries = AVCOL_PRI_SMPTE170M;
    m_context->color_trc = AVCOL_TRC_SMPTE170M;
    m_context->color_range = AVCOL_RANGE_MPEG;
    // FLV and MP4 both carry SPS/PPS in the header, not in the stream.
    m_context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(m_context->priv_data, "preset", "veryfast", 0);
    av_opt_set(m_context->priv_data, "tune", "zerolatency", 0);
    av_opt_set_int(m_context->priv_data, "forced-idr", 1, 0);
    // x264's own choice is 1.5 threads a core and as many look-ahead threads
    // again (16 on 8 cores), all woken for every picture. Without look-ahead
    // (zerolatency) the picture's analysis is a sliver of its encoding, done
    // on the encoding thread.
    m_context->thread_count = threadCount(std::thread::hardware_concurrency());
    av_opt_set(m_context->priv_data, "x264-params", "lookahead-threads=1", 0);
    // x264 starts its threads here, and they take the name of the thread
    // that starts them: opened under x264's own name, per-thread figures
    // show them apart from whichever thread first asked for the encoder.
    char opener[16] = {};
    const bool named = pthread_getname_np(pthread_self(), opener, sizeof opener) == 0;
    if (named)
        pthread_setname_np(pthread_self(), "x264");
    const int rc = avcodec_open2(m_context, codec, nullptr);
    if (named)
        pthread_setname_np(pthread_self(), opener);
    if (rc < 0) {
        *error = avError(rc);
        close();
        return false;
    }
    m_frame = av_frame_alloc();
    m_frame->format = m_context->pix_fmt;
    m_frame->width = m_context->width;
    m_frame->height = m_context->height;
    if (av_frame_get_buffer(m_frame, 0) < 0) {
        *error = "out of memory";
        close();
        return false;
    }
    return true;
}

void VideoEncoder::close()
{
    avcodec_free_context(&m_context);
    av_frame_free(&m_frame);
    sws_freeContext(m_scaler);
    m_scaler = nullptr;
}

bool VideoEncoder::parameters(AVCodecParameters *params) const
{
    return m_context && avcodec_parameters_from_context(params, m_context) >= 0;
}

bool VideoEncoder::encode(const QImage &input, int64_t pts, bool keyframe, const PacketSink &sink)
{
    if (!m_context || input.isNull())
        return false;
    // ARGB32 in any flavour is B,G,R,A in memory on little-endian machines.
    QImage converted;
    const QImage *canvas = &input;
    if (input.format() != QImage::Format_ARGB32_Premultiplied && input.format() != QImage::Format_ARGB32
        && input.format() != QImage::Format_RGB32) {
        converted = input.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        canvas = &converted;
    }
    if (av_frame_make_writable(m_frame) < 0 || !convert(*canvas))
        return false;
    m_frame->pts = pts;
    m_frame->pict_type = keyframe ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;

    int rc = avcodec_send_frame(m_context, m_frame);
    if (rc < 0) {
        qWarning("engine: video encoding failed: %s", avError(rc).c_str());
        return false;
    }
    while ((rc = avcodec_receive_packet(m_context, m_packet)) >= 0) {
        sink(m_packet);
        av_packet_unref(m_packet);
    }
    return rc == AVERROR(EAGAIN) || rc == AVERROR_EOF;
}

bool VideoEncoder::convert(const QImage &canvas)
{
    // An odd last column or row is left out (yuv420p wants even sizes).
    const int width = m_context->width, height = m_context->height;
    if ((canvas.width() & ~1) == width && (canvas.height() & ~1) == height) {
        // Ten times as fast as libswscale's road for this pair of formats,
        // same BT.601 studio range. libyuv's ARGB is B, G, R, A in memory.
        return libyuv::ARGBToI420(canvas.constBits(), int(canvas.bytesPerLine()), m_frame->data[0],
                                  m_frame->linesize[0], m_frame->data[1], m_frame->linesize[1], m_frame->data[2],
                                  m_frame->linesize[2], width, height)
               == 0;
    }
    // The canvas changed size before the encoder did: scaled to its size.
    m_scaler = sws_getCachedContext(m_scaler, canvas.width(), canvas.height(), AV_PIX_FMT_BGRA, width, height,
                                    AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!m_scaler)
        return false;
    const uint8_t *source[4] = {canvas.constBits(), nullptr, nullptr, nullptr};
    const int stride[4] = {int(canvas.bytesPerLine()), 0, 0, 0};
    return sws_scale(m_scaler, source, stride, 0, canvas.height(), m_frame->data, m_frame->linesize) == height;
}

void VideoEncoder::flush(const PacketSink &sink)
{
    if (!m_context || avcodec_send_frame(m_context, nullptr) < 0)
        return;
    while (avcodec_receive_packet(m_context, m_packet) >= 0) {
        sink(m_packet);
        av_packet_unref(m_packet);
    }
}

} // namespace castcore
