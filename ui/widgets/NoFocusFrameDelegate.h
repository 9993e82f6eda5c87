#pragma once

#include <QStyledItemDelegate>

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
