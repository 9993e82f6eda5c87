#pragma once

// Qt Test's mouseMove only moves the cursor on widgets, which the offscreen
// platform turns into nothing; these send the move to the widget itself.

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

namespace testsupport {

// A mouse move to `pos` (widget coordinates) with `held` buttons down.
inline void moveMouse(QWidget *widget, QPoint pos, Qt::MouseButtons held = Qt::NoButton)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), QPointF(widget->mapToGlobal(pos)), Qt::NoButton, held,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

// Press at `from`, one move to `to`, release there, all with the left button.
inline void dragMouse(QWidget *widget, QPoint from, QPoint to)
{
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, from);
    moveMouse(widget, to, Qt::LeftButton);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, to);
}

} // namespace testsupport
