#include "TextLayout.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace castcore {

const char *const TextLayout::kFallbackFamily = "WenQuanYi Micro Hei";

namespace {

std::atomic<int> g_layouts{0};

constexpr qreal kMaxOutline = 60.0; // the editor's range

QColor withOpacity(uint32_t rgb, int percent)
{
    QColor c = QColor::fromRgb(QRgb(rgb));
    c.setAlpha(std::clamp(percent, 0, 100) * 255 / 100);
    return c;
}

qreal outlineWidth(const TextStyle &style)
{
    return std::clamp(qreal(style.outlineSize), qreal(0), kMaxOutline);
}

QStringList paragraphs(const QString &text)
{
    QString plain = text;
    plain.remove(QLatin1Char('\r'));
    return plain.split(QLatin1Char('\n'));
}

struct Line
{
    QString text;
    qreal width;
};

void layOutHorizontal(const QFont &font, const QString &text, qreal wrapWidth, int align, TextBlock *block)
{
    const QFontMetricsF fm(font);
    std::vector<Line> lines;
    for (const QString &para : paragraphs(text)) {
        if (wrapWidth <= 0 || para.isEmpty()) {
            lines.push_back({para, fm.horizontalAdvance(para)});
            continue;
        }
        QTextLayout layout(para, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(wrapWidth);
            lines.push_back({para.mid(line.textStart(), line.textLength()), line.naturalTextWidth()});
        }
        layout.endLayout();
    }
    qreal width = 0;
    for (const Line &l : lines)
        width = std::max(width, l.width);
    const qreal step = fm.lineSpacing();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line &l = lines[i];
        qreal x = 0;
        if (align == 1)
            x = (width - l.width) / 2;
        else if (align == 2)
            x = width - l.width;
        block->glyphs.addText(QPointF(x, i * step + fm.ascent()), font, l.text);
    }
    block->size = QSizeF(width, (lines.size() - 1) * step + fm.height());
}

// Characters stacked top to bottom, one column per line, columns from left
// to right; `align` places each column's characters top, centre or bottom.
void layOutVertical(const QFont &font, const QString &text, int align, TextBlock *block)
{
    const QFontMetricsF fm(font);
    std::vector<QStringList> columns;
    qreal columnWidth = fm.height();
    for (const QString &para : paragraphs(text)) {
        QStringList chars;
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, para);
        int start = 0;
        for (int end = finder.toNextBoundary(); end > 0; end = finder.toNextBoundary()) {
            chars << para.mid(start, end - start);
            columnWidth = std::max(columnWidth, fm.horizontalAdvance(chars.back()));
            start = end;
        }
        columns.push_back(chars);
    }
    int rows = 1;
    for (const QStringList &c : columns)
        rows = std::max(rows, int(c.size()));
    const qreal step = fm.height();
    const qreal height = rows * step;
    for (std::size_t col = 0; col < columns.size(); ++col) {
        const QStringList &chars = columns[col];
        qreal y = 0;
        const qreal used = chars.size() * step;
        if (align == 1)
            y = (height - used) / 2;
        else if (align == 2)
            y = height - used;
        for (const QString &ch : chars) {
            const qreal x = col * columnWidth + (columnWidth - fm.horizontalAdvance(ch)) / 2;
            block->glyphs.addText(QPointF(x, y + fm.ascent()), font, ch);
            y += step;
        }
    }
    block->size = QSizeF(columns.size() * columnWidth, height);
}

} // namespace

QFont TextLayout::fontFor(const TextStyle &style)
{
    const QString family = fromU16(style.font);
    const QFontDatabase fonts;
    QFont font;
    if (!family.isEmpty() && fonts.hasFamily(family))
        font.setFamily(family);
    else if (fonts.hasFamily(QString::fromLatin1(kFallbackFamily)))
        font.setFamily(QString::fromLatin1(kFallbackFamily));
    font.setPixelSize(std::clamp(style.size, 1, kMaxPixelSize));
    font.setBold(style.bold);
    font.setItalic(style.italic);
    font.setUnderline(style.underline);
    // Outlines are drawn from paths: hinting would only move them off the
    // positions the layout measured.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

TextBlock TextLayout::layOut(const TextStyle &style, const QString &text, qreal wrapWidth)
{
    ++g_layouts;
    TextBlock block;
    const QFont font = fontFor(style);
    const int align = (style.align >= 0 && style.align <= 2) ? style.align : 0;
    if (style.vertical)
        layOutVertical(font, text, align, &block);
    else
        layOutHorizontal(font, text, wrapWidth, align, &block);
    block.margin = margin(style);
    return block;
}

void TextLayout::draw(QPainter &painter, const TextBlock &block, const TextStyle &style, const QPointF &at)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(at);
    if (hasOutline(style)) {
        // Twice the width: the inner half goes under the fill.
        QPen pen(outlineColor(style), 2 * outlineWidth(style), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.strokePath(block.glyphs, pen);
    }
    painter.fillPath(block.glyphs, textColor(style));
    painter.restore();
}

QColor TextLayout::textColor(const TextStyle &style)
{
    return withOpacity(style.color, style.opacity);
}

QColor TextLayout::outlineColor(const TextStyle &style)
{
    return withOpacity(style.outlineColor, style.outlineOpacity);
}

QColor TextLayout::backgroundColor(const TextStyle &style)
{
    return withOpacity(style.backgroundColor, style.backgroundOpacity);
}

qreal TextLayout::margin(const TextStyle &style)
{
    return (hasOutline(style) ? std::ceil(outlineWidth(style)) : 0) + 1;
}

bool TextLayout::hasOutline(const TextStyle &style)
{
    return style.outline != 0 && outlineWidth(style) > 0;
}

int TextLayout::layoutCount()
{
    return g_layouts.load();
}

} // namespace castcore
