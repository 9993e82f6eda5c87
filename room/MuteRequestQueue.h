#pragma once

#include "KeywordList.h"
#include "RoomRecords.h"

#include <QVector>

// The keyword mute's two queues. Chat messages wait in the pending list until
// the next 200 ms tick; at the tick each one is either discarded or, when
// auto-mute is on and its text holds a keyword, moved to the awaiting list
// and handed out for a mute request. An awaiting message leaves when the
// server confirms its sender's mute. Neither list has a limit or a time-out.
class MuteRequestQueue
{
public:
    void addMessage(const ChatInfo &message);

    // Empties the pending list and answers the messages whose senders are to
    // be muted, in arrival order, one per matching message. Only the message
    // text is matched, never the nick name.
    QVector<ChatInfo> takeDue(bool autoMute, const KeywordList &keywords);

    // The server confirmed a mute of `uid`: its awaiting messages leave.
    // True when there was one, that is when the assistant asked for it.
    bool confirm(int uid);

    const QVector<ChatInfo> &pending() const { return m_pending; }
    const QVector<ChatInfo> &awaiting() const { return m_awaiting; }

private:
    QVector<ChatInfo> m_pending;
    QVector<ChatInfo> m_awaiting;
};
