#pragma once

#include "AudioInput.h"

namespace castcore {

// A device of the world file: a steady sine at its tone (half of full
// scale, both channels), or silence when it has none.
class WorldAudioDevice : public AudioInput
{
public:
    explicit WorldAudioDevice(double toneHz);

    void read(int16_t *out, int frames) override;

private:
    double m_step = 0.0;  // radians per frame; 0 is silence
    double m_phase = 0.0;
};

} // namespace castcore
