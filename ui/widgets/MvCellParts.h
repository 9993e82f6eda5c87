#pragma once

class QPainter;
class QPixmap;
class QPushButton;
class QRect;
class QWidget;

// Pieces the picture cells share.
namespace mvcell {

// Draws the picture at its own size, centred in `area`.
void drawCentred(QPainter &painter, const QRect &area, const QPixmap &picture);

// The chosen mark, in the 16 x 16 top-right corner of a cell `cellWidth` wide.
void drawChosenMark(QPainter &painter, int cellWidth);

// The small remove button of a cell, hidden until the cell shows it; the
// cell places and connects it.
QPushButton *newRemoveButton(QWidget *cell);

} // namespace mvcell
