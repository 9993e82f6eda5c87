#include "MediaInspector.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>

namespace testsupport {

namespace {

struct Decoder
{
    AVCodecContext *context = nullptr;
    ~Decoder() { avcodec_free_context(&context); }
    bool open(const AVStream *stream)
    {
        const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id);
        if (!codec)
            return false;
        context = avcodec_alloc_context3(codec);
        return avcodec_parameters_to_context(context, stream->codecpar) >= 0
               && avcodec_open2(context, codec, nullptr) >= 0;
    }
};

// Mean of every fourth luma sample of every fourth row; -1 for a picture
// that is not 8-bit YUV.
int meanLuma(const AVFrame *frame)
{
    const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    if (!desc || (desc->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL)) || desc->comp[0].depth != 8
        || desc->comp[0].plane != 0 || desc->comp[0].step != 1)
        return -1;
    int64_t sum = 0;
    int64_t count = 0;
    for (int y = 0; y < frame->height; y += 4) {
        const uint8_t *row = frame->data[0] + ptrdiff_t(y) * frame->linesize[0];
        for (int x = 0; x < frame->width; x += 4, ++count)
            sum += row[x];
    }
    return count > 0 ? int(sum / count) : -1;
}

QImage toImage(const AVFrame *frame)
{
    QImage image(frame->width, frame->height, QImage::Format_RGB32);
    SwsContext *sws = sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                                     frame->height, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    uint8_t *dst[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int stride[4] = {int(image.bytesPerLine()), 0, 0, 0};
    sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, stride);
    sws_freeContext(sws);
    return image;
}

} // namespace

MediaSummary inspectMedia(const QString &path, int pictureIndex)
{
    MediaSummary summary;
    AVFormatContext *format = nullptr;
    if (avformat_open_input(&format, path.toUtf8().constData(), nullptr, nullptr) < 0)
        return summary;
    avformat_find_stream_info(format, nullptr);
    summary.opened = true;
    const int videoIndex = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int audioIndex = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    Decoder video;
    Decoder audio;
    if (videoIndex >= 0) {
        const AVStream *stream = format->streams[videoIndex];
        summary.videoCodec = avcodec_get_name(stream->codecpar->codec_id);
        summary.width = stream->codecpar->width;
        summary.height = stream->codecpar->height;
        video.open(stream);
    }
    if (audioIndex >= 0) {
        const AVStream *stream = format->streams[audioIndex];
        summary.audioCodec = avcodec_get_name(stream->codecpar->codec_id);
        summary.soundRate = stream->codecpar->sample_rate;
        audio.open(stream);
    }

    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    auto drain = [&](Decoder &decoder, int index) {
        const AVRational tb = format->streams[index]->time_base;
        while (avcodec_receive_frame(decoder.context, frame) >= 0) {
            const double t = frame->best_effort_timestamp == AV_NOPTS_VALUE
                                 ? -1
                                 : frame->best_effort_timestamp * av_q2d(tb);
            if (index == videoIndex) {
                if (summary.firstVideoS < 0)
                    summary.firstVideoS = t;
                summary.lastVideoS = t;
                const AVRational rate = format->streams[index]->avg_frame_rate;
                const double duration = frame->pkt_duration > 0 ? frame->pkt_duration * av_q2d(tb)
                                        : rate.num > 0          ? 1 / av_q2d(rate)
                                                                : 0;
                summary.lastVideoEndS = t + duration;
                summary.videoTimesS.push_back(t);
                summary.videoLuma.push_back(meanLuma(frame));
                if (summary.videoFrames <= pictureIndex)
                    summary.picture = toImage(frame);
                ++summary.videoFrames;
            } else {
                if (summary.firstAudioS < 0)
                    summary.firstAudioS = t;
                if (frame->sample_rate > 0)
                    summary.lastAudioEndS = t + double(frame->nb_samples) / frame->sample_rate;
                const float *left = reinterpret_cast<const float *>(frame->data[0]);
                if (frame->format == AV_SAMPLE_FMT_FLTP)
                    summary.sound.insert(summary.sound.end(), left, left + frame->nb_samples);
            }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == videoIndex && video.context) {
            if (avcodec_send_packet(video.context, packet) >= 0)
                drain(video, videoIndex);
        } else if (packet->stream_index == audioIndex && audio.context) {
            if (avcodec_send_packet(audio.context, packet) >= 0)
                drain(audio, audioIndex);
        }
        av_packet_unref(packet);
    }
    if (video.context && avcodec_send_packet(video.context, nullptr) >= 0)
        drain(video, videoIndex);
    if (audio.context && avcodec_send_packet(audio.context, nullptr) >= 0)
        drain(audio, audioIndex);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&format);
    return summary;
}

double toneFrequency(const std::vector<float> &sound, int rate, double fromS, double toS)
{
    const size_t from = size_t(fromS * rate);
    const size_t to = std::min(sound.size(), size_t(toS * rate));
    if (to <= from + 1)
        return 0;
    int rising = 0;
    for (size_t i = from + 1; i < to; ++i)
        rising += (sound[i - 1] < 0 && sound[i] >= 0) ? 1 : 0;
    return rising / (double(to - from) / rate);
}

double firstBrightPictureS(const MediaSummary &media, double fromS, int minLuma)
{
    for (size_t i = 0; i < media.videoTimesS.size() && i < media.videoLuma.size(); ++i) {
        if (media.videoTimesS[i] >= fromS && media.videoLuma[i] >= minLuma)
            return media.videoTimesS[i];
    }
    return -1;
}

double soundOnsetS(const MediaSummary &media, double fromS, float level)
{
    if (media.soundRate <= 0 || media.firstAudioS < 0)
        return -1;
    const double from = std::max(0.0, (fromS - media.firstAudioS) * media.soundRate);
    for (size_t i = size_t(from); i < media.sound.size(); ++i) {
        if (std::fabs(media.sound[i]) >= level)
            return media.firstAudioS + double(i) / media.soundRate;
    }
    return -1;
}

float soundPeak(const std::vector<float> &sound, int rate, double fromS, double toS)
{
    const size_t from = std::min(sound.size(), size_t(std::max(0.0, fromS) * rate));
    const size_t to = std::min(sound.size(), size_t(std::max(0.0, toS) * rate));
    float peak = 0;
    for (size_t i = from; i < to; ++i)
        peak = std::max(peak, std::fabs(sound[i]));
    return peak;
}

bool areaHasColour(const QImage &picture, const QRect &area, const QColor &colour, int tolerance, QString *why)
{
    if (!picture.rect().contains(area)) {
        *why = QStringLiteral("area (%1,%2 %3x%4) outside the %5x%6 picture")
                   .arg(area.x()).arg(area.y()).arg(area.width()).arg(area.height())
                   .arg(picture.width()).arg(picture.height());
        return false;
    }
    for (int y = area.top(); y <= area.bottom(); y += 4) {
        for (int x = area.left(); x <= area.right(); x += 4) {
            const QColor c = picture.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) > tolerance || std::abs(c.green() - colour.green()) > tolerance
                || std::abs(c.blue() - colour.blue()) > tolerance) {
                *why = QStringLiteral("pixel (%1,%2) is %3,%4,%5, expected %6,%7,%8")
                           .arg(x).arg(y).arg(c.red()).arg(c.green()).arg(c.blue())
                           .arg(colour.red()).arg(colour.green()).arg(colour.blue());
                return false;
            }
        }
    }
    return true;
}

} // namespace testsupport
