#include "PictureDecoder.h"

#include "RegularFile.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <algorithm>

namespace castcore {

namespace {

// Only the formats pictures and overlays are made of: every other reader Qt
// has (SVG, XPM, ...) is more parser than an item needs.
bool knownFormat(const QByteArray &format)
{
    return format == "png" || format == "jpeg" || format == "jpg" || format == "bmp" || format == "gif";
}

PictureFrames failure(const QString &reason)
{
    PictureFrames out;
    out.error = reason;
    return out;
}

// One GIF may have thousands of frames of a few bytes each; past this many
// the file is not an overlay anyone meant to show.
constexpr int kMaxFrames = 10000;

} // namespace

QSize PictureDecoder::boundedSize(const QSize &wanted)
{
    if (wanted.isEmpty())
        return wanted;
    const double scale = std::min({1.0, double(kMaxSide) / wanted.width(), double(kMaxSide) / wanted.height()});
    if (scale >= 1.0)
        return wanted;
    return QSize(std::max(1, int(wanted.width() * scale)), std::max(1, int(wanted.height() * scale)));
}

PictureFrames PictureDecoder::decode(QIODevice *device, const QSize &size, const KeepGoing &keepGoing)
{
    QImageReader reader(device);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format.isEmpty())
        return failure(QStringLiteral("not a picture"));
    if (!knownFormat(format))
        return failure(QStringLiteral("unsupported format %1").arg(QString::fromLatin1(format)));

    const QSize own = reader.size();
    if (!own.isValid() || own.isEmpty())
        return failure(QStringLiteral("no picture size in the header"));
    if (own.width() > kMaxSide || own.height() > kMaxSide)
        return failure(QStringLiteral("too large: %1x%2, more than %3 a side")
                           .arg(own.width())
                           .arg(own.height())
                           .arg(kMaxSide));

    const QSize target = boundedSize(size.isValid() && !size.isEmpty() ? size : own);
    reader.setScaledSize(target);

    PictureFrames out;
    qint64 bytes = 0;
    while (int(out.frames.size()) < kMaxFrames) {
        if (!out.frames.empty() && keepGoing && !keepGoing())
            break;
        QImage frame;
        if (!reader.read(&frame))
            break;
        const int delay = reader.nextImageDelay();
        if (frame.isNull())
            break;
        if (frame.size() != target)
            frame = frame.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        frame = frame.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (frame.isNull())
            break; // out of memory
        if (!out.frames.empty() && bytes + frame.sizeInBytes() > kMaxFrameBytes) {
            // The reader counts the rest from their headers.
            const int total = reader.imageCount();
            out.framesDropped = std::max(1, total - int(out.frames.size()));
            break;
        }
        bytes += frame.sizeInBytes();
        out.frames.push_back(std::move(frame));
        out.delaysMs.push_back(delay);
        if (!reader.supportsAnimation() || !reader.canRead())
            break;
    }
    if (out.frames.empty()) {
        const QString why = reader.errorString();
        return failure(why.isEmpty() ? QStringLiteral("cannot be decoded") : why);
    }
    if (out.frames.size() == 1) {
        out.delaysMs.front() = 0;
    } else {
        for (int &d : out.delaysMs) {
            if (d <= kShortestDelayMs)
                d = kDefaultDelayMs;
        }
    }
    return out;
}

PictureFrames PictureDecoder::decodeFile(const QString &path, const QSize &size, const KeepGoing &keepGoing)
{
    QFile file;
    QString error;
    if (!regularfile::open(path, file, &error))
        return failure(error);
    if (file.size() == 0)
        return failure(QStringLiteral("empty file"));
    return decode(&file, size, keepGoing);
}

PictureFrames PictureDecoder::decodeBytes(const QByteArray &bytes, const QSize &size, const KeepGoing &keepGoing)
{
    if (bytes.isEmpty())
        return failure(QStringLiteral("empty file"));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return decode(&buffer, size, keepGoing);
}

void warnPictureUnreadable(const QString &path, const QString &why)
{
    qWarning("engine: picture unreadable: %s (%s)", qUtf8Printable(path), qUtf8Printable(why));
}

} // namespace castcore
