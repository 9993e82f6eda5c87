#include "CanvasFitter.h"

#include <QPainter>

#include <libyuv/scale_argb.h>

#include <algorithm>
#include <cstdint>

namespace castcore {

namespace {

// Formats whose pixels are four bytes in libyuv's ARGB order on a
// little-endian machine, alpha ignored or premultiplied alike.
bool argbBytes(QImage::Format f)
{
    return f == QImage::Format_ARGB32_Premultiplied || f == QImage::Format_ARGB32 || f == QImage::Format_RGB32;
}

} // namespace

QRect CanvasFitter::placement(const QSize &canvas, const QSize &picture)
{
    if (canvas.isEmpty() || picture.isEmpty())
        return QRect();
    // Truncated as the preview's canvas mapping does, so that the overlay's
    // frames meet the items they outline.
    const double exact = double(picture.height()) * canvas.width() / canvas.height();
    return QRect(int((picture.width() - exact) / 2), 0, int(exact), picture.height());
}

void CanvasFitter::fit(const QImage &canvas, QImage *picture)
{
    if (picture->isNull())
        return;
    const QRect target = placement(canvas.size(), picture->size());
    // The part of the scaled canvas the picture shows: all of it, or its
    // middle when it is cut at the sides.
    const QRect inside = target.intersected(picture->rect());
    const bool direct = !inside.isEmpty() && argbBytes(canvas.format()) && argbBytes(picture->format())
                        && QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    if (!direct) {
        QPainter painter(picture);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(picture->rect(), Qt::black);
        if (!target.isEmpty()) {
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(target, canvas);
        }
        return;
    }
    // bits() once: the picture stays unshared for the writes below.
    uchar *bits = picture->bits();
    const int stride = picture->bytesPerLine();
    for (int y = 0; y < picture->height(); ++y) {
        auto *row = reinterpret_cast<uint32_t *>(bits + size_t(y) * stride);
        std::fill(row, row + inside.left(), 0xff000000u);
        std::fill(row + inside.right() + 1, row + picture->width(), 0xff000000u);
    }
    // libyuv places the clip against the whole scaled image's origin, which
    // lies left of the picture when the canvas is cut.
    const auto origin = reinterpret_cast<uint8_t *>(reinterpret_cast<std::intptr_t>(bits)
                                                     + std::intptr_t(target.top()) * stride
                                                     + std::intptr_t(target.left()) * 4);
    libyuv::ARGBScaleClip(canvas.constBits(), canvas.bytesPerLine(), canvas.width(), canvas.height(), origin, stride,
                          target.width(), target.height(), inside.left() - target.left(),
                          inside.top() - target.top(), inside.width(), inside.height(), libyuv::kFilterBilinear);
}

} // namespace castcore
