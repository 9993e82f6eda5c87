#include "SoundRecorder.h"

#include <algorithm>
#include <cstdlib>

void SoundRecorder::onAudio(const int16_t *samples, int frames, int64_t ptsUs)
{
    const int64_t now = castcore::mediaNowUs();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_firstSound < 0) {
        for (int i = 0; i < frames * castcore::kAudioChannels; ++i)
            if (samples[i] != 0) {
                m_firstSound = int64_t(m_samples.size() / castcore::kAudioChannels) + i / castcore::kAudioChannels;
                break;
            }
    }
    m_samples.insert(m_samples.end(), samples, samples + frames * castcore::kAudioChannels);
    m_chunks.push_back({ptsUs, now, frames});
}

void SoundRecorder::onLevel(int type, int level)
{
    const int64_t now = castcore::mediaNowUs();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_levels.push_back({type, level, now});
}

std::vector<SoundChunk> SoundRecorder::chunks() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_chunks;
}

std::vector<LevelReport> SoundRecorder::levels() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_levels;
}

int SoundRecorder::chunkCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_chunks.size());
}

std::vector<int16_t> SoundRecorder::lastFrames(int frames) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const size_t n = std::min(m_samples.size(), size_t(frames) * castcore::kAudioChannels);
    return std::vector<int16_t>(m_samples.end() - long(n), m_samples.end());
}

int64_t SoundRecorder::framesSinceSound() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_firstSound < 0 ? 0 : int64_t(m_samples.size() / castcore::kAudioChannels) - m_firstSound;
}

int SoundRecorder::lastLevel(int type) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_levels.rbegin(); it != m_levels.rend(); ++it)
        if (it->type == type)
            return it->level;
    return -1;
}

int SoundRecorder::highestLevel(int type, size_t from) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int highest = -1;
    for (size_t i = from; i < m_levels.size(); ++i)
        if (m_levels[i].type == type)
            highest = std::max(highest, m_levels[i].level);
    return highest;
}

int SoundRecorder::medianLevel(int type, size_t from) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<int> levels;
    for (size_t i = from; i < m_levels.size(); ++i)
        if (m_levels[i].type == type)
            levels.push_back(m_levels[i].level);
    if (levels.empty())
        return -1;
    std::sort(levels.begin(), levels.end());
    return levels[levels.size() / 2];
}

int64_t SoundRecorder::frameCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int64_t(m_samples.size() / castcore::kAudioChannels);
}

std::vector<int16_t> SoundRecorder::framesAfter(int64_t mark) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const size_t from = std::min(m_samples.size(), size_t(mark) * castcore::kAudioChannels);
    return std::vector<int16_t>(m_samples.begin() + long(from), m_samples.end());
}

int64_t SoundRecorder::soundArrivedAfter(int64_t mark) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int64_t chunkEnd = 0; // frames up to the end of the chunk
    for (const SoundChunk &chunk : m_chunks) {
        const int64_t chunkStart = chunkEnd;
        chunkEnd += chunk.frames;
        if (chunkEnd <= mark)
            continue;
        const size_t from = size_t(std::max(chunkStart, mark)) * castcore::kAudioChannels;
        const size_t to = size_t(chunkEnd) * castcore::kAudioChannels;
        for (size_t i = from; i < to; ++i)
            if (m_samples[i] != 0)
                return chunk.arrivedUs;
    }
    return -1;
}

int peakOf(const std::vector<int16_t> &samples)
{
    int peak = 0;
    for (int16_t s : samples)
        peak = std::max(peak, std::abs(int(s)));
    return peak;
}

int typicalPeak(const std::vector<int16_t> &samples)
{
    const size_t window = size_t(castcore::kAudioRate / 10) * castcore::kAudioChannels;
    std::vector<int> peaks;
    for (size_t start = 0; start + window <= samples.size(); start += window)
        peaks.push_back(peakOf(std::vector<int16_t>(samples.begin() + long(start), samples.begin() + long(start + window))));
    if (peaks.empty())
        return peakOf(samples);
    std::sort(peaks.begin(), peaks.end());
    return peaks[peaks.size() / 2];
}

double toneFrequency(const std::vector<int16_t> &samples)
{
    const int window = castcore::kAudioRate / 10;
    const int frames = int(samples.size() / castcore::kAudioChannels);
    std::vector<double> estimates;
    for (int start = 0; start + window <= frames; start += window) {
        double first = -1;
        double last = -1;
        int crossings = 0;
        for (int i = start + 1; i < start + window; ++i) {
            const double a = samples[size_t(i - 1) * 2];
            const double b = samples[size_t(i) * 2];
            if (a < 0 && b >= 0 && b > a) {
                const double t = (i - 1) + (-a) / (b - a);
                if (first < 0)
                    first = t;
                last = t;
                ++crossings;
            }
        }
        if (crossings >= 10 && last > first)
            estimates.push_back((crossings - 1) * double(castcore::kAudioRate) / (last - first));
    }
    if (estimates.empty())
        return 0;
    std::sort(estimates.begin(), estimates.end());
    return estimates[estimates.size() / 2];
}
