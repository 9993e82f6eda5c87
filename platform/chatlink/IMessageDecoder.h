#pragma once

#include <string>

// Records the room-message decoder fills. Only the fields the program reads
// or hands on are kept; every field starts zeroed or empty.

struct ChatRecord
{
    int senderId = 0;
    std::string nickname;
    std::string content;
    int level = 0;
};

struct GiftRecord
{
    int giftId = 0;
    int senderId = 0;
    std::string nickname;
    int count = 0; // handed on unchanged to the plug-in host
};

// The plug-in host gets it as OnMonthlyTicket(count, nickname, senderId, level).
struct MonthlyTicketRecord
{
    int level = 0;
    int senderId = 0; // handed on unchanged
    int count = 0;    // handed on unchanged
    std::string nickname;
};

struct EffectRecord
{
    std::string text;
    int param = 0; // handed on unchanged
};

struct BlacklistRecord
{
    int status = 0; // 0: the user has just been muted
    int userId = 0;
};

// Room-message types the program handles; every other value is ignored.
enum MessageType {
    MessageType_Chat = 2,
    MessageType_Gift = 3,
    MessageType_Effect = 6,
    MessageType_MonthlyTicket = 7,
    MessageType_Blacklist = 14,
    MessageType_Invalid = -1 // not a room message at all
};

// Decodes one room message (UTF-8 text) at a time. The Decode operations
// answer 0 when the text is a message of their type and fill the record;
// otherwise they answer non-zero and leave the record as it was. Safe to call
// from several threads at once.
class IMessageDecoder
{
public:
    virtual ~IMessageDecoder() = default;

    virtual int GetMessageType(const char *text) = 0;
    virtual int DecodeChat(const char *text, ChatRecord *record) = 0;
    virtual int DecodeGift(const char *text, GiftRecord *record) = 0;
    virtual int DecodeEffect(const char *text, EffectRecord *record) = 0;
    virtual int DecodeMonthlyTicket(const char *text, MonthlyTicketRecord *record) = 0;
    virtual int DecodeBlacklist(const char *text, BlacklistRecord *record) = 0;
};

// The decoder; null when creation is steered to fail (see DecoderControl.h).
IMessageDecoder *CreateMvMessageDecoder();
