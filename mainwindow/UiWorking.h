#pragma once

#include <QString>
#include <QWidget>

#include <vector>

class LiveProxy;
class SysConfig;
class UiScreenItemControlWidget;
class UiSetBeauty;
class UiSetLiving;
class UiSetting;
class UiVideo;

// The 1200 x 740 area under the title bar: the source tabs on the left, the
// preview at the top right and the live panel with its item list below it.
// Starts the engine's scene on the preview, rebuilds the item list and the
// source pages from the restored scene, and is the one place through which
// an item leaves the scene, so that its page, the item list and the engine
// stay in step. Has no form.
class UiWorking : public QWidget
{
    Q_OBJECT

public:
    explicit UiWorking(QWidget *parent = nullptr);
    ~UiWorking() override;

    // Before setLiveProxy: the engine start reads the store.
    void setConfig(SysConfig *config);
    // Starts the scene on the preview; a negative start code is returned at
    // once and no panel receives the facade. Otherwise hands the facade down,
    // restores the item list and returns 0.
    int setLiveProxy(LiveProxy *proxy);

    UiSetBeauty *getSetBeauty() const { return m_beauty; }
    UiSetLiving *getSetLiving() const { return m_living; }

public slots:
    // The camera page reports whether its camera item is open.
    void setCameraOpened(bool opened);

    void slot_add_screenitem(QString strpicpath, QString strdesc, int id_item);
    void slot_changepath_screenitem(int id_item, QString strpicpath);
    void slot_del_screenitem(int id_item);
    void slot_del_imageitem(int id_item);

    // The item list already dropped its record: tell the page, then the engine.
    void on_item_removefromScreenItem(int id);
    // The preview's "移除": the page, the item list, then the engine.
    void on_item_removefromVideo(int id);
    // The preview changed a z-order.
    void on_flushScreenItemList();

private:
    void createPanels();
    void connectPanels();
    int initLiveEngine();
    void restoreScreenItems();
    void restorePicture(int id);
    void restoreSticker(int id);
    void restoreSubtitle(int id);
    void addListRecord(const QString &path, const QString &desc, int id);
    // Tells the page that holds the item that it is gone.
    void releaseFromPage(int id, int type);
    UiScreenItemControlWidget *itemList() const;

    QWidget *m_settingArea = nullptr;
    UiSetting *m_setting = nullptr;
    UiSetLiving *m_living = nullptr;
    UiSetBeauty *m_beauty = nullptr;
    QWidget *m_videoArea = nullptr;
    UiVideo *m_video = nullptr;
    LiveProxy *m_proxy = nullptr;
    SysConfig *m_config = nullptr;
};
