#pragma once

// The arithmetic of the screen-region picker, apart from its window so that
// tests reach every rule directly. Rectangles are half-open: a selection
// from (x, y) to (x + width, y + height) covers exactly width x height pixels.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QVector>

#include <Qt>

#include <array>

namespace screenshot {

// Selection states.
enum State {
    Hovering = 0, // nothing selected, the window under the mouse is framed
    Dragging = 1, // a new rectangle is being drawn
    Selected = 2,
    Moving = 4,
    Moved = 5,
    Resizing = 6,
    Resized = 7,
};

// Handle numbers, clockwise from the top-left; 0 is none.
enum Handle {
    NoHandle = 0,
    TopLeft = 1,
    TopMiddle = 2,
    TopRight = 3,
    RightMiddle = 4,
    BottomRight = 5,
    BottomMiddle = 6,
    BottomLeft = 7,
    LeftMiddle = 8,
};

// (min x, min y, |dx|, |dy|) of two points.
QRect rectFromPoints(const QPoint &p, const QPoint &q);

// The rectangle moved by (moveEnd - moveStart), the offset clamped so that
// it stays inside (0, 0, area); its size never changes.
QRect movedRect(const QRect &r, const QPoint &moveStart, const QPoint &moveEnd, const QSize &area);

// The rectangle with handle `handle` dragged to `c`; the opposite corner or
// side stays. A drag past it turns the rectangle over (never a negative size).
QRect resizedRect(const QRect &r, int handle, const QPoint &c);

// The handle squares of a rectangle (6 x 6 around each corner and side
// middle), indexed by handle number - 1.
std::array<QRect, 8> handleSquares(const QRect &r);

// The first handle (1 .. 8) whose square holds p, edges included; 0 none.
int hitHandle(const QRect &r, const QPoint &p);

// The frame of the topmost window holding the desktop point, shifted into
// the picker's coordinates (origin at grabOrigin) and clipped to the area;
// empty when no window holds it.
QRect hoverRect(const QVector<QRect> &windowsTopmostFirst, const QPoint &desktopPoint, const QPoint &grabOrigin,
                const QSize &area);

// The cursor over `p`: `current` is the rectangle now shown, `dragged` the
// handle being dragged while resizing. Over a selection it tells what a
// press would do there: a handle resizes, the inside moves.
Qt::CursorShape cursorFor(int state, const QRect &current, const QPoint &p, int dragged);

// Cursor of a handle: diagonal, vertical or horizontal arrows; arrow for none.
Qt::CursorShape handleCursor(int handle);

} // namespace screenshot
