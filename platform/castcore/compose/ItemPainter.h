#pragma once

// Draws one item's picture onto the canvas: scaled into its rect (or into
// the box of its aspect ratio), with its alpha, rotation and flips. Axis 0
// turns about the horizontal axis (a half turn flips it upside down), axis 1
// about the vertical axis (a half turn mirrors it), axis 2 in the picture's
// plane; the first two are seen straight on, so their cosine scales.

#include "ItemView.h"

#include <QImage>
#include <QRectF>

class QPainter;

namespace castcore {

// The rect the picture fills: the item's rect, or, with the item's flag set
// and an aspect ratio above 0, the largest box of that ratio centred in it.
QRectF contentBox(const ItemView &item);

void drawItem(QPainter &painter, const ItemView &item, const QImage &picture);

// True when drawItem() paints every pixel of `area` opaquely with this
// picture, so that nothing under the item there can show.
bool coversOpaquely(const ItemView &item, const QImage &picture, const QRectF &area);

// True when drawItem() would copy this opaque picture pixel for pixel onto
// the whole of a canvas of `canvas`'s size: no scale, flip, turn or opacity.
bool fillsPixelForPixel(const ItemView &item, const QImage &picture, const QSize &canvas);

// The picture tinted by a colour effect (0xRRGGBB): its colours pulled
// toward the tint by soft light, its alpha kept. Reuses `out`'s buffer
// when it has the right size and nobody else holds it. An opaque (RGB32)
// picture stays RGB32, tinted through tables that Qt's own soft light
// filled, with the same result as painting it.
void tintPicture(const QImage &picture, uint32_t rgb, QImage &out);

} // namespace castcore
