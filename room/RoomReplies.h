#pragma once

#include "RoomRecords.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// Reading the account service's room replies. Both readers take any bytes:
// an unusable reply gives a plain result, never an error.
namespace roomreplies {

// The operator shown for a mute that the assistant made itself.
QString ownMuteLabel(); // "小助手自动封禁"

// The rows of a mute-list reply, a JSON object whose "data" array lists the
// mutes in the order shown. Each member is read as a JSON string; missing or
// of another type it reads as the empty text. A reply that is no JSON, no
// object, without "data" or whose "data" is no array gives no rows.
QVector<DisableRecordData> parseMuteList(const QByteArray &reply);

// Marks the rows whose store key is among `ownMutes` (the ids the store
// lists as muted by the assistant within the hour; exact text comparison)
// with the assistant's label as operator.
void labelOwnMutes(QVector<DisableRecordData> &rows, const QStringList &ownMutes);

struct UnmuteResult
{
    enum Outcome {
        Lifted,     // the service's success reply: an object whose "code" is the number 0
        Refused,    // any other JSON reply; the mute stays
        Unreadable, // no JSON; the mute stays and the user may try again
    };
    Outcome outcome = Unreadable;
    // For a refusal, its "data" text when it carries one; empty otherwise.
    QString refusalText;
};

UnmuteResult parseUnmuteReply(const QByteArray &reply);

} // namespace roomreplies
