#include "ItemPainter.h"

#include "SceneItem.h"

#include <QPainter>
#include <QTransform>

#include <array>
#include <cmath>

namespace castcore {

namespace {

// How far a box may be off whole pixels by floating-point rounding alone.
constexpr double kRounding = 1.0 / 64;

bool isWhole(double v)
{
    return std::abs(v - std::round(v)) < kRounding;
}

} // namespace

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
    const bool exact = std::abs(box.width() - picture.width()) < kRounding
                       && std::abs(box.height() - picture.height()) < kRounding;

    painter.save();
    painter.setOpacity(item.alpha >= 255 ? 1.0 : item.alpha / 255.0);
    // A flip at the picture's own size maps pixel to pixel: sampling between
    // pixels would only blur it, at three times the cost.
    const bool flipsOnly = std::abs(flipY) > 0.9999 && std::abs(mirrorX) > 0.9999 && item.rotation[2] == 0.0f;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, scaled || !flipsOnly);
    if (plain && exact && isWhole(box.x()) && isWhole(box.y())) {
        // Off the picture's size by rounding only: a plain copy, not a
        // stretch by a hair (which costs half as much again).
        painter.drawImage(QPointF(std::round(box.x()), std::round(box.y())), picture);
    } else if (plain) {
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

bool coversOpaquely(const ItemView &item, const QImage &picture, const QRectF &area)
{
    // Flips keep the box; a turn in the plane or a partial turn does not.
    if (picture.isNull() || picture.hasAlphaChannel() || item.alpha < 255 || item.rotation[2] != 0.0f
        || std::abs(std::cos(double(item.rotation[0]))) < 0.9999
        || std::abs(std::cos(double(item.rotation[1]))) < 0.9999)
        return false;
    // The box of an aspect ratio misses whole edges by rounding only.
    const QRectF box = contentBox(item);
    return box.left() <= area.left() + kRounding && box.top() <= area.top() + kRounding
        && box.right() >= area.right() - kRounding && box.bottom() >= area.bottom() - kRounding;
}

bool fillsPixelForPixel(const ItemView &item, const QImage &picture, const QSize &canvas)
{
    if (picture.isNull() || picture.hasAlphaChannel() || picture.size() != canvas || item.alpha < 255
        || item.rotation != std::array<float, 3>{0.0f, 0.0f, 0.0f})
        return false;
    const QRectF box = contentBox(item);
    return std::abs(box.x()) < kRounding && std::abs(box.y()) < kRounding
        && std::abs(box.width() - canvas.width()) < kRounding && std::abs(box.height() - canvas.height()) < kRounding;
}

namespace {

void paintTint(const QImage &picture, uint32_t rgb, QImage &out)
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

// Soft light of an opaque tint over an opaque pixel acts on each colour
// channel alone: one table per channel, filled by painting a grey ramp.
// Painting a camera frame costs about ten times as much as looking it up.
struct TintTables
{
    uint32_t rgb = 0;
    bool ready = false;
    std::array<std::array<uint32_t, 256>, 3> channel; // already shifted into place

    void prepare(uint32_t tint)
    {
        if (ready && tint == rgb)
            return;
        QImage ramp(256, 1, QImage::Format_RGB32);
        for (int i = 0; i < 256; ++i)
            ramp.setPixel(i, 0, qRgb(i, i, i));
        QImage tinted;
        paintTint(ramp, tint, tinted);
        for (int i = 0; i < 256; ++i) {
            const QRgb p = tinted.pixel(i, 0);
            channel[0][size_t(i)] = uint32_t(qRed(p)) << 16;
            channel[1][size_t(i)] = uint32_t(qGreen(p)) << 8;
            channel[2][size_t(i)] = uint32_t(qBlue(p));
        }
        rgb = tint;
        ready = true;
    }
};

void tintOpaque(const QImage &picture, uint32_t rgb, QImage &out)
{
    thread_local TintTables tables; // the video thread's, made again only for another tint
    tables.prepare(rgb);
    if (out.size() != picture.size() || out.format() != QImage::Format_RGB32 || !out.isDetached())
        out = QImage(picture.size(), QImage::Format_RGB32);
    const auto &r = tables.channel[0];
    const auto &g = tables.channel[1];
    const auto &b = tables.channel[2];
    const int width = picture.width();
    uchar *const bits = out.bits();
    const size_t stride = size_t(out.bytesPerLine());
    for (int y = 0; y < picture.height(); ++y) {
        const auto *from = reinterpret_cast<const uint32_t *>(picture.constScanLine(y));
        auto *to = reinterpret_cast<uint32_t *>(bits + size_t(y) * stride);
        for (int x = 0; x < width; ++x) {
            const uint32_t p = from[x];
            to[x] = 0xff000000u | r[(p >> 16) & 0xff] | g[(p >> 8) & 0xff] | b[p & 0xff];
        }
    }
}

} // namespace

void tintPicture(const QImage &picture, uint32_t rgb, QImage &out)
{
    if (picture.format() == QImage::Format_RGB32)
        tintOpaque(picture, rgb, out);
    else
        paintTint(picture, rgb, out);
}

} // namespace castcore
