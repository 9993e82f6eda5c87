#include "AudioMixer.h"

#include "ThreadSignalStack.h"

#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace castcore {

namespace {

constexpr int64_t kChunkUs = 10000;
// Further behind than this the mixer gives up the lost time instead of
// catching up with a burst of chunks.
constexpr int64_t kMaxLagUs = 200000;

void scale(int16_t *samples, int count, int volume)
{
    if (volume >= 100)
        return;
    for (int i = 0; i < count; ++i)
        samples[i] = int16_t(int(samples[i]) * volume / 100);
}

void addSaturating(int16_t *into, const int16_t *from, int count)
{
    for (int i = 0; i < count; ++i)
        into[i] = int16_t(std::clamp(int(into[i]) + int(from[i]), -32768, 32767));
}

} // namespace

AudioMixer::AudioMixer(AudioSink *sink, std::function<void(int type, int level)> level)
    : m_sink(sink)
    , m_level(std::move(level))
    , m_typeChunk(size_t(kChunkFrames) * kAudioChannels)
    , m_mixChunk(size_t(kChunkFrames) * kAudioChannels)
{
    m_volumes[0] = 100;
    m_volumes[1] = 100;
}

AudioMixer::~AudioMixer()
{
    stop();
}

void AudioMixer::setInput(int type, std::shared_ptr<AudioInput> input)
{
    if (type != 1 && type != 2)
        return;
    std::unique_lock<std::mutex> lock(m_inputsMutex);
    m_inputs[type - 1].swap(input);
    lock.unlock();
    // The replaced input goes here, outside the lock (or on the mixer thread
    // once it lets go of it).
}

void AudioMixer::setVolume(int type, int value)
{
    if (type != 1 && type != 2)
        return;
    m_volumes[type - 1] = std::clamp(value, 0, 100);
}

void AudioMixer::start()
{
    if (m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_runMutex);
        m_stopping = false;
    }
    m_meters[0] = LevelMeter();
    m_meters[1] = LevelMeter();
    m_thread = std::thread(&AudioMixer::run, this, mediaNowUs());
}

void AudioMixer::stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_runMutex);
        m_stopping = true;
    }
    m_runCv.notify_all();
    m_thread.join();
}

void AudioMixer::run(int64_t startUs)
{
    const mvplatform::ThreadSignalStack signalStack; // a crash here still writes its dump
    using Clock = std::chrono::steady_clock;
    // Chunk n holds the 10 ms from start + n * 10 ms and is mixed when they
    // have passed; pacing on start + n * 10 ms keeps the rate from drifting.
    int64_t n = 0;
    bool lagLogged = false;
    for (;;) {
        const int64_t dueUs = startUs + (n + 1) * kChunkUs;
        {
            std::unique_lock<std::mutex> lock(m_runMutex);
            const Clock::time_point due{std::chrono::microseconds(dueUs)};
            if (m_runCv.wait_until(lock, due, [this] { return m_stopping; }))
                return;
        }
        const int64_t lagUs = mediaNowUs() - dueUs;
        if (lagUs > kMaxLagUs) {
            if (!lagLogged)
                qWarning("engine: sound mixer fell %lld ms behind; the lost time is skipped",
                         static_cast<long long>(lagUs / 1000));
            lagLogged = true;
            n += lagUs / kChunkUs;
        }
        mixChunk(startUs + n * kChunkUs, (n + 1) % kChunksPerLevel == 0);
        ++n;
    }
}

void AudioMixer::mixChunk(int64_t ptsUs, bool reportLevels)
{
    std::shared_ptr<AudioInput> inputs[2];
    {
        std::lock_guard<std::mutex> lock(m_inputsMutex);
        inputs[0] = m_inputs[0];
        inputs[1] = m_inputs[1];
    }
    const int count = kChunkFrames * kAudioChannels;
    std::memset(m_mixChunk.data(), 0, size_t(count) * sizeof(int16_t));
    for (int t = 0; t < 2; ++t) {
        if (!inputs[t])
            continue;
        inputs[t]->read(m_typeChunk.data(), kChunkFrames);
        scale(m_typeChunk.data(), count, m_volumes[t]);
        m_meters[t].add(m_typeChunk.data(), count);
        addSaturating(m_mixChunk.data(), m_typeChunk.data(), count);
    }
    if (m_sink)
        m_sink->onAudio(m_mixChunk.data(), kChunkFrames, ptsUs);
    if (reportLevels) {
        for (int t = 0; t < 2; ++t) {
            const int level = m_meters[t].take();
            if (inputs[t] && m_level)
                m_level(t + 1, level);
        }
    }
}

} // namespace castcore
