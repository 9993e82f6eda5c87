#include "ItemPainter.h"

#include "SceneItem.h"

#include <QPainter>
#include <QTransform>

#include <cmath>

namespace castcore {

ItemView ItemView::of(const SceneItem &item)
{
    ItemView v;
    v.id = item.id;
    v.kind = item.kind;
    v.x = item.x;
    v.y = item.y;
    v.width = item.width;
    v.height = item.height;
    v.z = item.z;
    v.alpha = item.alpha;
    v.flag = item.flag;
    v.aspect = item.aspect;
    v.aspectMode = item.aspectMode;
    v.rotation = item.rotation;
    v.colorEffect = item.colorEffect;
    v.revision = item.revision;
    v.filter = item.filter;
    v.capture = item.capture;
    return v;
}

bool ItemView::operator==(const ItemView &o) const
{
    return id == o.id && kind == o.kind && x == o.x && y == o.y && width == o.width && height == o.height
        && z == o.z && alpha == o.alpha && flag == o.flag && aspect == o.aspect && aspectMode == o.aspectMode
        && rotation == o.rotation && colorEffect == o.colorEffect && revision == o.revision && filter == o.filter
        && capture == o.capture;
}

QRectF contentBox(const ItemView &item)
{
    const QRectF rect(item.x, item.y, item.width, item.height);
    if (!item.flag || !(item.aspect > 0.0f) || rect.isEmpty())
        return rect;
    double w = rect.height() * double(item.aspect);
    double h = rect.height();
    if (w > rect.width()) {
        w = rect.width();
        h = w / double(item.aspect);
    }
    return QRectF(rect.center().x() - w / 2, rect.center().y() - h / 2, w, h);
}

void drawItem(QPainter &painter, const ItemView &item, const QImage &picture)
{
    if (picture.isNull() || item.alpha <= 0)
        return;
    const QRectF box = contentBox(item);
    if (box.width() < 1 || box.height() < 1)
        return;
    const double flipY = std::cos(double(item.rotation[0]));
    const double mirrorX = std::cos(double(item.rotation[1]));
    if (std::abs(flipY) < 1e-3 || std::abs(mirrorX) < 1e-3)
        return; // seen edge on
    const bool plain = flipY > 0.9999 && mirrorX > 0.9999 && item.rotation[2] == 0.0f;
    const bool scaled = std::abs(box.width() - picture.width()) > 0.5 || std::abs(box.height() - picture.height()) > 0.5;

    painter.save();
    painter.setOpacity(item.alpha >= 255 ? 1.0 : item.alpha / 255.0);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, scaled || !plain);
    if (plain) {
        painter.drawImage(box, picture);
    } else {
        QTransform t;
        t.translate(box.center().x(), box.center().y());
        t.rotateRadians(double(item.rotation[2]));
        t.scale(mirrorX, flipY);
        painter.setTransform(t, true);
        painter.drawImage(QRectF(-box.width() / 2, -box.height() / 2, box.width(), box.height()), picture);
    }
    painter.restore();
}

void tintPicture(const QImage &picture, uint32_t rgb, QImage &out)
{
    if (out.size() != picture.size() || out.format() != QImage::Format_ARGB32_Premultiplied || !out.isDetached())
        out = QImage(picture.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&out);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, picture);
    p.setCompositionMode(QPainter::CompositionMode_SoftLight);
    p.fillRect(out.rect(), QColor::fromRgb(rgb | 0xff000000u));
    p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    p.drawImage(0, 0, picture);
}

} // namespace castcore
