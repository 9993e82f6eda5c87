#include "MvDragWidget.h"

#include <QMouseEvent>

MvDragWidget::MvDragWidget(QWidget *parent)
    : QWidget(parent, Qt::WindowFlags())
{
}

MvDragWidget::~MvDragWidget() = default;

void MvDragWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressPoint = event->globalPos();
        m_dragging = true;
    }
    event->ignore();
}

void MvDragWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    event->ignore();
}

void MvDragWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging && event->buttons() != Qt::NoButton) {
        m_currentPoint = event->globalPos();
        QObject *parentObject = parent();
        QWidget *parentWidget = qobject_cast<QWidget *>(parentObject);
        QWidget *window = parentWidget ? parentWidget->parentWidget() : nullptr;
        if (window)
            window->move(window->pos() + (m_currentPoint - m_pressPoint));
        m_pressPoint = m_currentPoint;
    }
    event->ignore();
}
