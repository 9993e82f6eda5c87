#include "MvChangeCursorShapeRadioButton.h"

MvChangeCursorShapeRadioButton::MvChangeCursorShapeRadioButton(QWidget *parent)
    : QRadioButton(parent)
{
}

MvChangeCursorShapeRadioButton::~MvChangeCursorShapeRadioButton() = default;

void MvChangeCursorShapeRadioButton::enterEvent(QEvent *event)
{
    setCursor(Qt::PointingHandCursor);
    QRadioButton::enterEvent(event);
}

void MvChangeCursorShapeRadioButton::leaveEvent(QEvent *event)
{
    setCursor(Qt::ArrowCursor);
    QRadioButton::leaveEvent(event);
}
