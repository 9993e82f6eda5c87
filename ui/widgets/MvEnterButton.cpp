#include "MvEnterButton.h"

#include <QDebug>
#include <QPainter>
#include <QPixmap>

MvEnterButton::MvEnterButton(const QString &picturePath, int width, int height, QWidget *parent)
    : QPushButton(parent)
    , m_picturePath(picturePath)
    , m_width(width)
    , m_height(height)
{
}

MvEnterButton::~MvEnterButton() = default;

void MvEnterButton::SetHighlighted(bool highlighted)
{
    m_highlighted = highlighted;
    update();
}

void MvEnterButton::enterEvent(QEvent *)
{
    m_hover = true;
    update();
}

void MvEnterButton::leaveEvent(QEvent *)
{
    m_hover = false;
    update();
}

void MvEnterButton::paintEvent(QPaintEvent *)
{
    if (m_picturePath.isEmpty())
        return;
    resize(m_width, m_height);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPixmap picture(m_picturePath);
    const QRect grown = QRect(0, 0, m_width, m_height).adjusted(4, 4, -4, -4);

    if (m_highlighted) {
        painter.drawPixmap(grown, picture);
        painter.setPen(QPen(QColor(0xff, 0x55, 0x00), 4));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(grown, 4, 4, Qt::RelativeSize);
    } else if (m_hover) {
        painter.drawPixmap(grown, picture);
    } else {
        const QRect resting(6, 6, m_width - 12, m_height - 12);
        painter.drawPixmap(resting, picture);
        qDebug() << resting;
    }
}
