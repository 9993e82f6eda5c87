#pragma once

// A known scene fed to an encoder sink in real time from its own thread: a
// red block on blue at the canvas rate, and a 1 kHz tone in 10 ms buffers,
// both timestamped on the engine clock at their due times. Paced by real
// time and by the encoder taking the canvases.
//
// Marks put picture and sound together on trial: a white picture and a
// tone burst that begin at one instant, in a scene that is silent
// otherwise.

#include "MediaSinks.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <atomic>
#include <climits>
#include <cstdint>
#include <thread>

namespace mediatest {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kFps = 25;
constexpr int kBitRate = 800000;
constexpr double kToneHz = 1000.0;
const QRect kBlock(80, 64, 96, 80);
constexpr int64_t kMarkUs = 200000;

QImage sceneCanvas();

// Whether the picture shows the known scene: red inside the block, blue
// around it (tolerance for YUV 4:2:0 and compression).
bool showsScene(const QImage &picture, QString *why);

class SyntheticFeed
{
public:
    SyntheticFeed(castcore::VideoSink *video, castcore::AudioSink *audio);
    ~SyntheticFeed();

    // Before start(): noise over the picture, which costs the encoder its
    // whole bit rate.
    void noisy(bool on) { m_noisy = on; }
    // Before start(): silence instead of the tone, except for marks.
    void quietUntilMarked(bool on) { m_quiet = on; }
    // Before start(): each sound buffer is handed on this long after its
    // stamp, as a sound server hands it late.
    void soundLatency(int64_t us) { m_soundLatencyUs = us; }
    // Before start(): only every n-th canvas is handed on, the others are
    // missed (as by a late compositor); stamps keep to the clock.
    void feedEvery(int n) { m_every = n > 1 ? n : 1; }
    void start();
    void stop();
    int framesFed() const { return m_frames.load(); }
    // The stamp of the last canvas that came due, handed on or missed.
    int64_t clockUs() const { return m_clockUs.load(); }
    // A white picture and a 1 kHz tone, both for kMarkUs from the first
    // canvas stamp at or after `earliestUs`, which it answers.
    int64_t markFrom(int64_t earliestUs);

private:
    void run();

    castcore::VideoSink *m_video;
    castcore::AudioSink *m_audio; // may be null: no sound device
    bool m_noisy = false;
    bool m_quiet = false;
    int64_t m_soundLatencyUs = 0;
    int m_every = 1;
    std::atomic<int64_t> m_startUs{0};
    std::atomic<int64_t> m_clockUs{0};
    std::atomic<int64_t> m_markUs{INT64_MIN};
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_frames{0};
    std::thread m_thread;
};

} // namespace mediatest
