#pragma once

// A known scene fed to an encoder sink in real time from its own thread: a
// red block on blue at the canvas rate, and a 1 kHz tone in 10 ms buffers,
// both timestamped on the engine clock at their due times. Paced by real
// time and by the encoder taking the canvases.

#include "MediaSinks.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <atomic>
#include <thread>

namespace mediatest {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kFps = 25;
constexpr int kBitRate = 800000;
constexpr double kToneHz = 1000.0;
const QRect kBlock(80, 64, 96, 80);

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
    void start();
    void stop();
    int framesFed() const { return m_frames.load(); }

private:
    void run();

    castcore::VideoSink *m_video;
    castcore::AudioSink *m_audio; // may be null: no sound device
    bool m_noisy = false;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_frames{0};
    std::thread m_thread;
};

} // namespace mediatest
