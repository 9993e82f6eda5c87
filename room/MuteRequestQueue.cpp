#include "MuteRequestQueue.h"

#include <algorithm>

void MuteRequestQueue::addMessage(const ChatInfo &message)
{
    m_pending << message;
}

QVector<ChatInfo> MuteRequestQueue::takeDue(bool autoMute, const KeywordList &keywords)
{
    QVector<ChatInfo> due;
    for (const ChatInfo &message : qAsConst(m_pending)) {
        if (autoMute && keywords.ContainsKeyword(message.content)) {
            m_awaiting << message;
            due << message;
        }
    }
    m_pending.clear();
    return due;
}

bool MuteRequestQueue::confirm(int uid)
{
    const int before = m_awaiting.size();
    m_awaiting.erase(std::remove_if(m_awaiting.begin(), m_awaiting.end(),
                                    [uid](const ChatInfo &message) { return message.id == uid; }),
                     m_awaiting.end());
    return m_awaiting.size() != before;
}
