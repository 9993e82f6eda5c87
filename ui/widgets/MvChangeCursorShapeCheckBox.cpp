#include "MvChangeCursorShapeCheckBox.h"

MvChangeCursorShapeCheckBox::MvChangeCursorShapeCheckBox(QWidget *parent)
    : QCheckBox(parent)
{
}

MvChangeCursorShapeCheckBox::~MvChangeCursorShapeCheckBox() = default;

void MvChangeCursorShapeCheckBox::enterEvent(QEvent *event)
{
    setCursor(Qt::PointingHandCursor);
    QCheckBox::enterEvent(event);
}

void MvChangeCursorShapeCheckBox::leaveEvent(QEvent *event)
{
    setCursor(Qt::ArrowCursor);
    QCheckBox::leaveEvent(event);
}
