#pragma once

#include "CameraPropertyItem.h"
#include "MvDragDialog.h"

#include <QString>

#include <vector>

class IDShowHelper;
class LayeredShadowWindow;

namespace Ui {
class UiCameraQuality;
}

// The camera's own image and control properties, changed on the camera at
// once. Apply or a page switch keeps the present state; the close button
// (and Escape) puts back what was kept; OK closes keeping everything. Talks
// to the camera helper only. GUI thread only.
class UiCameraQuality : public MvDragDialog
{
    Q_OBJECT

public:
    static constexpr int kVideoProcAmpCount = 10;
    static constexpr int kCameraControlCount = 7;

    explicit UiCameraQuality(QWidget *parent = nullptr);
    ~UiCameraQuality() override;

    // 0 when the properties were read; -1 for an empty name or no helper.
    int InitCamera(const QString &device);
    // Records this dialog in currentDialog, then runs it modally.
    int exec() override;

    static const char *VideoProcAmpName(int index);
    static const char *CameraControlName(int index);

    const std::vector<CameraPropertyItem> &videoItems() const { return m_videoItems; }
    const std::vector<CameraPropertyItem> &cameraItems() const { return m_cameraItems; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void on_qualitySlider_valueChanged(int value);
    void on_qualityCheckbox_stateChanged(int arg1);
    void on_cctSlider_valueChanged(int value);
    void on_cctCheckbox_stateChanged(int arg1);
    void on_pushButton_DefaultValue_clicked();
    void on_pushButton_DefaultValue_cct_clicked();
    void on_pushButton_Apply_clicked();
    void on_pushButton_tabvideo_clicked();
    void on_pushButton_tabcamera_clicked();
    void on_tabWidget_tabBarClicked(int index);
    void on_pushButton_Ok_clicked();
    void on_closebutton_clicked();

private:
    void bindWidgets();
    void ReadProperty(CameraPropertyItem &item, int index, bool cameraControl);
    void SetProperty(int value, int flags, int index, bool cameraControl);
    void ApplyProperty(CameraPropertyItem &item, int index, bool cameraControl);
    void CommitProperty(CameraPropertyItem &item);
    void RevertProperty(CameraPropertyItem &item, int index, bool cameraControl);
    void ResetToDefault(CameraPropertyItem &item, int index, bool cameraControl);
    void UpdateWidgets(CameraPropertyItem &item);
    void RevertAll();
    void SetTabLook(int index);
    void SwitchTab(int index);
    void initPage(std::vector<CameraPropertyItem> &items, bool cameraControl);
    void onSliderMoved(std::vector<CameraPropertyItem> &items, bool cameraControl, int value);
    void onAutoToggled(std::vector<CameraPropertyItem> &items, bool cameraControl);
    void resetPage(std::vector<CameraPropertyItem> &items, bool cameraControl);

    Ui::UiCameraQuality *ui;
    LayeredShadowWindow *m_shadow = nullptr;
    IDShowHelper *m_helper = nullptr;
    bool m_revertOnClose = true;
    QString m_device;
    std::vector<CameraPropertyItem> m_videoItems;
    std::vector<CameraPropertyItem> m_cameraItems;
    bool m_inExec = false;
};
