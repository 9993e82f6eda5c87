#include "AudioEncoder.h"

#include "AvError.h"

#include "MediaSinks.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswresample/swresample.h>
}

#include <QtGlobal>

namespace castcore {

AudioEncoder::AudioEncoder() : m_packet(av_packet_alloc()) {}

AudioEncoder::~AudioEncoder()
{
    close();
    av_packet_free(&m_packet);
}

bool AudioEncoder::open(std::string *error)
{
    close();
    const AVCodec *codec = avcodec_find_encoder_by_name("aac");
    if (!codec) {
        *error = "the AAC encoder is not available";
        return false;
    }
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    m_context = avcodec_alloc_context3(codec);
    m_context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    m_context->sample_rate = kAudioRate;
    av_channel_layout_copy(&m_context->ch_layout, &stereo);
    m_context->bit_rate = kBitRate;
    m_context->time_base = AVRational{1, kAudioRate};
    m_context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int rc = avcodec_open2(m_context, codec, nullptr);
    if (rc < 0) {
        *error = avError(rc);
        close();
        return false;
    }
    rc = swr_alloc_set_opts2(&m_resampler, &stereo, AV_SAMPLE_FMT_FLTP, kAudioRate, &stereo,
                             AV_SAMPLE_FMT_S16, kAudioRate, 0, nullptr);
    if (rc < 0 || swr_init(m_resampler) < 0) {
        *error = "cannot convert the sound";
        close();
        return false;
    }
    m_frame = av_frame_alloc();
    m_frame->format = m_context->sample_fmt;
    m_frame->sample_rate = kAudioRate;
    av_channel_layout_copy(&m_frame->ch_layout, &stereo);
    m_frame->nb_samples = m_context->frame_size;
    if (av_frame_get_buffer(m_frame, 0) < 0) {
        *error = "out of memory";
        close();
        return false;
    }
    return true;
}

void AudioEncoder::close()
{
    avcodec_free_context(&m_context);
    av_frame_free(&m_frame);
    swr_free(&m_resampler);
}

bool AudioEncoder::parameters(AVCodecParameters *params) const
{
    return m_context && avcodec_parameters_from_context(params, m_context) >= 0;
}

int AudioEncoder::frameSize() const
{
    return m_context ? m_context->frame_size : 1024;
}

bool AudioEncoder::encode(const int16_t *samples, int64_t pts, const PacketSink &sink)
{
    if (!m_context || av_frame_make_writable(m_frame) < 0)
        return false;
    const uint8_t *in[1] = {reinterpret_cast<const uint8_t *>(samples)};
    const int converted = swr_convert(m_resampler, m_frame->data, m_frame->nb_samples, in, m_frame->nb_samples);
    if (converted != m_frame->nb_samples)
        return false;
    m_frame->pts = pts;
    int rc = avcodec_send_frame(m_context, m_frame);
    if (rc < 0) {
        qWarning("engine: sound encoding failed: %s", avError(rc).c_str());
        return false;
    }
    while ((rc = avcodec_receive_packet(m_context, m_packet)) >= 0) {
        sink(m_packet);
        av_packet_unref(m_packet);
    }
    return rc == AVERROR(EAGAIN) || rc == AVERROR_EOF;
}

void AudioEncoder::flush(const PacketSink &sink)
{
    if (!m_context || avcodec_send_frame(m_context, nullptr) < 0)
        return;
    while (avcodec_receive_packet(m_context, m_packet) >= 0) {
        sink(m_packet);
        av_packet_unref(m_packet);
    }
}

} // namespace castcore
