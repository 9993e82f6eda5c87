#pragma once

// The timestamps of the encoding. A session runs from the first canvas while
// live or recording until neither is on; picture and sound of a session
// share one origin on the engine clock, the stamp of its first canvas.
//
// - Picture: a canvas takes the slot (1/fps) its stamp falls in, counted from
//   the origin; a second canvas in one slot is left out and a missed slot
//   leaves a gap, so the stream keeps to the clock however the compositor
//   paces itself.
// - Sound: laid down where its stamp falls. A gap (a device that paused) is
//   filled with silence, sound for time already covered is trimmed, and
//   within 20 ms a buffer simply follows the last (stamps jitter). The first
//   buffer of a session goes exactly where its stamp says. Its pts (1/48000)
//   count what is taken out for the encoder.
// - At its end a session's sound is brought to the end of its picture
//   (silence for what did not come, the excess left out) and rounded up to
//   whole encoder frames, so both streams end within one frame of sound.
// - Sessions follow one another on one time line: the next begins, for both
//   streams, at the later of the two ends of the last, on a picture slot, so
//   timestamps never go back and both streams start together.
//
// No threads and no FFmpeg: its owner locks.

#include <cstdint>

namespace castcore {

class SessionTimeline
{
public:
    static constexpr int kRate = 48000;
    static constexpr int64_t kJitterFrames = kRate / 50; // 20 ms
    // With no sound arriving, silence is laid down this far behind the
    // picture, so a late device is not overwritten by it.
    static constexpr int64_t kSilenceLagUs = 500000;

    explicit SessionTimeline(int fps = 25) : m_fps(fps) {}

    // Between sessions only.
    void setFrameRate(int fps);
    int frameRate() const { return m_fps; }

    void begin(int64_t originUs);
    bool running() const { return m_running; }
    int64_t originUs() const { return m_originUs; }
    // Closes the session; the next begins after both streams' ends.
    void end();

    // The pts of a canvas stamped `clockUs`; -1 when it is left out (before
    // the session, or in the slot of the last one).
    int64_t videoPts(int64_t clockUs);
    // The pts just after the last picture; the session's first when none.
    int64_t videoEnd() const;
    int64_t videoEndUs() const;

    struct SoundPlacement
    {
        int64_t silence = 0; // sample frames of silence first
        int skip = 0;        // then the buffer from this frame on
        int take = 0;        // this many of its frames
    };
    // Where `frames` sample frames stamped `clockUs` go. The caller lays them
    // down and reports what went in through laid().
    SoundPlacement placeSound(int64_t clockUs, int frames) const;
    // Silence due when a canvas stamped `clockUs` comes and the sound lags
    // it by more than kSilenceLagUs.
    int64_t silenceDue(int64_t clockUs) const;
    void laid(int64_t frames);
    int64_t laidFrames() const { return m_laid; }

    // The pts of the next `frames` sample frames taken out of what was laid.
    int64_t takeSound(int64_t frames);

    struct SoundEnding
    {
        int64_t take = 0;    // of the `buffered` frames, in order
        int64_t silence = 0; // then silence
        int64_t discard = 0; // the buffered frames left out
    };
    // At the session's end, with `buffered` frames laid but not yet taken.
    SoundEnding closeSound(int64_t buffered, int chunk) const;

private:
    int64_t soundPosition(int64_t clockUs) const; // sample frames since the origin

    int m_fps;
    bool m_running = false;
    int64_t m_originUs = 0;
    int64_t m_videoBase = 0; // pts of the session's origin, 1/fps
    int64_t m_audioBase = 0; // the same instant, 1/48000
    int64_t m_lastSlot = -1;
    bool m_soundStarted = false;
    int64_t m_laid = 0;  // sample frames laid down since the origin
    int64_t m_taken = 0; // of which taken out for the encoder
};

} // namespace castcore
