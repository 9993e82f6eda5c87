#include "SyntheticFeed.h"

#include <QColor>
#include <QPainter>

#include <algorithm>

#include <chrono>
#include <cmath>
#include <random>
#include <vector>

namespace mediatest {

QImage sceneCanvas()
{
    QImage canvas(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(QColor(0, 0, 255));
    QPainter painter(&canvas);
    painter.fillRect(kBlock, QColor(255, 0, 0));
    return canvas;
}

bool showsScene(const QImage &picture, QString *why)
{
    if (picture.size() != QSize(kWidth, kHeight)) {
        *why = QStringLiteral("picture size %1x%2").arg(picture.width()).arg(picture.height());
        return false;
    }
    auto check = [&](const QRect &area, bool red) {
        for (int y = area.top(); y <= area.bottom(); y += 4) {
            for (int x = area.left(); x <= area.right(); x += 4) {
                const QColor c = picture.pixelColor(x, y);
                const int strong = red ? c.red() : c.blue();
                const int weak = std::max(c.green(), red ? c.blue() : c.red());
                if (strong < 200 || weak > 60) {
                    *why = QStringLiteral("pixel (%1,%2) is %3,%4,%5, expected %6")
                               .arg(x).arg(y).arg(c.red()).arg(c.green()).arg(c.blue())
                               .arg(red ? "red" : "blue");
                    return false;
                }
            }
        }
        return true;
    };
    // Inset by a few pixels: chroma is shared by 2x2 pixels and blurred at edges.
    return check(kBlock.adjusted(6, 6, -6, -6), true) && check(QRect(4, 4, 60, kHeight - 8), false)
           && check(QRect(kBlock.right() + 8, 4, kWidth - kBlock.right() - 12, kHeight - 8), false);
}

SyntheticFeed::SyntheticFeed(castcore::VideoSink *video, castcore::AudioSink *audio)
    : m_video(video), m_audio(audio)
{
}

SyntheticFeed::~SyntheticFeed()
{
    stop();
}

void SyntheticFeed::start()
{
    m_stop.store(false);
    const int64_t now = castcore::mediaNowUs();
    m_startUs.store(now);
    // The clock reads from the start, so that a wait measured from it before
    // the first canvas comes due (a loaded machine) is not cut short.
    m_clockUs.store(now);
    m_thread = std::thread([this] { run(); });
}

void SyntheticFeed::stop()
{
    m_stop.store(true);
    if (m_thread.joinable())
        m_thread.join();
}

int64_t SyntheticFeed::markFrom(int64_t earliestUs)
{
    const int64_t frameUs = 1000000 / kFps;
    const int64_t startUs = m_startUs.load();
    const int64_t frames = std::max<int64_t>(0, (earliestUs - startUs + frameUs - 1) / frameUs);
    const int64_t mark = startUs + frames * frameUs;
    m_markUs.store(mark);
    return mark;
}

void SyntheticFeed::run()
{
    // Three canvases taken in turn, each reused only once the encoder let go
    // of it (as the compositor's pool does): on a busy machine the feed
    // slows down instead of overflowing the encoder's queue of three.
    std::vector<QImage> pool;
    std::vector<bool> white(3, false);
    for (int i = 0; i < 3; ++i)
        pool.push_back(sceneCanvas());
    constexpr int kChunk = castcore::kAudioRate / 100;
    std::vector<int16_t> tone(size_t(kChunk) * castcore::kAudioChannels);
    const int64_t frameUs = 1000000 / kFps;
    std::minstd_rand noise(12345);
    const int64_t startUs = m_startUs.load();
    int64_t frame = 0;
    int64_t chunk = 0;
    int64_t sample = 0;
    while (!m_stop.load()) {
        const int64_t frameDue = startUs + frame * frameUs;
        const int64_t chunkDue = startUs + chunk * 10000;
        // Timestamps follow the frame count, not the wall clock, so a slowed
        // feed keeps an even timeline.
        const int64_t due = m_audio ? std::min(frameDue, chunkDue + m_soundLatencyUs) : frameDue;
        const int64_t wait = due - castcore::mediaNowUs();
        if (wait > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(wait));
        const int64_t markUs = m_markUs.load();
        if (due == frameDue) {
            m_clockUs.store(frameDue);
            if (frame % m_every != 0) {
                ++frame;
                continue;
            }
            const size_t index = size_t((frame / m_every) % 3);
            QImage &canvas = pool[index];
            for (int i = 0; i < 2000 && !canvas.isDetached() && !m_stop.load(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const bool flash = frameDue >= markUs && frameDue < markUs + kMarkUs;
            if (flash != white[index]) {
                if (flash)
                    canvas.fill(Qt::white);
                else
                    canvas = sceneCanvas();
                white[index] = flash;
            }
            if (m_noisy) {
                auto *pixels = reinterpret_cast<quint32 *>(canvas.bits());
                for (int i = 0; i < kWidth * kHeight; ++i)
                    pixels[i] = 0xff000000u | (noise() & 0xffffffu);
            }
            m_video->onCanvas(canvas, frameDue);
            ++frame;
            m_frames.store(int(frame));
        } else {
            // The mark's first sample lies on its canvas stamp: both are
            // whole 10 ms from the start.
            const int64_t markSample = markUs == INT64_MIN ? INT64_MIN : (markUs - startUs) / 1000 * 48;
            for (int i = 0; i < kChunk; ++i, ++sample) {
                const bool marked = sample >= markSample && sample < markSample + kMarkUs / 1000 * 48;
                int16_t value = 0;
                if (marked)
                    value = int16_t(std::lround(16000 * std::sin(2 * M_PI * kToneHz * double(sample - markSample) / castcore::kAudioRate)));
                else if (!m_quiet)
                    value = int16_t(std::lround(16000 * std::sin(2 * M_PI * kToneHz * sample / castcore::kAudioRate)));
                tone[size_t(i) * 2] = value;
                tone[size_t(i) * 2 + 1] = value;
            }
            m_audio->onAudio(tone.data(), kChunk, chunkDue);
            ++chunk;
        }
    }
}

} // namespace mediatest
