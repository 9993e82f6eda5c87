#pragma once

#include <QPoint>

class QMouseEvent;

// Follows a drag with the left button in screen coordinates: a left press
// starts it, a left release ends it. Each move hands out the travel since
// the press or the previous move, which the owner adds to the window it
// drags; relative steps keep the grab point under the pointer.
class MvDragTracker
{
public:
    void press(const QMouseEvent *event);
    void release(const QMouseEvent *event);
    // True with the travel in `step` while a drag is on. A press whose
    // release was lost leaves the drag on; a move with no button held does
    // not count then.
    bool move(const QMouseEvent *event, QPoint &step);

private:
    bool m_dragging = false;
    QPoint m_last;
};
