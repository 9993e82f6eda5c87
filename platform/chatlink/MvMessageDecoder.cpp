#include "DecoderControl.h"
#include "IMessageDecoder.h"
#include "MessageCodec.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace {

// Parses one message; false when the text is no JSON object.
bool parseObject(const char *text, QJsonObject *out)
{
    if (!text)
        return false;
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray(text), &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    *out = doc.object();
    return true;
}

// Integral JSON numbers within int range; anything else reads as 0.
int intOf(const QJsonObject &o, const char *key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble())
        return 0;
    const double d = v.toDouble();
    if (d < -2147483648.0 || d > 2147483647.0 || double(int(d)) != d)
        return 0;
    return int(d);
}

std::string textOf(const QJsonObject &o, const char *key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isString() ? v.toString().toStdString() : std::string();
}

int typeOf(const QJsonObject &o)
{
    const QJsonValue v = o.value(QLatin1String("type"));
    if (!v.isDouble())
        return MessageType_Invalid;
    const double d = v.toDouble();
    if (d < -2147483648.0 || d > 2147483647.0 || double(int(d)) != d)
        return MessageType_Invalid;
    return int(d);
}

// The object of a message of the wanted type, or false.
bool messageOf(const char *text, int type, QJsonObject *out)
{
    return parseObject(text, out) && typeOf(*out) == type;
}

std::string compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

class MvMessageDecoder : public IMessageDecoder
{
public:
    int GetMessageType(const char *text) override
    {
        chatlink::control().log().record("GetMessageType", {mvplatform::toArg(text)});
        QJsonObject o;
        return parseObject(text, &o) ? typeOf(o) : MessageType_Invalid;
    }

    int DecodeChat(const char *text, ChatRecord *record) override
    {
        chatlink::control().log().record("DecodeChat", {mvplatform::toArg(text)});
        QJsonObject o;
        if (!record || !messageOf(text, MessageType_Chat, &o))
            return 1;
        record->senderId = intOf(o, "uid");
        record->nickname = textOf(o, "nick");
        record->content = textOf(o, "content");
        record->level = intOf(o, "level");
        return 0;
    }

    int DecodeGift(const char *text, GiftRecord *record) override
    {
        chatlink::control().log().record("DecodeGift", {mvplatform::toArg(text)});
        QJsonObject o;
        if (!record || !messageOf(text, MessageType_Gift, &o))
            return 1;
        record->giftId = intOf(o, "gift_id");
        record->senderId = intOf(o, "uid");
        record->nickname = textOf(o, "nick");
        record->count = intOf(o, "count");
        return 0;
    }

    int DecodeEffect(const char *text, EffectRecord *record) override
    {
        chatlink::control().log().record("DecodeEffect", {mvplatform::toArg(text)});
        QJsonObject o;
        if (!record || !messageOf(text, MessageType_Effect, &o))
            return 1;
        record->text = textOf(o, "text");
        record->param = intOf(o, "param");
        return 0;
    }

    int DecodeMonthlyTicket(const char *text, MonthlyTicketRecord *record) override
    {
        chatlink::control().log().record("DecodeMonthlyTicket", {mvplatform::toArg(text)});
        QJsonObject o;
        if (!record || !messageOf(text, MessageType_MonthlyTicket, &o))
            return 1;
        record->level = intOf(o, "level");
        record->senderId = intOf(o, "uid");
        record->count = intOf(o, "count");
        record->nickname = textOf(o, "nick");
        return 0;
    }

    int DecodeBlacklist(const char *text, BlacklistRecord *record) override
    {
        chatlink::control().log().record("DecodeBlacklist", {mvplatform::toArg(text)});
        QJsonObject o;
        if (!record || !messageOf(text, MessageType_Blacklist, &o))
            return 1;
        record->status = intOf(o, "status");
        record->userId = intOf(o, "uid");
        return 0;
    }
};

} // namespace

IMessageDecoder *CreateMvMessageDecoder()
{
    chatlink::control().log().record("CreateMvMessageDecoder");
    if (chatlink::control().takeCreateFailure())
        return nullptr;
    return new MvMessageDecoder;
}

namespace chatlink {

std::string encodeChat(const ChatRecord &r)
{
    return compact({{"type", int(MessageType_Chat)},
                    {"uid", r.senderId},
                    {"nick", qs(r.nickname)},
                    {"content", qs(r.content)},
                    {"level", r.level}});
}

std::string encodeGift(const GiftRecord &r)
{
    return compact({{"type", int(MessageType_Gift)},
                    {"gift_id", r.giftId},
                    {"uid", r.senderId},
                    {"nick", qs(r.nickname)},
                    {"count", r.count}});
}

std::string encodeEffect(const EffectRecord &r)
{
    return compact({{"type", int(MessageType_Effect)}, {"text", qs(r.text)}, {"param", r.param}});
}

std::string encodeMonthlyTicket(const MonthlyTicketRecord &r)
{
    return compact({{"type", int(MessageType_MonthlyTicket)},
                    {"level", r.level},
                    {"uid", r.senderId},
                    {"count", r.count},
                    {"nick", qs(r.nickname)}});
}

std::string encodeBlacklist(const BlacklistRecord &r)
{
    return compact({{"type", int(MessageType_Blacklist)}, {"status", r.status}, {"uid", r.userId}});
}

void DecoderControl::failNextCreates(int n)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failCreates = n > 0 ? n : 0;
}

void DecoderControl::reset()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_failCreates = 0;
    }
    m_log.clear();
}

bool DecoderControl::takeCreateFailure()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_failCreates <= 0)
        return false;
    --m_failCreates;
    return true;
}

DecoderControl &control()
{
    static DecoderControl instance;
    return instance;
}

} // namespace chatlink
