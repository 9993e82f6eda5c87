#pragma once

// The mixer thread: every 10 ms takes 480 frames from each open input,
// scales them by their volume, adds them (saturating) and hands the chunk to
// the sink; every 100 ms reports each open input's peak level.

#include "AudioInput.h"
#include "LevelMeter.h"
#include "MediaSinks.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace castcore {

class AudioMixer
{
public:
    static constexpr int kChunkFrames = kAudioRate / 100;
    static constexpr int kChunksPerLevel = 10;

    AudioMixer(AudioSink *sink, std::function<void(int type, int level)> level);
    ~AudioMixer();

    AudioMixer(const AudioMixer &) = delete;
    AudioMixer &operator=(const AudioMixer &) = delete;

    // Type 1 microphone, 2 system sound; null closes the type.
    void setInput(int type, std::shared_ptr<AudioInput> input);
    // 0..100 (clamped): gain value / 100.
    void setVolume(int type, int value);

    void start();
    void stop();

private:
    void run(int64_t startUs);
    void mixChunk(int64_t ptsUs, bool reportLevels);

    AudioSink *const m_sink;
    const std::function<void(int, int)> m_level;

    std::mutex m_inputsMutex;
    std::shared_ptr<AudioInput> m_inputs[2];
    std::atomic<int> m_volumes[2];

    // Mixer thread only.
    std::vector<int16_t> m_typeChunk;
    std::vector<int16_t> m_mixChunk;
    LevelMeter m_meters[2];

    std::mutex m_runMutex;
    std::condition_variable m_runCv;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace castcore
