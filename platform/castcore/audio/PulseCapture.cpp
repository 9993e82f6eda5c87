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
                                                 const std::string &source, std::chrono::milliseconds timeout,
                                                 std::string *why)
{
    const auto fail = [why](const std::string &reason) {
        if (why)
            *why = reason;
        return nullptr;
    };
    if (!client)
        return fail("no sound server");
    std::shared_ptr<PulseCapture> capture(new PulseCapture(client));
    {
        PulseLock hold(*client);
        if (!client->isReady())
            return fail("no sound server");
        pa_sample_spec spec;
        spec.format = PA_SAMPLE_S16LE;
        spec.rate = kAudioRate;
        spec.channels = kAudioChannels;
        capture->m_stream = pa_stream_new(client->context(), "MorvaShow capture", &spec, nullptr);
        if (!capture->m_stream)
            return fail(pa_strerror(pa_context_errno(client->context())));
        pa_stream_set_state_callback(capture->m_stream, &PulseCapture::onState, capture.get());
        pa_stream_set_read_callback(capture->m_stream, &PulseCapture::onRead, capture.get());
        pa_buffer_attr attr;
        attr.maxlength = uint32_t(-1);
        attr.tlength = uint32_t(-1);
        attr.prebuf = uint32_t(-1);
        attr.minreq = uint32_t(-1);
        attr.fragsize = uint32_t(pa_usec_to_bytes(kFragmentUs, &spec));
        const pa_stream_flags_t flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
        if (pa_stream_connect_record(capture->m_stream, source.c_str(), &attr, flags) < 0)
            return fail(pa_strerror(pa_context_errno(client->context())));
    }
    const PulseCapture *c = capture.get();
    client->waitUntil([c] { return c->m_state == PA_STREAM_READY || isFinal(c->m_state); }, timeout);
    if (capture->m_state != PA_STREAM_READY) {
        PulseLock hold(*client);
        const int error = pa_context_errno(client->context());
        return fail(error != PA_OK ? pa_strerror(error) : "the server did not start the stream");
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

bool PulseCapture::ended() const
{
    return isFinal(m_state) || !m_client->isReady();
}

void PulseCapture::onState(pa_stream *stream, void *self)
{
    auto *capture = static_cast<PulseCapture *>(self);
    capture->m_state = pa_stream_get_state(stream);
    capture->m_client->wake();
    if (isFinal(capture->m_state))
        capture->m_client->changed();
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
