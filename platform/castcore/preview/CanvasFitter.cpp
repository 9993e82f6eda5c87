#include "CanvasFitter.h"

#include <QPainter>

namespace castcore {

QRect CanvasFitter::placement(const QSize &canvas, const QSize &picture)
{
    if (canvas.isEmpty() || picture.isEmpty())
        return QRect();
    // Truncated as the preview's canvas mapping does, so that the overlay's
    // frames meet the items they outline.
    const double exact = double(picture.height()) * canvas.width() / canvas.height();
    return QRect(int((picture.width() - exact) / 2), 0, int(exact), picture.height());
}

void CanvasFitter::fit(const QImage &canvas, QPainter *painter, const QSize &picture)
{
    const QRect target = placement(canvas.size(), picture);
    painter->save();
    painter->setCompositionMode(QPainter::CompositionMode_Source);
    if (target.isEmpty()) {
        painter->fillRect(QRect(QPoint(0, 0), picture), Qt::black);
    } else {
        if (target.left() > 0)
            painter->fillRect(0, 0, target.left(), picture.height(), Qt::black);
        if (target.right() + 1 < picture.width())
            painter->fillRect(target.right() + 1, 0, picture.width() - target.right() - 1, picture.height(), Qt::black);
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(target, canvas);
    }
    painter->restore();
}

} // namespace castcore
