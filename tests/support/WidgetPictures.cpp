#include "WidgetPictures.h"

#include <QFile>
#include <QPoint>
#include <QRegion>
#include <QWidget>

namespace testsupport {

QImage renderOf(QWidget &widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

namespace {

// Qt reads GIF but cannot write it: a one-colour GIF89a by hand. Every
// pixel is a literal 3-bit LZW code, with a clear code before every second
// one so that the code width never grows.
bool writeSolidGif(const QString &path, const QSize &size, const QColor &color)
{
    QByteArray gif("GIF89a");
    auto word = [&gif](int v) {
        gif.append(char(v & 0xff));
        gif.append(char((v >> 8) & 0xff));
    };
    word(size.width());
    word(size.height());
    gif.append(char(0x80)).append(char(0)).append(char(0)); // 2-entry colour table
    gif.append(char(color.red())).append(char(color.green())).append(char(color.blue()));
    gif.append(char(0)).append(char(0)).append(char(0));
    gif.append(',');
    word(0);
    word(0);
    word(size.width());
    word(size.height());
    gif.append(char(0));
    gif.append(char(2)); // minimum code size

    QByteArray codes;
    quint32 bits = 0;
    int bitCount = 0;
    auto put = [&](int code) {
        bits |= quint32(code) << bitCount;
        bitCount += 3;
        while (bitCount >= 8) {
            codes.append(char(bits & 0xff));
            bits >>= 8;
            bitCount -= 8;
        }
    };
    const qint64 pixels = qint64(size.width()) * size.height();
    for (qint64 i = 0; i < pixels; ++i) {
        if (i % 2 == 0)
            put(4); // clear
        put(0);
    }
    put(5); // end of information
    if (bitCount > 0)
        codes.append(char(bits & 0xff));
    for (int at = 0; at < codes.size(); at += 255) {
        const QByteArray block = codes.mid(at, 255);
        gif.append(char(block.size())).append(block);
    }
    gif.append(char(0)).append(';');

    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(gif) == gif.size();
}

} // namespace

QString writeSolidPicture(const QString &path, const QSize &size, const QColor &color)
{
    if (path.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive)) {
        writeSolidGif(path, size, color);
        return path;
    }
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    image.save(path);
    return path;
}

namespace {

quint32 pngCrc(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

void putBigEndian(QByteArray *out, quint32 v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out->append(char((v >> shift) & 0xFF));
}

void putChunk(QByteArray *out, const char *type, const QByteArray &data)
{
    putBigEndian(out, quint32(data.size()));
    const QByteArray typed = QByteArray(type, 4) + data;
    out->append(typed);
    putBigEndian(out, pngCrc(typed));
}

} // namespace

QString writeHugeClaimPng(const QString &path, const QSize &size, bool truncated)
{
    QByteArray header;
    putBigEndian(&header, quint32(size.width()));
    putBigEndian(&header, quint32(size.height()));
    header.append(char(1)); // bit depth
    header.append(char(0)); // grey
    header.append(char(0)); // deflate
    header.append(char(0)); // adaptive filters
    header.append(char(0)); // no interlace
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    putChunk(&png, "IHDR", header);
    // Each row: filter byte 0, then width / 8 bytes of black.
    const qint64 rowBytes = 1 + (qint64(size.width()) + 7) / 8;
    const QByteArray raw(int(rowBytes * (truncated ? 1 : size.height())), '\0');
    // qCompress gives a zlib stream behind a 4-byte length.
    const QByteArray data = qCompress(raw, 9).mid(4);
    putChunk(&png, "IDAT", truncated ? data.left(8) : data);
    putChunk(&png, "IEND", QByteArray());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size())
        return QString();
    return path;
}

} // namespace testsupport
