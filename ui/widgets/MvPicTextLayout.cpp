#include "MvPicTextLayout.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <QRect>
#include <QSize>

void MvPicTextLayout::setFont(const QString &family, int pixelSize, bool isBold)
{
    fontFamily = family;
    fontPixelSize = pixelSize;
    bold = isBold;
}

void MvPicTextLayout::paint(QPainter &painter, const QSize &size, const QPixmap &picture,
                            const QColor &textColor, const QString &text) const
{
    painter.drawPixmap(pictureOffset, (size.height() - picture.height()) / 2, picture);

    QFont font(fontFamily);
    font.setPixelSize(fontPixelSize);
    font.setBold(bold);
    painter.setFont(font);
    painter.setPen(textColor);
    const QRect textRect(pictureOffset + picture.width() + textSpacing, 0,
                         size.width() - picture.width() - textSpacing, size.height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text);
}
