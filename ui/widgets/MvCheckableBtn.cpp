#include "MvCheckableBtn.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

MvCheckableBtn::MvCheckableBtn(QWidget *parent)
    : QPushButton(parent)
    , m_fontFamily(QStringLiteral("微软雅黑"))
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
    m_fontFamily = family;
    m_fontPixelSize = pixelSize;
    m_bold = bold;
}

void MvCheckableBtn::SetFontFlag(bool bold)
{
    m_bold = bold;
    update();
}

void MvCheckableBtn::SetPictureOffset(int offset)
{
    m_pictureOffset = offset;
}

void MvCheckableBtn::SetTextSpacing(int spacing)
{
    m_textSpacing = spacing;
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

    const QPixmap picture(m_checkedLook ? m_checkedPicture : m_normalPicture);
    painter.drawPixmap(m_pictureOffset, (height() - picture.height()) / 2, picture);

    QFont font(m_fontFamily);
    font.setPixelSize(m_fontPixelSize);
    font.setBold(m_bold);
    painter.setFont(font);
    painter.setPen(m_textColor);
    const QRect textRect(m_pictureOffset + picture.width() + m_textSpacing, 0,
                         width() - picture.width() - m_textSpacing, height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text());
}
