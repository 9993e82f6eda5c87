#include "MvCellParts.h"

#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRect>

namespace mvcell {

void drawCentred(QPainter &painter, const QRect &area, const QPixmap &picture)
{
    painter.drawPixmap(area.x() + (area.width() - picture.width()) / 2,
                       area.y() + (area.height() - picture.height()) / 2, picture);
}

void drawChosenMark(QPainter &painter, int cellWidth)
{
    painter.drawPixmap(QRect(cellWidth - 16, 0, 16, 16), QPixmap(QStringLiteral(":/image/skin/choose.png")));
}

QPushButton *newRemoveButton(QWidget *cell)
{
    auto *button = new QPushButton(cell);
    button->setStyleSheet(
        QStringLiteral("QPushButton {background:transparent;border:none;image:url(%1)}"
                       "\t\t\t\t\t\t  "
                       "QPushButton:hover {background:transparent;border:none;image:url(%2)}")
            .arg(QStringLiteral(":/image/skin/upclose.png"), QStringLiteral(":/image/skin/upclose_b.png")));
    button->hide();
    return button;
}

} // namespace mvcell
