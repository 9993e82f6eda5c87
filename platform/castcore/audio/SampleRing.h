#pragma once

// Hands captured sound from the capture thread to the mixer. Bounded: when
// the mixer does not keep up the oldest frames go (counted). Large enough for
// sources that deliver seconds at once; when the fill never fell below
// `slackFrames` for a whole capacity's worth of mixing, the surplus is
// dropped so that a stall does not leave a lasting delay. After running dry
// it waits for `primeFrames` before it plays again, so that delivery jitter
// becomes one gap instead of many clicks.

#include <cstdint>
#include <mutex>
#include <vector>

namespace castcore {

class SampleRing
{
public:
    // Sizes in stereo frames.
    SampleRing(int capacityFrames, int primeFrames, int slackFrames);

    // Capture thread. Null `samples` adds silence (a hole in the capture).
    void push(const int16_t *samples, int frames);
    // Mixer thread: exactly `frames` frames, silence where none are ready.
    void pull(int16_t *out, int frames);

    int64_t droppedFrames() const;

private:
    void copyOut(int16_t *out, int frames);
    void dropOldest(int frames);
    void trimDelay(int pulled);

    mutable std::mutex m_mutex;
    std::vector<int16_t> m_buffer;
    int m_capacity;
    int m_prime;
    int m_slack;
    int m_read = 0; // frame index
    int m_count = 0;
    bool m_priming = true;
    int m_lowestFill; // since m_watched frames were pulled
    int m_watched = 0;
    int64_t m_dropped = 0;
};

} // namespace castcore
