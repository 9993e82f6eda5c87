#include "TextSource.h"

#include "TextLayout.h"

#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <tuple>

namespace castcore {

namespace {

// Rolling: the text enters at the right edge of the picture and moves left
// at its roll speed in pixels per second of tick time, leaves at the left
// edge and enters again at the right; one lap is (picture width + text
// width) / speed. An extended text with the scroll flag but no roll speed
// rolls at kDefaultRollSpeed.
constexpr int kDefaultRollSpeed = 30;
constexpr int kMaxRollSpeed = 2000;
// Beyond these a text picture is a mistake in the settings, not a look.
constexpr int kMaxSide = 4096;
constexpr int kMaxStripWidth = 16384;

auto lookOf(const TextStyle &s)
{
    return std::tie(s.font, s.text, s.size, s.color, s.opacity, s.rollSpeed, s.bold, s.italic, s.underline,
                    s.vertical, s.backgroundOpacity, s.backgroundColor, s.outline, s.outlineSize, s.outlineColor,
                    s.outlineOpacity, s.extend, s.extendWidth, s.extendHeight, s.newline, s.scroll, s.align);
}

QSize bounded(const QSize &s)
{
    return QSize(std::clamp(s.width(), 1, kMaxSide), std::clamp(s.height(), 1, kMaxSide));
}

bool noGuiReported()
{
    static std::atomic<bool> reported{false};
    return reported.exchange(true);
}

} // namespace

TextSource::TextSource() = default;
TextSource::~TextSource() = default;

void TextSource::update(const SceneItem &item)
{
    if (lookOf(item.text) == lookOf(m_style))
        return;
    m_style = item.text;
    m_dirty = true;
}

void TextSource::resize(const QSize &itemSize)
{
    const QSize size = itemSize.isValid() && !itemSize.isEmpty() ? itemSize : QSize();
    if (size == m_itemSize)
        return;
    m_itemSize = size;
    m_dirty = true;
}

int TextSource::rollSpeed() const
{
    if (m_style.rollSpeed > 0)
        return std::min(m_style.rollSpeed, kMaxRollSpeed);
    return m_style.extend && m_style.scroll ? kDefaultRollSpeed : 0;
}

void TextSource::relayout()
{
    m_dirty = false;
    m_strip = QImage();
    m_picture = QImage();
    m_rollStarted = false;
    m_shift = -1;
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) { // qGuiApp would downcast blindly
        if (!noGuiReported())
            qWarning("engine: texts need a QGuiApplication; text items stay empty");
        return;
    }
    const bool rolling = rollSpeed() > 0;
    const QSize extendSize = m_style.extend ? QSize(std::max(0, m_style.extendWidth), std::max(0, m_style.extendHeight))
                                            : QSize(0, 0);
    // The widest line that fits the picture, known before laying out: the
    // item's width, or else the extension's.
    const TextStyle &s = m_style;
    qreal wrapWidth = 0;
    if (s.newline && !rolling && !s.vertical) {
        const int box = m_itemSize.isValid() ? m_itemSize.width() : extendSize.width();
        if (box > 0)
            wrapWidth = std::max(qreal(1), box - 2 * TextLayout::margin(s));
    }
    const TextBlock block = TextLayout::layOut(s, fromU16(s.text), wrapWidth);

    const QSize own(int(std::ceil(block.size.width() + 2 * block.margin)),
                    int(std::ceil(block.size.height() + 2 * block.margin)));
    m_size = bounded((m_itemSize.isValid() ? m_itemSize : own).expandedTo(extendSize));

    const QColor background = TextLayout::backgroundColor(s);
    m_background = qPremultiply(background.rgba());
    const int align = (s.align >= 0 && s.align <= 2) ? s.align : 0;
    // Horizontal text: `align` across, centred top to bottom; vertical text
    // was aligned inside its columns, which stand centred.
    const qreal y = (m_size.height() - block.size.height()) / 2;
    qreal x = (m_size.width() - block.size.width()) / 2;
    if (!s.vertical && align == 0)
        x = block.margin;
    else if (!s.vertical && align == 2)
        x = m_size.width() - block.size.width() - block.margin;

    if (rolling) {
        const int width = std::min(own.width(), kMaxStripWidth);
        if (width < own.width())
            qWarning("engine: text too long to roll, cut at %d pixels", kMaxStripWidth);
        m_strip = QImage(width, m_size.height(), QImage::Format_ARGB32_Premultiplied);
        m_strip.fill(m_background);
        QPainter painter(&m_strip);
        TextLayout::draw(painter, block, s, QPointF(block.margin, y));
        return;
    }
    m_picture = QImage(m_size, QImage::Format_ARGB32_Premultiplied);
    m_picture.fill(m_background);
    QPainter painter(&m_picture);
    TextLayout::draw(painter, block, s, QPointF(x, y));
}

QImage &TextSource::freeBuffer()
{
    // A buffer nobody else holds (neither m_picture nor the compositor) can
    // be written without a copy.
    for (QImage &b : m_buffers) {
        if (b.size() == m_size && b.isDetached())
            return b;
    }
    for (QImage &b : m_buffers) {
        if (b.isNull() || b.isDetached()) {
            b = QImage(m_size, QImage::Format_ARGB32_Premultiplied);
            return b;
        }
    }
    // All three still held elsewhere: drop our share of one.
    m_buffers[0] = QImage(m_size, QImage::Format_ARGB32_Premultiplied);
    return m_buffers[0];
}

bool TextSource::roll(MediaClock::time_point now)
{
    if (!m_rollStarted) {
        m_rollStarted = true;
        m_rollStart = now;
    }
    const long long lap = (long long)m_size.width() + m_strip.width();
    const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_rollStart).count();
    const int shift = int((std::max(0LL, ms) * rollSpeed() / 1000) % lap);
    if (shift == m_shift)
        return false;
    m_shift = shift;

    QImage &out = freeBuffer();
    out.fill(m_background);
    const int left = m_size.width() - shift; // the strip's left edge in the picture
    const int from = std::max(0, -left);
    const int to = std::min(m_strip.width(), m_size.width() - left);
    if (to > from) {
        const std::size_t bytes = std::size_t(to - from) * 4;
        for (int row = 0; row < m_size.height(); ++row) {
            std::memcpy(out.scanLine(row) + std::size_t(left + from) * 4, m_strip.constScanLine(row) + std::size_t(from) * 4,
                        bytes);
        }
    }
    m_picture = out;
    return true;
}

bool TextSource::tick(MediaClock::time_point now)
{
    bool changed = false;
    if (m_dirty) {
        relayout();
        changed = true;
    }
    if (!m_strip.isNull())
        changed = roll(now) || changed;
    return changed;
}

QImage TextSource::picture() const
{
    return m_picture;
}

} // namespace castcore
