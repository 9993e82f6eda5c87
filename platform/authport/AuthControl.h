#pragma once

#include "AuthWorld.h"
#include "ControlFace.h"
#include "INetService.h"
#include "ServiceLink.h"

#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <string>
#include <vector>

namespace authport {

class AuthService;

// A scripted answer of one operation. Which fields an operation uses:
//   logins:          code, text (error text), token (written on 0),
//                    account (user signed in on 0; default: the one the
//                    arguments name, else the first account)
//   IsRoomLive:      code, flag
//   GetPushAddress:  code, text (the address, empty allowed)
//   GetLiveLines:    code, lines
//   GetMuteList, Unmute: code, text (the JSON reply)
//   RequestQrCode:   code, text (url), token (the code key), number (expiry)
//   PollQrLogin:     code, text (error text), token, account
//   every other op:  code
// A non-zero code leaves the other outputs alone, except the texts listed
// above; a text given with a failure of IsRoomLive, GetPushAddress,
// GetLiveLines, ConfirmLiveLine or CloseLive becomes GetLastErrorText's text.
struct Outcome
{
    int code = 0;
    std::string text;
    std::string token;
    std::string account;
    int number = 0;
    bool flag = false;
    std::vector<LiveLine> lines;
};

enum class Repeat { Once, Always };
enum class Delivery { ServiceThread, CallerThread };
enum class MuteListVariant { Malformed, NotAnArray, NumericIds, Empty };

// Test face of the account service, one per process; it steers every service
// object. Every operation is logged under its own name with its arguments
// (the thread is recorded), then passes its gate, then answers from the
// script or, without one, from the world.
class AuthControl
{
public:
    // Back to the world file (or the built-in world): scripts, gates, log,
    // room states, mute lists, creation failures and the last error text.
    void reset();
    void setWorld(const World &world);
    World world() const;

    mvplatform::CallLog &log() { return m_log; }
    mvplatform::Gates &gates() { return m_gates; }

    void failNextCreates(int n);

    void script(const std::string &op, const Outcome &outcome, Repeat repeat = Repeat::Once);
    void clearScripts();
    void scriptCode(const std::string &op, int code, Repeat repeat = Repeat::Once);
    void scriptLogin(const std::string &op, int code, const std::string &error = {},
                     const std::string &token = {}, const std::string &account = {});
    void scriptRoomLive(int code, bool live, Repeat repeat = Repeat::Once);
    void scriptPushAddress(int code, const std::string &url, Repeat repeat = Repeat::Once);
    void scriptLiveLines(int code, const std::vector<LiveLine> &lines, Repeat repeat = Repeat::Once);
    void scriptReply(const std::string &op, int code, const std::string &json, Repeat repeat = Repeat::Once);
    void scriptMuteList(MuteListVariant variant);
    void scriptQrCode(int code, const std::string &url = {}, const std::string &key = {}, int expire = 0);
    // One poll answer per code, in order; a 0 signs the QR account in.
    void scriptQrPolls(const std::vector<int> &codes);
    // The next catalogue request answers 0 with an empty list.
    void scriptEmptyGiftCatalogue();
    void setLastErrorText(const std::string &text);

    // A mute list reply in the wire format, for tests.
    static std::string muteListJson(const std::vector<MuteEntry> &entries);

    // Callbacks to every live service's listener.
    void fireNetEvent(int code, Delivery delivery = Delivery::ServiceThread);
    void fireRoomMessage(const std::string &text, Delivery delivery = Delivery::ServiceThread);
    void fireLiveClosed(int state, int reserved = 0, Delivery delivery = Delivery::ServiceThread);
    // Until every service thread has nothing due and nothing running.
    bool waitIdle(int timeoutMs = 5000);

    // Live-line lists handed out and not yet given back.
    int outstandingLineLists() const;
    // Threads on which the services call their listeners.
    std::vector<std::thread::id> serviceThreads() const;

    // Used by CreateNetService: true while creations are steered to fail.
    bool takeCreateFailure();

private:
    friend class AuthService;
    friend AuthControl &control();
    AuthControl();

    // Used by the services.
    void attach(ServiceLink *service);
    void detach(ServiceLink *service);
    std::vector<ServiceLink *> services() const;
    // Runs fn(service) for every live service, on its thread or the caller's.
    template <class Fn>
    void deliver(Delivery delivery, Fn fn);
    std::optional<Outcome> take(const std::string &op) { return m_script.take(op); }
    const Account *findAccountLocked(const std::string &user) const;
    const Account *findPhoneLocked(const std::string &phone, const std::string &area) const;
    const Account *findTokenLocked(const std::string &token) const;
    Room *findRoomLocked(int id);
    void trackLines(LiveLine *list);
    bool untrackLines(LiveLine *list);

    mutable std::mutex m_mutex; // guards everything below
    World m_world;
    std::string m_lastErrorText;
    std::set<LiveLine *> m_lineLists;
    std::vector<ServiceLink *> m_services;

    mvplatform::CallLog m_log;
    mvplatform::Gates m_gates;
    mvplatform::Script<Outcome> m_script;
    mvplatform::Countdown m_failCreates;
};

AuthControl &control();

} // namespace authport
