#pragma once

#include <cstdint>

namespace castcore {

// One open sound device as the mixer sees it: 48 kHz stereo s16 on demand.
class AudioInput
{
public:
    virtual ~AudioInput() = default;
    // Mixer thread: fills exactly `frames` interleaved stereo frames; what
    // the device has not delivered yet is silence.
    virtual void read(int16_t *out, int frames) = 0;
};

} // namespace castcore
