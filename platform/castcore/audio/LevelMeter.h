#pragma once

#include <cstdint>
#include <cstdlib>

namespace castcore {

// Peak of one channel's samples since the last take, as 0..100 of full scale.
class LevelMeter
{
public:
    void add(const int16_t *samples, int count)
    {
        for (int i = 0; i < count; ++i) {
            const int v = std::abs(int(samples[i]));
            if (v > m_peak)
                m_peak = v;
        }
    }

    // Rounded peak / 32767 * 100; starts a new window.
    int take()
    {
        const int level = m_peak >= 32767 ? 100 : (m_peak * 100 + 32767 / 2) / 32767;
        m_peak = 0;
        return level;
    }

private:
    int m_peak = 0;
};

} // namespace castcore
