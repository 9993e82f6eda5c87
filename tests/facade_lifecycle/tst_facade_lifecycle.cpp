// The facade's life: scene start, the saved scene restored, resolution
// changes and teardown, on the platform layers.

#include "CSttThreadPool.h"
#include "CameraSettings.h"
#include "FacadeFixture.h"
#include "SessionFixture.h"
#include "UITaskQueueWnd.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using testsupport::FacadeFixture;
using testsupport::LogCapture;

class FacadeLifecycleTest : public QObject
{
    Q_OBJECT

private slots:
    void initStartsTheSceneInOrder_data();
    void initStartsTheSceneInOrder();
    void failedSceneStartStartsNothingElse();
    void restoreKeepsOneCameraAndDropsWhatCannotOpen();
    void savedSceneSurvivesAStopAndANewFacade();
    void teardownWhileLiveAndRecordingStopsEverythingInOrder();
    void teardownWhenIdleSendsNoStop();
    void resolutionChangeScalesItems_data();
    void resolutionChangeScalesItems();
    void resolutionChangeRefusedWhileLiveOrRecording_data();
    void resolutionChangeRefusedWhileLiveOrRecording();
    void videoConfigIsReadBack();
    void staticTextsComeFromTheOneTable();
    void analyticsCarryNoAccountWhileLoggedOut();
    void analyticsCarryTheSignedInAccount();
    void oneFacadeForTheProcess();
};

void FacadeLifecycleTest::initStartsTheSceneInOrder_data()
{
    QTest::addColumn<int>("quality");
    QTest::addColumn<QString>("init");
    QTest::newRow("normal") << 0 << "Init(-1,1280,720,800000,20,1,0,1,20816)";
    QTest::newRow("high") << 1 << "Init(-1,1280,720,1000000,25,1,0,1,20816)";
    QTest::newRow("super") << 2 << "Init(-1,1280,720,1300000,25,1,0,1,20816)";
}

void FacadeLifecycleTest::initStartsTheSceneInOrder()
{
    QFETCH(int, quality);
    QFETCH(QString, init);
    FacadeFixture f;
    const ClarityPreset &row = kClarityPresets[quality];
    LiveParams p = FacadeFixture::params(quality, row.width, row.height, row.bitrate, row.frameRate);
    const int logStart = LogCapture::lines().size();

    QCOMPARE(f.proxy->init(&p), 0);

    const std::vector<std::string> expectedOps = {"SetPluginDir", "OpenFile", "Set", "Set", "Set", "Set", "Set",
                                                  "Init", "EnableFeature", "Setup", "SetCallbacks"};
    QCOMPARE(f.ops({"SetPluginDir", "OpenFile", "Set", "Init", "EnableFeature", "Setup", "SetCallbacks"}),
             expectedOps);
    QCOMPARE(f.callsOf("SetPluginDir"), QStringList{"SetPluginDir(plugins)"});
    const QString scenePath =
        QStandardPaths::writableLocation(QStandardPaths::DataLocation) + QStringLiteral("/sceneList.zdb");
    QVERIFY(scenePath.startsWith(f.env.dataHome()));
    QCOMPARE(f.callsOf("OpenFile"), QStringList{"OpenFile(scene," + scenePath + ")"});
    QCOMPARE(f.callsOf("Set"), (QStringList{"Set(videodevice,MorvaShowBroadcaster)",
                                            "Set(MorvaShowBroadcasterVersion,2.3.0.0)", "Set(hasWatermark,1)",
                                            "Set(d_cate,3)", "Set(d_client,3)"}));
    QCOMPARE(f.callsOf("Init"), QStringList{init});
    QCOMPARE(f.callsOf("EnableFeature"), QStringList{"EnableFeature(1)"});
    QCOMPARE(f.callsOf("Setup"), QStringList{"Setup(0)"});

    const castcore::CastCoreScene::Status status = f.engine()->scene().status();
    QVERIFY(status.hasCallbacks);
    QCOMPARE(status.callbacks.size, 80);
    QVERIFY(status.callbacks.onItemEvent != nullptr);
    QCOMPARE(status.callbackContext, static_cast<void *>(f.proxy.get()));

    QVERIFY(f.proxy->uiTaskQueue() && f.proxy->uiTaskQueue()->TaskQueue());
    QVERIFY(f.proxy->threadPool());
    QCOMPARE(f.proxy->threadPool()->MaxCount(), 2);
    QCOMPARE(f.proxy->canvasWidth(), 1280);
    QCOMPARE(f.proxy->previewHeight(), 450);
    QCOMPARE(f.proxy->qualityIndex(), quality);

    const QStringList lines = LogCapture::lines().mid(logStart);
    QVERIFY(lines.size() >= 3);
    QCOMPARE(lines.at(0), QString());
    QVERIFY(lines.at(1).endsWith("{live init.}"));
    QVERIFY(lines.last().endsWith("{live init success.}"));
}

void FacadeLifecycleTest::failedSceneStartStartsNothingElse()
{
    FacadeFixture f;
    castcore::control().ints().push("Init", -7);
    QCOMPARE(f.init(), -7);
    QVERIFY(LogCapture::contains("live encoder init fail: -7."));
    QVERIFY(!LogCapture::contains("live init success."));
    QCOMPARE(f.ops({"EnableFeature", "Setup", "Count", "AddCustomCapture", "SetCallbacks"}),
             std::vector<std::string>{});
    QVERIFY(!f.proxy->uiTaskQueue());
    QVERIFY(!f.proxy->threadPool());
    // No connection was made: an emitted signal reaches no slot.
    QSignalSpy login(f.proxy.get(), &LiveProxy::LoginResult);
    emit f.proxy->OpenRoom(QStringLiteral("rtmp://127.0.0.1/x"));
    QCoreApplication::processEvents();
    QCOMPARE(f.callsOf("SetPushUrl"), QStringList{});
}

void FacadeLifecycleTest::restoreKeepsOneCameraAndDropsWhatCannotOpen()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const std::string gone = f.picture("gone.png", 40, 30);
    const int kept = f.proxy->addImage(f.picture("kept.png", 64, 48), 255, 3);
    const int lost = f.proxy->addImage(gone, 255, 3);
    const int cam1 = f.proxy->openCamera(f.cameraName(), 3);
    const int cam2 = f.proxy->openCamera(f.cameraName(), 3);
    QVERIFY(kept > 0 && lost > 0 && cam1 > 0 && cam2 > 0);
    const int keptZ = f.proxy->getItemZorder(kept);
    f.restart();
    QVERIFY(QFile::remove(QString::fromStdString(gone)));
    const int logStart = FacadeFixture::logSize();

    QCOMPARE(f.init(), 0);

    const QString keptName = QStringLiteral("image_%1").arg(kept);
    const QString lostName = QStringLiteral("image_%1").arg(lost);
    const QString cam1Name = QStringLiteral("camera_%1").arg(cam1);
    const QString cam2Name = QStringLiteral("camera_%1").arg(cam2);
    const QStringList log = FacadeFixture::logSince(logStart);
    QVERIFY(log.contains("remove item: " + lostName + " because open fail."));
    QVERIFY(log.contains("remove item: " + cam2Name + " because can have only one camera."));
    const std::vector<int> ids = f.proxy->itemIds();
    QCOMPARE(int(ids.size()), 2);
    QVERIFY(log.contains(QStringLiteral("add item: %1, id: %2, z(%3).").arg(keptName).arg(ids[0]).arg(keptZ)));
    QVERIFY(log.contains(QStringLiteral("add item: %1, id: %2, z(50).").arg(cam1Name).arg(ids[1])));
    QCOMPARE(f.proxy->getItemZorder(ids[1]), 50);
    QCOMPARE(f.proxy->itemType(ids[1]), int(SceneItemCamera));
    // Both removals left the saved scene.
    QCOMPARE(f.engine()->store().Count(), 2);
    QVERIFY(f.engine()->store().IsNameFree(cam2Name.toUtf8().constData()));
    QVERIFY(f.engine()->store().IsNameFree(lostName.toUtf8().constData()));
}

void FacadeLifecycleTest::savedSceneSurvivesAStopAndANewFacade()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int picture = f.proxy->addImage(f.picture("p.png", 200, 100), 255, 3);
    f.proxy->setItemRect(picture, 30, 40, 300, 150);
    testsupport::TextRecord text(u"你好");
    const int effective = f.proxy->addEffectiveText(f.picture("bg.png", 400, 60), QRect(77, 30, 320, 30), &text.info);
    QVERIFY(picture > 0 && effective > 0);
    const int pictureZ = f.proxy->getItemZorder(picture);

    f.restart();
    const QString scenePath =
        QStandardPaths::writableLocation(QStandardPaths::DataLocation) + QStringLiteral("/sceneList.zdb");
    QVERIFY(QFile::exists(scenePath));
    QCOMPARE(f.init(), 0);

    const std::vector<int> ids = f.proxy->itemIds();
    QCOMPARE(int(ids.size()), 2);
    int x = 0, y = 0, w = 0, h = 0;
    f.proxy->getItemRect(ids[0], &x, &y, &w, &h);
    QCOMPARE(QRect(x, y, w, h), QRect(30, 40, 300, 150));
    QCOMPARE(f.proxy->getItemZorder(ids[0]), pictureZ);
    bool named = false;
    QCOMPARE(f.proxy->storedNameOf(ids[0], &named), QStringLiteral("image_%1").arg(picture).toStdString());
    EffectiveTxtItem *pair = nullptr;
    QVERIFY(f.proxy->findEffectiveText(ids[1], &pair));
    QCOMPARE(pair->textArea(), QRect(77, 30, 320, 30));
    QCOMPARE(pair->pictureRect(), QRect(0, 0, 400, 60));
    QCOMPARE(f.proxy->itemType(ids[1]), int(SceneItemEffectiveText));
    std::string source;
    f.proxy->getEffectivePictureSource(ids[1], &source);
    QCOMPARE(QString::fromStdString(source), f.env.workPath() + "/bg.png");
}

void FacadeLifecycleTest::teardownWhileLiveAndRecordingStopsEverythingInOrder()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    f.proxy->setLoggedIn(true);
    QVERIFY(f.proxy->startRecording((f.env.workPath() + QStringLiteral("/live.mp4")).toStdString()));
    f.proxy->setLiveBusy(true);
    f.calls().clear();
    authport::control().log().clear();
    QSignalSpy login(f.proxy.get(), &LiveProxy::LoginResult);

    f.proxy->destroy();

    QCOMPARE(f.ops({"Stop", "SetLive", "Shutdown", "Start"}), (std::vector<std::string>{"Stop", "SetLive", "Shutdown"}));
    QCOMPARE(f.callsOf("SetLive"), QStringList{"SetLive(false)"});
    QCOMPARE(authport::control().log().count("CloseLive"), 1);
    QVERIFY(!f.proxy->isLiving());
    QVERIFY(!f.proxy->isRecording());
    QVERIFY(!f.proxy->isLoggedIn());
    QCOMPARE(login.count(), 1);
    QCOMPARE(login.at(0).at(0).toBool(), false);
    QCOMPARE(FacadeFixture::logSince(FacadeFixture::logSize() - 1), QStringList{"live destroy."});
}

void FacadeLifecycleTest::teardownWhenIdleSendsNoStop()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    f.calls().clear();
    authport::control().log().clear();
    f.proxy->destroy();
    QCOMPARE(f.ops({"Stop", "SetLive", "Shutdown"}), std::vector<std::string>{"Shutdown"});
    QCOMPARE(authport::control().log().count("CloseLive"), 0);
}

void FacadeLifecycleTest::resolutionChangeScalesItems_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QRect>("picture");
    QTest::addColumn<QRect>("camera");
    QTest::newRow("same size") << 1280 << 720 << QRect(33, 21, 101, 51) << QRect(0, 0, 640, 480);
    QTest::newRow("twice as wide") << 2560 << 720 << QRect(66, 21, 202, 51) << QRect(0, 0, 1280, 480);
    QTest::newRow("smaller") << 960 << 540 << QRect(24, 15, 75, 38) << QRect(0, 0, 480, 360);
}

void FacadeLifecycleTest::resolutionChangeScalesItems()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QRect, picture);
    QFETCH(QRect, camera);
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int pic = f.proxy->addImage(f.picture("p.png", 101, 51), 255, 3);
    f.proxy->setItemRect(pic, 33, 21, 101, 51);
    const int cam = f.proxy->openCamera(f.cameraName(), 2);
    testsupport::TextRecord text(u"字幕");
    const int pair = f.proxy->addEffectiveText(f.picture("bg.png", 400, 60), QRect(10, 10, 300, 40), &text.info);
    f.proxy->setItemRect(pair, 100, 100, 400, 60);
    f.calls().clear();
    const int logStart = FacadeFixture::logSize();

    LiveParams p = FacadeFixture::params(2, width, height, 1300, 25);
    QVERIFY(f.proxy->changeLiveResolution(&p));

    QCOMPARE(f.ops({"BeginConfig", "SetVideoConfig", "EndConfig"}),
             (std::vector<std::string>{"BeginConfig", "SetVideoConfig", "EndConfig"}));
    QCOMPARE(f.callsOf("SetVideoConfig"),
             QStringList{QStringLiteral("SetVideoConfig(-1,%1,%2,1300000,25,1,0,1)").arg(width).arg(height)});
    int x = 0, y = 0, w = 0, h = 0;
    f.proxy->getItemRect(pic, &x, &y, &w, &h);
    QCOMPARE(QRect(x, y, w, h), picture);
    f.proxy->getItemRect(cam, &x, &y, &w, &h);
    QCOMPARE(QRect(x, y, w, h), camera);
    // An effective text keeps its placement.
    f.proxy->getItemRect(pair, &x, &y, &w, &h);
    QCOMPARE(QRect(x, y, w, h), QRect(100, 100, 400, 60));
    QCOMPARE(f.proxy->canvasWidth(), width);
    QCOMPARE(f.proxy->qualityIndex(), 2);
    QCOMPARE(FacadeFixture::logSince(logStart).first(),
             QStringLiteral("change live resolution: original: 1280,720, now:%1,%2.").arg(width).arg(height));
    QVERIFY(FacadeFixture::logSince(logStart).contains("change live resolution success."));
}

void FacadeLifecycleTest::resolutionChangeRefusedWhileLiveOrRecording_data()
{
    QTest::addColumn<bool>("live");
    QTest::addColumn<bool>("recording");
    QTest::addColumn<int>("width");
    QTest::newRow("live") << true << false << 1920;
    QTest::newRow("recording") << false << true << 1920;
    QTest::newRow("no width") << false << false << 0;
}

void FacadeLifecycleTest::resolutionChangeRefusedWhileLiveOrRecording()
{
    QFETCH(bool, live);
    QFETCH(bool, recording);
    QFETCH(int, width);
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int pic = f.proxy->addImage(f.picture("p.png", 100, 50), 255, 3);
    f.proxy->setLiveBusy(live);
    if (recording)
        QVERIFY(f.proxy->startRecording((f.env.workPath() + QStringLiteral("/r.mp4")).toStdString()));
    f.calls().clear();
    LiveParams p = FacadeFixture::params(0, width, 1080, 800, 20);
    QVERIFY(!f.proxy->changeLiveResolution(&p));
    QCOMPARE(f.ops({"BeginConfig", "SetVideoConfig", "EndConfig", "SetItemRect"}), std::vector<std::string>{});
    QCOMPARE(f.proxy->canvasWidth(), 1280);
    QCOMPARE(f.proxy->qualityIndex(), 1);
    int x = 0, y = 0, w = 0, h = 0;
    f.proxy->getItemRect(pic, &x, &y, &w, &h);
    QCOMPARE(QRect(x, y, w, h), QRect(0, 0, 100, 50));
}

void FacadeLifecycleTest::videoConfigIsReadBack()
{
    FacadeFixture f;
    LiveParams start = FacadeFixture::params(2, 1280, 720, 1300, 25);
    QCOMPARE(f.proxy->init(&start), 0);
    LiveParams out;
    out.previewWidth = 11;
    f.proxy->getLiveVideoConfig(&out);
    QCOMPARE(out.outputWidth, 1280);
    QCOMPARE(out.outputHeight, 720);
    QCOMPARE(out.bitRate, 1300000);
    QCOMPARE(out.frameRate, 25);
    QCOMPARE(out.previewWidth, 11);
    f.proxy->getLiveVideoConfig(nullptr);
}

void FacadeLifecycleTest::staticTextsComeFromTheOneTable()
{
    QCOMPARE(LiveProxy::errorMessage(212), QStringLiteral("连接服务器失败!"));
    QCOMPARE(LiveProxy::errorMessage(208), QStringLiteral("未知错误 error code:208，如有疑问请与客服联系!"));
    QCOMPARE(LiveProxy::colorFormatName(6), std::string("MJPG"));
    QCOMPARE(LiveProxy::colorFormatName(7), std::string("NONE"));
    QCOMPARE(LiveProxy::colorFormatFromName("I420"), 3);
    QCOMPARE(LiveProxy::colorFormatFromName("mjpg"), 7);
}

void FacadeLifecycleTest::analyticsCarryNoAccountWhileLoggedOut()
{
    FacadeFixture f;
    const int logStart = FacadeFixture::logSize();
    f.proxy->reportAction(2, 5);
    f.proxy->reportAction(23, 1);
    const QStringList log = FacadeFixture::logSince(logStart);
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.first(), QStringLiteral("point - {version:2.3.0.0, uid:0, rid:0, pagecode:page_home, "
                                         "action:click_home_filter, e:{\"filt_id\":5}}."));
}

void FacadeLifecycleTest::analyticsCarryTheSignedInAccount()
{
    // The default world's anchor: user 10001, room 20001.
    sessiontest::SessionFixture f;
    QVERIFY(f.login());
    const int logStart = FacadeFixture::logSize();
    f.proxy->reportAction(5, -1);
    // Sign-in work may still log beside it; only the record's line counts.
    const QStringList points = FacadeFixture::logSince(logStart).filter(QRegularExpression(QStringLiteral("^point - ")));
    QCOMPARE(points,
             QStringList{QStringLiteral("point - {version:2.3.0.0, uid:10001, rid:20001, pagecode:page_home, "
                                        "action:click_home_admin, e:{}}.")});
}

void FacadeLifecycleTest::oneFacadeForTheProcess()
{
    testsupport::TempEnvironment env;
    authport::control().log().clear();
    castcore::control().log().clear();
    LiveProxy *proxy = LiveProxy::GetInstance();
    QVERIFY(proxy);
    QCOMPARE(LiveProxy::GetInstance(), proxy);
    // The account service and the engine were made once, and know each other.
    QCOMPARE(authport::control().log().count("SetClientInfo"), 1);
    const std::vector<mvplatform::CallRecord> info = authport::control().log().of("SetClientInfo");
    QCOMPARE(info.front().args.at(1), std::string("2.3.0.0"));
    QCOMPARE(castcore::control().log().count("SetNetService"), 1);
    QCOMPARE(castcore::control().log().last("SetNetService")->args, std::vector<std::string>{"set"});
}

QTEST_MAIN(FacadeLifecycleTest)
#include "tst_facade_lifecycle.moc"
