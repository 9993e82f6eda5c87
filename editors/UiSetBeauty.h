#pragma once

#include "CameraSettings.h"

#include <QModelIndex>
#include <QString>
#include <QWidget>

class LiveProxy;
class SysConfig;
class UifigureEffect;

namespace Ui {
class UiSetBeauty;
}

// The camera page: device and capture format, opening and closing the camera
// item, clarity, the four beauty levels with their enable boxes, one-key
// beauty, mirror and flip, the filter effect and the camera quality dialog.
// Every change reaches the camera item at once and is saved whole into the
// "camera" section of the settings store. Camera, format and clarity changes
// are refused while the broadcast or a recording runs. GUI thread only.
class UiSetBeauty : public QWidget
{
    Q_OBJECT

public:
    explicit UiSetBeauty(QWidget *parent = nullptr);
    ~UiSetBeauty() override;

    // Called in this order by the settings tabs.
    void setConfig(SysConfig *config);
    void setLiveProxy(LiveProxy *proxy);

    const CameraSettings &cameraSettings() const { return m_settings; }
    int cameraItemId() const { return m_cameraId; }
    QString cameraDeviceName() const { return m_deviceName; }
    UifigureEffect *effectPicker() const { return m_effectPicker; }

    static void resetCameraSettings(CameraSettings &settings);
    // The clarity row of an index 0..2 (the caller checks the index).
    static ClarityPreset clarityPreset(int index);
    // "<colour>, <w>x<h>" with frame rate 0, else "<colour>, <w>x<h>, <fps>FPS".
    static QString formatResolutionText(int colorFormat, int width, int height, int frameRate);
    // The colour format, width and height of a row text; the frame rate is
    // not read back.
    static void parseResolutionText(const QString &text, int *colorFormat, int *width, int *height);

signals:
    // The camera item was opened, adopted at start, or closed.
    void signal_cameraOpened(bool opened);

public slots:
    void slot_openCamera();
    void slot_onCameraTurnStatus(bool bHTurn, bool bVTurn);
    void slot_onSetEffect(int effect);

private slots:
    void on_openCameraBtn_clicked();
    void on_KeyBeautyBtn_clicked();
    void on_pushButton_ImageQuality_clicked();
    void on_ordinaryclarityBtn_clicked();
    void on_highclarityBtn_clicked();
    void on_superclarityBtn_clicked();
    void on_slimSlider_valueChanged(int value);
    void on_exfoliatSLider_valueChanged(int value);
    void on_skinwhiteSlider_valueChanged(int value);
    void on_colorTemperatureLabelSlider_valueChanged(int value);
    void on_checkBox_slim_clicked();
    void on_checkBox_exfoliat_clicked();
    void on_checkBox_skinwhite_clicked();
    void on_checkBox_colorTemperature_clicked();
    void on_horizontalflipCheck_clicked();
    void on_verticalflipCheck_clicked();
    void on_CameracomboBox_currentTextChanged(const QString &text);
    void on_CameracomboBox_resolution_currentTextChanged(const QString &text);
    void on_restoreBtn_clicked();
    void slot_onCarmeraComboClicked(QModelIndex index);
    void slot_onCameraResolutionComboClicked(QModelIndex index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Level { Slim, Blur, Whitening, ColourTemperature };

    bool liveOrRecording() const;
    bool cameraOpen() const { return m_cameraId > 0; }
    void showMessage(const QString &text);
    void saveSettings();
    void showSettings();
    void refreshCameraList();
    bool refreshResolutionList();
    void openChosenCamera();
    void onCameraOpened(int id);
    void closeCamera();
    void changeResolution(int colorFormat, int width, int height);
    bool applyCameraParam(int colorFormat, int width, int height);
    void applyClarity(int index, int width, int height);
    void onClarityClicked(int index, const QString &refusal);
    void applyBeautyPreset(int row);
    void applyCameraSettings(int id);
    void onLevelMoved(Level level, int value);
    void onLevelToggled(Level level);
    void sendLevel(Level level, int ownLevel);
    int &levelValue(Level level);
    bool &levelEnabled(Level level);
    void showCameraName(const QString &name);
    void showResolutionText(const QString &text);

    Ui::UiSetBeauty *ui;
    UifigureEffect *m_effectPicker = nullptr;
    LiveProxy *m_proxy = nullptr;
    SysConfig *m_config = nullptr;
    int m_cameraId = -1;
    QString m_deviceName;
    // The format row last taken, shown again when a change is refused.
    QString m_resolutionText;
    CameraSettings m_settings;
};
