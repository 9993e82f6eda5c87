#pragma once

#include <algorithm>
#include <chrono>

namespace castcore {

// Pauses between attempts to reach a sound server or device that went away:
// short at first so that a quick return is heard at once, then doubling to a
// ceiling so that a long absence costs little; a success starts over.
class RetryBackoff
{
public:
    static constexpr std::chrono::milliseconds kFirst{250};
    static constexpr std::chrono::milliseconds kLongest{2000};

    // The pause before the next attempt.
    std::chrono::milliseconds next()
    {
        const std::chrono::milliseconds pause = m_pause;
        m_pause = std::min(m_pause * 2, kLongest);
        return pause;
    }
    void reset() { m_pause = kFirst; }

private:
    std::chrono::milliseconds m_pause = kFirst;
};

} // namespace castcore
