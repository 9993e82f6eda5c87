#pragma once

#include <string>
#include <vector>

// The account, room and chat service. Results are int codes, 0 = success,
// unless said otherwise; texts are UTF-8.

// One push address of the room, with the service's tag for it.
struct LiveLine
{
    std::string url;
    int lineId = 0;
};

// One entry of the gift catalogue. kind: "1" a donation, "2" a premium gift.
struct GiftInfo
{
    int id = 0;
    std::string name;
    std::string price; // decimal text
    std::string kind;
    std::string extra1;
    std::string extra2;
    std::string extra3;
    std::string extra4;
    std::string extra5;
};

// What the service reports, on its own thread.
class INetseriveListener
{
public:
    virtual void OnNetEvent(int code) = 0;                   // 211: signed in elsewhere
    virtual void OnRoomMessage(const std::string &text) = 0; // one room message
    virtual void OnLiveClosed(int state, int reserved) = 0;  // 0 by the anchor, 1 no viewers, 2 banned

protected:
    virtual ~INetseriveListener() = default;
};

class INetService
{
public:
    // Size of the buffer GetNickName fills (terminator included).
    static constexpr int kNickNameSize = 1024;

    virtual ~INetService() = default;

    virtual int Login(const char *user, const char *password, std::string *error, std::string *token) = 0;
    virtual int LoginByToken(std::string token, std::string *error) = 0;
    virtual int GetPushAddress(std::string *url, int *reserved) = 0;
    virtual int GetRoomId() = 0;
    virtual int IsRoomLive(bool *live) = 0;
    virtual int GetMuteList(std::string *json) = 0;
    virtual int Unmute(int uid, std::string *reply) = 0;
    // The list belongs to the service: give it back with FreeLiveLines.
    // No lines give a null list and a count of 0.
    virtual int GetLiveLines(LiveLine **list, int *count) = 0;
    virtual void FreeLiveLines(LiveLine *list) = 0;
    virtual int ConfirmLiveLine(std::string url) = 0;
    virtual int CloseLive() = 0;
    virtual int SendChat(const char *text) = 0;
    // buffer holds kNickNameSize bytes; the text is cut on a whole character.
    virtual int GetNickName(char *buffer) = 0;
    virtual int GetUserId(int *uid) = 0;
    virtual int GetGiftCatalogue(std::vector<GiftInfo> *list) = 0;
    virtual bool IsAnchor() = 0;
    virtual int GetLastErrorText(std::string *text) = 0;
    virtual int LoginWithCaptcha(const char *user, const char *password, const char *captchaWord,
                                 const char *captchaKey, const char *geetestChallenge,
                                 const char *geetestValidate, const char *geetestSeccode,
                                 std::string *error, std::string *token) = 0;
    virtual int MuteUser(int uid, int type, int seconds) = 0;
    virtual int SetClientInfo(std::string deviceId, std::string version) = 0;
    virtual int GetToken(std::string *token) = 0;
    virtual int PhoneLogin(const char *phone, const char *password, const char *areaCode,
                           std::string *token, std::string *error) = 0;
    virtual int PhoneLoginWithCaptcha(const char *phone, const char *password, const char *areaCode,
                                      const char *captchaWord, const char *captchaKey,
                                      const char *geetestChallenge, const char *geetestValidate,
                                      const char *geetestSeccode, std::string *error,
                                      std::string *token) = 0;
    virtual int RequestQrCode(std::string *url, std::string *code, int *expire) = 0;
    // 229 and -5: not confirmed yet; -2: the code has expired.
    virtual int PollQrLogin(std::string code, std::string *token, std::string *error) = 0;
};

// The service; null when creation is steered to fail (see AuthControl.h).
INetService *CreateNetService(INetseriveListener *listener);
