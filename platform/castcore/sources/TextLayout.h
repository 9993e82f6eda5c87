#pragma once

// A text style turned into glyph outlines and drawn: the one place that knows
// fonts. Needs a QGuiApplication (fonts come from the platform's database).

#include "SceneItem.h"

#include <QColor>
#include <QFont>
#include <QPainterPath>
#include <QSizeF>
#include <QString>

class QPainter;

namespace castcore {

// The text's glyphs with their top-left corner at (0, 0).
struct TextBlock
{
    QPainterPath glyphs;
    QSizeF size;       // the laid-out lines (columns for vertical text)
    qreal margin = 0;  // what the outline and antialiasing add on each side
};

class TextLayout
{
public:
    // Family used when the style's font is not installed (fonts-wqy-microhei):
    // it has the CJK glyphs the broadcaster's texts are mostly made of.
    static const char *const kFallbackFamily;
    static constexpr int kMaxPixelSize = 512;

    static QFont fontFor(const TextStyle &style);
    // `wrapWidth` > 0 wraps horizontal lines at word boundaries (anywhere in
    // a word that does not fit); lines always break at '\n'.
    static TextBlock layOut(const TextStyle &style, const QString &text, qreal wrapWidth);
    // Outline first, then the fill over it, with the block's corner at `at`.
    static void draw(QPainter &painter, const TextBlock &block, const TextStyle &style, const QPointF &at);

    // Opacities are percentages (0-100). The colour words come from
    // QColor::rgb, whose alpha byte is always 0xFF, so opacity alone sets
    // the alpha: a writer of 0xRRGGBB still gets visible text.
    static QColor textColor(const TextStyle &style);
    static QColor outlineColor(const TextStyle &style);
    static QColor backgroundColor(const TextStyle &style);
    static bool hasOutline(const TextStyle &style);
    // Room the outline and antialiasing need on each side of the glyphs.
    static qreal margin(const TextStyle &style);

    // Times layOut ran in this process; tests check that a frame does not.
    static int layoutCount();
};

} // namespace castcore
