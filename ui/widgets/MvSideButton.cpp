#include "MvSideButton.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

MvSideButton::MvSideButton(QWidget *parent)
    : QPushButton(parent)
{
}

MvSideButton::~MvSideButton() = default;

void MvSideButton::SetPictures(const QString &normalPicture, const QString &activePicture)
{
    m_normalPicture = normalPicture;
    m_activePicture = activePicture;
}

void MvSideButton::SetCheckedLook(bool checked)
{
    m_checkedLook = checked;
    update();
}

void MvSideButton::enterEvent(QEvent *)
{
    m_hover = true;
    update();
}

void MvSideButton::leaveEvent(QEvent *)
{
    m_hover = false;
    update();
}

void MvSideButton::paintEvent(QPaintEvent *)
{
    if (m_normalPicture.isEmpty())
        return;

    const bool active = m_checkedLook || m_hover;
    const QPixmap picture(active ? m_activePicture : m_normalPicture);
    const QColor color = active ? QColor(0xff, 0x55, 0x00) : QColor(0x7f, 0x8b, 0x99);
    const int w = width();
    const int h = height();

    QPainter painter(this);
    painter.drawPixmap((w - picture.width()) / 2, 0, picture);

    QFont font(QStringLiteral("微软雅黑"));
    font.setPixelSize(12);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(color);
    const int textTop = picture.height() + 8;
    painter.drawText(QRect(0, textTop, w, h - textTop), Qt::AlignHCenter | Qt::AlignBottom, text());

    if (m_checkedLook) {
        const QPixmap triangle(QStringLiteral(":/image/skin/triangle.png"));
        painter.drawPixmap(w - triangle.width(), textTop + 6 - triangle.height() / 2, triangle);
    }
}
