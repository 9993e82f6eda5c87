#include "MvComboBoxItemDelegate.h"

#include <QEvent>

MvComboBoxItemDelegate::MvComboBoxItemDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

MvComboBoxItemDelegate::~MvComboBoxItemDelegate() = default;

void MvComboBoxItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                   const QModelIndex &index) const
{
    QStyleOptionViewItem plain(option);
    if (plain.state & QStyle::State_HasFocus)
        plain.state &= ~QStyle::State_HasFocus;
    QStyledItemDelegate::paint(painter, plain, index);
}

bool MvComboBoxItemDelegate::editorEvent(QEvent *event, QAbstractItemModel *model,
                                         const QStyleOptionViewItem &option,
                                         const QModelIndex &index)
{
    if (event->type() == QEvent::MouseButtonPress)
        emit signal_clicked(index);
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}
