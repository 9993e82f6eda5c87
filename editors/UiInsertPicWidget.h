#pragma once

#include "PictureItem.h"

#include <QList>
#include <QString>
#include <QWidget>

class LiveProxy;
class MvEnterBorderCancelButton;

namespace Ui {
class UiInsertPicWidget;
}

// Upper block of the picture page: up to three still pictures put into the
// scene by the file dialog or a drop, shown as three slots; a filled slot's
// cancel mark takes its picture out again after a question.
class UiInsertPicWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kMaxPictures = 3;

    explicit UiInsertPicWidget(QWidget *parent = nullptr);
    ~UiInsertPicWidget() override;

    void setLiveProxy(LiveProxy *proxy);

    // A picture the scene kept from the last run: held while fewer than
    // three are; no engine call and no signal. False when full or for an id
    // below 1, and the caller then removes that item itself.
    bool AddPicture(int id, QString path);
    // Forgets the picture of that item; the caller removed the item already.
    void RemovePicture(int id);

    QList<PictureItem> pictures() const { return m_pictures; }
    QList<MvEnterBorderCancelButton *> slotButtons() const { return m_slots; }

signals:
    void add_imageitem(QString strpicpath, QString strdesc, int id_item);
    void del_imageitem(int id_item);

public slots:
    void on_adddragpic();
    void slot_draggedpicture(QString path);
    void on_cell_clicked(int row, int column);
    void on_cancel_clicked(int row, int column);

private:
    void AddPictureFromFile(const QString &path);
    bool CheckPictureSize(const QString &path);
    static QSize PlacedSize(const QSize &pictureSize);
    void PlacePicture(const QSize &pictureSize, int id);
    void LayoutPictures();
    void PositionSlots();
    void tell(const QString &text);

    Ui::UiInsertPicWidget *ui;
    QList<PictureItem> m_pictures;
    QList<MvEnterBorderCancelButton *> m_slots;
    LiveProxy *m_proxy = nullptr;
};
