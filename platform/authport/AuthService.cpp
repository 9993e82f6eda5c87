#include "AuthService.h"

#include "AuthControl.h"
#include "MessageCodec.h"

#include <QDateTime>

#include <algorithm>
#include <cstring>

namespace authport {

namespace {

using mvplatform::toArg;

constexpr int kNoSession = -1;
constexpr int kBadToken = 1;
constexpr int kNoAccount = 204;
constexpr int kBadPassword = 205;
constexpr int kBadUser = 207;
constexpr int kNotAnchor = 214;
constexpr int kNoRoom = 215;
constexpr int kRoomClosed = 219;
constexpr int kQrExpired = -2;
constexpr int kQrWaiting = 229;
constexpr int kNotUnmuted = 1;
constexpr int kBadArgument = -3;

void enter(const std::string &op, std::vector<std::string> args = {})
{
    control().log().record(op, std::move(args));
    control().gates().pass(op);
}

std::string str(const char *s)
{
    return s ? std::string(s) : std::string();
}

template <class T>
void put(T *out, const T &value)
{
    if (out)
        *out = value;
}

bool anyText(std::initializer_list<const char *> texts)
{
    return std::any_of(texts.begin(), texts.end(), [](const char *t) { return t && *t; });
}

// A scripted failure; its text becomes the last error text.
std::optional<int> scriptedFailure(const std::optional<Outcome> &scripted)
{
    if (!scripted || scripted->code == 0)
        return std::nullopt;
    if (!scripted->text.empty())
        control().setLastErrorText(scripted->text);
    return scripted->code;
}

} // namespace

AuthService::AuthService(INetseriveListener *listener)
    : m_listener(listener)
{
    control().attach(this);
}

AuthService::~AuthService()
{
    control().detach(this);
    // Callbacks still pending would reach a listener that may be going too.
    m_thread.stop(mvplatform::CallbackThread::Pending::Drop);
}

std::optional<Outcome> AuthService::enterScripted(const std::string &op, std::vector<std::string> args)
{
    enter(op, std::move(args));
    return control().take(op);
}

// ---- logins ---------------------------------------------------------------

std::optional<AuthService::Session> AuthService::session() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_session;
}

int AuthService::finishLogin(const std::string &op, const Check &check, std::string *error, std::string *token)
{
    int code = check.code;
    std::string errorText = check.error;
    std::optional<Account> account = check.account;
    std::string newToken;
    if (const std::optional<Outcome> scripted = control().take(op)) {
        code = scripted->code;
        errorText = scripted->text;
        if (code == 0) {
            std::lock_guard<std::mutex> lock(control().m_mutex);
            if (const Account *named = control().findAccountLocked(scripted->account))
                account = *named;
            else if (!account && !control().m_world.accounts.empty())
                account = control().m_world.accounts.front();
            newToken = scripted->token;
        }
    }
    if (code == 0) {
        signIn(account, newToken, token);
    } else {
        put(error, errorText);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_session.reset();
    }
    return code;
}

void AuthService::signIn(const std::optional<Account> &account, const std::string &newToken, std::string *token)
{
    Session s;
    if (account)
        s.account = *account;
    s.token = newToken.empty() ? s.account.token : newToken;
    put(token, s.token);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_session = s;
}

template <class Find>
AuthService::Check AuthService::checkPassword(const std::string &name, const char *password,
                                              bool captchaGiven, Find find)
{
    Check check;
    if (name.empty()) {
        check.code = kBadUser;
        check.error = "用户名无效";
        return check;
    }
    std::lock_guard<std::mutex> lock(control().m_mutex);
    const Account *a = find();
    if (!a) {
        check.code = kNoAccount;
        check.error = "账号不存在";
        return check;
    }
    check.account = *a;
    // An account that demands a captcha (81) signs in once one is given.
    if (a->loginCode != 0 && !(a->loginCode == 81 && captchaGiven)) {
        check.code = a->loginCode;
        return check;
    }
    if (str(password) != a->passwordMd5) {
        check.code = kBadPassword;
        check.error = "密码错误";
    }
    return check;
}

int AuthService::userLogin(const std::string &op, const char *user, const char *password, bool captchaGiven,
                           std::string *error, std::string *token)
{
    const std::string name = str(user);
    return finishLogin(op, checkPassword(name, password, captchaGiven,
                                         [&] { return control().findAccountLocked(name); }),
                       error, token);
}

int AuthService::phoneLogin(const std::string &op, const char *phone, const char *password, const char *areaCode,
                            bool captchaGiven, std::string *error, std::string *token)
{
    const std::string number = str(phone);
    const std::string area = str(areaCode);
    return finishLogin(op, checkPassword(number, password, captchaGiven,
                                         [&] { return control().findPhoneLocked(number, area); }),
                       error, token);
}

int AuthService::Login(const char *user, const char *password, std::string *error, std::string *token)
{
    enter("Login", {toArg(user), toArg(password)});
    return userLogin("Login", user, password, false, error, token);
}

int AuthService::LoginByToken(std::string token, std::string *error)
{
    enter("LoginByToken", {toArg(token)});
    Check check;
    {
        std::lock_guard<std::mutex> lock(control().m_mutex);
        const Account *a = control().findTokenLocked(token);
        if (!a) {
            check.code = kBadToken;
            check.error = "登录已过期，请重新登录";
        } else {
            check.account = *a;
            check.code = a->loginCode;
        }
    }
    // A token sign-in keeps the caller's token.
    return finishLogin("LoginByToken", check, error, nullptr);
}

int AuthService::LoginWithCaptcha(const char *user, const char *password, const char *captchaWord,
                                  const char *captchaKey, const char *geetestChallenge,
                                  const char *geetestValidate, const char *geetestSeccode,
                                  std::string *error, std::string *token)
{
    enter("LoginWithCaptcha", {toArg(user), toArg(password), toArg(captchaWord), toArg(captchaKey),
                               toArg(geetestChallenge), toArg(geetestValidate), toArg(geetestSeccode)});
    const bool captcha = anyText({captchaWord, captchaKey, geetestChallenge, geetestValidate, geetestSeccode});
    return userLogin("LoginWithCaptcha", user, password, captcha, error, token);
}

int AuthService::PhoneLogin(const char *phone, const char *password, const char *areaCode,
                            std::string *token, std::string *error)
{
    enter("PhoneLogin", {toArg(phone), toArg(password), toArg(areaCode)});
    return phoneLogin("PhoneLogin", phone, password, areaCode, false, error, token);
}

int AuthService::PhoneLoginWithCaptcha(const char *phone, const char *password, const char *areaCode,
                                       const char *captchaWord, const char *captchaKey,
                                       const char *geetestChallenge, const char *geetestValidate,
                                       const char *geetestSeccode, std::string *error,
                                       std::string *token)
{
    enter("PhoneLoginWithCaptcha",
          {toArg(phone), toArg(password), toArg(areaCode), toArg(captchaWord), toArg(captchaKey),
           toArg(geetestChallenge), toArg(geetestValidate), toArg(geetestSeccode)});
    const bool captcha = anyText({captchaWord, captchaKey, geetestChallenge, geetestValidate, geetestSeccode});
    return phoneLogin("PhoneLoginWithCaptcha", phone, password, areaCode, captcha, error, token);
}

// ---- QR code --------------------------------------------------------------

int AuthService::RequestQrCode(std::string *url, std::string *code, int *expire)
{
    const std::optional<Outcome> scripted = enterScripted("RequestQrCode");
    QrSettings qr;
    {
        std::lock_guard<std::mutex> lock(control().m_mutex);
        qr = control().m_world.qr;
    }
    std::string key;
    int lifetime = qr.expire;
    if (scripted) {
        if (scripted->code != 0)
            return scripted->code;
        qr.url = scripted->text;
        key = scripted->token;
        if (scripted->number > 0)
            lifetime = scripted->number;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (key.empty())
            key = "mvqr" + std::to_string(++m_qrSerial);
        // A sign-in page left open asks again each time its code expires.
        const auto now = std::chrono::steady_clock::now();
        for (auto it = m_qrCodes.begin(); it != m_qrCodes.end();) {
            const bool expired = now - it->second.issued >= std::chrono::seconds(it->second.expire);
            it = expired ? m_qrCodes.erase(it) : std::next(it);
        }
        m_qrCodes[key] = {now, lifetime, 0};
    }
    put(url, qr.url);
    put(code, key);
    put(expire, lifetime);
    return 0;
}

int AuthService::PollQrLogin(std::string code, std::string *token, std::string *error)
{
    const std::optional<Outcome> scripted = enterScripted("PollQrLogin", {toArg(code)});
    Check check;
    std::string qrUser;
    int confirmAfter = 0;
    {
        std::lock_guard<std::mutex> lock(control().m_mutex);
        qrUser = control().m_world.qr.account;
        confirmAfter = control().m_world.qr.confirmAfter;
        if (const Account *a = control().findAccountLocked(qrUser))
            check.account = *a;
    }
    if (!scripted) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_qrCodes.find(code);
        const auto now = std::chrono::steady_clock::now();
        if (it == m_qrCodes.end() || now - it->second.issued >= std::chrono::seconds(it->second.expire)) {
            check.code = kQrExpired;
            check.error = "二维码已过期";
        } else if (it->second.polls < confirmAfter) {
            ++it->second.polls;
            check.code = kQrWaiting;
        } else if (!check.account) {
            check.code = kNoAccount;
            check.error = "账号不存在";
        } else {
            m_qrCodes.erase(it);
        }
    }
    int result = check.code;
    std::string errorText = check.error;
    std::optional<Account> account = check.account;
    std::string newToken;
    if (scripted) {
        result = scripted->code;
        errorText = scripted->text;
        newToken = scripted->token;
        if (!scripted->account.empty()) {
            std::lock_guard<std::mutex> lock(control().m_mutex);
            const Account *a = control().findAccountLocked(scripted->account);
            account = a ? std::optional<Account>(*a) : std::nullopt;
        }
    }
    if (result != 0) {
        // A waiting or failed poll leaves any session alone.
        put(error, errorText);
        return result;
    }
    signIn(account, newToken, token);
    return 0;
}

// ---- account queries ------------------------------------------------------

int AuthService::SetClientInfo(std::string deviceId, std::string version)
{
    enter("SetClientInfo", {toArg(deviceId), toArg(version)});
    std::lock_guard<std::mutex> lock(m_mutex);
    m_deviceId = deviceId;
    m_version = version;
    return 0;
}

template <class Read>
int AuthService::sessionQuery(const std::string &op, Read read)
{
    if (const std::optional<Outcome> scripted = enterScripted(op))
        if (scripted->code != 0)
            return scripted->code;
    const std::optional<Session> s = session();
    return s ? read(*s) : kNoSession;
}

int AuthService::GetNickName(char *buffer)
{
    return sessionQuery("GetNickName", [&](const Session &s) {
        if (!buffer)
            return kNoSession;
        const std::string &nick = s.account.nick;
        size_t n = std::min(nick.size(), size_t(kNickNameSize - 1));
        while (n > 0 && n < nick.size() && (static_cast<unsigned char>(nick[n]) & 0xC0) == 0x80)
            --n;
        std::memcpy(buffer, nick.data(), n);
        buffer[n] = '\0';
        return 0;
    });
}

int AuthService::GetToken(std::string *token)
{
    return sessionQuery("GetToken", [&](const Session &s) {
        put(token, s.token);
        return 0;
    });
}

int AuthService::GetUserId(int *uid)
{
    return sessionQuery("GetUserId", [&](const Session &s) {
        put(uid, s.account.uid);
        return 0;
    });
}

int AuthService::GetRoomId()
{
    enter("GetRoomId");
    const std::optional<Session> s = session();
    return s ? s->account.room : -1;
}

bool AuthService::IsAnchor()
{
    enter("IsAnchor");
    const std::optional<Session> s = session();
    return s && s->account.anchor;
}

int AuthService::GetLastErrorText(std::string *text)
{
    enter("GetLastErrorText");
    std::lock_guard<std::mutex> lock(control().m_mutex);
    put(text, control().m_lastErrorText);
    return 0;
}

// ---- opening live ---------------------------------------------------------

int AuthService::anchorRoom(const std::optional<Session> &s, int *roomId) const
{
    if (!s)
        return kNoSession;
    if (!s->account.anchor)
        return kNotAnchor;
    std::lock_guard<std::mutex> lock(control().m_mutex);
    if (!control().findRoomLocked(s->account.room))
        return kNoRoom;
    *roomId = s->account.room;
    return 0;
}

int AuthService::IsRoomLive(bool *live)
{
    const std::optional<Outcome> scripted = enterScripted("IsRoomLive");
    if (const std::optional<int> failure = scriptedFailure(scripted))
        return *failure;
    if (scripted) {
        put(live, scripted->flag);
        return 0;
    }
    int roomId = 0;
    const int code = anchorRoom(session(), &roomId);
    if (code != 0)
        return code;
    std::lock_guard<std::mutex> lock(control().m_mutex);
    put(live, control().findRoomLocked(roomId)->live);
    return 0;
}

int AuthService::GetPushAddress(std::string *url, int *reserved)
{
    const std::optional<Outcome> scripted = enterScripted("GetPushAddress");
    if (const std::optional<int> failure = scriptedFailure(scripted))
        return *failure;
    if (scripted) {
        put(url, scripted->text);
        put(reserved, 0);
        return 0;
    }
    int roomId = 0;
    const int code = anchorRoom(session(), &roomId);
    if (code != 0)
        return code;
    bool live = false;
    put(reserved, 0);
    {
        std::lock_guard<std::mutex> lock(control().m_mutex);
        const Room *room = control().findRoomLocked(roomId);
        put(url, room->pushAddress);
        live = room->live;
    }
    // Rejoining a room that is already live.
    if (live)
        startRoomMessages();
    return 0;
}

int AuthService::GetLiveLines(LiveLine **list, int *count)
{
    const std::optional<Outcome> scripted = enterScripted("GetLiveLines");
    if (const std::optional<int> failure = scriptedFailure(scripted))
        return *failure;
    if (!list || !count)
        return kBadArgument;
    std::vector<LiveLine> lines;
    if (scripted) {
        lines = scripted->lines;
    } else {
        int roomId = 0;
        const int code = anchorRoom(session(), &roomId);
        if (code != 0)
            return code;
        std::lock_guard<std::mutex> lock(control().m_mutex);
        lines = control().findRoomLocked(roomId)->lines;
    }
    *count = int(lines.size());
    *list = nullptr;
    if (!lines.empty()) {
        *list = new LiveLine[lines.size()];
        std::copy(lines.begin(), lines.end(), *list);
        control().trackLines(*list);
    }
    return 0;
}

void AuthService::FreeLiveLines(LiveLine *list)
{
    enter("FreeLiveLines", {list ? "list" : "null"});
    // Only lists this service handed out are deleted.
    if (list && control().untrackLines(list))
        delete[] list;
}

int AuthService::ConfirmLiveLine(std::string url)
{
    const std::optional<Outcome> scripted = enterScripted("ConfirmLiveLine", {toArg(url)});
    if (const std::optional<int> failure = scriptedFailure(scripted))
        return *failure;
    // A scripted success answers 0 even without a room to open.
    int roomId = 0;
    const int code = anchorRoom(session(), &roomId);
    if (code != 0)
        return scripted ? 0 : code;
    {
        std::lock_guard<std::mutex> lock(control().m_mutex);
        Room *room = control().findRoomLocked(roomId);
        room->live = true;
        room->pushAddress = url;
    }
    startRoomMessages();
    return 0;
}

int AuthService::CloseLive()
{
    const std::optional<Outcome> scripted = enterScripted("CloseLive");
    if (const std::optional<int> failure = scriptedFailure(scripted))
        return *failure;
    int roomId = 0;
    const int code = anchorRoom(session(), &roomId);
    if (code != 0)
        return scripted ? 0 : code;
    bool wasLive = false;
    {
        std::lock_guard<std::mutex> lock(control().m_mutex);
        Room *room = control().findRoomLocked(roomId);
        wasLive = room->live;
        room->live = false;
        room->pushAddress.clear();
    }
    stopRoomMessages();
    return wasLive || scripted ? 0 : kRoomClosed;
}

// ---- room -----------------------------------------------------------------

int AuthService::GetGiftCatalogue(std::vector<GiftInfo> *list)
{
    enter("GetGiftCatalogue");
    if (!list)
        return kBadArgument;
    if (const std::optional<Outcome> scripted = control().take("GetGiftCatalogue")) {
        if (scripted->code == 0)
            list->clear();
        return scripted->code;
    }
    std::lock_guard<std::mutex> lock(control().m_mutex);
    *list = control().m_world.gifts;
    return 0;
}

int AuthService::SendChat(const char *text)
{
    if (const std::optional<Outcome> scripted = enterScripted("SendChat", {toArg(text)}))
        return scripted->code;
    if (!text)
        return kBadArgument;
    return session() ? 0 : kNoSession;
}

int AuthService::GetMuteList(std::string *json)
{
    if (const std::optional<Outcome> scripted = enterScripted("GetMuteList")) {
        put(json, scripted->text);
        return scripted->code;
    }
    int roomId = 0;
    const int code = anchorRoom(session(), &roomId);
    if (code != 0)
        return code;
    std::lock_guard<std::mutex> lock(control().m_mutex);
    put(json, AuthControl::muteListJson(control().m_world.mutes[roomId]));
    return 0;
}

int AuthService::Unmute(int uid, std::string *reply)
{
    if (const std::optional<Outcome> scripted = enterScripted("Unmute", {toArg(uid)})) {
        put(reply, scripted->text);
        return scripted->code;
    }
    int roomId = 0;
    const int code = anchorRoom(session(), &roomId);
    if (code != 0)
        return code;
    std::lock_guard<std::mutex> lock(control().m_mutex);
    std::vector<MuteEntry> &mutes = control().m_world.mutes[roomId];
    const std::string id = std::to_string(uid);
    const auto it = std::find_if(mutes.begin(), mutes.end(), [&](const MuteEntry &m) { return m.userId == id; });
    if (it == mutes.end()) {
        put(reply, std::string("{\"code\":1,\"data\":\"该用户未被禁言\"}"));
        return kNotUnmuted;
    }
    mutes.erase(it);
    put(reply, std::string("{\"code\":0}"));
    return 0;
}

int AuthService::MuteUser(int uid, int type, int seconds)
{
    const std::optional<Outcome> scripted = enterScripted("MuteUser", {toArg(uid), toArg(type), toArg(seconds)});
    if (scripted && scripted->code != 0)
        return scripted->code;
    const std::optional<Session> s = session();
    int roomId = 0;
    const int code = anchorRoom(s, &roomId);
    if (code != 0)
        return scripted ? 0 : code;
    bool confirm = false;
    {
        std::lock_guard<std::mutex> lock(control().m_mutex);
        MuteEntry entry;
        entry.userId = std::to_string(uid);
        entry.nick = "用户" + entry.userId;
        for (const Account &a : control().m_world.accounts)
            if (a.uid == uid)
                entry.nick = a.nick;
        entry.opUser = s->account.nick;
        entry.invalidTimestamp = QDateTime::currentDateTime()
                                     .addSecs(seconds)
                                     .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                     .toStdString();
        std::vector<MuteEntry> &mutes = control().m_world.mutes[roomId];
        mutes.erase(std::remove_if(mutes.begin(), mutes.end(),
                                   [&](const MuteEntry &m) { return m.userId == entry.userId; }),
                    mutes.end());
        mutes.push_back(entry);
        confirm = control().m_world.confirmMutes;
    }
    if (confirm) {
        BlacklistRecord r;
        r.status = 0;
        r.userId = uid;
        const std::string text = chatlink::encodeBlacklist(r);
        post([this, text] { notifyRoomMessage(text); });
    }
    return 0;
}

// ---- callbacks ------------------------------------------------------------

void AuthService::startRoomMessages()
{
    std::vector<ScheduledMessage> messages;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_playing)
            return;
        m_playing = true;
    }
    {
        std::lock_guard<std::mutex> lock(control().m_mutex);
        messages = control().m_world.roomMessages;
    }
    const unsigned generation = ++m_playGeneration;
    for (const ScheduledMessage &m : messages) {
        const std::string text = m.text;
        post([this, text, generation] {
            if (m_playGeneration == generation)
                notifyRoomMessage(text);
        }, m.afterMs);
    }
}

void AuthService::stopRoomMessages()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_playing = false;
    ++m_playGeneration;
}

void AuthService::notifyNetEvent(int code)
{
    if (m_listener)
        m_listener->OnNetEvent(code);
}

void AuthService::notifyRoomMessage(const std::string &text)
{
    if (m_listener)
        m_listener->OnRoomMessage(text);
}

void AuthService::notifyLiveClosed(int state, int reserved)
{
    if (m_listener)
        m_listener->OnLiveClosed(state, reserved);
}

} // namespace authport

INetService *CreateNetService(INetseriveListener *listener)
{
    authport::control().log().record("CreateNetService");
    if (authport::control().takeCreateFailure())
        return nullptr;
    return new authport::AuthService(listener);
}
