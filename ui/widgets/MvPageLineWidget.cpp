#include "MvPageLineWidget.h"

#include <QPainter>

MvPageLineWidget::MvPageLineWidget(QWidget *parent)
    : QWidget(parent, Qt::WindowFlags())
{
}

MvPageLineWidget::~MvPageLineWidget() = default;

void MvPageLineWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), QColor(0xfc, 0xfc, 0xfc));
    painter.setPen(QPen(QColor(0xf5, 0xf6, 0xf7), 1));
    painter.drawLine(width() - 1, 0, width() - 1, height());
}
