#pragma once

// Qt Test's mouseMove only moves the cursor on widgets, which the offscreen
// platform turns into nothing; these send the move to the widget itself.
// Likewise a drop, which Qt Test cannot make at all.

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>
#include <QUrl>
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

// A file dropped on `target`, as from a file manager: the drag enters, then
// drops.
inline void dropFile(QWidget *target, const QString &path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    const QPoint at(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

} // namespace testsupport
