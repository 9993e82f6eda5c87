#pragma once

#include "INetService.h"

#include <QJsonObject>

#include <map>
#include <string>
#include <vector>

namespace authport {

struct Account
{
    std::string user;  // sign-in name (a login also accepts the nickname)
    std::string phone;
    std::string area;  // dial code digits, e.g. "86"
    std::string passwordMd5; // lower-case hex
    std::string token;
    std::string nick;  // UTF-8
    int uid = 0;
    int room = 0;
    bool anchor = false;
    int loginCode = 0; // non-zero: every login of this account fails with it
};

struct Room
{
    int id = 0;
    bool live = false;
    std::string pushAddress; // the current address while the room is live
    std::vector<LiveLine> lines;
};

struct QrSettings
{
    std::string url;       // prefix of the encoded text
    int expire = 60;       // seconds
    int confirmAfter = 3;  // polls answered 229 before the code is confirmed
    std::string account;   // user that a confirmed code signs in
};

struct ScheduledMessage
{
    int afterMs = 0; // after the room went live
    std::string text;
};

struct MuteEntry
{
    std::string userId; // as the mute list sends it: decimal text
    std::string nick;
    std::string opUser;
    std::string invalidTimestamp;
};

// Everything the account service knows. The world file's sections, each
// optional (a missing one keeps the built-in default):
//   "accounts": [{"user","phone","area","password" | "password_md5","token",
//                 "nick","uid","room","anchor","login_code"}]
//   "rooms": [{"id","live","push_address","live_lines":["url" | {"url","id"}],
//              "mutes":[{"mute_user_id","nick_name","op_user","invalid_timestamp"}]}]
//   "gift_catalogue": [{"id","name","price","kind","extra":[5 texts]}]
//   "room_messages": [{"after_ms", "message": object or text}]
//   "qr": {"url","expire","confirm_after","account"}
//   "confirm_mutes": bool (a mute is confirmed by a blacklist message)
struct World
{
    std::vector<Account> accounts;
    std::vector<Room> rooms;
    std::vector<GiftInfo> gifts;
    std::vector<ScheduledMessage> roomMessages;
    QrSettings qr;
    bool confirmMutes = true;
    std::map<int, std::vector<MuteEntry>> mutes; // by room id
};

// One anchor account, one room with three live lines, two gifts.
World defaultWorld();
World worldFromJson(const QJsonObject &root);

std::string md5Hex(const std::string &text);

} // namespace authport
