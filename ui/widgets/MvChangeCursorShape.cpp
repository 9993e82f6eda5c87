#include "MvChangeCursorShape.h"

MvChangeCursorShape::MvChangeCursorShape(QWidget *parent)
    : QPushButton(parent)
{
}

MvChangeCursorShape::~MvChangeCursorShape() = default;

void MvChangeCursorShape::enterEvent(QEvent *event)
{
    setCursor(Qt::PointingHandCursor);
    QPushButton::enterEvent(event);
}

void MvChangeCursorShape::leaveEvent(QEvent *event)
{
    setCursor(Qt::ArrowCursor);
    QPushButton::leaveEvent(event);
}
