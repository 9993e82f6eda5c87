#pragma once

// The frames made in each second of the frame clock, for the fps report.
// Frame n of a clock at `fps` frames a second belongs to second n / fps,
// whenever it was actually made: a late frame is counted in its own second,
// never also in the next, and a second holds at most `fps` frames. Frames
// the clock skipped are missing from their second.

#include <cstdint>

namespace castcore {

class FrameRateCounter
{
public:
    // A clock that starts again at frame 0.
    void start(int fps)
    {
        m_fps = fps > 0 ? fps : 1;
        m_second = 0;
        m_frames = 0;
    }

    // Counts frame `index`. When it is the first frame made in a later
    // second, answers how many frames the second before it had; else -1.
    int add(int64_t index)
    {
        const int64_t second = index / m_fps;
        int closed = -1;
        if (second > m_second) {
            closed = m_frames;
            m_second = second;
            m_frames = 0;
        }
        ++m_frames;
        return closed;
    }

private:
    int m_fps = 1;
    int64_t m_second = 0;
    int m_frames = 0;
};

} // namespace castcore
