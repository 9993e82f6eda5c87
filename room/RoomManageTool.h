#pragma once

#include "ChatLogFile.h"
#include "GiftSummary.h"
#include "KeywordList.h"
#include "MuteRequestQueue.h"
#include "RoomRecords.h"
#include "RoomToolSettings.h"

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <string>

class CustomTabStyle1;
class LiveProxy;
class MutedUserStore;
class QTableWidgetItem;
class SysConfig;

namespace Ui {
class RoomManageTool;
}

// The broadcaster's room-manager assistant: keyword auto-mute, the room's
// mute records with unmute, a gift summary once a minute, a message posted at
// a fixed interval and the chat log. The live panel makes it hidden at
// sign-in and deletes it at sign-out; in between it takes every room event,
// shown or not.
//
// Server actions run on the facade's worker pool with copies of what they
// need and the facade; the results that the assistant needs come back
// through the facade's GUI-thread pump and are dropped when the assistant is
// gone by then. Everything else runs on the GUI thread.
class RoomManageTool : public QDialog
{
    Q_OBJECT

public:
    explicit RoomManageTool(QWidget *parent = nullptr);
    ~RoomManageTool() override;

    // Records the tool in currentDialog and shows it without a modal loop.
    virtual void ShowTool();

    // The facade of every server action; without one the tool acts on no
    // server.
    void SetLiveProxy(LiveProxy *proxy);
    // Reads the "room" section (writing the defaults when the store read no
    // file or has no such section), shows it and applies it. Null: nothing.
    void LoadSettings(SysConfig *config);

    void ResetSettings(RoomToolSettings &settings);
    void ApplySettings();
    // A message box of its own, run modally with OK only.
    void ShowTip(const QString &text);

    // The muted-user store, on the assistant's database connection.
    void openUserDb();
    bool userTableExists(const QString &table);
    bool createUserTable();
    bool isUserStored(int uid);
    bool storeUser(int uid);
    bool deleteStoredUser(const QString &uid);
    void recentStoredUsers(QStringList &users);

    bool ContainsKeyword(const QString &text) const;
    // The column-0 item of the first records row holding `uid`, or null.
    QTableWidgetItem *FindRowByUid(int uid) const;

    const RoomToolSettings &settings() const { return m_settings; }

    // The three timers, for tests that deliver a tick themselves.
    enum Tick { MuteTick, SpeechTick, SummaryTick };
    int tickTimerId(Tick tick) const;

public slots:
    void OnCurrentTabClicked(int index);
    void OnButtonClicked();
    void OnCheckClicked();
    void OnItemClicked(QTableWidgetItem *item);
    void OnAddMeritrRecord(QString user_name, int lev);
    void OnAddBarrageMsg(int id, QString sname, QString content, int lev);
    void OnAddDonaterRecord(QString nick_name, int price);
    void OnAddAmberRecord(QString nick_name, int id, QString gift_name, int price);
    void OnBlackUserId(int id);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void initForm();
    void showSettings();
    void saveSettings();
    void onMuteTick();
    void onSpeechTick();
    void onSummaryTick();
    void confirmKeywords();
    void confirmSpeech();
    void openChatLog();
    void AppendChatLog(const QString &name, const QString &content);
    void ShowGiftSummary(const GiftSummary &gifts);
    void OnMuteList(QVector<DisableRecordData> rows);
    void FillMuteTable(const QVector<DisableRecordData> &rows);
    void askUnmute(int uid);
    // Runs a new box modally and returns the button pressed; Cancel when the
    // tool went while it ran.
    int runBox(const QString &text, QMessageBox::StandardButtons buttons);
    void OnUnmuteReply(int uid, const std::string &reply);
    void removeRowsOfUid(int uid);

    // Worker tasks: they hold only the facade and their copies.
    void dispatchMute(const ChatInfo &info);
    void dispatchMuteListFetch();
    void dispatchUnmute(int uid);
    void dispatchChat(const QByteArray &utf8);
    bool canReachServer() const;

    QList<int> m_unmuteInFlight;
    std::unique_ptr<Ui::RoomManageTool> m_ui;
    // The boxes running, innermost last.
    QList<QPointer<QMessageBox>> m_openBoxes;
    MuteRequestQueue m_mutes;
    KeywordList m_keywords;
    GiftSummary m_gifts;
    bool m_autoMute = false;
    bool m_autoSpeak = false;
    QString m_content;
    int m_interval = 90;
    int m_timerIds[3] = {0, 0, 0};
    ChatLogFile m_chatLog;
    std::unique_ptr<MutedUserStore> m_store;
    SysConfig *m_config = nullptr;
    RoomToolSettings m_settings;
    LiveProxy *m_proxy = nullptr;
};
