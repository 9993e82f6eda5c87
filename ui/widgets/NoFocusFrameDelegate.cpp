#include "NoFocusFrameDelegate.h"

#include <QHeaderView>
#include <QTableWidget>

NoFocusFrameDelegate::NoFocusFrameDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

void NoFocusFrameDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const
{
    QStyleOptionViewItem plain(option);
    plain.state &= ~QStyle::State_HasFocus;
    QStyledItemDelegate::paint(painter, plain, index);
}

void makePlainTable(QTableWidget *table, QObject *delegateOwner)
{
    table->setFrameShape(QFrame::NoFrame);
    table->setShowGrid(false);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->horizontalHeader()->setVisible(false);
    table->verticalHeader()->setVisible(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setItemDelegate(new NoFocusFrameDelegate(delegateOwner));
}
