#include "DecoderControl.h"
#include "IMessageDecoder.h"
#include "MessageCodec.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <optional>
#include <string>
#include <vector>

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

// An integral JSON number within int range.
std::optional<int> exactInt(const QJsonValue &v)
{
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (d < -2147483648.0 || d > 2147483647.0 || double(int(d)) != d)
        return std::nullopt;
    return int(d);
}

// Anything but an int reads as 0.
int intOf(const QJsonObject &o, const char *key)
{
    return exactInt(o.value(QLatin1String(key))).value_or(0);
}

std::string textOf(const QJsonObject &o, const char *key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isString() ? v.toString().toStdString() : std::string();
}

int typeOf(const QJsonObject &o)
{
    return exactInt(o.value(QLatin1String("type"))).value_or(MessageType_Invalid);
}

std::string compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

// Counts the call as in progress, holds it at its gate, then logs it.
struct Call
{
    Call(const char *op, std::vector<std::string> args)
        : inProgress(chatlink::control().activity(), chatlink::control().gates(), op)
    {
        chatlink::control().log().record(op, std::move(args));
    }
    const mvplatform::Activity::Call inProgress;
};

// A message of `type` is read into the record by `fill` (0), anything else
// leaves the record alone (1).
template <class Record, class Fill>
int decode(const char *op, const char *text, int type, Record *record, Fill fill)
{
    const Call call(op, {mvplatform::toArg(text)});
    const std::optional<int> scripted = chatlink::control().results().take(op);
    if (scripted && *scripted != 0)
        return *scripted;
    QJsonObject o;
    if (!record || !parseObject(text, &o) || typeOf(o) != type)
        return 1;
    fill(o, *record);
    return 0;
}

class MvMessageDecoder : public IMessageDecoder
{
public:
    int GetMessageType(const char *text) override
    {
        const Call call("GetMessageType", {mvplatform::toArg(text)});
        if (const std::optional<int> scripted = chatlink::control().results().take("GetMessageType"))
            return *scripted;
        QJsonObject o;
        return parseObject(text, &o) ? typeOf(o) : MessageType_Invalid;
    }

    int DecodeChat(const char *text, ChatRecord *record) override
    {
        return decode("DecodeChat", text, MessageType_Chat, record, [](const QJsonObject &o, ChatRecord &r) {
            r.senderId = intOf(o, "uid");
            r.nickname = textOf(o, "nick");
            r.content = textOf(o, "content");
            r.level = intOf(o, "level");
        });
    }

    int DecodeGift(const char *text, GiftRecord *record) override
    {
        return decode("DecodeGift", text, MessageType_Gift, record, [](const QJsonObject &o, GiftRecord &r) {
            r.giftId = intOf(o, "gift_id");
            r.senderId = intOf(o, "uid");
            r.nickname = textOf(o, "nick");
            r.count = intOf(o, "count");
        });
    }

    int DecodeEffect(const char *text, EffectRecord *record) override
    {
        return decode("DecodeEffect", text, MessageType_Effect, record, [](const QJsonObject &o, EffectRecord &r) {
            r.text = textOf(o, "text");
            r.param = intOf(o, "param");
        });
    }

    int DecodeMonthlyTicket(const char *text, MonthlyTicketRecord *record) override
    {
        return decode("DecodeMonthlyTicket", text, MessageType_MonthlyTicket, record,
                      [](const QJsonObject &o, MonthlyTicketRecord &r) {
                          r.level = intOf(o, "level");
                          r.senderId = intOf(o, "uid");
                          r.count = intOf(o, "count");
                          r.nickname = textOf(o, "nick");
                      });
    }

    int DecodeBlacklist(const char *text, BlacklistRecord *record) override
    {
        return decode("DecodeBlacklist", text, MessageType_Blacklist, record,
                      [](const QJsonObject &o, BlacklistRecord &r) {
                          r.status = intOf(o, "status");
                          r.userId = intOf(o, "uid");
                      });
    }
};

} // namespace

IMessageDecoder *CreateMvMessageDecoder()
{
    const Call call("CreateMvMessageDecoder", {});
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
    m_failCreates.set(n);
}

void DecoderControl::reset()
{
    m_failCreates.set(0);
    m_log.clear();
    m_results.clear();
    m_gates.openAll();
}

bool DecoderControl::takeCreateFailure()
{
    return m_failCreates.take();
}

DecoderControl &control()
{
    static DecoderControl instance;
    return instance;
}

} // namespace chatlink
