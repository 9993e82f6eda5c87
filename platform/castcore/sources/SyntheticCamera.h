#pragma once

// The picture of a world camera, which has no device behind it: colour bars
// over the top two thirds (white, yellow, cyan, green, magenta, red, blue,
// black, in equal columns), below them a white block that crosses a dark band
// from left to right every two seconds, and at the bottom the time since the
// camera started ("mm:ss.t"; needs the GUI application for fonts, else that
// band stays dark).

#include <QImage>
#include <QString>

#include <chrono>
#include <vector>

namespace castcore {

class SyntheticCamera
{
public:
    static constexpr int kCrossingMs = 2000;

    // Draws the whole frame (RGB32, any size) as it looks `elapsed` after start.
    void render(QImage &frame, std::chrono::milliseconds elapsed);

private:
    void prepare(const QSize &size);
    void drawClock(QImage &frame, int top, std::chrono::milliseconds elapsed);

    QSize m_size;
    std::vector<uint32_t> m_barRow; // one row of the colour bars
    QImage m_clock;                 // the clock band, redrawn when its text changes
    QString m_clockText;
    bool m_fonts = false;
};

} // namespace castcore
