#pragma once

#include <QStyledItemDelegate>

class QTableWidget;

// Table delegate that paints a focused cell like any other, without the
// focus frame.
class NoFocusFrameDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit NoFocusFrameDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};

// The look of the cell tables of the panels and pickers: no frame, no grid,
// no headers, no editing, one selection, and this delegate, parented to
// `delegateOwner`.
void makePlainTable(QTableWidget *table, QObject *delegateOwner);
