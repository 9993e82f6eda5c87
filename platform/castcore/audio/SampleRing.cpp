#include "SampleRing.h"

#include "MediaSinks.h"

#include <algorithm>
#include <cstring>

namespace castcore {

SampleRing::SampleRing(int capacityFrames, int primeFrames, int slackFrames)
    : m_buffer(size_t(std::max(1, capacityFrames)) * kAudioChannels)
    , m_capacity(std::max(1, capacityFrames))
    , m_prime(std::clamp(primeFrames, 0, m_capacity))
    , m_slack(std::clamp(slackFrames, m_prime, m_capacity))
    , m_lowestFill(m_capacity)
{
}

void SampleRing::push(const int16_t *samples, int frames)
{
    if (frames <= 0)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (frames > m_capacity) {
        // Only the newest capacity's worth can be kept.
        const int skip = frames - m_capacity;
        m_dropped += skip;
        if (samples)
            samples += size_t(skip) * kAudioChannels;
        frames = m_capacity;
    }
    const int overflow = m_count + frames - m_capacity;
    if (overflow > 0)
        dropOldest(overflow);
    int write = (m_read + m_count) % m_capacity;
    int left = frames;
    while (left > 0) {
        const int run = std::min(left, m_capacity - write);
        int16_t *dst = m_buffer.data() + size_t(write) * kAudioChannels;
        const size_t bytes = size_t(run) * kAudioChannels * sizeof(int16_t);
        if (samples) {
            std::memcpy(dst, samples, bytes);
            samples += size_t(run) * kAudioChannels;
        } else {
            std::memset(dst, 0, bytes);
        }
        write = (write + run) % m_capacity;
        left -= run;
    }
    m_count += frames;
    if (m_priming && m_count >= m_prime)
        m_priming = false;
}

void SampleRing::pull(int16_t *out, int frames)
{
    if (frames <= 0)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    const int ready = m_priming ? 0 : std::min(frames, m_count);
    copyOut(out, ready);
    if (ready < frames) {
        std::memset(out + size_t(ready) * kAudioChannels, 0,
                    size_t(frames - ready) * kAudioChannels * sizeof(int16_t));
        // Ran dry: gather a few fragments again before playing on.
        m_priming = m_prime > 0;
    }
    trimDelay(frames);
}

void SampleRing::dropOldest(int frames)
{
    m_read = (m_read + frames) % m_capacity;
    m_count -= frames;
    m_dropped += frames;
}

void SampleRing::trimDelay(int pulled)
{
    m_lowestFill = std::min(m_lowestFill, m_count);
    m_watched += pulled;
    if (m_watched < m_capacity)
        return;
    if (m_lowestFill > m_slack)
        dropOldest(m_lowestFill - m_prime);
    m_lowestFill = m_count;
    m_watched = 0;
}

void SampleRing::copyOut(int16_t *out, int frames)
{
    int left = frames;
    while (left > 0) {
        const int run = std::min(left, m_capacity - m_read);
        std::memcpy(out, m_buffer.data() + size_t(m_read) * kAudioChannels,
                    size_t(run) * kAudioChannels * sizeof(int16_t));
        out += size_t(run) * kAudioChannels;
        m_read = (m_read + run) % m_capacity;
        m_count -= run;
        left -= run;
    }
}

int64_t SampleRing::droppedFrames() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dropped;
}

} // namespace castcore
