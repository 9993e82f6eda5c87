// What the engine calls back, and on which thread: push outcomes, listener
// hooks, item events, video filters; gates that hold operations.

#include "EngineFixture.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <memory>
#include <thread>

using namespace castcore;

namespace {

mvplatform::CallLog g_itemEvents;

void onItemEvent(int event, int itemId, void *context)
{
    g_itemEvents.record("event", {std::to_string(event), std::to_string(itemId),
                                  context ? static_cast<const char *>(context) : "null"});
}

} // namespace

class TestEngineCallbacks : public QObject
{
    Q_OBJECT
private slots:
    void pushOutcomePerUrlArrivesOnEngineThread();
    void pushStateHeldByGate();
    void listenerHooksOnLibraryThread();
    void pushUrlAndOverlayRequests();
    void recordingEndReachesListenerOnce();
    void recordingEndOfAStoppedRecordingIsDropped();
    void recordingEndWhileARecordingRunsIsDropped();
    void itemEventReachesSceneCallback();
    void framesReachFilterOnVideoThread();
    void inlineCallbacksRunOnCaller();
    void gateHoldsOperationUntilOpened();
    void initFailureScripted();
    void nullEngineScripted();
};

void TestEngineCallbacks::pushOutcomePerUrlArrivesOnEngineThread()
{
    EngineFixture f;
    control().setPushOutcome("rtmp://127.0.0.1/a", false);
    control().setPushOutcome("rtmp://127.0.0.1/b", false);
    control().setPushOutcome("rtmp://127.0.0.1/d", true);
    World world = control().world();
    world.refusedPushUrls = {"rtmp://127.0.0.1/c"};
    control().setWorld(world);

    for (const char *url : {"rtmp://127.0.0.1/a", "rtmp://127.0.0.1/b", "rtmp://127.0.0.1/c",
                            "rtmp://127.0.0.1/d", ""})
        f.scene()->SetPushUrl(url, 1, 0);
    QVERIFY(control().waitIdle());

    const auto states = f.listener.calls.of("OnPushState");
    QCOMPARE(int(states.size()), 5);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"rtmp://127.0.0.1/a", "false"}, {"rtmp://127.0.0.1/b", "false"}, {"rtmp://127.0.0.1/c", "false"},
        {"rtmp://127.0.0.1/d", "true"},  {"", "false"}};
    for (size_t i = 0; i < states.size(); ++i) {
        QCOMPARE(states[i].args[0], expected[i].first);
        QCOMPARE(states[i].args[1], expected[i].second);
        QCOMPARE(states[i].args[2], std::string("0"));
        QVERIFY(states[i].thread != std::this_thread::get_id());
        QVERIFY(states[i].thread == f.ours()->libraryThread());
    }
    const auto set = control().log().last("SetPushUrl");
    QCOMPARE(set->args, (std::vector<std::string>{"", "1", "0"}));
    QCOMPARE(f.ours()->scene().status().pushUrl, std::string(""));
}

void TestEngineCallbacks::pushStateHeldByGate()
{
    EngineFixture f;
    control().gates().close("OnPushState");
    f.scene()->SetPushUrl("rtmp://127.0.0.1/x", 1, 0); // returns while the answer is held
    QVERIFY(control().gates().waitForWaiting("OnPushState", 1, 5000));
    QCOMPARE(f.listener.calls.count("OnPushState"), 0);
    control().gates().open("OnPushState");
    QVERIFY(control().waitIdle());
    QCOMPARE(f.listener.calls.count("OnPushState"), 1);
}

void TestEngineCallbacks::listenerHooksOnLibraryThread()
{
    EngineFixture f;
    CastCoreEngine *e = f.ours();
    e->fireVideoFps(25);
    e->fireAudioLevel(1, 77);
    e->fireKbps(998.5f);
    e->fireSystemPerformance(12, 34);
    e->fireFrameDropped(int64_t(1) << 40, 9, 1.5f);
    QVERIFY(e->waitIdle());
    const auto all = f.listener.calls.all();
    QCOMPARE(f.listener.calls.ops(), (std::vector<std::string>{"OnVideoFps", "OnAudioLevel", "OnKbps",
                                                               "OnSystemPerformance", "OnFrameDropped"}));
    for (const auto &c : all)
        QVERIFY(c.thread == e->libraryThread());
    QCOMPARE(all[0].args, (std::vector<std::string>{"25"}));
    QCOMPARE(all[1].args, (std::vector<std::string>{"1", "77"}));
    QCOMPARE(all[2].args, (std::vector<std::string>{"998.5"}));
    QCOMPARE(all[3].args, (std::vector<std::string>{"12", "34"}));
    QCOMPARE(all[4].args, (std::vector<std::string>{"1099511627776", "9", "1.5"}));
}

void TestEngineCallbacks::pushUrlAndOverlayRequests()
{
    EngineFixture f;
    QCOMPARE(f.ours()->requestPushUrl(), f.listener.pushUrl);
    QCOMPARE(f.listener.calls.last("GetPushUrl")->thread, f.ours()->libraryThread());
    // A buffer smaller than the address gets it cut, never overrun.
    QCOMPARE(f.ours()->requestPushUrl(8), f.listener.pushUrl.substr(0, 7));

    QImage image(64, 32, QImage::Format_ARGB32);
    QPainter painter(&image);
    f.ours()->firePaintOverlay(&painter);
    painter.end();
    const auto paint = f.listener.calls.last("OnPaintOverlay");
    QVERIFY(paint);
    QCOMPARE(paint->args, (std::vector<std::string>{"set"}));
    QCOMPARE(paint->thread, f.ours()->libraryThread());
}

void TestEngineCallbacks::recordingEndReachesListenerOnce()
{
    EngineFixture f;
    ILiveRecorder *rec = f.engine->GetRecorder();
    f.ours()->fireRecordingEnded(ENOSPC); // nothing was recording
    QVERIFY(f.ours()->waitIdle());
    QCOMPARE(f.listener.calls.count("OnRecordingEnded"), 0);

    control().bools().push("Start", true);
    QVERIFY(rec->Start("/data/录像/2026-1210-1700-00.mp4"));
    f.ours()->fireRecordingEnded(ENOSPC);
    QVERIFY(f.ours()->waitIdle());
    const auto ended = f.listener.calls.of("OnRecordingEnded");
    QCOMPARE(int(ended.size()), 1);
    QCOMPARE(ended[0].args, (std::vector<std::string>{"/data/录像/2026-1210-1700-00.mp4", "28"}));
    QCOMPARE(ended[0].thread, f.ours()->libraryThread());
    QVERIFY(!f.ours()->recorder().isRecording());

    // The same end reported again is not that recording's any more.
    f.ours()->fireRecordingEnded(ENOSPC);
    QVERIFY(f.ours()->waitIdle());
    QCOMPARE(f.listener.calls.count("OnRecordingEnded"), 1);
}

void TestEngineCallbacks::recordingEndOfAStoppedRecordingIsDropped()
{
    EngineFixture f;
    ILiveRecorder *rec = f.engine->GetRecorder();
    control().bools().push("Start", true);
    QVERIFY(rec->Start("/data/a.mp4"));
    control().gates().close("OnRecordingEnded");
    f.ours()->fireRecordingEnded(EIO);
    QVERIFY(control().gates().waitForWaiting("OnRecordingEnded", 1, 5000));
    rec->Stop(); // the owner stops it while the end is on its way
    control().gates().open("OnRecordingEnded");
    QVERIFY(f.ours()->waitIdle());
    QCOMPARE(f.listener.calls.count("OnRecordingEnded"), 0);
}

void TestEngineCallbacks::recordingEndWhileARecordingRunsIsDropped()
{
    EngineFixture f;
    QCOMPARE(f.init(320, 180), 0);
    ILiveRecorder *rec = f.engine->GetRecorder();
    const QString file = f.env.workPath() + QStringLiteral("/running.mp4");
    QVERIFY(rec->Start(file.toUtf8().constData()));
    QVERIFY(f.ours()->media().recording());
    // An end that arrives while the engine records is an older recording's.
    f.ours()->fireRecordingEnded(ENOSPC);
    QVERIFY(f.ours()->waitIdle());
    QCOMPARE(f.listener.calls.count("OnRecordingEnded"), 0);
    QVERIFY(f.ours()->recorder().isRecording());
    rec->Stop();
}

void TestEngineCallbacks::itemEventReachesSceneCallback()
{
    EngineFixture f;
    g_itemEvents.clear();
    QVERIFY(!f.ours()->fireItemEvent(3, 1)); // nothing set yet

    static char context[] = "facade";
    SceneCallbacks cb;
    cb.size = 80; // the record size as the facade states it
    cb.onItemEvent = &onItemEvent;
    f.scene()->SetCallbacks(&cb, context);
    QCOMPARE(f.ours()->scene().status().callbacks.size, 80);
    QVERIFY(f.ours()->fireItemEvent(3, 4));
    QVERIFY(f.ours()->waitIdle());
    const auto ev = g_itemEvents.last("event");
    QVERIFY(ev);
    QCOMPARE(ev->args, (std::vector<std::string>{"3", "4", "facade"}));
    QCOMPARE(ev->thread, f.ours()->libraryThread());

    f.scene()->SetCallbacks(nullptr, nullptr);
    QVERIFY(!f.ours()->fireItemEvent(3, 4));
}

void TestEngineCallbacks::framesReachFilterOnVideoThread()
{
    RecordingFilter filter; // outlives the engine that uses it
    EngineFixture f;
    const int cam = f.scene()->OpenCamera(u"USB2.0 HD Camera", 0, 0, 0, 0);
    QVERIFY(!f.ours()->deliverFrame(cam, 1, 2, 3)); // no filter: unfiltered
    QVERIFY(f.scene()->SetItemVideoFilter(cam, &filter));
    PicturePlane out;
    out.frame[0] = 99;
    QVERIFY(f.ours()->deliverFrame(cam, 7, 8, 9, &out));
    const auto call = filter.calls.last("Filter");
    QCOMPARE(call->args, (std::vector<std::string>{std::to_string(cam), "7", "8", "9"}));
    QCOMPARE(call->thread, f.ours()->videoThread());
    QVERIFY(call->thread != f.ours()->libraryThread());
    QCOMPARE(out.format, 4);
    QCOMPARE(out.frame[0], std::uintptr_t(99));
    filter.answer = false;
    QVERIFY(!f.ours()->deliverFrame(cam, 7, 8, 9));

    QVERIFY(f.ours()->fireFilterFree(cam, 5, 6));
    QVERIFY(f.ours()->fireFilterDeviceLost(cam, 11));
    QCOMPARE(filter.calls.last("Free")->args, (std::vector<std::string>{"5", "6"}));
    QCOMPARE(filter.calls.last("DeviceLost")->thread, f.ours()->videoThread());

    // Detached: frames no longer reach the filter.
    QVERIFY(f.scene()->SetItemVideoFilter(cam, nullptr));
    const int before = filter.calls.count("Filter");
    QVERIFY(!f.ours()->deliverFrame(cam, 1, 2, 3));
    QCOMPARE(filter.calls.count("Filter"), before);
    QVERIFY(!f.scene()->SetItemVideoFilter(999, &filter));
}

void TestEngineCallbacks::inlineCallbacksRunOnCaller()
{
    EngineFixture f;
    control().setInlineCallbacks(true);
    control().setPushOutcome("rtmp://127.0.0.1/x", true);
    f.scene()->SetPushUrl("rtmp://127.0.0.1/x", 1, 0);
    // Delivered before SetPushUrl returned, on this thread.
    const auto state = f.listener.calls.last("OnPushState");
    QVERIFY(state);
    QCOMPARE(state->thread, std::this_thread::get_id());
    f.ours()->fireVideoFps(30);
    QCOMPARE(f.listener.calls.last("OnVideoFps")->thread, std::this_thread::get_id());
}

void TestEngineCallbacks::gateHoldsOperationUntilOpened()
{
    EngineFixture f;
    const std::string pic = f.picture(QStringLiteral("p.png"), 8, 8);
    control().gates().close("CreateItem");
    std::atomic<int> id{-100};
    std::thread worker([&] { id = f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100); });
    QVERIFY(control().gates().waitForWaiting("CreateItem", 1, 5000));
    // The call is logged on arrival; other operations are not held.
    QCOMPARE(control().log().count("CreateItem"), 1);
    QCOMPARE(f.scene()->GetItemZ(1), -1);
    QCOMPARE(id.load(), -100);
    control().gates().open("CreateItem");
    worker.join();
    QCOMPARE(id.load(), 1);
    QCOMPARE(control().log().last("CreateItem")->args,
             (std::vector<std::string>{pic, "0", "0", "100", "100"}));
}

void TestEngineCallbacks::initFailureScripted()
{
    EngineFixture f;
    control().ints().push("Init", -3);
    QCOMPARE(f.init(), -3);
    QVERIFY(!f.ours()->scene().status().initialised);
    QCOMPARE(f.init(1280, 720), 0);
    const auto s = f.ours()->scene().status();
    QVERIFY(s.initialised);
    QCOMPARE(s.window, WId(0x1234));
    QCOMPARE(control().log().last("Init")->args,
             (std::vector<std::string>{"-1", "1280", "720", "1000000", "25", "1", "0", "1", "4660"}));
    LiveVideoConfig cfg;
    QVERIFY(f.scene()->GetVideoConfig(&cfg));
    QCOMPARE(cfg.bitRate, 1000000);
    QCOMPARE(f.ours()->canvasWidth(), 1280);
    QVERIFY(f.scene()->Init(nullptr, 0) < 0);
}

void TestEngineCallbacks::nullEngineScripted()
{
    castcore::control().reset();
    RecordingListener listener;
    control().bools().push("CreateLiveInstance", false);
    QVERIFY(CreateLiveInstance(&listener, 3, 0, 0, 0, 2) == nullptr);
    std::unique_ptr<ILiveEngine> engine(CreateLiveInstance(&listener, 3, 0, 0, 0, 2));
    QVERIFY(engine);
    QCOMPARE(control().engine(), static_cast<CastCoreEngine *>(engine.get()));
    QCOMPARE(control().log().last("CreateLiveInstance")->args,
             (std::vector<std::string>{"set", "3", "0", "0", "0", "2"}));
    engine.reset();
    QVERIFY(control().engine() == nullptr);
}

std::unique_ptr<QObject> makeEngineCallbacksTest()
{
    return std::make_unique<TestEngineCallbacks>();
}

#include "tst_enginecallbacks.moc"
