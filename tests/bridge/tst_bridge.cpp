#include "MvListener.h"

#include <QMetaMethod>
#include <QThread>
#include <QtTest>

#include <functional>
#include <thread>

namespace {

// One delivery as a queued slot on the receiving thread saw it.
struct Delivery
{
    QString signal;
    QVariantList args;
    QThread *thread = nullptr;
};

// Connects every signal of the listener, queued, to a recorder living on the
// GUI thread.
class Recorder : public QObject
{
public:
    explicit Recorder(MvListener *l)
    {
        auto add = [this](const char *name, QVariantList args) {
            received.push_back({QString::fromLatin1(name), args, QThread::currentThread()});
        };
        const auto q = Qt::QueuedConnection;
        connect(l, &MvListener::signal_setSystemPerformance, this,
                [add](int cpu, int mem) { add("signal_setSystemPerformance", {cpu, mem}); }, q);
        connect(l, &MvListener::signal_setVideoFPS, this, [add](int fps) { add("signal_setVideoFPS", {fps}); }, q);
        connect(l, &MvListener::signal_setFrameDroppedPercent, this,
                [add](qlonglong total, float dp) { add("signal_setFrameDroppedPercent", {total, dp}); }, q);
        connect(l, &MvListener::signal_setKBPS, this, [add](float kbps) { add("signal_setKBPS", {kbps}); }, q);
        connect(l, &MvListener::signal_loginReturn, this,
                [add](QString name, QString token, QString error, int code) {
                    add("signal_loginReturn", {name, token, error, code});
                },
                q);
        connect(l, &MvListener::signal_loginStatus, this, [add](int code) { add("signal_loginStatus", {code}); }, q);
        connect(l, &MvListener::signal_notifyAudioLevel, this,
                [add](int type, int level) { add("signal_notifyAudioLevel", {type, level}); }, q);
        connect(l, &MvListener::signal_notifyLiveStatus, this,
                [add](QString msg, int code) { add("signal_notifyLiveStatus", {msg, code}); }, q);
        connect(l, &MvListener::signal_notifyCameraTurnStatus, this,
                [add](bool h, bool v) { add("signal_notifyCameraTurnStatus", {h, v}); }, q);
        connect(l, &MvListener::signal_notifyNewBlacker, this, [add](int id) { add("signal_notifyNewBlacker", {id}); },
                q);
        connect(l, &MvListener::signal_notifyNewBarrage, this,
                [add](int id, QString name, QString content, int lev) {
                    add("signal_notifyNewBarrage", {id, name, content, lev});
                },
                q);
        connect(l, &MvListener::signal_notifyDonaterMsg, this,
                [add](QString nick, int price) { add("signal_notifyDonaterMsg", {nick, price}); }, q);
        connect(l, &MvListener::signal_notifyAmberMsg, this,
                [add](QString nick, int id, QString gift, int price) {
                    add("signal_notifyAmberMsg", {nick, id, gift, price});
                },
                q);
        connect(l, &MvListener::signal_notifyMeritMsg, this,
                [add](QString nick, int lev) { add("signal_notifyMeritMsg", {nick, lev}); }, q);
        connect(l, &MvListener::signal_receiveQRCode, this,
                [add](QString url, QString code, int expire, int error) {
                    add("signal_receiveQRCode", {url, code, expire, error});
                },
                q);
    }
    std::vector<Delivery> received;
};

struct Case
{
    const char *name;
    std::function<void(IListener &)> call;
    const char *signal;
    QVariantList args;
};

} // namespace

class TestBridge : public QObject
{
    Q_OBJECT
private slots:
    void signalsInOrderWithParameterNames();
    void callsFromLibraryThreadReachGuiThreadUnchanged();
    void reservedOperationsEmitNothing();
    void loginResultReadAsCStrings();
};

void TestBridge::signalsInOrderWithParameterNames()
{
    const QMetaObject &mo = MvListener::staticMetaObject;
    const QStringList expected = {
        "signal_setSystemPerformance(int,int):cpu,mem",
        "signal_setVideoFPS(int):fps",
        "signal_setFrameDroppedPercent(qlonglong,float):drop_total,dp",
        "signal_setKBPS(float):kbps",
        "signal_loginReturn(QString,QString,QString,int):name,longtoken,errorMsg,code",
        "signal_loginStatus(int):code",
        "signal_notifyAudioLevel(int,int):type,level",
        "signal_notifyLiveStatus(QString,int):qErrorMsg,code",
        "signal_notifyCameraTurnStatus(bool,bool):bHTurn,bVTurn",
        "signal_notifyNewBlacker(int):id",
        "signal_notifyNewBarrage(int,QString,QString,int):id,sname,content,lev",
        "signal_notifyDonaterMsg(QString,int):nick_name,price",
        "signal_notifyAmberMsg(QString,int,QString,int):nick_name,id,gift_name,price",
        "signal_notifyMeritMsg(QString,int):nick_name,lev",
        "signal_receiveQRCode(QString,QString,int,int):url,code,exprie,errorcode",
    };
    QStringList actual;
    for (int i = mo.methodOffset(); i < mo.methodCount(); ++i) {
        const QMetaMethod m = mo.method(i);
        if (m.methodType() != QMetaMethod::Signal)
            continue;
        QStringList names;
        for (const QByteArray &n : m.parameterNames())
            names << QString::fromLatin1(n);
        actual << QString::fromLatin1(m.methodSignature()) + ":" + names.join(",");
    }
    QCOMPARE(actual, expected);
    // The signals come first, before anything else the class declares.
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(mo.method(mo.methodOffset() + i).methodType(), QMetaMethod::Signal);
}

void TestBridge::callsFromLibraryThreadReachGuiThreadUnchanged()
{
    const std::string nick = "摩瓦主播";
    const QString qnick = QStringLiteral("摩瓦主播");
    const std::vector<Case> cases = {
        {"OnVideoFps", [](IListener &l) { l.OnVideoFps(25); }, "signal_setVideoFPS", {25}},
        {"OnAudioLevel", [](IListener &l) { l.OnAudioLevel(2, -30); }, "signal_notifyAudioLevel", {2, -30}},
        {"OnKbps", [](IListener &l) { l.OnKbps(1536.25f); }, "signal_setKBPS", {1536.25f}},
        {"OnSystemPerformance", [](IListener &l) { l.OnSystemPerformance(37, 81); }, "signal_setSystemPerformance",
         {37, 81}},
        {"OnFrameDropped", [](IListener &l) { l.OnFrameDropped(std::int64_t(1) << 40, 0.125f); },
         "signal_setFrameDroppedPercent", {qlonglong(1) << 40, 0.125f}},
        {"OnLoginReturn", [nick](IListener &l) { l.OnLoginReturn(nick, "tok-1", "密码错误", 205); },
         "signal_loginReturn", {qnick, QString("tok-1"), QStringLiteral("密码错误"), 205}},
        {"OnLoginStatus", [](IListener &l) { l.OnLoginStatus(211); }, "signal_loginStatus", {211}},
        {"OnLiveStatus", [](IListener &l) { l.OnLiveStatus("分类不可用", 226); }, "signal_notifyLiveStatus",
         {QStringLiteral("分类不可用"), 226}},
        {"OnCameraTurnStatus", [](IListener &l) { l.OnCameraTurnStatus(true, false); },
         "signal_notifyCameraTurnStatus", {true, false}},
        {"OnNewBlacker", [](IListener &l) { l.OnNewBlacker(77); }, "signal_notifyNewBlacker", {77}},
        {"OnNewBarrage", [nick](IListener &l) { l.OnNewBarrage(77, nick, "你好\n世界", 3); },
         "signal_notifyNewBarrage", {77, qnick, QStringLiteral("你好\n世界"), 3}},
        {"OnDonaterMsg", [nick](IListener &l) { l.OnDonaterMsg(nick, 10); }, "signal_notifyDonaterMsg", {qnick, 10}},
        {"OnAmberMsg", [nick](IListener &l) { l.OnAmberMsg(nick, 77, "棒棒糖", 10); }, "signal_notifyAmberMsg",
         {qnick, 77, QStringLiteral("棒棒糖"), 10}},
        {"OnMeritMsg", [nick](IListener &l) { l.OnMeritMsg(nick, 2); }, "signal_notifyMeritMsg", {qnick, 2}},
        {"OnReceiveQRCode", [](IListener &l) { l.OnReceiveQRCode("https://127.0.0.1/q?c=", "K1", 60, 0); },
         "signal_receiveQRCode", {QString("https://127.0.0.1/q?c="), QString("K1"), 60, 0}},
    };
    QCOMPARE(int(cases.size()), 15);
    MvListener listener;
    Recorder recorder(&listener);
    for (const Case &c : cases) {
        recorder.received.clear();
        std::thread library([&] { c.call(listener); });
        library.join();
        QTRY_COMPARE_WITH_TIMEOUT(int(recorder.received.size()), 1, 5000);
        QCoreApplication::processEvents();
        QCOMPARE(int(recorder.received.size()), 1);
        const Delivery &d = recorder.received.front();
        QVERIFY2(d.signal == QLatin1String(c.signal), c.name);
        QVERIFY2(d.thread == QCoreApplication::instance()->thread(), c.name);
        QCOMPARE(d.args, c.args);
    }
}

void TestBridge::reservedOperationsEmitNothing()
{
    MvListener listener;
    int emitted = 0;
    const QMetaObject &mo = MvListener::staticMetaObject;
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
        if (mo.method(i).methodType() == QMetaMethod::Signal)
            spies.push_back(std::make_unique<QSignalSpy>(&listener, mo.method(i)));
    QCOMPARE(int(spies.size()), 15);
    IListener &l = listener;
    l.OnReserved1(1, 2);
    l.OnReserved2(1, 2, 3);
    for (const auto &s : spies)
        emitted += s->count();
    QCOMPARE(emitted, 0);
    l.OnLoginStatus(0); // the spies do see a real emission
    emitted = 0;
    for (const auto &s : spies)
        emitted += s->count();
    QCOMPARE(emitted, 1);
}

void TestBridge::loginResultReadAsCStrings()
{
    MvListener listener;
    QSignalSpy login(&listener, &MvListener::signal_loginReturn);
    QSignalSpy barrage(&listener, &MvListener::signal_notifyNewBarrage);
    const std::string nick = std::string("摩瓦") + '\0' + "尾巴";
    listener.OnLoginReturn(nick, std::string("tok") + '\0' + "x", std::string(), 0);
    listener.OnNewBarrage(7, nick, nick, 1);
    QCOMPARE(login.count(), 1);
    QCOMPARE(login.at(0).at(0).toString(), QStringLiteral("摩瓦"));
    QCOMPARE(login.at(0).at(1).toString(), QStringLiteral("tok"));
    QCOMPARE(login.at(0).at(2).toString(), QString());
    // Other texts are decoded whole.
    QCOMPARE(barrage.at(0).at(1).toString(), QString::fromUtf8(nick.data(), int(nick.size())));
}

QTEST_GUILESS_MAIN(TestBridge)
#include "tst_bridge.moc"
