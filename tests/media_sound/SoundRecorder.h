#pragma once

// What the sound engine hands out, kept for the checks: every chunk's
// samples, timestamp and arrival time, and every level report.

#include "MediaSinks.h"

#include <cstdint>
#include <mutex>
#include <vector>

struct SoundChunk
{
    int64_t ptsUs = 0;
    int64_t arrivedUs = 0;
    int frames = 0;
};

struct LevelReport
{
    int type = 0;
    int level = 0;
    int64_t atUs = 0;
};

class SoundRecorder : public castcore::AudioSink
{
public:
    void onAudio(const int16_t *samples, int frames, int64_t ptsUs) override;
    void onLevel(int type, int level);

    std::vector<SoundChunk> chunks() const;
    std::vector<LevelReport> levels() const;
    int chunkCount() const;
    // Interleaved stereo samples of the last `frames` frames recorded.
    std::vector<int16_t> lastFrames(int frames) const;
    // Frames recorded since the first one that was not silent.
    int64_t framesSinceSound() const;
    // The highest level reported for `type` from the report numbered `from`
    // on, -1 when none.
    int highestLevel(int type, size_t from) const;
    // The median of the levels reported for `type` from report `from` on,
    // -1 when none.
    int medianLevel(int type, size_t from) const;
    // The last level reported for `type`, -1 before any.
    int lastLevel(int type) const;
    // Frames recorded so far; a mark for framesAfter().
    int64_t frameCount() const;
    // Interleaved stereo samples recorded after the mark.
    std::vector<int16_t> framesAfter(int64_t mark) const;
    // When the first chunk holding sound after the mark arrived, -1 when
    // none has yet.
    int64_t soundArrivedAfter(int64_t mark) const;

private:
    mutable std::mutex m_mutex;
    std::vector<int16_t> m_samples;
    std::vector<SoundChunk> m_chunks;
    std::vector<LevelReport> m_levels;
    int64_t m_firstSound = -1; // frame index
};

// Largest absolute sample.
int peakOf(const std::vector<int16_t> &samples);
// Median of the peaks of its 100 ms windows.
int typicalPeak(const std::vector<int16_t> &samples);
// Median frequency of the left channel over 100 ms windows, from the times
// of its rising zero crossings; 0 when no window holds a tone.
double toneFrequency(const std::vector<int16_t> &samples);
