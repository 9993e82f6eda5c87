#include "WorldAudioDevice.h"

#include "MediaSinks.h"

#include <cmath>
#include <cstring>

namespace castcore {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kAmplitude = 0.5 * 32767.0;

} // namespace

WorldAudioDevice::WorldAudioDevice(double toneHz)
{
    // Above Nyquist a sine cannot be sampled; such a device stays silent.
    if (std::isfinite(toneHz) && toneHz > 0.0 && toneHz < kAudioRate / 2.0)
        m_step = kTwoPi * toneHz / kAudioRate;
}

void WorldAudioDevice::read(int16_t *out, int frames)
{
    if (m_step == 0.0) {
        std::memset(out, 0, size_t(frames) * kAudioChannels * sizeof(int16_t));
        return;
    }
    for (int i = 0; i < frames; ++i) {
        const auto v = int16_t(std::lround(kAmplitude * std::sin(m_phase)));
        out[2 * i] = v;
        out[2 * i + 1] = v;
        m_phase += m_step;
        if (m_phase >= kTwoPi)
            m_phase -= kTwoPi;
    }
}

} // namespace castcore
