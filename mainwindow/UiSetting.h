#pragma once

#include <QString>
#include <QWidget>

#include <utility>
#include <vector>

class LiveProxy;
class MvSideButton;
class SysConfig;
class UiSetBeauty;
class UiSetCaptureScreen;
class UiSetPicture;
class UiSetSubtitle;

namespace Ui {
class UiSetting;
}

// The source column at the left of the workspace: four side tabs, each
// showing one source page (camera, pictures, subtitles, screen capture) in
// the page area to their right. Hands the store and the facade down to the
// pages and passes the picture and subtitle pages' item signals on.
class UiSetting : public QWidget
{
    Q_OBJECT

public:
    explicit UiSetting(QWidget *parent = nullptr);
    ~UiSetting() override;

    // To the camera, capture, picture and subtitle pages, in that order.
    void setLiveProxy(LiveProxy *proxy);
    // To the camera page only.
    void setConfig(SysConfig *config);

    UiSetBeauty *getSetBeauty() const { return m_beauty; }
    UiSetPicture *getSetPicture() const { return m_picture; }
    UiSetSubtitle *getSetSubtitle() const { return m_subtitle; }
    UiSetCaptureScreen *getSetCaptureScreen() const { return m_capture; }

    // Index of the page shown: 0 camera, 1 pictures, 2 subtitles, 3 capture.
    int currentIndex() const { return m_current; }

signals:
    void add_screenitem(QString strpicpath, QString strdesc, int id_item);
    void del_screenitem(int id_item);

public slots:
    void slot_add_screenitem(QString strpicpath, QString strdesc, int id_item);
    void slot_del_screenitem(int id_item);

private slots:
    void on_pushButton_beauty_clicked();
    void on_pushButton_addpic_clicked();
    void on_pushButton_effectsubtitle_clicked();
    void on_pushButton_capturescreen_clicked();

private:
    void createPages();
    void initTabButtons();
    void selectTab(int index);
    void markTab(int index);
    void showPage(int index);

    Ui::UiSetting *ui;
    std::vector<std::pair<MvSideButton *, QWidget *>> m_tabs;
    int m_current = 0;
    QWidget *m_pageArea = nullptr;
    UiSetBeauty *m_beauty = nullptr;
    UiSetPicture *m_picture = nullptr;
    UiSetSubtitle *m_subtitle = nullptr;
    UiSetCaptureScreen *m_capture = nullptr;
    LiveProxy *m_proxy = nullptr;
    SysConfig *m_config = nullptr;
};
