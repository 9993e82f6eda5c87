#pragma once

#include <QWidget>
#include <QtGui/qwindowdefs.h> // WId

class LiveProxy;
class QMenu;
class QMouseEvent;

namespace Ui {
class UiVideo;
}

// The 800 x 450 preview. The engine draws the scene into the native window
// of the preview surface; every mouse event over the panel goes to the
// facade's preview editing, and a right click on an item offers its menu.
// What the workspace must do about it (the item list follows a z-order
// change, a removal goes through the owning page) it learns by signal.
class UiVideo : public QWidget
{
    Q_OBJECT

public:
    explicit UiVideo(QWidget *parent = nullptr);
    ~UiVideo() override;

    // Mouse hand-off starts once the facade is set.
    void setLiveProxy(LiveProxy *proxy);
    // The placeholder is never shown, whatever the camera does.
    void setCameraOpened(bool opened);

    // The preview surface as a native child window, and its size.
    WId previewWindowId();
    int previewWidth() const;
    int previewHeight() const;

    // The item menu for an item of the given type: the four z-order actions,
    // a separator, then "设置" for a plug-in or "移除" for anything else.
    void fillItemMenu(QMenu *menu, int itemType);

signals:
    void signal_OpenCamera();
    // After a z-order action moved the selected item.
    void itemsRestacked();
    // "移除" on the selected item.
    void removeItemRequested(int id);

public slots:
    void slot_upVideoItem();
    void slot_downVideoItem();
    void slot_topVideoItem();
    void slot_bottomVideoItem();
    void slot_removeVideoItem();
    void slot_pluginConfig();
    void slot_textConfig();
    void slot_imageConfig();

private slots:
    void on_pushButton_clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // The selected item when a facade is set, else 0.
    int selectedItem() const;
    // Parent of plug-in settings windows: the workspace around the preview area.
    QWidget *configParent() const;
    // Moves the selected item in the z-order, then has the item list follow.
    void restack(void (LiveProxy::*move)(int));
    // The event position as the preview editing reads it.
    QPoint editingPoint(const QMouseEvent *event) const;

    Ui::UiVideo *ui;
    LiveProxy *m_proxy = nullptr;
};
