#pragma once

#include "AuthWorld.h"
#include "CallbackThread.h"
#include "INetService.h"
#include "ServiceLink.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace authport {

struct Outcome;

// Our account service: answers from the control face's script or from the
// world's account table and rooms. Internally locked; every operation may
// run on any thread. Listener callbacks come from the service's own thread.
class AuthService : public INetService, public ServiceLink
{
public:
    explicit AuthService(INetseriveListener *listener);
    ~AuthService() override;

    int Login(const char *user, const char *password, std::string *error, std::string *token) override;
    int LoginByToken(std::string token, std::string *error) override;
    int GetPushAddress(std::string *url, int *reserved) override;
    int GetRoomId() override;
    int IsRoomLive(bool *live) override;
    int GetMuteList(std::string *json) override;
    int Unmute(int uid, std::string *reply) override;
    int GetLiveLines(LiveLine **list, int *count) override;
    void FreeLiveLines(LiveLine *list) override;
    int ConfirmLiveLine(std::string url) override;
    int CloseLive() override;
    int SendChat(const char *text) override;
    int GetNickName(char *buffer) override;
    int GetUserId(int *uid) override;
    int GetGiftCatalogue(std::vector<GiftInfo> *list) override;
    bool IsAnchor() override;
    int GetLastErrorText(std::string *text) override;
    int LoginWithCaptcha(const char *user, const char *password, const char *captchaWord,
                         const char *captchaKey, const char *geetestChallenge,
                         const char *geetestValidate, const char *geetestSeccode,
                         std::string *error, std::string *token) override;
    int MuteUser(int uid, int type, int seconds) override;
    int SetClientInfo(std::string deviceId, std::string version) override;
    int GetToken(std::string *token) override;
    int PhoneLogin(const char *phone, const char *password, const char *areaCode,
                   std::string *token, std::string *error) override;
    int PhoneLoginWithCaptcha(const char *phone, const char *password, const char *areaCode,
                              const char *captchaWord, const char *captchaKey,
                              const char *geetestChallenge, const char *geetestValidate,
                              const char *geetestSeccode, std::string *error,
                              std::string *token) override;
    int RequestQrCode(std::string *url, std::string *code, int *expire) override;
    int PollQrLogin(std::string code, std::string *token, std::string *error) override;

    // Used by the control face.
    void post(std::function<void()> task, int delayMs = 0) override { m_thread.post(std::move(task), delayMs); }
    bool waitIdle(int timeoutMs) override { return m_thread.waitIdle(timeoutMs); }
    std::thread::id threadId() const override { return m_thread.id(); }
    void notifyNetEvent(int code) override;
    void notifyRoomMessage(const std::string &text) override;
    void notifyLiveClosed(int state, int reserved) override;

private:
    struct Session
    {
        Account account;
        std::string token;
    };
    struct QrCode
    {
        std::chrono::steady_clock::time_point issued;
        int expire = 0;
        int polls = 0;
    };
    // What a login's arguments name, and how the table answers them.
    struct Check
    {
        int code = 0;
        std::string error;
        std::optional<Account> account;
    };

    // Logs and gates the operation, then takes its scripted outcome, if any.
    static std::optional<Outcome> enterScripted(const std::string &op, std::vector<std::string> args = {});
    template <class Find>
    static Check checkPassword(const std::string &name, const char *password, bool captchaGiven, Find find);
    int userLogin(const std::string &op, const char *user, const char *password, bool captchaGiven,
                  std::string *error, std::string *token);
    int phoneLogin(const std::string &op, const char *phone, const char *password, const char *areaCode,
                   bool captchaGiven, std::string *error, std::string *token);
    int finishLogin(const std::string &op, const Check &check, std::string *error, std::string *token);
    void signIn(const std::optional<Account> &account, const std::string &newToken, std::string *token);
    std::optional<Session> session() const;
    // An operation that reads the signed-in session: a scripted failure, else
    // kNoSession when signed out, else what `read(session)` answers.
    template <class Read>
    int sessionQuery(const std::string &op, Read read);
    // The signed-in anchor's room state; code 0 or the refusal.
    int anchorRoom(const std::optional<Session> &s, int *roomId) const;
    void startRoomMessages();
    void stopRoomMessages();

    INetseriveListener *const m_listener;
    mutable std::mutex m_mutex; // guards the fields below
    std::optional<Session> m_session;
    std::map<std::string, QrCode> m_qrCodes;
    unsigned m_qrSerial = 0;
    std::string m_deviceId;
    std::string m_version;
    bool m_playing = false;
    std::atomic<unsigned> m_playGeneration{0};
    mvplatform::CallbackThread m_thread{"authport"}; // stopped first when the service goes
};

} // namespace authport
