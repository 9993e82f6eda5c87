#pragma once

// Frame times of the video thread: frame n is due at start + n x interval,
// so sleeping never adds up to drift. A frame whose whole interval has
// passed is skipped and counted as lagged, never queued.

#include <chrono>
#include <cstdint>

namespace castcore {

class FramePacer
{
public:
    using Clock = std::chrono::steady_clock;

    void start(Clock::time_point start, int fps)
    {
        m_start = start;
        m_interval = std::chrono::nanoseconds(std::chrono::seconds(1)) / (fps > 0 ? fps : 1);
        m_index = 0;
    }

    Clock::time_point due() const { return m_start + m_interval * m_index; }
    int64_t index() const { return m_index; }
    int64_t lagged() const { return m_lagged; }
    Clock::duration interval() const { return m_interval; }

    // After frame index() is done at `now`: the due time of the next frame
    // to make. A frame less than one interval late is still made (at once);
    // the ones before it are skipped.
    Clock::time_point next(Clock::time_point now)
    {
        int64_t n = m_index + 1;
        const int64_t reached = (now - m_start) / m_interval; // frames whose time has come
        if (reached > n) {
            m_lagged += reached - n;
            n = reached;
        }
        m_index = n;
        return due();
    }

private:
    Clock::time_point m_start;
    Clock::duration m_interval = std::chrono::milliseconds(40);
    int64_t m_index = 0;
    int64_t m_lagged = 0;
};

} // namespace castcore
