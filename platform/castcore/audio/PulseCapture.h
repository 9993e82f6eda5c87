#pragma once

// Records one PulseAudio source (a microphone or a sink's monitor) in the
// engine's layout; the server converts rate and channels. Buffers arrive on
// the server connection's thread and wait in a bounded ring for the mixer.
// The stream keeps to its source: when the source or the server goes away
// the stream ends (the server may not move it to another device, where it
// would carry another input's sound) and the device is silent.

#include "AudioInput.h"
#include "SampleRing.h"

#include <pulse/stream.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

namespace castcore {

class PulseClient;

class PulseCapture : public AudioInput
{
public:
    // Null when the source cannot be recorded within `timeout`; `why` then
    // tells the reason.
    static std::shared_ptr<PulseCapture> open(const std::shared_ptr<PulseClient> &client,
                                              const std::string &source, std::chrono::milliseconds timeout,
                                              std::string *why);
    ~PulseCapture() override;

    PulseCapture(const PulseCapture &) = delete;
    PulseCapture &operator=(const PulseCapture &) = delete;

    void read(int16_t *out, int frames) override;
    int64_t droppedFrames() const;
    // The stream or its connection has ended: nothing more will come.
    bool ended() const;

private:
    explicit PulseCapture(std::shared_ptr<PulseClient> client);
    static void onState(pa_stream *stream, void *self);
    static void onRead(pa_stream *stream, size_t bytes, void *self);

    std::shared_ptr<PulseClient> m_client;
    pa_stream *m_stream = nullptr;
    std::atomic<int> m_state{PA_STREAM_UNCONNECTED};
    SampleRing m_ring;
};

} // namespace castcore
