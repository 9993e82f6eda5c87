#pragma once

#include <QModelIndex>
#include <QStyledItemDelegate>

// Paints combo popup entries without a focus frame and reports presses.
class MvComboBoxItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit MvComboBoxItemDelegate(QObject *parent = nullptr);
    ~MvComboBoxItemDelegate() override;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

signals:
    void signal_clicked(QModelIndex index);

protected:
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
};
