#pragma once

#include "MvDragDialog.h"
#include "SysSettings.h"

#include <QString>

class LayeredShadowWindow;
class QComboBox;
class LiveProxy;
class SysConfig;

namespace Ui {
class UiSysSetting;
}

// The dialog behind the title bar's settings button: program version and
// signed-in account, microphone and system-sound device, recording folder,
// what the main window's close button does, logout, and the feedback group.
// It edits the "sys" section of the settings store: what the widgets show
// always comes from its record, and choices reach the record only through
// "保存"; the close button drops them.
class UiSysSetting : public MvDragDialog
{
    Q_OBJECT

public:
    explicit UiSysSetting(QWidget *parent = nullptr);
    ~UiSysSetting() override;

    // The owner hands the store first, then the facade.
    void setConfig(SysConfig *config);
    void setLiveProxy(LiveProxy *liveProxy);

    // Attaches the shadow on first use and shows the account, then runs the
    // dialog modally. The caller keeps currentDialog.
    int exec() override;

    // Adds the program to, or removes it from, what starts with the user's
    // session.
    static void setBootStart(bool on);

    // What the dialog holds; saved by "保存".
    const SysSettings &settings() const { return m_settings; }

private slots:
    void on_pushButton_close_clicked();
    void on_pushButton_ok_clicked();
    void on_pushButton_path_clicked();
    void on_label_logout_linkActivated(QString link);
    void on_pushButton_feedback_clicked();

private:
    void showSettings();
    void openDevices();
    QString defaultRecordFolder() const;
    void takeDevice(QComboBox *combo, QString &stored, int (LiveProxy::*open)(const char16_t *));

    Ui::UiSysSetting *ui;
    LiveProxy *m_liveProxy = nullptr;
    SysConfig *m_config = nullptr;
    SysSettings m_settings;
    LayeredShadowWindow *m_shadow = nullptr;
    bool m_shadowCreated = false;
};
