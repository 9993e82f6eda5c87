#include "OverlayDigest.h"

#include <QBrush>
#include <QFont>
#include <QGradient>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPixmap>
#include <QRegion>
#include <QTextItem>
#include <QTransform>

#include <cstring>
#include <type_traits>
#include <vector>

namespace castcore {

namespace {

// One flat record of commands; kept between runs so that it allocates only
// while it grows.
class Record
{
public:
    void clear() { m_bytes.clear(); }
    bool operator==(const Record &o) const { return m_bytes == o.m_bytes; }
    void swap(Record &o) { m_bytes.swap(o.m_bytes); }

    template <typename T>
    void put(const T &value)
    {
        static_assert(std::is_trivially_copyable<T>::value, "plain values only");
        const auto *p = reinterpret_cast<const unsigned char *>(&value);
        m_bytes.insert(m_bytes.end(), p, p + sizeof(T));
    }
    void put(const QString &s)
    {
        put(int(s.size()));
        const auto *p = reinterpret_cast<const unsigned char *>(s.utf16());
        m_bytes.insert(m_bytes.end(), p, p + size_t(s.size()) * sizeof(ushort));
    }
    void put(const QPointF &p)
    {
        put(p.x());
        put(p.y());
    }
    void put(const QRectF &r)
    {
        put(r.x());
        put(r.y());
        put(r.width());
        put(r.height());
    }
    void put(const QTransform &t)
    {
        const qreal m[9] = {t.m11(), t.m12(), t.m13(), t.m21(), t.m22(), t.m23(), t.m31(), t.m32(), t.m33()};
        for (qreal v : m)
            put(v);
    }
    void put(const QPainterPath &path)
    {
        put(int(path.fillRule()));
        put(path.elementCount());
        for (int i = 0; i < path.elementCount(); ++i) {
            const QPainterPath::Element e = path.elementAt(i);
            put(int(e.type));
            put(e.x);
            put(e.y);
        }
    }
    void put(const QBrush &b)
    {
        put(int(b.style()));
        put(b.color().rgba64());
        put(b.transform());
        if (const QGradient *g = b.gradient()) {
            put(int(g->type()));
            put(int(g->spread()));
            put(int(g->coordinateMode()));
            for (const QGradientStop &stop : g->stops()) {
                put(stop.first);
                put(stop.second.rgba64());
            }
            if (g->type() == QGradient::LinearGradient) {
                const auto *l = static_cast<const QLinearGradient *>(g);
                put(l->start());
                put(l->finalStop());
            } else if (g->type() == QGradient::RadialGradient) {
                const auto *r = static_cast<const QRadialGradient *>(g);
                put(r->center());
                put(r->centerRadius());
                put(r->focalPoint());
                put(r->focalRadius());
            } else if (g->type() == QGradient::ConicalGradient) {
                const auto *c = static_cast<const QConicalGradient *>(g);
                put(c->center());
                put(c->angle());
            }
        }
        if (b.style() == Qt::TexturePattern)
            put(b.textureImage().isNull() ? b.texture().cacheKey() : b.textureImage().cacheKey());
    }
    void put(const QPen &p)
    {
        put(int(p.style()));
        put(p.widthF());
        put(int(p.capStyle()));
        put(int(p.joinStyle()));
        put(p.miterLimit());
        put(p.isCosmetic());
        put(p.dashOffset());
        for (qreal d : p.dashPattern())
            put(d);
        put(p.brush());
    }

private:
    std::vector<unsigned char> m_bytes;
};

// Command tags, so that two different command lists never give one record.
enum Tag : unsigned char {
    State,
    Rects,
    Lines,
    Ellipse,
    Path,
    Points,
    Polygon,
    Pixmap,
    TiledPixmap,
    Image,
    Text,
};

class RecordingEngine : public QPaintEngine
{
public:
    explicit RecordingEngine(Record &record)
        : QPaintEngine(QPaintEngine::AllFeatures)
        , m_record(record)
    {
    }

    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }

    void updateState(const QPaintEngineState &s) override
    {
        const QPaintEngine::DirtyFlags dirty = s.state();
        m_record.put(Tag(State));
        m_record.put(int(dirty));
        if (dirty & DirtyPen)
            m_record.put(s.pen());
        if (dirty & DirtyBrush)
            m_record.put(s.brush());
        if (dirty & DirtyBrushOrigin)
            m_record.put(s.brushOrigin());
        if (dirty & DirtyBackground)
            m_record.put(s.backgroundBrush());
        if (dirty & DirtyBackgroundMode)
            m_record.put(int(s.backgroundMode()));
        if (dirty & DirtyFont)
            m_record.put(s.font().key());
        if (dirty & DirtyTransform)
            m_record.put(s.transform());
        if (dirty & (DirtyClipRegion | DirtyClipPath)) {
            m_record.put(int(s.clipOperation()));
            const QRegion region = s.clipRegion();
            m_record.put(region.rectCount());
            for (const QRect &r : region)
                m_record.put(QRectF(r));
            m_record.put(s.clipPath());
        }
        if (dirty & DirtyClipEnabled)
            m_record.put(s.isClipEnabled());
        if (dirty & DirtyHints)
            m_record.put(int(s.renderHints()));
        if (dirty & DirtyCompositionMode)
            m_record.put(int(s.compositionMode()));
        if (dirty & DirtyOpacity)
            m_record.put(s.opacity());
    }

    void drawRects(const QRect *rects, int count) override
    {
        m_record.put(Tag(Rects));
        for (int i = 0; i < count; ++i)
            m_record.put(QRectF(rects[i]));
    }
    void drawRects(const QRectF *rects, int count) override
    {
        m_record.put(Tag(Rects));
        for (int i = 0; i < count; ++i)
            m_record.put(rects[i]);
    }
    void drawLines(const QLine *lines, int count) override
    {
        m_record.put(Tag(Lines));
        for (int i = 0; i < count; ++i) {
            m_record.put(QPointF(lines[i].p1()));
            m_record.put(QPointF(lines[i].p2()));
        }
    }
    void drawLines(const QLineF *lines, int count) override
    {
        m_record.put(Tag(Lines));
        for (int i = 0; i < count; ++i) {
            m_record.put(lines[i].p1());
            m_record.put(lines[i].p2());
        }
    }
    void drawEllipse(const QRectF &r) override
    {
        m_record.put(Tag(Ellipse));
        m_record.put(r);
    }
    void drawEllipse(const QRect &r) override { drawEllipse(QRectF(r)); }
    void drawPath(const QPainterPath &path) override
    {
        m_record.put(Tag(Path));
        m_record.put(path);
    }
    void drawPoints(const QPointF *points, int count) override
    {
        m_record.put(Tag(Points));
        for (int i = 0; i < count; ++i)
            m_record.put(points[i]);
    }
    void drawPoints(const QPoint *points, int count) override
    {
        m_record.put(Tag(Points));
        for (int i = 0; i < count; ++i)
            m_record.put(QPointF(points[i]));
    }
    void drawPolygon(const QPointF *points, int count, PolygonDrawMode mode) override
    {
        m_record.put(Tag(Polygon));
        m_record.put(int(mode));
        for (int i = 0; i < count; ++i)
            m_record.put(points[i]);
    }
    void drawPolygon(const QPoint *points, int count, PolygonDrawMode mode) override
    {
        m_record.put(Tag(Polygon));
        m_record.put(int(mode));
        for (int i = 0; i < count; ++i)
            m_record.put(QPointF(points[i]));
    }
    void drawPixmap(const QRectF &r, const QPixmap &pm, const QRectF &sr) override
    {
        m_record.put(Tag(Pixmap));
        m_record.put(r);
        m_record.put(pm.cacheKey());
        m_record.put(sr);
    }
    void drawTiledPixmap(const QRectF &r, const QPixmap &pm, const QPointF &offset) override
    {
        m_record.put(Tag(TiledPixmap));
        m_record.put(r);
        m_record.put(pm.cacheKey());
        m_record.put(offset);
    }
    void drawImage(const QRectF &r, const QImage &image, const QRectF &sr, Qt::ImageConversionFlags flags) override
    {
        m_record.put(Tag(Image));
        m_record.put(r);
        m_record.put(image.cacheKey());
        m_record.put(sr);
        m_record.put(int(flags));
    }
    void drawTextItem(const QPointF &p, const QTextItem &item) override
    {
        m_record.put(Tag(Text));
        m_record.put(p);
        m_record.put(item.text());
        m_record.put(item.font().key());
        m_record.put(int(item.renderFlags()));
    }

private:
    Record &m_record;
};

} // namespace

class OverlayDigest::Recorder : public QPaintDevice
{
public:
    Recorder()
        : m_engine(m_current)
    {
    }

    bool changed(const QSize &size, const std::function<void(QPainter *)> &overlay)
    {
        m_size = size;
        m_current.clear();
        m_current.put(size.width());
        m_current.put(size.height());
        if (overlay && !size.isEmpty()) {
            QPainter painter(this);
            overlay(&painter);
        }
        const bool differs = !m_valid || !(m_current == m_kept);
        m_kept.swap(m_current);
        m_valid = true;
        return differs;
    }

    void forget() { m_valid = false; }

    QPaintEngine *paintEngine() const override { return const_cast<RecordingEngine *>(&m_engine); }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        // As a QImage of that size has it (96 dots per inch), so that fonts
        // come out as on the preview.
        constexpr int kDpi = 96;
        switch (metric) {
        case PdmWidth:
            return m_size.width();
        case PdmHeight:
            return m_size.height();
        case PdmWidthMM:
            return m_size.width() * 254 / (10 * kDpi);
        case PdmHeightMM:
            return m_size.height() * 254 / (10 * kDpi);
        case PdmNumColors:
            return 0;
        case PdmDepth:
            return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return kDpi;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(QPaintDevice::devicePixelRatioFScale());
        }
        return 0;
    }

private:
    Record m_current;
    Record m_kept;
    bool m_valid = false;
    QSize m_size;
    RecordingEngine m_engine;
};

OverlayDigest::OverlayDigest()
    : m_recorder(std::make_unique<Recorder>())
{
}

OverlayDigest::~OverlayDigest() = default;

bool OverlayDigest::changed(const QSize &size, const std::function<void(QPainter *)> &overlay)
{
    return m_recorder->changed(size, overlay);
}

void OverlayDigest::forget()
{
    m_recorder->forget();
}

} // namespace castcore
