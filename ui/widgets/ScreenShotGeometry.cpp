#include "ScreenShotGeometry.h"

#include <algorithm>
#include <cstdlib>

namespace screenshot {

QRect rectFromPoints(const QPoint &p, const QPoint &q)
{
    return QRect(std::min(p.x(), q.x()), std::min(p.y(), q.y()), std::abs(p.x() - q.x()), std::abs(p.y() - q.y()));
}

namespace {

int clampOffset(int offset, int start, int length, int limit)
{
    // Keep [start + offset, start + offset + length) inside [0, limit); a
    // rectangle wider than the area keeps its start at 0.
    offset = std::min(offset, limit - (start + length));
    return std::max(offset, -start);
}

} // namespace

QRect movedRect(const QRect &r, const QPoint &moveStart, const QPoint &moveEnd, const QSize &area)
{
    const int dx = clampOffset(moveEnd.x() - moveStart.x(), r.x(), r.width(), area.width());
    const int dy = clampOffset(moveEnd.y() - moveStart.y(), r.y(), r.height(), area.height());
    return r.translated(dx, dy);
}

QRect resizedRect(const QRect &r, int handle, const QPoint &c)
{
    // The far edges are exclusive, so an untouched drag gives r back.
    const int right = r.x() + r.width();
    const int bottom = r.y() + r.height();
    switch (handle) {
    case TopLeft:
        return rectFromPoints(QPoint(right, bottom), c);
    case TopMiddle:
        return QRect(r.x(), std::min(c.y(), bottom), r.width(), std::abs(c.y() - bottom));
    case TopRight:
        return rectFromPoints(QPoint(r.x(), bottom), c);
    case RightMiddle:
        return QRect(std::min(r.x(), c.x()), r.y(), std::abs(r.x() - c.x()), r.height());
    case BottomRight:
        return rectFromPoints(r.topLeft(), c);
    case BottomMiddle:
        return QRect(r.x(), std::min(r.y(), c.y()), r.width(), std::abs(c.y() - r.y()));
    case BottomLeft:
        return rectFromPoints(c, QPoint(right, r.y()));
    case LeftMiddle:
        return QRect(std::min(c.x(), right), r.y(), std::abs(right - c.x()), r.height());
    default:
        return r;
    }
}

std::array<QRect, 8> handleSquares(const QRect &r)
{
    const int left = r.x();
    const int top = r.y();
    const int right = r.x() + r.width();
    const int bottom = r.y() + r.height();
    const int midX = (left + right) / 2;
    const int midY = (top + bottom) / 2;
    const QPoint points[8] = {{left, top},      {midX, top},   {right, top},   {right, midY},
                              {right, bottom}, {midX, bottom}, {left, bottom}, {left, midY}};
    std::array<QRect, 8> squares;
    for (int i = 0; i < 8; ++i)
        squares[size_t(i)] = QRect(points[i].x() - 2, points[i].y() - 2, 6, 6);
    return squares;
}

int hitHandle(const QRect &r, const QPoint &p)
{
    const std::array<QRect, 8> squares = handleSquares(r);
    for (int i = 0; i < 8; ++i)
        if (squares[size_t(i)].contains(p))
            return i + 1;
    return NoHandle;
}

QRect hoverRect(const QVector<QRect> &windowsTopmostFirst, const QPoint &desktopPoint, const QPoint &grabOrigin,
                const QSize &area)
{
    for (const QRect &window : windowsTopmostFirst) {
        if (window.contains(desktopPoint))
            return window.translated(-grabOrigin).intersected(QRect(QPoint(0, 0), area));
    }
    return QRect();
}

Qt::CursorShape handleCursor(int handle)
{
    switch (handle) {
    case TopLeft:
    case BottomRight:
        return Qt::SizeFDiagCursor;
    case TopMiddle:
    case BottomMiddle:
        return Qt::SizeVerCursor;
    case TopRight:
    case BottomLeft:
        return Qt::SizeBDiagCursor;
    case RightMiddle:
    case LeftMiddle:
        return Qt::SizeHorCursor;
    default:
        return Qt::ArrowCursor;
    }
}

Qt::CursorShape cursorFor(int state, const QRect &current, const QPoint &p, int dragged)
{
    switch (state) {
    case Selected:
    case Moved:
    case Resized: {
        // What a press there would do: a handle resizes, inside moves.
        const int handle = hitHandle(current, p);
        if (handle != NoHandle)
            return handleCursor(handle);
        return current.contains(p) ? Qt::SizeAllCursor : Qt::ArrowCursor;
    }
    case Moving:
        return Qt::SizeAllCursor;
    case Resizing:
        return handleCursor(dragged);
    default:
        return Qt::ArrowCursor;
    }
}

} // namespace screenshot
