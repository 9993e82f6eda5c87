// Opening and closing the broadcast over the room's live lines, recording
// beside it, and what the engine's push answers and the service's events do
// to the session.

#include "SessionFixture.h"

#include <QDir>
#include <QStandardPaths>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace sessiontest;

namespace {

const std::string kLine1 = "rtmp://127.0.0.1:1935/live/20001?line=1";
const std::string kLine2 = "rtmp://127.0.0.1:1935/live/20001?line=2";
const std::string kLine3 = "rtmp://127.0.0.1:1935/live/20001?line=3";

// Where the live panel puts a recording: the videos folder of the settings'
// default, named by date and time.
// The test's own folder: never the user's videos, where every run would
// leave a file (the engine never writes over one).
std::string recordingPath(const SessionFixture &f)
{
    const QString folder = f.env.workPath() + QStringLiteral("/摩瓦视频");
    QDir().mkpath(folder);
    return (folder + QStringLiteral("/2026-1210-1700-00.mp4")).toStdString();
}

QStringList pushUrls()
{
    QStringList out;
    for (const mvplatform::CallRecord &r : castcore::control().log().of("SetPushUrl"))
        out << QString::fromStdString(r.args.at(0));
    return out;
}

int authCount(const char *op)
{
    return authport::control().log().count(op);
}

// The next call of `op` answers `code`; a failure's text becomes the
// service's last error text.
void scriptAnswer(const QString &op, int code, const QString &text)
{
    authport::Outcome o;
    o.code = code;
    o.text = text.toStdString();
    authport::control().script(op.toStdString(), o);
}

} // namespace

class LiveSessionTest : public QObject
{
    Q_OBJECT

private slots:
    void openLiveNeedsLoginAndAnIdleSession();
    void openLiveConnectsThenRecords();
    void stopLiveClosesAndStopsRecording();
    void roomAlreadyLiveIsPushedToItsAddress();
    void pushAddressFailures_data();
    void pushAddressFailures();
    void everyRefusedLineEndsWith212();
    void secondOpenGivesBackTheOldLines();
    void openLiveFailures_data();
    void openLiveFailures();
    void confirmResults_data();
    void confirmResults();
    void failedCloseOfALiveRoomStays210();
    void refusedOpenLiveLeavesTheSessionIdle();
    void pushAnswerAfterStopOpensNothing();
    void signedInElsewhereClosesTheRoomAndLogsOut();
    void roomClosedByTheServer_data();
    void roomClosedByTheServer();
    void pushUrlIsCopiedWithinTheBuffer();
    void accountQueries();
};

void LiveSessionTest::openLiveNeedsLoginAndAnIdleSession()
{
    SessionFixture f;
    QVERIFY(!f.proxy->openLive(recordingPath(f)));
    f.settle();
    QVERIFY(!f.proxy->isLiving());
    QCOMPARE(authCount("IsRoomLive"), 0);

    QVERIFY(f.login());
    castcore::control().gates().close("OnPushState");
    QVERIFY(f.proxy->openLive(std::string()));
    QVERIFY(f.proxy->isLiving());
    QVERIFY(!f.proxy->openLive(std::string())); // opening already
    castcore::control().gates().open("OnPushState");
    QVERIFY(f.waitFor("liveStatus", 1));
    QVERIFY(!f.proxy->openLive(std::string())); // live
    f.settle();
    QCOMPARE(authCount("IsRoomLive"), 1);
}

void LiveSessionTest::openLiveConnectsThenRecords()
{
    SessionFixture f;
    QVERIFY(f.login());
    castcore::control().gates().close("OnPushState");
    const std::string path = recordingPath(f);
    QVERIFY(f.proxy->openLive(path));
    QTRY_COMPARE(pushUrls(), QStringList{QString::fromStdString(kLine1)});
    // Nothing records before the engine says the push connected.
    QCOMPARE(castcore::control().log().count("Start"), 0);
    QVERIFY(!f.proxy->isRecording());
    castcore::control().gates().open("OnPushState");
    QVERIFY(f.waitFor("liveStatus", 1));
    QCOMPARE(f.recorder.last("liveStatus"), (QVariantList{QString(), 0}));
    QTRY_VERIFY(f.proxy->isRecording());
    QCOMPARE(f.engine()->recorder().path(), path);
    QCOMPARE(f.proxy->recordingPath(), path);
    QCOMPARE(f.callsOf("SetLive"), QStringList{"SetLive(true)"});
    QCOMPARE(authport::control().log().last("ConfirmLiveLine")->args.at(0), kLine1);
    QCOMPARE(authport::control().outstandingLineLists(), 0);
    QVERIFY(f.proxy->isLiving());
    QCOMPARE(f.callsOf("SetPushUrl"), QStringList{QString::fromStdString("SetPushUrl(" + kLine1 + ",1,0)")});
}

void LiveSessionTest::stopLiveClosesAndStopsRecording()
{
    SessionFixture f;
    QVERIFY(f.login());
    QVERIFY(f.proxy->openLive(recordingPath(f)));
    QVERIFY(f.waitFor("liveStatus", 1));
    QTRY_VERIFY(f.proxy->isRecording());
    f.proxy->stopLive(false);
    f.settle();
    QCOMPARE(f.recorder.count("liveStatus"), 1);
    QVERIFY(!f.proxy->isLiving());
    QVERIFY(!f.proxy->isRecording());
    QVERIFY(!f.engine()->recorder().isRecording());
    QCOMPARE(f.proxy->recordingPath(), std::string());
    QCOMPARE(authCount("CloseLive"), 1);

    QVERIFY(f.proxy->openLive(std::string()));
    QVERIFY(f.waitFor("liveStatus", 2));
    f.proxy->stopLive(true);
    QVERIFY(f.waitFor("liveStatus", 3));
    QCOMPARE(f.recorder.last("liveStatus"), (QVariantList{QString(), 326}));
    // An empty path broadcast without recording.
    QCOMPARE(castcore::control().log().count("Start"), 1);
}

void LiveSessionTest::roomAlreadyLiveIsPushedToItsAddress()
{
    SessionFixture f;
    QVERIFY(f.login());
    authport::control().scriptRoomLive(0, true);
    authport::control().scriptPushAddress(0, "rtmp://127.0.0.1:1935/live/current");
    QVERIFY(f.proxy->openLive(std::string()));
    QVERIFY(f.waitFor("liveStatus", 1));
    QCOMPARE(f.recorder.last("liveStatus"), (QVariantList{QString(), 0}));
    QCOMPARE(pushUrls(), QStringList{"rtmp://127.0.0.1:1935/live/current"});
    QCOMPARE(authCount("GetLiveLines"), 0);
    QCOMPARE(authCount("ConfirmLiveLine"), 0);
    QTRY_COMPARE(f.callsOf("SetLive"), QStringList{"SetLive(true)"});
}

void LiveSessionTest::pushAddressFailures_data()
{
    QTest::addColumn<int>("scripted");
    QTest::addColumn<int>("code");
    QTest::newRow("empty address") << 0 << 210;
    QTest::newRow("service failure") << 213 << 213;
}

void LiveSessionTest::pushAddressFailures()
{
    QFETCH(int, scripted);
    QFETCH(int, code);
    SessionFixture f;
    QVERIFY(f.login());
    authport::control().scriptRoomLive(0, true);
    authport::control().scriptPushAddress(scripted, std::string());
    QVERIFY(f.proxy->openLive(std::string()));
    QVERIFY(f.waitFor("liveStatus", 1));
    QCOMPARE(f.recorder.last("liveStatus"), (QVariantList{QString(), code}));
    f.settle();
    // No address, no push.
    QCOMPARE(pushUrls(), QStringList());
    QVERIFY(!f.proxy->isLiving());
}

void LiveSessionTest::everyRefusedLineEndsWith212()
{
    SessionFixture f;
    QVERIFY(f.login());
    for (const std::string &url : {kLine1, kLine2, kLine3})
        castcore::control().setPushOutcome(url, false);
    QVERIFY(f.proxy->openLive(recordingPath(f)));
    QVERIFY(f.waitFor("liveStatus", 1));
    QCOMPARE(f.recorder.last("liveStatus"), (QVariantList{QString(), 212}));
    f.settle();
    QCOMPARE(f.recorder.count("liveStatus"), 1);
    QCOMPARE(pushUrls(), (QStringList{QString::fromStdString(kLine1), QString::fromStdString(kLine2),
                                      QString::fromStdString(kLine3)}));
    QVERIFY(!f.proxy->isLiving());
    QVERIFY(!f.proxy->isRecording());
    QCOMPARE(castcore::control().log().count("Start"), 0);
}

void LiveSessionTest::secondOpenGivesBackTheOldLines()
{
    SessionFixture f;
    QVERIFY(f.login());
    castcore::control().setPushOutcome(kLine1, false);
    castcore::control().setPushOutcome(kLine2, false);
    castcore::control().setPushOutcome(kLine3, false);
    QVERIFY(f.proxy->openLive(std::string()));
    QVERIFY(f.waitFor("liveStatus", 1));
    f.settle();
    QCOMPARE(authport::control().outstandingLineLists(), 1);
    castcore::control().setPushOutcome(kLine1, true);
    QVERIFY(f.proxy->openLive(std::string()));
    QVERIFY(f.waitFor("liveStatus", 2));
    QCOMPARE(f.recorder.last("liveStatus"), (QVariantList{QString(), 0}));
    QCOMPARE(pushUrls().mid(3), QStringList{QString::fromStdString(kLine1)});
    QCOMPARE(authport::control().outstandingLineLists(), 0);
    QCOMPARE(authCount("GetLiveLines"), 2);
}

void LiveSessionTest::openLiveFailures_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<int>("scripted");
    QTest::addColumn<QString>("serviceText");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    for (int c : {214, 215, 216, 217, 220, 221, 222, 223, 225, 233})
        QTest::newRow(qPrintable(QStringLiteral("room %1").arg(c))) << "IsRoomLive" << c << "" << c << "";
    QTest::newRow("room 226") << "IsRoomLive" << 226 << "房间审核中" << 226 << "房间审核中";
    QTest::newRow("lines 215") << "GetLiveLines" << 215 << "" << 215 << "";
    QTest::newRow("no lines") << "GetLiveLines" << 0 << "" << 212 << "";
}

void LiveSessionTest::openLiveFailures()
{
    QFETCH(QString, op);
    QFETCH(int, scripted);
    QFETCH(QString, serviceText);
    QFETCH(int, code);
    QFETCH(QString, text);
    SessionFixture f;
    QVERIFY(f.login());
    scriptAnswer(op, scripted, serviceText);
    QVERIFY(f.proxy->openLive(recordingPath(f)));
    QVERIFY(f.waitFor("liveStatus", 1));
    QCOMPARE(f.recorder.last("liveStatus"), (QVariantList{text, code}));
    f.settle();
    QVERIFY(!f.proxy->isLiving());
    QVERIFY(f.proxy->isLoggedIn());
    QCOMPARE(pushUrls(), QStringList());
}

void LiveSessionTest::confirmResults_data()
{
    QTest::addColumn<int>("scripted");
    QTest::addColumn<QString>("serviceText");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("218") << 218 << "" << 218 << "";
    QTest::newRow("226 with its text") << 226 << "直播间维护中" << 226 << "直播间维护中";
    QTest::newRow("other") << 500 << "" << 426 << "";
    QTest::newRow("negative") << -7 << "" << 426 << "";
}

void LiveSessionTest::confirmResults()
{
    QFETCH(int, scripted);
    QFETCH(QString, serviceText);
    QFETCH(int, code);
    QFETCH(QString, text);
    SessionFixture f;
    QVERIFY(f.login());
    scriptAnswer(QStringLiteral("ConfirmLiveLine"), scripted, serviceText);
    QSignalSpy closed(f.proxy.get(), SIGNAL(CloseLive()));
    QVERIFY(f.proxy->openLive(recordingPath(f)));
    QVERIFY(f.waitFor("liveStatus", 1));
    QCOMPARE(f.recorder.last("liveStatus"), (QVariantList{text, code}));
    f.settle();
    QCOMPARE(closed.size(), 1);
    QVERIFY(!f.proxy->isLiving());
    QCOMPARE(castcore::control().log().count("Start"), 0);
    QCOMPARE(authport::control().outstandingLineLists(), 0);
}

void LiveSessionTest::failedCloseOfALiveRoomStays210()
{
    SessionFixture f;
    QVERIFY(f.login());
    authport::control().scriptRoomLive(0, true);
    authport::control().scriptPushAddress(0, "rtmp://127.0.0.1:1935/live/stale");
    castcore::control().setPushOutcome("rtmp://127.0.0.1:1935/live/stale", false);
    authport::control().scriptCode("CloseLive", 500);
    QVERIFY(f.proxy->openLive(std::string()));
    QVERIFY(f.waitFor("liveStatus", 1));
    QCOMPARE(f.recorder.last("liveStatus"), (QVariantList{QString(), 210}));
    QCOMPARE(authCount("GetLiveLines"), 0);

    // A close that answers 219 (closed already) goes on with the lines.
    authport::control().scriptRoomLive(0, true);
    authport::control().scriptPushAddress(0, "rtmp://127.0.0.1:1935/live/stale");
    authport::control().scriptCode("CloseLive", 219);
    QVERIFY(f.proxy->openLive(std::string()));
    QVERIFY(f.waitFor("liveStatus", 2));
    QCOMPARE(f.recorder.last("liveStatus"), (QVariantList{QString(), 0}));
    QCOMPARE(pushUrls().last(), QString::fromStdString(kLine1));
    QCOMPARE(authport::control().log().last("ConfirmLiveLine")->args.at(0), kLine1);
}

void LiveSessionTest::refusedOpenLiveLeavesTheSessionIdle()
{
    SessionFixture f;
    QVERIFY(f.login());
    authport::control().gates().close("RequestQrCode");
    QVERIFY(f.proxy->requestQrCode());
    QVERIFY(authport::control().gates().waitForWaiting("RequestQrCode", 1, 5000));
    QVERIFY(!f.proxy->openLive(recordingPath(f)));
    QVERIFY(!f.proxy->isLiving());
    authport::control().gates().open("RequestQrCode");
    f.settle();
    // The next try is not refused by a busy flag left behind.
    QVERIFY(f.proxy->openLive(std::string()));
    QVERIFY(f.waitFor("liveStatus", 1));
    QCOMPARE(f.recorder.last("liveStatus").at(1).toInt(), 0);
}

void LiveSessionTest::pushAnswerAfterStopOpensNothing()
{
    SessionFixture f;
    QVERIFY(f.login());
    castcore::control().gates().close("OnPushState");
    QVERIFY(f.proxy->openLive(recordingPath(f)));
    QTRY_COMPARE(pushUrls().size(), 1);
    f.proxy->stopLive(false);
    castcore::control().gates().open("OnPushState");
    f.settle();
    QCOMPARE(authCount("ConfirmLiveLine"), 0);
    QCOMPARE(f.recorder.count("liveStatus"), 0);
    QCOMPARE(f.callsOf("SetLive"), QStringList{"SetLive(false)"});
    QVERIFY(!f.proxy->isRecording());
}

void LiveSessionTest::signedInElsewhereClosesTheRoomAndLogsOut()
{
    SessionFixture f;
    QVERIFY(f.login());
    QVERIFY(f.proxy->openLive(recordingPath(f)));
    QVERIFY(f.waitFor("liveStatus", 1));
    QTRY_VERIFY(f.proxy->isRecording());
    const int closes = authCount("CloseLive");
    authport::control().fireNetEvent(211);
    QVERIFY(f.waitFor("loginStatus", 1));
    QCOMPARE(f.recorder.last("loginStatus"), QVariantList{211});
    QCOMPARE(f.recorder.last("liveStatus"), (QVariantList{QString(), 211}));
    QCOMPARE(authCount("CloseLive"), closes + 1);
    QTRY_VERIFY(!f.proxy->isLiving());
    QVERIFY(!f.proxy->isLoggedIn());
    QVERIFY(!f.proxy->isRecording());

    // Other events are only passed on.
    authport::control().fireNetEvent(213);
    QVERIFY(f.waitFor("loginStatus", 2));
    QCOMPARE(f.recorder.last("loginStatus"), QVariantList{213});
    QCOMPARE(f.recorder.count("liveStatus"), 2);
    QVERIFY(!f.recorder.offGuiThread());
}

void LiveSessionTest::roomClosedByTheServer_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("code");
    QTest::newRow("by the broadcaster") << 0 << 326;
    QTest::newRow("no viewers") << 1 << 327;
    QTest::newRow("banned") << 2 << 328;
    QTest::newRow("unknown state") << 9 << 219;
}

void LiveSessionTest::roomClosedByTheServer()
{
    QFETCH(int, state);
    QFETCH(int, code);
    SessionFixture f;
    QVERIFY(f.login());
    QVERIFY(f.proxy->openLive(recordingPath(f)));
    QVERIFY(f.waitFor("liveStatus", 1));
    authport::control().fireLiveClosed(state);
    QVERIFY(f.waitFor("liveStatus", 2));
    QCOMPARE(f.recorder.last("liveStatus"), (QVariantList{QString(), code}));
    QTRY_VERIFY(!f.proxy->isLiving());
    QVERIFY(!f.proxy->isRecording());
    QVERIFY(f.proxy->isLoggedIn());
}

void LiveSessionTest::pushUrlIsCopiedWithinTheBuffer()
{
    SessionFixture f;
    const std::string url = "rtmp://127.0.0.1:1935/live/" + std::string(200, 'a');
    authport::control().scriptPushAddress(0, url, authport::Repeat::Always);
    QCOMPARE(f.engine()->requestPushUrl(1024), url);
    QCOMPARE(f.engine()->requestPushUrl(int(url.size()) + 1), url);
    // One byte short of the terminator: nothing rather than a cut address.
    QCOMPARE(f.engine()->requestPushUrl(int(url.size())), std::string());
    QCOMPARE(f.engine()->requestPushUrl(16), std::string());
}

void LiveSessionTest::accountQueries()
{
    SessionFixture f;
    QCOMPARE(f.proxy->userId(), -1);
    QCOMPARE(f.proxy->roomId(), -1);
    std::string name = "keep", token = "keep";
    f.proxy->getLoginUser(name, token);
    QCOMPARE(name, std::string("keep"));
    QVERIFY(f.login());
    QCOMPARE(f.proxy->userId(), 10001);
    QCOMPARE(f.proxy->roomId(), 20001);
    QVERIFY(f.proxy->isAnchor());
    f.proxy->getLoginUser(name, token);
    QCOMPARE(name, kAnchorNick);
    QCOMPARE(token, kAnchorToken);

    authport::World w = authport::control().world();
    w.accounts.front().anchor = false;
    authport::control().setWorld(w);
    QVERIFY(f.login());
    QVERIFY(!f.proxy->isAnchor());
    QCOMPARE(f.proxy->roomId(), -1);
}

std::unique_ptr<QObject> makeLiveSessionTest()
{
    return std::make_unique<LiveSessionTest>();
}

#include "tst_livesession.moc"
