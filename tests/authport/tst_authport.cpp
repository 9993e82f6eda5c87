#include "AuthControl.h"
#include "DecoderControl.h"
#include "INetService.h"
#include "MessageCodec.h"
#include "TempEnvironment.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

using namespace authport;

namespace {

const std::string kAnchorMd5 = md5Hex("123456");

// Records every callback with the thread it came on.
class RecordingListener : public INetseriveListener
{
public:
    struct Event
    {
        std::string what;
        std::string text;
        int a = 0;
        int b = 0;
        std::thread::id thread;
    };

    void OnNetEvent(int code) override { add({"net", {}, code, 0, std::this_thread::get_id()}); }
    void OnRoomMessage(const std::string &text) override
    {
        add({"room", text, 0, 0, std::this_thread::get_id()});
    }
    void OnLiveClosed(int state, int n) override { add({"closed", {}, state, n, std::this_thread::get_id()}); }

    bool waitFor(size_t n, int timeoutMs = 5000)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_events.size() >= n; });
    }
    std::vector<Event> events()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }

private:
    void add(Event e)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_events.push_back(std::move(e));
        }
        m_changed.notify_all();
    }
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Event> m_events;
};

// The login operations behind one signature: (user or phone, password, area,
// error, token).
int callLogin(INetService *s, const QString &op, const std::string &user, const std::string &password,
              const std::string &area, std::string *error, std::string *token)
{
    if (op == "Login")
        return s->Login(user.c_str(), password.c_str(), error, token);
    if (op == "LoginWithCaptcha")
        return s->LoginWithCaptcha(user.c_str(), password.c_str(), "w", "k", "c", "v", "s", error, token);
    if (op == "PhoneLogin")
        return s->PhoneLogin(user.c_str(), password.c_str(), area.c_str(), token, error);
    if (op == "PhoneLoginWithCaptcha")
        return s->PhoneLoginWithCaptcha(user.c_str(), password.c_str(), area.c_str(), "w", "k", "c", "v", "s",
                                        error, token);
    if (op == "LoginByToken")
        return s->LoginByToken(*token, error);
    return -100;
}

bool isPhoneOp(const QString &op)
{
    return op.startsWith("Phone");
}

} // namespace

class TestAuthport : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void loginByAccountTable_data();
    void loginByAccountTable();
    void loginByScript_data();
    void loginByScript();
    void tokenLogin();
    void loginArgumentsLogged();
    void captchaDemandingAccount();
    void qrRequest();
    void qrPollScriptedSequence();
    void qrPollByWorld();
    void qrFailureKeepsSession();
    void accountQueries();
    void nickNameCutOnWholeCharacter_data();
    void nickNameCutOnWholeCharacter();
    void openLiveByWorld();
    void openLiveFailures_data();
    void openLiveFailures();
    void liveLinesListsAreCounted();
    void muteUnmuteByWorld();
    void muteListVariants_data();
    void muteListVariants();
    void unmuteScriptedRefusal();
    void gateHoldsCallOnWorkerThread();
    void safeFromPoolAndJobThreads();
    void callbacksOnServiceThread();
    void scriptedRoomMessagesFollowTheRoom();
    void giftCatalogue();
    void creationCanFail();
    void worldFile();

private:
    void signIn();

    std::unique_ptr<testsupport::TempEnvironment> m_env;
    std::unique_ptr<RecordingListener> m_listener;
    std::unique_ptr<INetService> m_service;
};

void TestAuthport::init()
{
    m_env = std::make_unique<testsupport::TempEnvironment>();
    control().reset();
    m_listener = std::make_unique<RecordingListener>();
    m_service.reset(CreateNetService(m_listener.get()));
    QVERIFY(m_service);
}

void TestAuthport::cleanup()
{
    control().gates().openAll();
    m_service.reset();
    m_listener.reset();
    control().reset();
    m_env.reset();
}

void TestAuthport::signIn()
{
    std::string error, token;
    QCOMPARE(m_service->Login("mvanchor", kAnchorMd5.c_str(), &error, &token), 0);
}

void TestAuthport::loginByAccountTable_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("area");
    QTest::addColumn<int>("code");
    const QString md5 = QString::fromStdString(kAnchorMd5);
    for (const QString op : {"Login", "LoginWithCaptcha"}) {
        QTest::addRow("%s ok", qPrintable(op)) << op << "mvanchor" << md5 << "" << 0;
        QTest::addRow("%s by nickname", qPrintable(op)) << op << QStringLiteral("摩瓦主播") << md5 << "" << 0;
        QTest::addRow("%s wrong password", qPrintable(op)) << op << "mvanchor" << "0123" << "" << 205;
        QTest::addRow("%s plain password", qPrintable(op)) << op << "mvanchor" << "123456" << "" << 205;
        QTest::addRow("%s unknown user", qPrintable(op)) << op << "nobody" << md5 << "" << 204;
        QTest::addRow("%s empty user", qPrintable(op)) << op << "" << md5 << "" << 207;
    }
    for (const QString op : {"PhoneLogin", "PhoneLoginWithCaptcha"}) {
        QTest::addRow("%s ok", qPrintable(op)) << op << "13800000000" << md5 << "86" << 0;
        QTest::addRow("%s other area", qPrintable(op)) << op << "13800000000" << md5 << "852" << 204;
        QTest::addRow("%s wrong password", qPrintable(op)) << op << "13800000000" << "x" << "86" << 205;
        QTest::addRow("%s empty phone", qPrintable(op)) << op << "" << md5 << "86" << 207;
    }
}

void TestAuthport::loginByAccountTable()
{
    QFETCH(QString, op);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, area);
    QFETCH(int, code);
    std::string error, token = "unchanged";
    QCOMPARE(callLogin(m_service.get(), op, user.toStdString(), password.toStdString(), area.toStdString(), &error,
                       &token),
             code);
    std::string current;
    if (code == 0) {
        QCOMPARE(token, std::string("token-mvanchor"));
        QCOMPARE(m_service->GetToken(&current), 0);
        QCOMPARE(current, token);
        char nick[INetService::kNickNameSize] = {};
        QCOMPARE(m_service->GetNickName(nick), 0);
        QCOMPARE(QString::fromUtf8(nick), QStringLiteral("摩瓦主播"));
    } else {
        QCOMPARE(token, std::string("unchanged"));
        QVERIFY(!error.empty());
        QVERIFY(m_service->GetToken(&current) != 0);
        QVERIFY(!m_service->IsAnchor());
    }
    QCOMPARE(control().log().count(op.toStdString()), 1);
}

void TestAuthport::loginByScript_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<int>("code");
    for (const QString op : {"Login", "LoginWithCaptcha", "PhoneLogin", "PhoneLoginWithCaptcha", "LoginByToken"})
        for (int code : {1, 204, 205, 206, 207, 209, 210, 211, 81})
            QTest::addRow("%s %d", qPrintable(op), code) << op << code;
}

void TestAuthport::loginByScript()
{
    QFETCH(QString, op);
    QFETCH(int, code);
    const std::string user = isPhoneOp(op) ? "13800000000" : "mvanchor";
    // Right credentials, yet the script decides.
    control().scriptLogin(op.toStdString(), code, "服务端的说明");
    std::string error, token = "token-mvanchor";
    QCOMPARE(callLogin(m_service.get(), op, user, kAnchorMd5, "86", &error, &token), code);
    QCOMPARE(QString::fromStdString(error), QStringLiteral("服务端的说明"));
    QCOMPARE(token, std::string("token-mvanchor"));
    QVERIFY(!m_service->IsAnchor());

    // A scripted success writes its token, even for credentials the table refuses.
    control().scriptLogin(op.toStdString(), 0, {}, "scripted-token");
    error.clear();
    token = "token-mvanchor";
    QCOMPARE(callLogin(m_service.get(), op, user, "wrong", "86", &error, &token), 0);
    std::string current;
    QCOMPARE(m_service->GetToken(&current), 0);
    QCOMPARE(current, std::string("scripted-token"));
    if (op != "LoginByToken")
        QCOMPARE(token, std::string("scripted-token"));
    QVERIFY(m_service->IsAnchor());
    // The script is used up: the table answers again.
    token = "x";
    QVERIFY(callLogin(m_service.get(), op, user, "wrong", "86", &error, &token) != 0);
}

void TestAuthport::tokenLogin()
{
    std::string error;
    QCOMPARE(m_service->LoginByToken("token-mvanchor", &error), 0);
    int uid = 0;
    QCOMPARE(m_service->GetUserId(&uid), 0);
    QCOMPARE(uid, 10001);
    QCOMPARE(m_service->LoginByToken("stale-token", &error), 1);
    QVERIFY(!error.empty());
    QVERIFY(!m_service->IsAnchor());
    error.clear();
    QCOMPARE(m_service->LoginByToken("", &error), 1);
    QCOMPARE(control().log().last("LoginByToken")->args, std::vector<std::string>{""});
}

void TestAuthport::loginArgumentsLogged()
{
    control().log().clear();
    std::string error, token;
    m_service->SetClientInfo("00:11:22:33:44:55", "2.3.0.0");
    m_service->LoginWithCaptcha("mvanchor", "pw", "word", "key", "challenge", "validate", "seccode", &error, &token);
    m_service->PhoneLoginWithCaptcha("138", "pw", "86", "w1", "k2", "c3", "v4", "s5", &error, &token);
    m_service->PhoneLogin("138", "pw", "852", &token, &error);
    const auto calls = control().log().all();
    QCOMPARE(int(calls.size()), 4);
    QCOMPARE(calls[0].op, std::string("SetClientInfo"));
    QCOMPARE(calls[0].args, (std::vector<std::string>{"00:11:22:33:44:55", "2.3.0.0"}));
    QCOMPARE(calls[1].args,
             (std::vector<std::string>{"mvanchor", "pw", "word", "key", "challenge", "validate", "seccode"}));
    QCOMPARE(calls[2].args, (std::vector<std::string>{"138", "pw", "86", "w1", "k2", "c3", "v4", "s5"}));
    QCOMPARE(calls[3].args, (std::vector<std::string>{"138", "pw", "852"}));
    for (const auto &c : calls)
        QVERIFY(c.thread == std::this_thread::get_id());
}

void TestAuthport::captchaDemandingAccount()
{
    World w = control().world();
    w.accounts.front().loginCode = 81;
    control().setWorld(w);
    std::string error, token;
    QCOMPARE(m_service->Login("mvanchor", kAnchorMd5.c_str(), &error, &token), 81);
    QCOMPARE(m_service->LoginWithCaptcha("mvanchor", kAnchorMd5.c_str(), "", "", "", "", "", &error, &token), 81);
    QCOMPARE(m_service->LoginWithCaptcha("mvanchor", kAnchorMd5.c_str(), "", "", "ch", "va", "se", &error, &token), 0);
    QCOMPARE(token, std::string("token-mvanchor"));
    // The captcha does not excuse a wrong password.
    QCOMPARE(m_service->LoginWithCaptcha("mvanchor", "bad", "w", "", "", "", "", &error, &token), 205);
}

void TestAuthport::qrRequest()
{
    std::string url, code;
    int expire = 0;
    QCOMPARE(m_service->RequestQrCode(&url, &code, &expire), 0);
    QVERIFY(!url.empty());
    QVERIFY(!code.empty());
    QCOMPARE(expire, 60);
    std::string second;
    QCOMPARE(m_service->RequestQrCode(&url, &second, &expire), 0);
    QVERIFY(second != code);

    control().scriptQrCode(5);
    url = "u";
    code = "c";
    expire = -7;
    QCOMPARE(m_service->RequestQrCode(&url, &code, &expire), 5);
    QCOMPARE(url, std::string("u"));
    QCOMPARE(code, std::string("c"));
    QCOMPARE(expire, -7);

    control().scriptQrCode(0, "https://127.0.0.1/q?c=", "KEY1", 30);
    QCOMPARE(m_service->RequestQrCode(&url, &code, &expire), 0);
    QCOMPARE(url, std::string("https://127.0.0.1/q?c="));
    QCOMPARE(code, std::string("KEY1"));
    QCOMPARE(expire, 30);
}

void TestAuthport::qrPollScriptedSequence()
{
    control().scriptQrPolls({229, -5, -5, 229, -2, 17, 0});
    std::string token, error;
    const std::vector<int> expected = {229, -5, -5, 229, -2, 17};
    for (int code : expected) {
        QCOMPARE(m_service->PollQrLogin("any", &token, &error), code);
        QVERIFY(token.empty());
        QVERIFY(!m_service->IsAnchor());
    }
    QCOMPARE(m_service->PollQrLogin("any", &token, &error), 0);
    QCOMPARE(token, std::string("token-mvanchor"));
    QVERIFY(m_service->IsAnchor());
    QCOMPARE(control().log().count("PollQrLogin"), 7);
    QCOMPARE(control().log().last("PollQrLogin")->args.front(), std::string("any"));
}

void TestAuthport::qrPollByWorld()
{
    std::string url, code, token, error;
    int expire = 0;
    QCOMPARE(m_service->RequestQrCode(&url, &code, &expire), 0);
    // Three polls wait, the fourth signs in; the code is then used up.
    for (int i = 0; i < 3; ++i)
        QCOMPARE(m_service->PollQrLogin(code, &token, &error), 229);
    QCOMPARE(m_service->PollQrLogin(code, &token, &error), 0);
    QCOMPARE(token, std::string("token-mvanchor"));
    QCOMPARE(m_service->PollQrLogin(code, &token, &error), -2);
    QCOMPARE(m_service->PollQrLogin("never-issued", &token, &error), -2);

    World w = control().world();
    w.qr.expire = 0;
    control().setWorld(w);
    QCOMPARE(m_service->RequestQrCode(&url, &code, &expire), 0);
    QCOMPARE(m_service->PollQrLogin(code, &token, &error), -2);
    QVERIFY(!error.empty());
}

void TestAuthport::qrFailureKeepsSession()
{
    signIn();
    control().scriptQrPolls({-2, 31});
    std::string token, error;
    QCOMPARE(m_service->PollQrLogin("c", &token, &error), -2);
    QCOMPARE(m_service->PollQrLogin("c", &token, &error), 31);
    QVERIFY(m_service->IsAnchor());
    QCOMPARE(m_service->GetToken(&token), 0);
}

void TestAuthport::accountQueries()
{
    int uid = 5;
    char nick[INetService::kNickNameSize] = {};
    std::string token = "t";
    QCOMPARE(m_service->GetRoomId(), -1);
    QVERIFY(!m_service->IsAnchor());
    QVERIFY(m_service->GetUserId(&uid) != 0);
    QCOMPARE(uid, 5);
    QVERIFY(m_service->GetNickName(nick) != 0);
    QCOMPARE(nick[0], '\0');
    QVERIFY(m_service->GetToken(&token) != 0);
    QCOMPARE(token, std::string("t"));

    signIn();
    QCOMPARE(m_service->GetRoomId(), 20001);
    QVERIFY(m_service->IsAnchor());
    control().scriptCode("GetUserId", 500);
    QCOMPARE(m_service->GetUserId(&uid), 500);
    QCOMPARE(uid, 5);
    QCOMPARE(m_service->GetUserId(&uid), 0);
    QCOMPARE(uid, 10001);
}

void TestAuthport::nickNameCutOnWholeCharacter_data()
{
    // The buffer is 1024 bytes: at most 1023 bytes of text and a terminator.
    QTest::addColumn<QByteArray>("nick");
    QTest::addColumn<int>("keptBytes");
    const QByteArray two("\xC3\xA9");              // é
    const QByteArray three("\xE6\x91\xA9");         // 摩
    const QByteArray four("\xF0\x9F\x98\x80");     // 😀
    QTest::newRow("2-byte after 1") << QByteArray(1022, 'a') + two.repeated(8) << 1022;
    QTest::newRow("3-byte after 1") << QByteArray(1022, 'a') + three.repeated(8) << 1022;
    QTest::newRow("3-byte after 2") << QByteArray(1021, 'a') + three.repeated(8) << 1021;
    QTest::newRow("3-byte ends on 1023") << QByteArray(1020, 'a') + three.repeated(8) << 1023;
    QTest::newRow("4-byte after 1") << QByteArray(1022, 'a') + four.repeated(8) << 1022;
    QTest::newRow("4-byte after 2") << QByteArray(1021, 'a') + four.repeated(8) << 1021;
    QTest::newRow("4-byte after 3") << QByteArray(1020, 'a') + four.repeated(8) << 1020;
    QTest::newRow("4-byte ends on 1023") << QByteArray(1019, 'a') + four.repeated(8) << 1023;
    // 102 rounds of 10 bytes, then a 4-byte character that does not fit.
    QTest::newRow("mixed widths") << (four + three + two + QByteArray("a")).repeated(110) << 1020;
    QTest::newRow("short") << three + two + four + QByteArray("a") << 10;
}

void TestAuthport::nickNameCutOnWholeCharacter()
{
    QFETCH(QByteArray, nick);
    QFETCH(int, keptBytes);
    World w = control().world();
    w.accounts.front().nick = nick.toStdString();
    control().setWorld(w);
    signIn();
    char buffer[INetService::kNickNameSize];
    std::memset(buffer, 'x', sizeof buffer);
    QCOMPARE(m_service->GetNickName(buffer), 0);
    QCOMPARE(QByteArray(buffer), nick.left(keptBytes));
}

void TestAuthport::openLiveByWorld()
{
    bool live = true;
    QCOMPARE(m_service->IsRoomLive(&live), -1); // no session
    signIn();
    QCOMPARE(m_service->IsRoomLive(&live), 0);
    QVERIFY(!live);
    std::string url = "x";
    int reserved = 1;
    QCOMPARE(m_service->GetPushAddress(&url, &reserved), 0);
    QVERIFY(url.empty()); // a room that is not live has no address

    LiveLine *lines = nullptr;
    int count = -1;
    QCOMPARE(m_service->GetLiveLines(&lines, &count), 0);
    QCOMPARE(count, 3);
    QVERIFY(lines);
    QVERIFY(QString::fromStdString(lines[2].url).startsWith("rtmp://127.0.0.1"));
    const std::string chosen = lines[1].url;
    m_service->FreeLiveLines(lines);

    QCOMPARE(m_service->ConfirmLiveLine(chosen), 0);
    QCOMPARE(m_service->IsRoomLive(&live), 0);
    QVERIFY(live);
    QCOMPARE(m_service->GetPushAddress(&url, &reserved), 0);
    QCOMPARE(url, chosen);
    QCOMPARE(m_service->CloseLive(), 0);
    QCOMPARE(m_service->IsRoomLive(&live), 0);
    QVERIFY(!live);
    QCOMPARE(m_service->CloseLive(), 219);

    // An account that is no anchor has no room to open.
    World w = control().world();
    w.accounts.front().anchor = false;
    control().setWorld(w);
    signIn();
    QCOMPARE(m_service->IsRoomLive(&live), 214);
    QCOMPARE(m_service->GetLiveLines(&lines, &count), 214);
}

void TestAuthport::openLiveFailures_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<int>("code");
    for (int code : {214, 215, 216, 217, 220, 221, 222, 223, 225, 226, 233})
        QTest::addRow("IsRoomLive %d", code) << "IsRoomLive" << code;
    QTest::newRow("GetPushAddress") << "GetPushAddress" << 210;
    QTest::newRow("GetLiveLines") << "GetLiveLines" << 9;
    for (int code : {218, 226, 3})
        QTest::addRow("ConfirmLiveLine %d", code) << "ConfirmLiveLine" << code;
    QTest::newRow("CloseLive") << "CloseLive" << 230;
}

void TestAuthport::openLiveFailures()
{
    QFETCH(QString, op);
    QFETCH(int, code);
    signIn();
    Outcome o;
    o.code = code;
    o.text = "分类暂停开播";
    control().script(op.toStdString(), o);
    bool live = true;
    std::string url = "kept";
    LiveLine *lines = reinterpret_cast<LiveLine *>(&live);
    int count = 42;
    int result = 0;
    if (op == "IsRoomLive")
        result = m_service->IsRoomLive(&live);
    else if (op == "GetPushAddress")
        result = m_service->GetPushAddress(&url, nullptr);
    else if (op == "GetLiveLines")
        result = m_service->GetLiveLines(&lines, &count);
    else if (op == "ConfirmLiveLine")
        result = m_service->ConfirmLiveLine("rtmp://127.0.0.1/x");
    else
        result = m_service->CloseLive();
    QCOMPARE(result, code);
    // Outputs are left alone on failure; the text is the service's last error text.
    QVERIFY(live);
    QCOMPARE(url, std::string("kept"));
    QCOMPARE(count, 42);
    QCOMPARE(control().outstandingLineLists(), 0);
    std::string text;
    QCOMPARE(m_service->GetLastErrorText(&text), 0);
    QCOMPARE(QString::fromStdString(text), QStringLiteral("分类暂停开播"));
    // The room did not go live.
    QCOMPARE(m_service->IsRoomLive(&live), 0);
    QVERIFY(!live);
}

void TestAuthport::liveLinesListsAreCounted()
{
    signIn();
    LiveLine *a = nullptr, *b = nullptr;
    int n = 0;
    QCOMPARE(m_service->GetLiveLines(&a, &n), 0);
    QCOMPARE(m_service->GetLiveLines(&b, &n), 0);
    QCOMPARE(control().outstandingLineLists(), 2);
    m_service->FreeLiveLines(nullptr);
    m_service->FreeLiveLines(a);
    QCOMPARE(control().outstandingLineLists(), 1);
    LiveLine foreign[1];
    m_service->FreeLiveLines(foreign); // not ours: ignored
    m_service->FreeLiveLines(b);
    QCOMPARE(control().outstandingLineLists(), 0);
    QCOMPARE(control().log().count("FreeLiveLines"), 4);

    control().scriptLiveLines(0, {});
    a = reinterpret_cast<LiveLine *>(&n);
    QCOMPARE(m_service->GetLiveLines(&a, &n), 0);
    QCOMPARE(n, 0);
    QVERIFY(!a);
    control().scriptLiveLines(0, {{"rtmp://127.0.0.1/only", 9}});
    QCOMPARE(m_service->GetLiveLines(&a, &n), 0);
    QCOMPARE(n, 1);
    QCOMPARE(a[0].url, std::string("rtmp://127.0.0.1/only"));
    QCOMPARE(a[0].lineId, 9);
    m_service->FreeLiveLines(a);
    QCOMPARE(control().outstandingLineLists(), 0);
}

void TestAuthport::muteUnmuteByWorld()
{
    signIn();
    QCOMPARE(m_service->MuteUser(77, 2, 3600), 0);
    QCOMPARE(control().log().last("MuteUser")->args, (std::vector<std::string>{"77", "2", "3600"}));
    // The server confirms the mute with a blacklist message.
    QVERIFY(m_listener->waitFor(1));
    const auto ev = m_listener->events().front();
    QCOMPARE(ev.what, std::string("room"));
    std::unique_ptr<IMessageDecoder> decoder(CreateMvMessageDecoder());
    QCOMPARE(decoder->GetMessageType(ev.text.c_str()), 14);
    BlacklistRecord black;
    black.status = 5;
    QCOMPARE(decoder->DecodeBlacklist(ev.text.c_str(), &black), 0);
    QCOMPARE(black.status, 0);
    QCOMPARE(black.userId, 77);

    std::string json;
    QCOMPARE(m_service->GetMuteList(&json), 0);
    const QJsonObject list = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
    const QJsonArray data = list.value("data").toArray();
    QCOMPARE(data.size(), 1);
    const QJsonObject entry = data.at(0).toObject();
    QCOMPARE(entry.value("mute_user_id").toString(), QStringLiteral("77"));
    QCOMPARE(entry.value("op_user").toString(), QStringLiteral("摩瓦主播"));
    QVERIFY(entry.value("nick_name").isString());
    QVERIFY(entry.value("invalid_timestamp").isString());

    std::string reply;
    QCOMPARE(m_service->Unmute(77, &reply), 0);
    QCOMPARE(QJsonDocument::fromJson(QByteArray::fromStdString(reply)).object().value("code").toInt(-1), 0);
    QCOMPARE(m_service->Unmute(77, &reply), 1);
    const QJsonObject refusal = QJsonDocument::fromJson(QByteArray::fromStdString(reply)).object();
    QCOMPARE(refusal.value("code").toInt(), 1);
    QVERIFY(refusal.value("data").isString());
    QCOMPARE(m_service->GetMuteList(&json), 0);
    QCOMPARE(QJsonDocument::fromJson(QByteArray::fromStdString(json)).object().value("data").toArray().size(), 0);

    // Without confirmations no message follows.
    World w = control().world();
    w.confirmMutes = false;
    control().setWorld(w);
    QCOMPARE(m_service->MuteUser(78, 2, 3600), 0);
    QVERIFY(control().waitIdle());
    QCOMPARE(int(m_listener->events().size()), 1);
}

void TestAuthport::muteListVariants_data()
{
    QTest::addColumn<int>("variant");
    QTest::newRow("malformed") << int(MuteListVariant::Malformed);
    QTest::newRow("not an array") << int(MuteListVariant::NotAnArray);
    QTest::newRow("numeric ids") << int(MuteListVariant::NumericIds);
    QTest::newRow("empty") << int(MuteListVariant::Empty);
}

void TestAuthport::muteListVariants()
{
    QFETCH(int, variant);
    signIn();
    control().scriptMuteList(MuteListVariant(variant));
    std::string json;
    QCOMPARE(m_service->GetMuteList(&json), 0);
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &err);
    switch (MuteListVariant(variant)) {
    case MuteListVariant::Malformed:
        QVERIFY(err.error != QJsonParseError::NoError);
        break;
    case MuteListVariant::NotAnArray:
        QVERIFY(doc.object().contains("data"));
        QVERIFY(!doc.object().value("data").isArray());
        break;
    case MuteListVariant::NumericIds:
        QVERIFY(doc.object().value("data").toArray().at(0).toObject().value("mute_user_id").isDouble());
        break;
    case MuteListVariant::Empty:
        QVERIFY(doc.object().value("data").isArray());
        QCOMPARE(doc.object().value("data").toArray().size(), 0);
        break;
    }
    // One reply only: the world answers the next request.
    QCOMPARE(m_service->GetMuteList(&json), 0);
    QVERIFY(QJsonDocument::fromJson(QByteArray::fromStdString(json)).object().value("data").isArray());
}

void TestAuthport::unmuteScriptedRefusal()
{
    signIn();
    control().scriptReply("Unmute", 3, "{\"code\":1,\"data\":\"操作太频繁\"}");
    std::string reply;
    QCOMPARE(m_service->Unmute(12, &reply), 3);
    QCOMPARE(QJsonDocument::fromJson(QByteArray::fromStdString(reply)).object().value("data").toString(),
             QStringLiteral("操作太频繁"));
    control().scriptReply("Unmute", 0, "not json");
    QCOMPARE(m_service->Unmute(12, &reply), 0);
    QCOMPARE(reply, std::string("not json"));
}

void TestAuthport::gateHoldsCallOnWorkerThread()
{
    signIn();
    control().gates().close("GetMuteList");
    std::atomic<bool> done{false};
    std::atomic<int> code{-100};
    std::string json;
    std::thread worker([&] {
        code = m_service->GetMuteList(&json);
        done = true;
    });
    QVERIFY(control().gates().waitForWaiting("GetMuteList", 1, 5000));
    QVERIFY(!done);
    // Other operations go on meanwhile.
    std::string reply;
    QCOMPARE(m_service->Unmute(1, &reply), 1);
    QVERIFY(!done);
    control().gates().open("GetMuteList");
    worker.join();
    QVERIFY(done);
    QCOMPARE(code.load(), 0);
    QVERIFY(QJsonDocument::fromJson(QByteArray::fromStdString(json)).isObject());
    const auto call = control().log().last("GetMuteList");
    QVERIFY(call->thread != std::this_thread::get_id());
}

void TestAuthport::safeFromPoolAndJobThreads()
{
    signIn();
    World w = control().world();
    w.confirmMutes = false;
    control().setWorld(w);
    std::atomic<int> failures{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < 4; ++t) {
        pool.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i) {
                const int uid = 1000 * (t + 1) + i;
                std::string json, reply;
                if (m_service->MuteUser(uid, 2, 3600) != 0)
                    ++failures;
                if (m_service->GetMuteList(&json) != 0 || !QJsonDocument::fromJson(QByteArray::fromStdString(json)).isObject())
                    ++failures;
                if (m_service->Unmute(uid, &reply) != 0)
                    ++failures;
                if (m_service->SendChat("大家好") != 0)
                    ++failures;
            }
        });
    }
    std::thread job([&] {
        for (int i = 0; i < 100; ++i) {
            bool live = false;
            LiveLine *lines = nullptr;
            int n = 0;
            std::string error, token;
            if (m_service->IsRoomLive(&live) != 0 || m_service->GetLiveLines(&lines, &n) != 0 || n != 3)
                ++failures;
            m_service->FreeLiveLines(lines);
            if (m_service->LoginByToken("token-mvanchor", &error) != 0)
                ++failures;
        }
    });
    for (auto &th : pool)
        th.join();
    job.join();
    QCOMPARE(failures.load(), 0);
    QCOMPARE(control().outstandingLineLists(), 0);
    QCOMPARE(control().log().count("MuteUser"), 400);
    std::set<std::thread::id> threads;
    for (const auto &c : control().log().all())
        threads.insert(c.thread);
    QCOMPARE(int(threads.size()), 6); // this thread, four pool threads, the job thread
    std::string json;
    QCOMPARE(m_service->GetMuteList(&json), 0);
    QCOMPARE(QJsonDocument::fromJson(QByteArray::fromStdString(json)).object().value("data").toArray().size(), 0);
}

void TestAuthport::callbacksOnServiceThread()
{
    control().fireNetEvent(211);
    control().fireRoomMessage("{\"type\":2}");
    for (int state = 0; state <= 3; ++state)
        control().fireLiveClosed(state);
    QVERIFY(m_listener->waitFor(6));
    QVERIFY(control().waitIdle());
    const auto events = m_listener->events();
    QCOMPARE(int(events.size()), 6);
    const auto threads = control().serviceThreads();
    QCOMPARE(int(threads.size()), 1);
    QCOMPARE(events[0].what, std::string("net"));
    QCOMPARE(events[0].a, 211);
    QCOMPARE(events[1].what, std::string("room"));
    QCOMPARE(events[1].text, std::string("{\"type\":2}"));
    for (int state = 0; state <= 3; ++state) {
        QCOMPARE(events[2 + state].what, std::string("closed"));
        QCOMPARE(events[2 + state].a, state);
    }
    for (const auto &e : events) {
        QVERIFY(e.thread == threads.front());
        QVERIFY(e.thread != std::this_thread::get_id());
    }
    // Tests may also drive a callback synchronously.
    control().fireNetEvent(5, Delivery::CallerThread);
    QCOMPARE(int(m_listener->events().size()), 7);
    QVERIFY(m_listener->events().back().thread == std::this_thread::get_id());
}

void TestAuthport::scriptedRoomMessagesFollowTheRoom()
{
    World w = control().world();
    ChatRecord chat;
    chat.senderId = 9;
    chat.nickname = "观众";
    chat.content = "第一条";
    w.roomMessages.push_back({0, chatlink::encodeChat(chat)});
    w.roomMessages.push_back({60000, "{\"type\":2,\"content\":\"much later\"}"});
    control().setWorld(w);
    signIn();
    QVERIFY(control().waitIdle());
    QCOMPARE(int(m_listener->events().size()), 0); // not before the room is live
    QCOMPARE(m_service->ConfirmLiveLine("rtmp://127.0.0.1/a"), 0);
    QVERIFY(m_listener->waitFor(1));
    QCOMPARE(m_listener->events().front().text, chatlink::encodeChat(chat));
    QCOMPARE(m_service->CloseLive(), 0);
    // The later message is dropped with the room; the service closes promptly.
    QVERIFY(control().waitIdle());
    m_service.reset();
    QCOMPARE(int(m_listener->events().size()), 1);
}

void TestAuthport::giftCatalogue()
{
    std::vector<GiftInfo> gifts;
    QCOMPARE(m_service->GetGiftCatalogue(&gifts), 0);
    QVERIFY(gifts.size() >= 2);
    auto find = [&](int id) {
        for (const GiftInfo &g : gifts)
            if (g.id == id)
                return g;
        return GiftInfo();
    };
    QCOMPARE(QString::fromStdString(find(1).name), QStringLiteral("珍珠"));
    QCOMPARE(find(1).price, std::string("1"));
    QCOMPARE(find(1).kind, std::string("1"));
    QCOMPARE(QString::fromStdString(find(2).name), QStringLiteral("棒棒糖"));
    QCOMPARE(find(2).price, std::string("10"));
    QCOMPARE(find(2).kind, std::string("2"));

    control().scriptEmptyGiftCatalogue();
    QCOMPARE(m_service->GetGiftCatalogue(&gifts), 0);
    QVERIFY(gifts.empty());
    QCOMPARE(m_service->GetGiftCatalogue(&gifts), 0);
    QVERIFY(gifts.size() >= 2);
}

void TestAuthport::creationCanFail()
{
    control().failNextCreates(1);
    QVERIFY(!CreateNetService(nullptr));
    std::unique_ptr<INetService> other(CreateNetService(nullptr));
    QVERIFY(other);
    // A service without a listener drops its callbacks.
    control().fireNetEvent(211);
    QVERIFY(control().waitIdle());
    QCOMPARE(int(control().serviceThreads().size()), 2);
}

void TestAuthport::worldFile()
{
    const QString path = m_env->root() + "/world.json";
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(R"({
        "accounts": [{"user": "fan", "password": "pw", "token": "tf", "nick": "粉丝", "uid": 3, "room": 0},
                     {"user": "star", "phone": "13900000000", "area": "852", "password_md5": "abc",
                      "token": "ts", "nick": "明星", "uid": 4, "room": 44, "anchor": true}],
        "rooms": [{"id": 44, "live": true, "push_address": "rtmp://127.0.0.1/star",
                   "live_lines": ["rtmp://127.0.0.1/l1", {"url": "rtmp://127.0.0.1/l2", "id": 7}],
                   "mutes": [{"mute_user_id": "5", "nick_name": "甲", "op_user": "乙", "invalid_timestamp": "t"}]}],
        "qr": {"account": "star", "confirm_after": 0, "expire": 90}
    })");
    f.close();
    qputenv("MORVASHOW_WORLD", QFile::encodeName(path));
    control().reset();
    qputenv("MORVASHOW_WORLD", "");

    std::string error, token;
    QCOMPARE(m_service->Login("fan", md5Hex("pw").c_str(), &error, &token), 0);
    QVERIFY(!m_service->IsAnchor());
    QCOMPARE(m_service->PhoneLogin("13900000000", "abc", "852", &token, &error), 0);
    QCOMPARE(token, std::string("ts"));
    bool live = false;
    QCOMPARE(m_service->IsRoomLive(&live), 0);
    QVERIFY(live);
    std::string url;
    QCOMPARE(m_service->GetPushAddress(&url, nullptr), 0);
    QCOMPARE(url, std::string("rtmp://127.0.0.1/star"));
    LiveLine *lines = nullptr;
    int n = 0;
    QCOMPARE(m_service->GetLiveLines(&lines, &n), 0);
    QCOMPARE(n, 2);
    QCOMPARE(lines[1].lineId, 7);
    m_service->FreeLiveLines(lines);
    std::string json;
    QCOMPARE(m_service->GetMuteList(&json), 0);
    QVERIFY(QString::fromStdString(json).contains(QStringLiteral("甲")));
    std::string code;
    int expire = 0;
    QCOMPARE(m_service->RequestQrCode(&url, &code, &expire), 0);
    QCOMPARE(expire, 90);
    QCOMPARE(m_service->PollQrLogin(code, &token, &error), 0);
    QCOMPARE(token, std::string("ts"));
    // Sections the file leaves out keep the built-in world.
    std::vector<GiftInfo> gifts;
    QCOMPARE(m_service->GetGiftCatalogue(&gifts), 0);
    QVERIFY(gifts.size() >= 2);

    control().reset(); // the variable is empty again: built-in world
    QCOMPARE(m_service->Login("fan", md5Hex("pw").c_str(), &error, &token), 204);
}

QTEST_GUILESS_MAIN(TestAuthport)
#include "tst_authport.moc"
