#pragma once

// Where composed pictures and mixed sound go. Timestamps are microseconds on
// std::chrono::steady_clock (time_since_epoch), the one clock of the engine.

#include <QImage>

#include <cstdint>

namespace castcore {

// One engine-wide time: microseconds of std::chrono::steady_clock.
int64_t mediaNowUs();

class VideoSink
{
public:
    // Video thread, once per composed frame. The canvas is premultiplied
    // ARGB32 at the canvas size; it is shared (QImage), so keeping a copy is
    // cheap and the compositor never draws into a picture someone still holds.
    virtual void onCanvas(const QImage &canvas, int64_t ptsUs) = 0;

protected:
    virtual ~VideoSink() = default;
};

// Sound in the encoder's layout: 48 kHz, stereo, interleaved signed 16-bit.
constexpr int kAudioRate = 48000;
constexpr int kAudioChannels = 2;

class AudioSink
{
public:
    // Mixer thread; `frames` sample frames starting at ptsUs.
    virtual void onAudio(const int16_t *samples, int frames, int64_t ptsUs) = 0;

protected:
    virtual ~AudioSink() = default;
};

} // namespace castcore
