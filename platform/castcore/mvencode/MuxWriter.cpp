#include "MuxWriter.h"

#include "AvError.h"
#include "MediaSinks.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <algorithm>

namespace castcore {

namespace {
constexpr AVRational kMicroseconds{1, 1000000};
constexpr size_t kEarlySoundMax = 48; // ~1 s of AAC packets
}

MuxWriter::MuxWriter(const char *format, IoDeadline *deadline)
    : m_format(format), m_deadline(deadline), m_scratch(av_packet_alloc())
{
}

MuxWriter::~MuxWriter()
{
    close();
    av_packet_free(&m_scratch);
}

bool MuxWriter::open(const std::string &target, std::string *error)
{
    close();
    int rc = avformat_alloc_output_context2(&m_context, nullptr, m_format, target.c_str());
    if (rc < 0 || !m_context) {
        *error = avError(rc);
        m_context = nullptr;
        return false;
    }
    m_context->interrupt_callback = AVIOInterruptCB{&IoDeadline::check, m_deadline};
    // Each packet reaches the target at once: the receiver sees it now, and a
    // fragment that was written survives a crash.
    m_context->flags |= AVFMT_FLAG_FLUSH_PACKETS;
    rc = avio_open2(&m_context->pb, target.c_str(), AVIO_FLAG_WRITE, &m_context->interrupt_callback,
                    nullptr);
    if (rc < 0) {
        *error = avError(rc);
        avformat_free_context(m_context);
        m_context = nullptr;
        return false;
    }
    return true;
}

bool MuxWriter::writeHeader(const StreamParams &params, const char *muxerOptions, std::string *error, int *code)
{
    int unused = 0;
    int &failure = code ? *code : unused;
    m_video = avformat_new_stream(m_context, nullptr);
    m_audio = avformat_new_stream(m_context, nullptr);
    if (!m_video || !m_audio || avcodec_parameters_copy(m_video->codecpar, params.video) < 0
        || avcodec_parameters_copy(m_audio->codecpar, params.audio) < 0) {
        *error = "out of memory";
        failure = AVERROR(ENOMEM);
        return false;
    }
    m_video->codecpar->codec_tag = 0;
    m_audio->codecpar->codec_tag = 0;
    m_video->time_base = params.videoTimeBase;
    m_video->avg_frame_rate = params.frameRate;
    m_audio->time_base = params.audioTimeBase;
    m_videoTimeBase = params.videoTimeBase;
    m_audioTimeBase = params.audioTimeBase;
    m_generation = params.generation;

    AVDictionary *options = nullptr;
    if (muxerOptions)
        av_dict_parse_string(&options, muxerOptions, "=", ":", 0);
    const int rc = avformat_write_header(m_context, &options);
    av_dict_free(&options);
    if (rc < 0) {
        *error = avError(rc);
        failure = rc;
        return false;
    }
    avio_flush(m_context->pb);
    if (m_context->pb->error < 0) {
        *error = avError(m_context->pb->error);
        failure = m_context->pb->error;
        return false;
    }
    m_headerWritten = true;
    return true;
}

int MuxWriter::write(const EncodedPacket &packet)
{
    if (!m_headerWritten)
        return AVERROR(EINVAL);
    if (m_baseUs == kNoBase) {
        if (!packet.keyframe()) {
            if (!packet.video) {
                if (m_earlySound.size() >= kEarlySoundMax)
                    m_earlySound.pop_front();
                m_earlySound.push_back({PacketPtr(av_packet_clone(packet.packet.get())), false,
                                        packet.generation, packet.ptsUs});
            }
            return 0;
        }
        m_baseUs = packet.ptsUs;
        while (!m_earlySound.empty()) {
            EncodedPacket sound = std::move(m_earlySound.front());
            m_earlySound.pop_front();
            if (sound.packet && sound.ptsUs >= m_baseUs) {
                const int rc = writeNow(sound);
                if (rc < 0)
                    return rc;
            }
        }
    }
    if (packet.ptsUs < m_baseUs)
        return 0;
    return writeNow(packet);
}

int MuxWriter::writeNow(const EncodedPacket &packet)
{
    const AVRational tb = packet.video ? m_videoTimeBase : m_audioTimeBase;
    AVStream *stream = packet.video ? m_video : m_audio;
    const int64_t base = av_rescale_q(m_baseUs, kMicroseconds, tb);
    av_packet_unref(m_scratch);
    int rc = av_packet_ref(m_scratch, packet.packet.get());
    if (rc < 0)
        return rc;
    m_scratch->pts = packet.packet->pts - base;
    m_scratch->dts = (packet.packet->dts == AV_NOPTS_VALUE ? packet.packet->pts : packet.packet->dts) - base;
    if (m_scratch->dts < 0 || m_scratch->pts < 0)
        return 0; // sound from just before the start
    av_packet_rescale_ts(m_scratch, tb, stream->time_base);
    m_scratch->stream_index = stream->index;
    if (packet.video)
        m_origins[size_t(m_videoQueued++ % int64_t(m_origins.size()))] = packet.originUs;
    rc = av_interleaved_write_frame(m_context, m_scratch);
    if (rc >= 0 && m_context->pb && m_context->pb->error < 0)
        rc = m_context->pb->error;
    if (m_latency && rc >= 0)
        noteWritten();
    return rc;
}

void MuxWriter::noteWritten()
{
    // Each packet is flushed as it is written (AVFMT_FLAG_FLUSH_PACKETS), so
    // a frame counted by the muxer has reached the target.
    const int64_t written = std::min<int64_t>(m_video->nb_frames, m_videoQueued);
    if (written <= m_videoMeasured)
        return;
    const int64_t now = mediaNowUs();
    const int64_t oldestKept = m_videoQueued - int64_t(m_origins.size());
    for (int64_t n = std::max(m_videoMeasured, oldestKept); n < written; ++n) {
        const int64_t origin = m_origins[size_t(n % int64_t(m_origins.size()))];
        if (origin > 0)
            m_latency->add(now - origin);
    }
    m_videoMeasured = written;
}

bool MuxWriter::finish()
{
    if (!m_context)
        return false;
    bool ok = true;
    if (m_headerWritten) {
        ok = av_write_trailer(m_context) >= 0;
        if (m_context->pb) {
            avio_flush(m_context->pb);
            ok = ok && m_context->pb->error >= 0;
        }
        m_headerWritten = false;
    }
    close();
    return ok;
}

void MuxWriter::close()
{
    m_earlySound.clear();
    m_videoQueued = m_videoMeasured = 0;
    m_baseUs = kNoBase;
    m_headerWritten = false;
    m_video = m_audio = nullptr;
    if (!m_context)
        return;
    avio_closep(&m_context->pb);
    avformat_free_context(m_context);
    m_context = nullptr;
}

int64_t MuxWriter::bytesWritten() const
{
    return m_context && m_context->pb ? avio_tell(m_context->pb) : 0;
}

} // namespace castcore
