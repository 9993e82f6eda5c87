#pragma once

// Fits the canvas into a preview picture: scaled to the picture's height with
// its aspect kept, centred horizontally, the rest black. A canvas wider than
// the picture is cut at both sides, as the preview's canvas mapping expects.
// Bilinear, by libyuv where both are 32-bit pictures (a tenth of Qt's smooth
// drawing for 1280x720 into 800x450, bench_preview), by Qt otherwise.

#include <QImage>
#include <QRect>
#include <QSize>

namespace castcore {

class CanvasFitter
{
public:
    // Where the canvas goes in a picture of `picture` size.
    static QRect placement(const QSize &canvas, const QSize &picture);

    // Writes the whole of `picture`; no painter may be open on it.
    static void fit(const QImage &canvas, QImage *picture);
};

} // namespace castcore
