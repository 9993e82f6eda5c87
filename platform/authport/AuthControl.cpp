#include "AuthControl.h"

#include "World.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace authport {

AuthControl::AuthControl()
    : m_world(worldFromJson(mvplatform::loadWorld()))
{
}

AuthControl &control()
{
    static AuthControl instance;
    return instance;
}

void AuthControl::reset()
{
    const World fresh = worldFromJson(mvplatform::loadWorld());
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_world = fresh;
        m_lastErrorText.clear();
    }
    m_failCreates.set(0);
    m_script.clear();
    m_gates.openAll();
    m_log.clear();
}

void AuthControl::setWorld(const World &world)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_world = world;
}

World AuthControl::world() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_world;
}

void AuthControl::failNextCreates(int n)
{
    m_failCreates.set(n);
}

bool AuthControl::takeCreateFailure()
{
    return m_failCreates.take();
}

// ---- scripts --------------------------------------------------------------

void AuthControl::script(const std::string &op, const Outcome &outcome, Repeat repeat)
{
    if (repeat == Repeat::Always)
        m_script.setSticky(op, outcome);
    else
        m_script.push(op, outcome);
}

void AuthControl::clearScripts()
{
    m_script.clear();
}

void AuthControl::scriptCode(const std::string &op, int code, Repeat repeat)
{
    Outcome o;
    o.code = code;
    script(op, o, repeat);
}

void AuthControl::scriptLogin(const std::string &op, int code, const std::string &error,
                              const std::string &token, const std::string &account)
{
    Outcome o;
    o.code = code;
    o.text = error;
    o.token = token;
    o.account = account;
    script(op, o);
}

void AuthControl::scriptRoomLive(int code, bool live, Repeat repeat)
{
    Outcome o;
    o.code = code;
    o.flag = live;
    script("IsRoomLive", o, repeat);
}

void AuthControl::scriptPushAddress(int code, const std::string &url, Repeat repeat)
{
    Outcome o;
    o.code = code;
    o.text = url;
    script("GetPushAddress", o, repeat);
}

void AuthControl::scriptLiveLines(int code, const std::vector<LiveLine> &lines, Repeat repeat)
{
    Outcome o;
    o.code = code;
    o.lines = lines;
    script("GetLiveLines", o, repeat);
}

void AuthControl::scriptReply(const std::string &op, int code, const std::string &json, Repeat repeat)
{
    Outcome o;
    o.code = code;
    o.text = json;
    script(op, o, repeat);
}

void AuthControl::scriptMuteList(MuteListVariant variant)
{
    switch (variant) {
    case MuteListVariant::Malformed:
        scriptReply("GetMuteList", 0, "{\"data\":[{\"mute_user_id\":\"77\",");
        break;
    case MuteListVariant::NotAnArray:
        scriptReply("GetMuteList", 0, "{\"data\":{\"mute_user_id\":\"77\",\"nick_name\":\"张三\"}}");
        break;
    case MuteListVariant::NumericIds:
        scriptReply("GetMuteList", 0,
                    "{\"data\":[{\"mute_user_id\":77,\"nick_name\":\"张三\",\"op_user\":\"摩瓦主播\","
                    "\"invalid_timestamp\":\"2024-01-01 12:00:00\"}]}");
        break;
    case MuteListVariant::Empty:
        scriptReply("GetMuteList", 0, "{\"data\":[]}");
        break;
    }
}

void AuthControl::scriptQrCode(int code, const std::string &url, const std::string &key, int expire)
{
    Outcome o;
    o.code = code;
    o.text = url;
    o.token = key;
    o.number = expire;
    script("RequestQrCode", o);
}

void AuthControl::scriptQrPolls(const std::vector<int> &codes)
{
    for (int code : codes)
        scriptCode("PollQrLogin", code);
}

void AuthControl::scriptEmptyGiftCatalogue()
{
    scriptCode("GetGiftCatalogue", 0);
}

void AuthControl::setLastErrorText(const std::string &text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lastErrorText = text;
}

std::string AuthControl::muteListJson(const std::vector<MuteEntry> &entries)
{
    QJsonArray data;
    for (const MuteEntry &m : entries) {
        data.append(QJsonObject{{"mute_user_id", QString::fromStdString(m.userId)},
                                {"nick_name", QString::fromStdString(m.nick)},
                                {"op_user", QString::fromStdString(m.opUser)},
                                {"invalid_timestamp", QString::fromStdString(m.invalidTimestamp)}});
    }
    return QJsonDocument(QJsonObject{{"data", data}}).toJson(QJsonDocument::Compact).toStdString();
}

// ---- callbacks ------------------------------------------------------------

template <class Fn>
void AuthControl::deliver(Delivery delivery, Fn fn)
{
    if (delivery == Delivery::ServiceThread) {
        // Posted under the lock, so no service can go away meanwhile.
        std::lock_guard<std::mutex> lock(m_mutex);
        for (ServiceLink *s : m_services)
            s->post([s, fn] { fn(s); }, 0);
        return;
    }
    for (ServiceLink *s : services())
        fn(s);
}

void AuthControl::fireNetEvent(int code, Delivery delivery)
{
    deliver(delivery, [code](ServiceLink *s) { s->notifyNetEvent(code); });
}

void AuthControl::fireRoomMessage(const std::string &text, Delivery delivery)
{
    deliver(delivery, [text](ServiceLink *s) { s->notifyRoomMessage(text); });
}

void AuthControl::fireLiveClosed(int state, int reserved, Delivery delivery)
{
    deliver(delivery, [state, reserved](ServiceLink *s) { s->notifyLiveClosed(state, reserved); });
}

bool AuthControl::waitIdle(int timeoutMs)
{
    for (ServiceLink *s : services())
        if (!s->waitIdle(timeoutMs))
            return false;
    return true;
}

std::vector<std::thread::id> AuthControl::serviceThreads() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::thread::id> ids;
    for (ServiceLink *s : m_services)
        ids.push_back(s->threadId());
    return ids;
}

// ---- used by the services -------------------------------------------------

void AuthControl::attach(ServiceLink *service)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_services.push_back(service);
}

void AuthControl::detach(ServiceLink *service)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_services.erase(std::remove(m_services.begin(), m_services.end(), service), m_services.end());
}

std::vector<ServiceLink *> AuthControl::services() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_services;
}

const Account *AuthControl::findAccountLocked(const std::string &user) const
{
    if (user.empty())
        return nullptr;
    for (const Account &a : m_world.accounts)
        if (a.user == user)
            return &a;
    for (const Account &a : m_world.accounts)
        if (a.nick == user)
            return &a;
    return nullptr;
}

const Account *AuthControl::findPhoneLocked(const std::string &phone, const std::string &area) const
{
    for (const Account &a : m_world.accounts)
        if (!a.phone.empty() && a.phone == phone && a.area == area)
            return &a;
    return nullptr;
}

const Account *AuthControl::findTokenLocked(const std::string &token) const
{
    if (token.empty())
        return nullptr;
    for (const Account &a : m_world.accounts)
        if (a.token == token)
            return &a;
    return nullptr;
}

Room *AuthControl::findRoomLocked(int id)
{
    for (Room &r : m_world.rooms)
        if (r.id == id)
            return &r;
    return nullptr;
}

void AuthControl::trackLines(LiveLine *list)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lineLists.insert(list);
}

bool AuthControl::untrackLines(LiveLine *list)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lineLists.erase(list) > 0;
}

int AuthControl::outstandingLineLists() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_lineLists.size());
}

} // namespace authport
