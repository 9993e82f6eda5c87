#pragma once

#include <QString>
#include <QWidget>

class LiveProxy;
class UiInsertPicWidget;
class UiSampleWidget;

namespace Ui {
class UiSetPicture;
}

// The "插入图片" page: the picture panel above the pendant picker, both fed
// with the facade; their additions and removals go up as the page's signals.
class UiSetPicture : public QWidget
{
    Q_OBJECT

public:
    explicit UiSetPicture(QWidget *parent = nullptr);
    ~UiSetPicture() override;

    void setLiveProxy(LiveProxy *proxy);
    UiInsertPicWidget *getInsertPicWidget() const { return m_insertPic; }
    UiSampleWidget *getSampleWidget() const { return m_samples; }

signals:
    void add_screenitem(QString strpicpath, QString strdesc, int id_item);
    void del_screenitem(int id_item);
    void del_imageitem(int id_item);

public slots:
    void slot_add_screenitem(QString strpicpath, QString strdesc, int id_item);
    void slot_del_screenitem(int id_item);
    void slot_del_imageitem(int id_item);

private:
    Ui::UiSetPicture *ui;
    UiInsertPicWidget *m_insertPic;
    UiSampleWidget *m_samples;
    LiveProxy *m_proxy = nullptr;
};
