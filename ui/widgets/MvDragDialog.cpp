#include "MvDragDialog.h"

#include <QMouseEvent>

MvDragDialog::MvDragDialog(QWidget *parent)
    : QDialog(parent, Qt::WindowFlags())
{
}

MvDragDialog::~MvDragDialog() = default;

void MvDragDialog::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressPoint = event->globalPos();
        m_dragging = true;
    }
    event->ignore();
}

void MvDragDialog::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    event->ignore();
}

void MvDragDialog::mouseMoveEvent(QMouseEvent *event)
{
    // A press whose release was lost leaves dragging set; a move with no
    // button held must not move the window then.
    if (m_dragging && event->buttons() != Qt::NoButton) {
        m_currentPoint = event->globalPos();
        move(pos() + (m_currentPoint - m_pressPoint));
        m_pressPoint = m_currentPoint;
    }
    event->ignore();
}
