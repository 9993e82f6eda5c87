#include "CustomTabStyle1.h"

#include <QPainter>
#include <QStyleOptionTab>

QSize CustomTabStyle1::sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                                        const QWidget *widget) const
{
    const QSize base = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == QStyle::CT_TabBarTab)
        return QSize(100, 30);
    return base;
}

void CustomTabStyle1::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                                  const QWidget *widget) const
{
    if (element == CE_TabBarTabLabel) {
        const auto *tab = qstyleoption_cast<const QStyleOptionTab *>(option);
        if (!tab)
            return;
        const bool selected = tab->state & QStyle::State_Selected;
        if (selected) {
            painter->save();
            const QColor fill(QStringLiteral("#f8fcff"));
            painter->setPen(fill);
            painter->setBrush(QBrush(fill, Qt::SolidPattern));
            painter->fillRect(tab->rect, fill);
            painter->restore();
        }
        const bool lit = selected || (tab->state & QStyle::State_MouseOver);
        painter->setPen(QColor(lit ? QStringLiteral("#ff6c00") : QStringLiteral("#5d5d5d")));
        painter->drawText(tab->rect, Qt::AlignHCenter | Qt::AlignVCenter, tab->text);
        return;
    }
    // The whole tab is the base style's, which asks back for shape and label.
    if (element == CE_TabBarTab) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    // Every other element, the tab shape included, stays undrawn.
}
