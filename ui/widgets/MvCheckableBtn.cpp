#include "MvCheckableBtn.h"

#include <QPainter>
#include <QPixmap>

MvCheckableBtn::MvCheckableBtn(QWidget *parent)
    : QPushButton(parent)
{
}

MvCheckableBtn::~MvCheckableBtn() = default;

void MvCheckableBtn::SetPictures(const QString &normalPicture, const QString &checkedPicture)
{
    m_normalPicture = normalPicture;
    m_checkedPicture = checkedPicture;
}

void MvCheckableBtn::SetTextColor(const QColor &color)
{
    m_textColor = color;
}

void MvCheckableBtn::SetTextFont(const QString &family, int pixelSize, bool bold)
{
    m_layout.setFont(family, pixelSize, bold);
}

void MvCheckableBtn::SetFontFlag(bool bold)
{
    m_layout.bold = bold;
    update();
}

void MvCheckableBtn::SetPictureOffset(int offset)
{
    m_layout.pictureOffset = offset;
}

void MvCheckableBtn::SetTextSpacing(int spacing)
{
    m_layout.textSpacing = spacing;
}

void MvCheckableBtn::SetCheckedLook(bool checked)
{
    m_checkedLook = checked;
    update();
}

void MvCheckableBtn::enterEvent(QEvent *event)
{
    setCursor(Qt::PointingHandCursor);
    QPushButton::enterEvent(event);
}

void MvCheckableBtn::leaveEvent(QEvent *event)
{
    setCursor(Qt::ArrowCursor);
    QPushButton::leaveEvent(event);
}

void MvCheckableBtn::paintEvent(QPaintEvent *)
{
    if (m_normalPicture.isEmpty())
        return;

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    m_layout.paint(painter, size(), QPixmap(m_checkedLook ? m_checkedPicture : m_normalPicture),
                   m_textColor, text());
}
