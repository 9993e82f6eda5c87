#include "MvDragWidget.h"

#include <QMouseEvent>

MvDragWidget::MvDragWidget(QWidget *parent)
    : QWidget(parent, Qt::WindowFlags())
{
}

MvDragWidget::~MvDragWidget() = default;

void MvDragWidget::mousePressEvent(QMouseEvent *event)
{
    m_drag.press(event);
    event->ignore();
}

void MvDragWidget::mouseReleaseEvent(QMouseEvent *event)
{
    m_drag.release(event);
    event->ignore();
}

void MvDragWidget::mouseMoveEvent(QMouseEvent *event)
{
    QPoint step;
    if (m_drag.move(event, step)) {
        QWidget *parent = parentWidget();
        if (QWidget *window = parent ? parent->parentWidget() : nullptr)
            window->move(window->pos() + step);
    }
    event->ignore();
}
