#pragma once

// Reads a picture file (PNG, JPEG, BMP, GIF) into premultiplied frames at a
// wanted size. Pure function of its input: the picture source runs it on its
// loader thread, the fuzz target feeds it raw bytes.

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>
#include <vector>

class QFile;
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
    // A header claiming more than this is refused before any pixel is
    // decoded: a few bytes must not cost gigabytes. 16 Mpixel (64 MB a
    // frame while decoding) is four times a 4K picture.
    static constexpr int kMaxSide = 8192;
    static constexpr qint64 kMaxPixels = qint64(4096) * 4096;
    // Scaled frames of one animation kept at most; the rest are dropped.
    static constexpr qint64 kMaxFrameBytes = qint64(64) * 1024 * 1024;
    // Browsers show GIF frames of 10 ms or less for 100 ms; so do we, so an
    // animation saved with delays of 0 plays at a sane pace.
    static constexpr int kShortestDelayMs = 10;
    static constexpr int kDefaultDelayMs = 100;

    // Keeps going while `keepGoing` (asked between frames) says yes; stopped
    // early, the result has what was read so far. An invalid or empty
    // `size` keeps the picture's own size.
    using KeepGoing = std::function<bool()>;

    static PictureFrames decode(QIODevice *device, const QSize &size, const KeepGoing &keepGoing = {});
    // Reads the file through openFile().
    static PictureFrames decodeFile(const QString &path, const QSize &size, const KeepGoing &keepGoing = {});
    static PictureFrames decodeBytes(const QByteArray &bytes, const QSize &size, const KeepGoing &keepGoing = {});

    // The one way a picture file is opened: only a regular file (a link to
    // one is fine), and never by blocking. A FIFO would hold the reader in
    // open() until some writer came, a device or a folder never gives a
    // picture: each is refused at once, and so is one swapped in between
    // the check and the open. `file` then reads that descriptor; nothing
    // opens the path again. False with the reason in `*error`.
    static bool openFile(const QString &path, QFile &file, QString *error);

    // `wanted` made to fit kMaxSide and kMaxPixels, keeping its aspect.
    static QSize boundedSize(const QSize &wanted);
};

// The engine's line for a picture file it cannot show.
void warnPictureUnreadable(const QString &path, const QString &why);

} // namespace castcore
