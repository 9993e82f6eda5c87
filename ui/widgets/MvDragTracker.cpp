#include "MvDragTracker.h"

#include <QMouseEvent>

void MvDragTracker::press(const QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_last = event->globalPos();
        m_dragging = true;
    }
}

void MvDragTracker::release(const QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
}

bool MvDragTracker::move(const QMouseEvent *event, QPoint &step)
{
    if (!m_dragging || event->buttons() == Qt::NoButton)
        return false;
    const QPoint now = event->globalPos();
    step = now - m_last;
    m_last = now;
    return true;
}
