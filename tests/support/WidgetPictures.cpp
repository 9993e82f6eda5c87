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

} // namespace testsupport
