#include "PulseCapture.h"

#include "MediaSinks.h"
#include "PulseClient.h"

#include <pulse/error.h>

#include <QtGlobal>

namespace castcore {

namespace {

constexpr int kFrameBytes = kAudioChannels * int(sizeof(int16_t));
// Some sources (virtual ones especially) hand over seconds at once.
constexpr int kRingFrames = kAudioRate * 3;
// 30 ms gathered after running dry; more than 100 ms held for 3 s is delay.
constexpr int kPrimeFrames = kAudioRate * 3 / 100;
constexpr int kSlackFrames = kAudioRate / 10;
constexpr pa_usec_t kFragmentUs = 10000;

bool isFinal(int state)
{
    return state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED;
}

} // namespace

PulseCapture::PulseCapture(std::shared_ptr<PulseClient> client)
    : m_client(std::move(client))
    , m_ring(kRingFrames, kPrimeFrames, kSlackFrames)
{
}

std::shared_ptr<PulseCapture> PulseCapture::open(const std::shared_ptr<PulseClient> &client,
                                                 const std::string &source, std::chrono::milliseconds timeout)
{
    if (!client)
        return nullptr;
    std::shared_ptr<PulseCapture> capture(new PulseCapture(client));
    {
        PulseLock hold(*client);
        if (!client->isReady())
            return nullptr;
        pa_sample_spec spec;
        spec.format = PA_SAMPLE_S16LE;
        spec.rate = kAudioRate;
        spec.channels = kAudioChannels;
        capture->m_stream = pa_stream_new(client->context(), "MorvaShow capture", &spec, nullptr);
        if (!capture->m_stream)
            return nullptr;
        pa_stream_set_state_callback(capture->m_stream, &PulseCapture::onState, capture.get());
        pa_stream_set_read_callback(capture->m_stream, &PulseCapture::onRead, capture.get());
        pa_buffer_attr attr;
        attr.maxlength = uint32_t(-1);
        attr.tlength = uint32_t(-1);
        attr.prebuf = uint32_t(-1);
        attr.minreq = uint32_t(-1);
        attr.fragsize = uint32_t(pa_usec_to_bytes(kFragmentUs, &spec));
        if (pa_stream_connect_record(capture->m_stream, source.c_str(), &attr, PA_STREAM_ADJUST_LATENCY) < 0) {
            qWarning("engine: cannot record %s: %s", source.c_str(),
                     pa_strerror(pa_context_errno(client->context())));
            return nullptr;
        }
    }
    const PulseCapture *c = capture.get();
    client->waitUntil([c] { return c->m_state == PA_STREAM_READY || isFinal(c->m_state); }, timeout);
    if (capture->m_state != PA_STREAM_READY) {
        qWarning("engine: cannot record %s: the server did not start the stream", source.c_str());
        return nullptr;
    }
    return capture;
}

PulseCapture::~PulseCapture()
{
    if (!m_stream)
        return;
    PulseLock hold(*m_client);
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_set_read_callback(m_stream, nullptr, nullptr);
    if (pa_stream_get_state(m_stream) == PA_STREAM_READY || pa_stream_get_state(m_stream) == PA_STREAM_CREATING)
        pa_stream_disconnect(m_stream);
    pa_stream_unref(m_stream);
}

void PulseCapture::read(int16_t *out, int frames)
{
    m_ring.pull(out, frames);
}

int64_t PulseCapture::droppedFrames() const
{
    return m_ring.droppedFrames();
}

void PulseCapture::onState(pa_stream *stream, void *self)
{
    auto *capture = static_cast<PulseCapture *>(self);
    capture->m_state = pa_stream_get_state(stream);
    capture->m_client->wake();
}

void PulseCapture::onRead(pa_stream *stream, size_t, void *self)
{
    auto *capture = static_cast<PulseCapture *>(self);
    while (pa_stream_readable_size(stream) > 0) {
        const void *data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0)
            break;
        // No data with a size is a hole in the capture: it stays as silence.
        capture->m_ring.push(static_cast<const int16_t *>(data), int(bytes / kFrameBytes));
        pa_stream_drop(stream);
    }
}

} // namespace castcore
