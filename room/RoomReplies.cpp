#include "RoomReplies.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

int DisableRecordData::uidValue() const
{
    return uid.toInt(nullptr, 10);
}

namespace roomreplies {

namespace {

// Only JSON strings count; a number or anything else reads as empty text.
QString member(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

// The document when `reply` parses as JSON without error.
bool parse(const QByteArray &reply, QJsonDocument &document)
{
    QJsonParseError error;
    document = QJsonDocument::fromJson(reply, &error);
    return error.error == QJsonParseError::NoError;
}

} // namespace

QString ownMuteLabel()
{
    return QStringLiteral("小助手自动封禁");
}

QVector<DisableRecordData> parseMuteList(const QByteArray &reply)
{
    QVector<DisableRecordData> rows;
    QJsonDocument document;
    if (!parse(reply, document) || !document.isObject())
        return rows;
    const QJsonValue data = document.object().value(QLatin1String("data"));
    if (!data.isArray())
        return rows;
    for (const QJsonValue &element : data.toArray()) {
        const QJsonObject entry = element.toObject();
        DisableRecordData row;
        row.uid = member(entry, "mute_user_id");
        row.storeKey = member(entry, "mute_user_id");
        row.nickName = member(entry, "nick_name");
        row.opUser = member(entry, "op_user");
        row.invalidTimestamp = member(entry, "invalid_timestamp");
        rows << row;
    }
    return rows;
}

void labelOwnMutes(QVector<DisableRecordData> &rows, const QStringList &ownMutes)
{
    for (DisableRecordData &row : rows) {
        if (ownMutes.contains(row.storeKey, Qt::CaseSensitive))
            row.opUser = ownMuteLabel();
    }
}

UnmuteResult parseUnmuteReply(const QByteArray &reply)
{
    UnmuteResult result;
    QJsonDocument document;
    if (!parse(reply, document))
        return result;
    const QJsonObject object = document.object();
    const QJsonValue code = object.value(QLatin1String("code"));
    if (document.isObject() && code.isDouble() && code.toDouble() == 0) {
        result.outcome = UnmuteResult::Lifted;
        return result;
    }
    result.outcome = UnmuteResult::Refused;
    result.refusalText = member(object, "data");
    return result;
}

} // namespace roomreplies
