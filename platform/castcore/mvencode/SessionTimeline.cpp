#include "SessionTimeline.h"

#include <algorithm>

namespace castcore {

namespace {

constexpr int64_t kUsPerSecond = 1000000;

// a / b rounded to the nearest, halves away from zero; b > 0.
int64_t roundDiv(int64_t a, int64_t b)
{
    return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}

// a / b rounded up; a >= 0, b > 0.
int64_t ceilDiv(int64_t a, int64_t b)
{
    return (a + b - 1) / b;
}

} // namespace

void SessionTimeline::setFrameRate(int fps)
{
    if (fps <= 0 || fps == m_fps || m_running)
        return;
    // The next session still begins no earlier than the last one ended.
    m_videoBase = ceilDiv(m_videoBase * fps, m_fps);
    m_audioBase = std::max(m_audioBase, roundDiv(m_videoBase * kRate, fps));
    m_fps = fps;
}

void SessionTimeline::begin(int64_t originUs)
{
    m_running = true;
    m_originUs = originUs;
    m_lastSlot = -1;
    m_soundStarted = false;
    m_laid = 0;
    m_taken = 0;
}

void SessionTimeline::end()
{
    if (!m_running)
        return;
    const int64_t soundEnd = m_audioBase + m_taken;
    const int64_t next = std::max(videoEnd(), ceilDiv(soundEnd * m_fps, kRate));
    m_videoBase = next;
    m_audioBase = roundDiv(next * kRate, m_fps);
    m_running = false;
    m_lastSlot = -1;
    m_laid = 0;
    m_taken = 0;
}

int64_t SessionTimeline::videoPts(int64_t clockUs)
{
    if (!m_running || clockUs < m_originUs)
        return -1;
    const int64_t slot = roundDiv((clockUs - m_originUs) * m_fps, kUsPerSecond);
    if (slot <= m_lastSlot)
        return -1;
    m_lastSlot = slot;
    return m_videoBase + slot;
}

int64_t SessionTimeline::videoEnd() const
{
    return m_videoBase + m_lastSlot + 1;
}

int64_t SessionTimeline::videoEndUs() const
{
    return roundDiv(videoEnd() * kUsPerSecond, m_fps);
}

int64_t SessionTimeline::soundPosition(int64_t clockUs) const
{
    return roundDiv((clockUs - m_originUs) * kRate, kUsPerSecond);
}

SessionTimeline::SoundPlacement SessionTimeline::placeSound(int64_t clockUs, int frames) const
{
    SoundPlacement placement;
    if (!m_running || frames <= 0)
        return placement;
    const int64_t pos = soundPosition(clockUs);
    const int64_t jitter = m_soundStarted ? kJitterFrames : 0;
    if (pos > m_laid + jitter) {
        placement.silence = pos - m_laid;
    } else if (pos < m_laid - jitter) {
        const int64_t overlap = m_laid - pos;
        if (overlap >= frames)
            return placement;
        placement.skip = int(overlap);
    }
    placement.take = frames - placement.skip;
    return placement;
}

int64_t SessionTimeline::silenceDue(int64_t clockUs) const
{
    if (!m_running)
        return 0;
    return std::max<int64_t>(0, soundPosition(clockUs - kSilenceLagUs) - m_laid);
}

void SessionTimeline::laid(int64_t frames)
{
    if (frames <= 0)
        return;
    m_laid += frames;
    m_soundStarted = true;
}

int64_t SessionTimeline::takeSound(int64_t frames)
{
    const int64_t pts = m_audioBase + m_taken;
    m_taken += frames;
    return pts;
}

SessionTimeline::SoundEnding SessionTimeline::closeSound(int64_t buffered, int chunk) const
{
    SoundEnding ending;
    const int64_t pictureEnd = roundDiv((videoEnd() - m_videoBase) * kRate, m_fps);
    if (m_taken + buffered <= pictureEnd) {
        ending.take = buffered;
        ending.silence = pictureEnd - m_taken - buffered;
    } else {
        ending.take = std::max<int64_t>(0, pictureEnd - m_taken);
    }
    // Whole encoder frames: what is buffered first, then silence.
    const int64_t total = ending.take + ending.silence;
    const int64_t extra = chunk > 0 ? (chunk - total % chunk) % chunk : 0;
    const int64_t fromBuffer = std::min(extra, buffered - ending.take);
    ending.take += fromBuffer;
    ending.silence += extra - fromBuffer;
    ending.discard = buffered - ending.take;
    return ending;
}

} // namespace castcore
