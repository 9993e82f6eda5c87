#pragma once

// Reads a picture file (PNG, JPEG, BMP, GIF) into premultiplied frames at a
// wanted size. Pure function of its input: the picture source runs it on its
// loader thread, the fuzz target feeds it raw bytes.

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>
#include <vector>

class QIODevice;

namespace castcore {

struct PictureFrames
{
    std::vector<QImage> frames; // ARGB32_Premultiplied, all of one size
    std::vector<int> delaysMs;  // one per frame; a still has one frame and 0
    QString error;              // why nothing can be shown; empty when frames is not
    int framesDropped = 0;      // frames left out to stay under kMaxFrameBytes

    bool animated() const { return frames.size() > 1; }
};

class PictureDecoder
{
public:
    // A header claiming more than this on either side is refused before
    // any pixel is decoded: a few bytes must not cost gigabytes. One side
    // limit and no separate area cap, so a picture within it is never
    // refused: 4096 x 4096 (16 Mpixel, about twice a 3840 x 2160 picture)
    // is 64 MB a frame while decoding, the whole of kMaxFrameBytes.
    static constexpr int kMaxSide = 4096;
    // Scaled frames of one animation kept at most; the rest are dropped.
    // The first frame is always kept, and kMaxSide bounds it to this.
    static constexpr qint64 kMaxFrameBytes = qint64(kMaxSide) * kMaxSide * 4;
    // Browsers show GIF frames of 10 ms or less for 100 ms; so do we, so an
    // animation saved with delays of 0 plays at a sane pace.
    static constexpr int kShortestDelayMs = 10;
    static constexpr int kDefaultDelayMs = 100;

    // Keeps going while `keepGoing` (asked between frames) says yes; stopped
    // early, the result has what was read so far. An invalid or empty
    // `size` keeps the picture's own size.
    using KeepGoing = std::function<bool()>;

    static PictureFrames decode(QIODevice *device, const QSize &size, const KeepGoing &keepGoing = {});
    // Reads only a regular file, opened without blocking (regularfile::open).
    static PictureFrames decodeFile(const QString &path, const QSize &size, const KeepGoing &keepGoing = {});
    static PictureFrames decodeBytes(const QByteArray &bytes, const QSize &size, const KeepGoing &keepGoing = {});

    // `wanted` made to fit kMaxSide, keeping its aspect.
    static QSize boundedSize(const QSize &wanted);
};

// The engine's line for a picture file it cannot show.
void warnPictureUnreadable(const QString &path, const QString &why);

} // namespace castcore
