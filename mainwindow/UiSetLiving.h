#pragma once

#include "LiveClock.h"

#include <QDateTime>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class LiveProxy;
class MvPicTextBtn;
class QLabel;
class RoomManageTool;
class SysConfig;
class UiScreenItemControlWidget;

namespace Ui {
class UiSetLiving;
}

// The live panel in the lower right of the workspace: starts and stops the
// broadcast (with recording beside it when asked), shows the elapsed time,
// sets the microphone and system-sound volumes and toggles the assistant
// plug-ins. It owns the scene item list. It also receives the live status
// and the room events the facade reports; every slot runs on the GUI thread
// (the main window connects them queued).
class UiSetLiving : public QWidget
{
    Q_OBJECT

public:
    explicit UiSetLiving(QWidget *parent = nullptr);
    ~UiSetLiving() override;

    void setLiveProxy(LiveProxy *proxy);
    void setConfig(SysConfig *config);
    UiScreenItemControlWidget *getScreenItemControl() const { return m_itemList; }

    // The panel's own view of the broadcast (stop look shown).
    bool isLivingShown() const { return m_living; }
    // The room-manager assistant while a user is signed in; null otherwise.
    RoomManageTool *roomTool() const;

    // "<year>-<MMdd>-<hhmm>-<ss>.mp4" of the given local time.
    static QString makeRecordFileName(const QDateTime &when);
    static QString makeRecordFileName() { return makeRecordFileName(QDateTime::currentDateTime()); }

public slots:
    void slot_onNotifyLevel(int type, int level);
    void slot_onNotifyLiveStatus(QString message, int code);
    // The recording beside the broadcast failed; the broadcast goes on.
    void slot_onRecordingFailed(QString message);
    void slot_onNewBlacker(int id);
    void slot_onNewBarrage(int id, QString sname, QString content, int lev);
    void slot_onDonaterMsg(QString nick_name, int price);
    void slot_onAmberMsg(QString nick_name, int id, QString gift_name, int price);
    void slot_onMeritMsg(QString nick_name, int lev);
    void slot_onUserLoginStatus(QString name, bool logon);

private slots:
    void on_playbtn_clicked();
    void on_recordbtn_clicked();
    void on_headsetSlider_valueChanged(int value);
    void on_trumpetSlider_valueChanged(int value);
    void on_bulletassistbtn_clicked();
    void on_musicnameassistbtn_clicked();
    void on_roommanuassistbtn_clicked();
    void on_requestmusicbtn_clicked();
    void on_qqmusicbtn_clicked();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    // One toggling assistant: its id field, open mark, texts and analytics code.
    struct Assistant
    {
        int *pluginId;
        QLabel *mark;
        const char *loginMessage; // null: usable without a login
        const char *pluginName;
        const char *notInstalled;
        const char *openFailed;
        int action;
    };

    void initWidgets();
    void initControls();
    void hideAssistMarks();
    static void styleAssistButton(MvPicTextBtn *button, const QString &picture, int offset);
    void toggleAssistant(const Assistant &assistant);
    int openPluginByName(const QString &name, int layer);
    void closeAssistantPlugins();
    void removePluginItems();
    void createRoomTool();
    void deleteRoomTool();
    // The microphone and the system sound are twins that differ in their
    // label, level, mute flag and facade setter.
    using LevelSetter = void (LiveProxy::*)(int);
    void changeVolume(int value, QLabel *label, int &level, bool &muted, LevelSetter setLevel);
    void setMute(bool mute, int level, bool &muted, LevelSetter setLevel);
    void showMessage(const QString &text);
    void showPlayLook(bool withPressed);
    void resetAfterStop();
    void startLive();
    // The recording file for a new broadcast: empty when the box is off or
    // the folder cannot be had.
    std::string prepareRecordFile();

    std::unique_ptr<Ui::UiSetLiving> ui;
    bool m_micMuted = false;
    bool m_systemMuted = false;
    bool m_living = false;
    int m_micLevel = 50;
    int m_systemLevel = 50;
    int m_timerId = -1;
    LiveClock m_liveClock;
    LiveProxy *m_proxy = nullptr;
    SysConfig *m_config = nullptr;
    int m_barragePluginId = -1;
    int m_songRequestPluginId = -1;
    int m_songNamePluginId = -1;
    int m_qqMusicPluginId = -1;
    // Owned by the panel, parented to the main window; guarded, since the
    // main window may be deleted first.
    QPointer<RoomManageTool> m_roomTool;
    UiScreenItemControlWidget *m_itemList = nullptr;
};
