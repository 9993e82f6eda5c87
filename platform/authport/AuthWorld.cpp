#include "AuthWorld.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>

namespace authport {

namespace {

std::string text(const QJsonObject &o, const char *key, const std::string &fallback = {})
{
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isString() ? v.toString().toStdString() : fallback;
}

int number(const QJsonObject &o, const char *key, int fallback = 0)
{
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isDouble() ? v.toInt(fallback) : fallback;
}

bool flag(const QJsonObject &o, const char *key, bool fallback = false)
{
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isBool() ? v.toBool() : fallback;
}

Account accountFrom(const QJsonObject &o)
{
    Account a;
    a.user = text(o, "user");
    a.phone = text(o, "phone");
    a.area = text(o, "area", "86");
    a.passwordMd5 = o.value("password_md5").isString() ? text(o, "password_md5")
                                                       : md5Hex(text(o, "password"));
    a.token = text(o, "token");
    a.nick = text(o, "nick", a.user);
    a.uid = number(o, "uid");
    a.room = number(o, "room");
    a.anchor = flag(o, "anchor");
    a.loginCode = number(o, "login_code");
    return a;
}

MuteEntry muteFrom(const QJsonObject &o)
{
    MuteEntry m;
    m.userId = o.value("mute_user_id").isDouble()
                   ? std::to_string(o.value("mute_user_id").toInt())
                   : text(o, "mute_user_id");
    m.nick = text(o, "nick_name");
    m.opUser = text(o, "op_user");
    m.invalidTimestamp = text(o, "invalid_timestamp");
    return m;
}

Room roomFrom(const QJsonObject &o, std::vector<MuteEntry> *mutes)
{
    Room r;
    r.id = number(o, "id");
    r.live = flag(o, "live");
    r.pushAddress = text(o, "push_address");
    int n = 0;
    for (const QJsonValue &v : o.value("live_lines").toArray()) {
        ++n;
        if (v.isString())
            r.lines.push_back({v.toString().toStdString(), n});
        else if (v.isObject())
            r.lines.push_back({text(v.toObject(), "url"), number(v.toObject(), "id", n)});
    }
    for (const QJsonValue &v : o.value("mutes").toArray())
        if (v.isObject())
            mutes->push_back(muteFrom(v.toObject()));
    return r;
}

GiftInfo giftFrom(const QJsonObject &o)
{
    GiftInfo g;
    g.id = number(o, "id");
    g.name = text(o, "name");
    g.price = text(o, "price");
    g.kind = text(o, "kind");
    const QJsonArray extra = o.value("extra").toArray();
    std::string *fields[] = {&g.extra1, &g.extra2, &g.extra3, &g.extra4, &g.extra5};
    for (int i = 0; i < 5 && i < extra.size(); ++i)
        *fields[i] = extra.at(i).toString().toStdString();
    return g;
}

} // namespace

std::string md5Hex(const std::string &t)
{
    return QCryptographicHash::hash(QByteArray::fromStdString(t), QCryptographicHash::Md5)
        .toHex()
        .toStdString();
}

World defaultWorld()
{
    World w;
    Account anchor;
    anchor.user = "mvanchor";
    anchor.phone = "13800000000";
    anchor.area = "86";
    anchor.passwordMd5 = md5Hex("123456");
    anchor.token = "token-mvanchor";
    anchor.nick = "摩瓦主播";
    anchor.uid = 10001;
    anchor.room = 20001;
    anchor.anchor = true;
    w.accounts.push_back(anchor);

    Room room;
    room.id = 20001;
    for (int i = 1; i <= 3; ++i)
        room.lines.push_back({"rtmp://127.0.0.1:1935/live/20001?line=" + std::to_string(i), i});
    w.rooms.push_back(room);

    GiftInfo pearl;
    pearl.id = 1;
    pearl.name = "珍珠";
    pearl.price = "1";
    pearl.kind = "1";
    GiftInfo lollipop;
    lollipop.id = 2;
    lollipop.name = "棒棒糖";
    lollipop.price = "10";
    lollipop.kind = "2";
    w.gifts = {pearl, lollipop};

    w.qr.url = "https://127.0.0.1:9/qrlogin?code=";
    w.qr.account = anchor.user;
    return w;
}

World worldFromJson(const QJsonObject &root)
{
    World w = defaultWorld();
    if (root.value("accounts").isArray()) {
        w.accounts.clear();
        for (const QJsonValue &v : root.value("accounts").toArray())
            if (v.isObject())
                w.accounts.push_back(accountFrom(v.toObject()));
        w.qr.account = w.accounts.empty() ? std::string() : w.accounts.front().user;
    }
    if (root.value("rooms").isArray()) {
        w.rooms.clear();
        w.mutes.clear();
        for (const QJsonValue &v : root.value("rooms").toArray()) {
            if (!v.isObject())
                continue;
            std::vector<MuteEntry> mutes;
            w.rooms.push_back(roomFrom(v.toObject(), &mutes));
            w.mutes[w.rooms.back().id] = mutes;
        }
    }
    if (root.value("gift_catalogue").isArray()) {
        w.gifts.clear();
        for (const QJsonValue &v : root.value("gift_catalogue").toArray())
            if (v.isObject())
                w.gifts.push_back(giftFrom(v.toObject()));
    }
    for (const QJsonValue &v : root.value("room_messages").toArray()) {
        if (!v.isObject())
            continue;
        const QJsonObject o = v.toObject();
        const QJsonValue m = o.value("message");
        ScheduledMessage s;
        s.afterMs = number(o, "after_ms");
        if (m.isObject())
            s.text = QJsonDocument(m.toObject()).toJson(QJsonDocument::Compact).toStdString();
        else if (m.isString())
            s.text = m.toString().toStdString();
        else
            continue;
        w.roomMessages.push_back(s);
    }
    if (root.value("qr").isObject()) {
        const QJsonObject q = root.value("qr").toObject();
        w.qr.url = text(q, "url", w.qr.url);
        w.qr.expire = number(q, "expire", w.qr.expire);
        w.qr.confirmAfter = number(q, "confirm_after", w.qr.confirmAfter);
        w.qr.account = text(q, "account", w.qr.account);
    }
    w.confirmMutes = flag(root, "confirm_mutes", w.confirmMutes);
    return w;
}

} // namespace authport
