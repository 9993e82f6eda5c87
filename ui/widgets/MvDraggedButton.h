#pragma once

#include <QPushButton>
#include <QString>

class QMimeData;

// Prompt box that takes one dropped image file.
class MvDraggedButton : public QPushButton
{
    Q_OBJECT
public:
    explicit MvDraggedButton(QWidget *parent = nullptr);
    ~MvDraggedButton() override;

    // True when the first URL's local path ends in one of the accepted
    // suffixes, compared case-sensitively.
    static bool HasImageSuffix(const QMimeData *data);

signals:
    void signal_draggedpicture(QString picpath);

protected:
    void paintEvent(QPaintEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};
