#pragma once

#include <QString>

// Value records of the room assistant. They cross from worker threads to the
// GUI thread by value, so none of them holds a pointer.

// One chat message.
struct ChatInfo
{
    int id = 0;      // the sender's user id
    QString sname;   // the sender's nick name followed by ":"
    QString content; // the message
    int lev = 0;     // the sender's level as delivered; kept, used for nothing
};

// One entry of the server's mute list.
struct DisableRecordData
{
    QString uid;              // "mute_user_id"
    QString storeKey;         // "mute_user_id" again: compared with the store, kept with the table row
    QString nickName;         // "nick_name"
    QString opUser;           // "op_user", or the assistant's own label
    QString invalidTimestamp; // "invalid_timestamp": when the mute ends, as sent

    // The id as the table keeps it: the text read as a decimal number, 0 when
    // it is not one.
    int uidValue() const;
};

// One paid gift.
struct AmberRecord
{
    QString nick_name;
    int id = 0; // the gift's id
    QString gift_name;
    int price = 0;
};

// One monthly ticket: lev 1 junior, 2 middle, 3 senior.
struct MeritRecord
{
    QString user_name;
    int lev = 0;
};
