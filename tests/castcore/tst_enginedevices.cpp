// Audio devices, recorder, plug-ins, settings, render device, system
// information and the world the engine layer serves.

#include "CastCoreCameras.h"
#include "EngineFixture.h"

#include <QJsonDocument>
#include <QtTest>

#include <memory>

using namespace castcore;

class TestEngineDevices : public QObject
{
    Q_OBJECT
private slots:
    void audioDevicesListedAndBuffersCounted();
    void audioDeviceOpenedByKey();
    void currentDeviceScripted();
    void recorderStartScripted();
    void pluginsListedAndOpenedAsItems();
    void pluginOpenedByListedNameAndScriptedId();
    void pluginRoomCallsRecorded();
    void settingsKeptInOrder();
    void renderDeviceAndSystemInfo();
    void worldFileEngineSection();
};

namespace {

std::vector<AudioDevice> manyMicrophones(int n)
{
    std::vector<AudioDevice> list;
    for (int i = 0; i < n; ++i) {
        const std::u16string num = toU16(QString::number(i));
        list.push_back({u"{mic-" + num + u"}", u"麦克风 " + num, AudioMicrophone});
        if (i == 3)
            list.push_back({u"{spk}", u"扬声器", AudioSystemSound});
    }
    return list;
}

} // namespace

void TestEngineDevices::audioDevicesListedAndBuffersCounted()
{
    EngineFixture f;
    int count = -1;
    AudioDeviceRecord *list = f.scene()->ListAudioDevices(&count);
    QCOMPARE(count, 2);
    QCOMPARE(list[0].kind, int(AudioMicrophone));
    QCOMPARE(list[1].kind, int(AudioSystemSound));
    QCOMPARE(QString::fromUtf16(list[0].name), QStringLiteral("麦克风 (USB Audio Device)"));
    // The wire layout: key at byte 0, name at byte 510, kind at byte 1020.
    const auto *raw = reinterpret_cast<const unsigned char *>(list);
    QCOMPARE(QString::fromUtf16(reinterpret_cast<const char16_t *>(raw + 510)),
             QStringLiteral("麦克风 (USB Audio Device)"));
    QCOMPARE(*reinterpret_cast<const int32_t *>(raw + 1024 + 1020), int32_t(AudioSystemSound));

    control().audioLists().push("ListAudioDevices", manyMicrophones(12));
    int many = 0;
    AudioDeviceRecord *second = f.scene()->ListAudioDevices(&many);
    QCOMPARE(many, 13);
    QCOMPARE(QString::fromUtf16(second[12].name), QStringLiteral("麦克风 11"));
    QCOMPARE(f.ours()->outstandingBuffers(), 2);
    f.scene()->FreeBuffer(list);
    QCOMPARE(f.ours()->outstandingBuffers(), 1);
    f.scene()->FreeBuffer(second);
    QCOMPARE(f.ours()->outstandingBuffers(), 0);

    // Giving back twice, or something never lent, or null, is harmless.
    f.scene()->FreeBuffer(second);
    int local = 0;
    f.scene()->FreeBuffer(&local);
    f.scene()->FreeBuffer(nullptr);
    QCOMPARE(f.ours()->outstandingBuffers(), 0);
    QCOMPARE(f.ours()->scene().status().unknownFrees, 2);

    // An empty list lends nothing.
    control().audioLists().push("ListAudioDevices", {});
    QVERIFY(f.scene()->ListAudioDevices(&count) == nullptr);
    QCOMPARE(count, 0);
    QCOMPARE(f.ours()->outstandingBuffers(), 0);
}

void TestEngineDevices::audioDeviceOpenedByKey()
{
    EngineFixture f;
    int count = 0;
    control().audioLists().push("ListAudioDevices", manyMicrophones(5));
    f.scene()->FreeBuffer(f.scene()->ListAudioDevices(&count));

    QCOMPARE(f.scene()->OpenAudioDevice(u"{mic-2}"), 0);
    f.scene()->SetMicOption(0);
    QCOMPARE(f.scene()->OpenAudioDevice(u"{spk}"), 0);
    QVERIFY(f.scene()->OpenAudioDevice(u"麦克风 2") < 0); // names are not keys
    QVERIFY(f.scene()->OpenAudioDevice(nullptr) < 0);
    control().ints().push("OpenAudioDevice", -5);
    QCOMPARE(f.scene()->OpenAudioDevice(u"{mic-3}"), -5);

    std::vector<char16_t> key(256, u'#');
    QVERIFY(f.scene()->GetCurrentMicDevice(key.data(), 256, 0));
    QCOMPARE(QString::fromUtf16(key.data()), QStringLiteral("{mic-2}"));
    QVERIFY(f.scene()->GetCurrentSystemDevice(key.data(), 256, 0));
    QCOMPARE(QString::fromUtf16(key.data()), QStringLiteral("{spk}"));

    f.scene()->SetVolume(1, 40);
    f.scene()->SetVolume(2, 0);
    const auto s = f.ours()->scene().status();
    QCOMPARE(s.micOption, std::optional<int>(0));
    QCOMPARE(s.volumes.at(1), 40);
    QCOMPARE(s.volumes.at(2), 0);
    QCOMPARE(control().log().last("OpenAudioDevice")->args, (std::vector<std::string>{"{mic-3}"}));
}

void TestEngineDevices::currentDeviceScripted()
{
    EngineFixture f;
    std::vector<char16_t> key(256, 0);
    // By default the world's first device of the kind is current.
    QVERIFY(f.scene()->GetCurrentMicDevice(key.data(), 256, 0));
    QCOMPARE(QString::fromUtf16(key.data()), QStringLiteral("{0.0.1.00000000}.{mic-usb-0}"));

    control().currentDevices().push("GetCurrentMicDevice", {false, {}});
    control().currentDevices().push("GetCurrentSystemDevice", {true, u"{elsewhere}"});
    key.assign(256, u'#');
    QVERIFY(!f.scene()->GetCurrentMicDevice(key.data(), 256, 0));
    QCOMPARE(key[0], u'#');
    QVERIFY(f.scene()->GetCurrentSystemDevice(key.data(), 256, 0));
    QCOMPARE(QString::fromUtf16(key.data()), QStringLiteral("{elsewhere}"));

    // A world without system-sound devices has no current one.
    World world = World::builtIn();
    world.audioDevices.pop_back();
    control().setWorld(world);
    QVERIFY(!f.scene()->GetCurrentSystemDevice(key.data(), 256, 0));
}

void TestEngineDevices::recorderStartScripted()
{
    EngineFixture f;
    ILiveRecorder *rec = f.engine->GetRecorder();
    QVERIFY(rec->Start("/tmp/录像.flv"));
    QVERIFY(f.ours()->recorder().isRecording());
    QCOMPARE(f.ours()->recorder().path(), std::string("/tmp/录像.flv"));
    rec->Stop();
    QVERIFY(!f.ours()->recorder().isRecording());

    control().bools().push("Start", false);
    QVERIFY(!rec->Start("/tmp/b.flv"));
    QVERIFY(!f.ours()->recorder().isRecording());
    QVERIFY(!rec->Start(""));
    QCOMPARE(control().log().count("Start"), 3);
    QCOMPARE(control().log().of("Start")[1].args, (std::vector<std::string>{"/tmp/b.flv"}));
}

void TestEngineDevices::pluginsListedAndOpenedAsItems()
{
    EngineFixture f;
    IPluginHost *host = f.engine->GetPluginHost();
    host->SetPluginDir("plugins");
    QCOMPARE(f.ours()->pluginHost().pluginDir(), std::string("plugins"));

    // Nothing at first, then the world's plug-ins.
    control().pluginLists().push("ListPlugins", {});
    int count = -1;
    QVERIFY(host->ListPlugins(&count) == nullptr);
    QCOMPARE(count, 0);
    const char16_t *const *names = host->ListPlugins(&count);
    QCOMPARE(count, 2);
    QCOMPARE(QString::fromUtf16(names[0]), QStringLiteral("弹幕助手"));
    QCOMPARE(QString::fromUtf16(names[1]), QStringLiteral("歌名插件"));
    // The host keeps earlier lists alive.
    const char16_t *const *again = host->ListPlugins(&count);
    QCOMPARE(QString::fromUtf16(names[1]), QStringLiteral("歌名插件"));
    QVERIFY(again != nullptr);

    const int id = host->OpenPlugin(u"弹幕助手", 0, 0, 0, 0, 0);
    QVERIFY(id > 0);
    QCOMPARE(f.store()->Kind(id), int(KindPlugin));
    int x, y, w, h;
    QVERIFY(f.scene()->GetItemSourceRect(id, &x, &y, &w, &h));
    QCOMPARE(QSize(w, h), QSize(kPluginWidth, kPluginHeight));

    QVERIFY(host->OpenPlugin(u"点歌插件", 0, 0, 0, 0, 0) < 1); // not installed
    QVERIFY(host->OpenPlugin(nullptr, 0, 0, 0, 0, 0) < 1);
    control().ints().push("OpenPlugin", -2);
    const int items = int(f.ours()->itemIds().size());
    QCOMPARE(host->OpenPlugin(u"弹幕助手", 0, 0, 0, 0, 0), -2);
    QCOMPARE(int(f.ours()->itemIds().size()), items); // no item for a failure

    PluginConfigInfo info;
    info.busy = 1;
    QVERIFY(host->ShowPluginConfig(id, &info));
    QCOMPARE(control().log().last("ShowPluginConfig")->args,
             (std::vector<std::string>{std::to_string(id), "null", "1"}));
    const std::string pic = f.picture(QStringLiteral("p.png"), 4, 4);
    QVERIFY(!host->ShowPluginConfig(f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100), &info));
    control().bools().push("ShowPluginConfig", false);
    QVERIFY(!host->ShowPluginConfig(id, &info));
}

void TestEngineDevices::pluginOpenedByListedNameAndScriptedId()
{
    EngineFixture f;
    QVERIFY(f.store()->OpenFile("scene", f.scenePath().c_str()));
    IPluginHost *host = f.engine->GetPluginHost();
    int x, y, w, h;

    // A name only a scripted list handed out opens like an installed one.
    control().pluginLists().push("ListPlugins", {u"点歌插件"});
    int count = 0;
    QVERIFY(host->ListPlugins(&count) != nullptr);
    QCOMPARE(count, 1);
    const int listed = host->OpenPlugin(u"点歌插件", 0, 0, 0, 0, 0);
    QCOMPARE(listed, 1);
    QCOMPARE(f.store()->Kind(listed), int(KindPlugin));
    QVERIFY(host->OpenPlugin(u"从未列出", 0, 0, 0, 0, 0) < 1);

    // A scripted id is the id the plug-in item gets; later ids follow it.
    control().ints().push("OpenPlugin", 42);
    QCOMPARE(host->OpenPlugin(u"弹幕助手", 0, 0, 0, 0, 0), 42);
    QCOMPARE(f.store()->Kind(42), int(KindPlugin));
    QVERIFY(f.scene()->GetItemSourceRect(42, &x, &y, &w, &h));
    QCOMPARE(QSize(w, h), QSize(kPluginWidth, kPluginHeight));
    QCOMPARE(host->OpenPlugin(u"弹幕助手", 0, 0, 0, 0, 0), 43);
    // An id handed out before is never given to a second item.
    control().ints().push("OpenPlugin", 42);
    const int items = int(f.ours()->itemIds().size());
    QCOMPARE(host->OpenPlugin(u"歌名插件", 0, 0, 0, 0, 0), -1);
    QCOMPARE(int(f.ours()->itemIds().size()), items);

    // The listed plug-in, saved, opens again in a run that lists it.
    QVERIFY(f.store()->SetItemName(listed, "plugin_1"));
    f.scene()->Shutdown();
    std::unique_ptr<ILiveEngine> second(CreateLiveInstance(&f.listener, 3, 0, 0, 0, 2));
    ISceneStore *store = second->GetSceneStore();
    QVERIFY(store->OpenFile("scene", f.scenePath().c_str()));
    control().pluginLists().push("ListPlugins", {u"点歌插件"});
    QVERIFY(second->GetPluginHost()->ListPlugins(&count) != nullptr);
    QCOMPARE(store->Kind(store->Open("plugin_1")), int(KindPlugin));
}

void TestEngineDevices::pluginRoomCallsRecorded()
{
    EngineFixture f;
    IPluginHost *host = f.engine->GetPluginHost();
    host->SetNetService(reinterpret_cast<INetService *>(0x10));
    host->OnChatMessage(77, u"你好", u"张三", 3);
    host->OnDonation(77, u"张三", 10);
    host->OnMonthlyTicket(5, u"李四", 6, 2);
    host->OnEffectMessage(u"特效", 9);
    host->OnGiftMessage(2, u"张三", u"棒棒糖", 4);
    host->OnRawRoomMessage(u"{\"type\":2}");
    control().ints().push("OnWindowMessage", 1);
    QCOMPARE(host->OnWindowMessage(WId(0), 16, 0, 0), std::intptr_t(1));
    QCOMPARE(host->OnWindowMessage(WId(5), 16, 0, 0), std::intptr_t(0));

    QCOMPARE(f.ours()->pluginHost().netService(), reinterpret_cast<INetService *>(0x10));
    auto &log = control().log();
    QCOMPARE(log.last("OnChatMessage")->args, (std::vector<std::string>{"77", "你好", "张三", "3"}));
    QCOMPARE(log.last("OnMonthlyTicket")->args, (std::vector<std::string>{"5", "李四", "6", "2"}));
    QCOMPARE(log.last("OnGiftMessage")->args, (std::vector<std::string>{"2", "张三", "棒棒糖", "4"}));
    QCOMPARE(log.last("OnRawRoomMessage")->args, (std::vector<std::string>{"{\"type\":2}"}));
    QCOMPARE(log.of("OnWindowMessage")[0].args, (std::vector<std::string>{"0", "16", "0", "0"}));
}

void TestEngineDevices::settingsKeptInOrder()
{
    EngineFixture f;
    ILiveSettings *s = f.engine->GetSettings();
    QVERIFY(s->Set("videodevice", "MorvaShowBroadcaster"));
    QVERIFY(s->Set("hasWatermark", "1"));
    QVERIFY(s->Set("camerareinfo", "MJPG 1280*720 30"));
    QVERIFY(s->Set("hasWatermark", "0"));
    QVERIFY(!s->Set(nullptr, "x"));
    const auto history = f.ours()->settings().history();
    QCOMPARE(int(history.size()), 4);
    QCOMPARE(history[2].first, std::string("camerareinfo"));
    QCOMPARE(f.ours()->settings().value("hasWatermark"), std::string("0"));
    QCOMPARE(f.ours()->settings().value("unset"), std::string());
}

void TestEngineDevices::renderDeviceAndSystemInfo()
{
    EngineFixture f;
    IRenderDevice *device = f.engine->GetRenderDevice();
    QVERIFY(device->IsDirectX10Usable());
    control().bools().push("IsDirectX10Usable", false);
    QVERIFY(!device->IsDirectX10Usable());
    World world = World::builtIn();
    world.directX10 = false;
    world.driveIndex = 3;
    control().setWorld(world);
    QVERIFY(!device->IsDirectX10Usable());

    QVERIFY(device->EnableFeature(1));
    QVERIFY(device->Setup(0));
    IRenderGraphics *g = device->GetGraphics();
    QVERIFY(g);
    QVERIFY(g->GetDeviceHandle() != nullptr);
    QVERIFY(g->GetContextHandle() != nullptr);
    QVERIFY(g->GetDeviceHandle() != g->GetContextHandle());

    QCOMPARE(f.engine->GetSystemInfo()->GetDriveIndex(), 3);
    control().ints().push("GetDriveIndex", 4);
    QCOMPARE(f.engine->GetSystemInfo()->GetDriveIndex(), 4);
    const auto ops = control().log().ops();
    const auto enable = std::find(ops.begin(), ops.end(), "EnableFeature");
    const auto setup = std::find(ops.begin(), ops.end(), "Setup");
    QVERIFY(enable < setup);
}

void TestEngineDevices::worldFileEngineSection()
{
    testsupport::TempEnvironment env;
    const QString path = env.root() + QStringLiteral("/world.json");
    const QByteArray world = R"({
      "engine": {
        "cameras": [
          {"name": "Cam A", "formats": [{"format": "MJPG", "width": 1280, "height": 720, "fps": 30},
                                        {"format": 0, "width": 640, "height": 480, "fps": 15}]},
          {"name": "摄像头 B", "formats": []}
        ],
        "plugins": ["QQ音乐插件"],
        "displays": [{"x": 0, "y": 0, "width": 1280, "height": 1024},
                     {"x": 1280, "y": 0, "width": 1920, "height": 1080}],
        "refusedPushUrls": ["rtmp://127.0.0.1/refused"],
        "driveIndex": 5
      },
      "accounts": []
    })";
    QVERIFY(writeFile(path, world));
    qputenv("MORVASHOW_WORLD", path.toUtf8());
    control().reset();
    qunsetenv("MORVASHOW_WORLD");

    QCOMPARE(worldCameraNames(), (std::vector<std::u16string>{u"Cam A", u"摄像头 B"}));
    const World w = control().world();
    QCOMPARE(w.cameras[0].formats[0].colorFormat, 6);
    QCOMPARE(w.cameras[0].formats[1].fps, 15);
    QCOMPARE(int(w.plugins.size()), 1);
    QCOMPARE(int(w.displays.size()), 2);
    QCOMPARE(w.driveIndex, 5);
    QCOMPARE(control().scriptedPushOutcome("rtmp://127.0.0.1/refused"), std::optional<bool>(false));
    QCOMPARE(control().scriptedPushOutcome("rtmp://127.0.0.1/other"), std::optional<bool>()); // really connected
    // Sections not given keep the built-in world.
    QCOMPARE(int(w.audioDevices.size()), 2);
    QVERIFY(w.directX10);

    RecordingListener listener;
    std::unique_ptr<ILiveEngine> engine(CreateLiveInstance(&listener, 3, 0, 0, 0, 2));
    int n = 0;
    QVERIFY(engine->GetScene()->GetDisplayCount(&n));
    QCOMPARE(n, 2);
    int x, y, dw, dh;
    QVERIFY(engine->GetScene()->GetDisplayRect(1, &x, &y, &dw, &dh));
    QCOMPARE(QRect(x, y, dw, dh), QRect(1280, 0, 1920, 1080));
    x = -9;
    QVERIFY(!engine->GetScene()->GetDisplayRect(2, &x, &y, &dw, &dh));
    QCOMPARE(x, -9);
    // A camera without formats still opens, with a fallback size.
    QVERIFY(engine->GetScene()->OpenCamera(u"摄像头 B", 0, 0, 0, 0) > 0);
    engine.reset();

    // Without the file the built-in world is back.
    control().reset();
    QCOMPARE(worldCameraNames(), (std::vector<std::u16string>{u"USB2.0 HD Camera"}));
}

std::unique_ptr<QObject> makeEngineDevicesTest()
{
    return std::make_unique<TestEngineDevices>();
}

#include "tst_enginedevices.moc"
