#pragma once

#include <QMouseEvent>
#include <QPoint>
#include <QWidget>

// Drags a frameless dialog by its body: a press (any button) notes where the
// pointer holds the window, and while the left button is held the window
// follows so that this point stays under the pointer.
class GrabOffsetDrag
{
public:
    void press(const QWidget *window, const QMouseEvent *event)
    {
        m_offset = event->globalPos() - window->pos();
    }

    void move(QWidget *window, const QMouseEvent *event) const
    {
        if (event->buttons() & Qt::LeftButton)
            window->move(event->globalPos() - m_offset);
    }

private:
    QPoint m_offset;
};
