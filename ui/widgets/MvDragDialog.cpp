#include "MvDragDialog.h"

#include <QMouseEvent>

MvDragDialog::MvDragDialog(QWidget *parent)
    : QDialog(parent, Qt::WindowFlags())
{
}

MvDragDialog::~MvDragDialog() = default;

void MvDragDialog::mousePressEvent(QMouseEvent *event)
{
    m_drag.press(event);
    event->ignore();
}

void MvDragDialog::mouseReleaseEvent(QMouseEvent *event)
{
    m_drag.release(event);
    event->ignore();
}

void MvDragDialog::mouseMoveEvent(QMouseEvent *event)
{
    QPoint step;
    if (m_drag.move(event, step))
        move(pos() + step);
    event->ignore();
}
