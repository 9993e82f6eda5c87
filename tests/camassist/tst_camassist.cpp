#include "CamAssist.h"
#include "CastCoreCameras.h"
#include "CastCoreControl.h"
#include "TempEnvironment.h"

#include <QFile>
#include <QtTest>

#include <functional>
#include <memory>
#include <thread>

using camassist::CameraControl;
using camassist::CameraDevice;
using camassist::CameraProperty;
using camassist::PropertyKind;
using camassist::VideoProcAmp;

Q_DECLARE_METATYPE(camassist::PropertyKind)

namespace {

struct HelperRelease
{
    void operator()(IDShowHelper *h) const { h->Release(); }
};
using HelperPtr = std::unique_ptr<IDShowHelper, HelperRelease>;

const std::u16string kDesk = u"Desk Cam 摄像头";
const std::u16string kStudio = u"Studio Cam";

// What one Get call wrote, with a sentinel in every output it left alone.
struct Reading
{
    int result = -99;
    int range[5] = {-7, -7, -7, -7, -7};
    int value = -7;
    int flags = -7;
};

Reading read(IDShowHelper *h, PropertyKind kind, const char16_t *device, int index)
{
    Reading r;
    r.result = kind == VideoProcAmp ? h->GetVideoProcAmp(device, index, r.range, &r.value, &r.flags)
                                    : h->GetCameraControl(device, index, r.range, &r.value, &r.flags);
    return r;
}

int write(IDShowHelper *h, PropertyKind kind, const char16_t *device, int index, int value, int flags)
{
    return kind == VideoProcAmp ? h->SetVideoProcAmp(device, index, value, flags)
                                : h->SetCameraControl(device, index, value, flags);
}

// Two cameras with different tables: the desk camera has brightness
// (manual) and focus (automatic), the studio camera gain and pan only.
std::vector<CameraDevice> twoCameras()
{
    CameraDevice desk;
    desk.name = kDesk;
    desk.videoProcAmp[0] = CameraProperty{-64, 64, 1, 0, 2, 10, 2};
    desk.cameraControl[6] = CameraProperty{0, 250, 5, 0, 3, 120, 1};
    CameraDevice studio;
    studio.name = kStudio;
    studio.videoProcAmp[9] = CameraProperty{0, 255, 1, 16, 3, 32, 1};
    studio.cameraControl[0] = CameraProperty{-180, 180, 1, 0, 2, -90, 2};
    return {desk, studio};
}

} // namespace

class TestCamAssist : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void readsEachCamerasOwnTable_data();
    void readsEachCamerasOwnTable();
    void failedReadLeavesOutputsUntouched_data();
    void failedReadLeavesOutputsUntouched();
    void setStoresValueAndMode();
    void refusedSetKeepsState_data();
    void refusedSetKeepsState();
    void defaultWorldCamera();
    void followsTheEngineCameras();
    void worldFileCameras();
    void createCanBeSteeredToNull();
    void gateHoldsEveryOp_data();
    void gateHoldsEveryOp();

private:
    std::unique_ptr<testsupport::TempEnvironment> m_env;
};

void TestCamAssist::init()
{
    m_env = std::make_unique<testsupport::TempEnvironment>();
    castcore::control().reset();
    camassist::reset();
    camassist::setCameras(twoCameras());
}

void TestCamAssist::cleanup()
{
    QCOMPARE(camassist::liveHelpers(), 0);
    m_env.reset();
}

void TestCamAssist::readsEachCamerasOwnTable_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<PropertyKind>("kind");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("supported");
    QTest::addColumn<QList<int>>("expected"); // min, max, step, default, caps, value, flags

    const QString desk = QString::fromStdU16String(kDesk);
    const QString studio = QString::fromStdU16String(kStudio);
    QTest::newRow("desk brightness") << desk << VideoProcAmp << 0 << true
                                     << QList<int>{-64, 64, 1, 0, 2, 10, 2};
    QTest::newRow("desk focus, automatic") << desk << CameraControl << 6 << true
                                           << QList<int>{0, 250, 5, 0, 3, 120, 1};
    QTest::newRow("desk has no gain") << desk << VideoProcAmp << 9 << false << QList<int>{};
    QTest::newRow("desk has no pan") << desk << CameraControl << 0 << false << QList<int>{};
    QTest::newRow("studio gain") << studio << VideoProcAmp << 9 << true
                                 << QList<int>{0, 255, 1, 16, 3, 32, 1};
    QTest::newRow("studio pan") << studio << CameraControl << 0 << true
                                << QList<int>{-180, 180, 1, 0, 2, -90, 2};
    // Same number, other set: brightness is not pan.
    QTest::newRow("studio has no brightness") << studio << VideoProcAmp << 0 << false << QList<int>{};
}

void TestCamAssist::readsEachCamerasOwnTable()
{
    QFETCH(QString, device);
    QFETCH(PropertyKind, kind);
    QFETCH(int, index);
    QFETCH(bool, supported);
    QFETCH(QList<int>, expected);

    HelperPtr h(CreateDShowInstance());
    QVERIFY(h);
    const std::u16string name = device.toStdU16String();
    const Reading r = read(h.get(), kind, name.c_str(), index);
    if (!supported) {
        QCOMPARE(r.result, 0);
        QCOMPARE(r.value, -7);
        return;
    }
    QVERIFY(r.result > 0);
    const QList<int> got{r.range[0], r.range[1], r.range[2], r.range[3], r.range[4], r.value, r.flags};
    QCOMPARE(got, expected);
}

void TestCamAssist::failedReadLeavesOutputsUntouched_data()
{
    QTest::addColumn<int>("device"); // 0 desk, 1 unknown, 2 null, 3 empty, 4 case differs
    QTest::addColumn<PropertyKind>("kind");
    QTest::addColumn<int>("index");
    QTest::newRow("unknown camera") << 1 << VideoProcAmp << 0;
    QTest::newRow("null name") << 2 << VideoProcAmp << 0;
    QTest::newRow("empty name") << 3 << CameraControl << 6;
    QTest::newRow("name differs in case") << 4 << VideoProcAmp << 0;
    QTest::newRow("unsupported image property") << 0 << VideoProcAmp << 3;
    QTest::newRow("unsupported control property") << 0 << CameraControl << 4;
    QTest::newRow("image index above 9") << 0 << VideoProcAmp << 10;
    QTest::newRow("control index above 6") << 0 << CameraControl << 7;
    QTest::newRow("negative index") << 0 << CameraControl << -1;
}

void TestCamAssist::failedReadLeavesOutputsUntouched()
{
    QFETCH(int, device);
    QFETCH(PropertyKind, kind);
    QFETCH(int, index);

    const std::u16string names[] = {kDesk, u"Nobody's Camera", u"", u"", u"desk cam 摄像头"};
    const char16_t *name = device == 2 ? nullptr : names[device].c_str();

    HelperPtr h(CreateDShowInstance());
    const Reading r = read(h.get(), kind, name, index);
    QCOMPARE(r.result, 0);
    for (int v : r.range)
        QCOMPARE(v, -7);
    QCOMPARE(r.value, -7);
    QCOMPARE(r.flags, -7);

    // A set on the same target is refused too, and changes nothing anywhere.
    QCOMPARE(write(h.get(), kind, name, index, 1, 2), 0);
    const auto before = twoCameras();
    const auto after = camassist::cameras();
    QCOMPARE(after[0].videoProcAmp[0]->value, before[0].videoProcAmp[0]->value);
    QCOMPARE(after[0].cameraControl[6]->value, before[0].cameraControl[6]->value);
}

void TestCamAssist::setStoresValueAndMode()
{
    HelperPtr h(CreateDShowInstance());
    camassist::callLog(); // the log starts with the create
    QVERIFY(write(h.get(), CameraControl, kDesk.c_str(), 6, 85, 2) > 0);
    QVERIFY(write(h.get(), VideoProcAmp, kDesk.c_str(), 0, -64, 2) > 0);

    // A later helper, like a dialog opened again, reads the stored state.
    h.reset();
    HelperPtr again(CreateDShowInstance());
    Reading focus = read(again.get(), CameraControl, kDesk.c_str(), 6);
    QVERIFY(focus.result > 0);
    QCOMPARE(focus.value, 85);
    QCOMPARE(focus.flags, 2);
    QCOMPARE(focus.range[3], 0); // the default stays the camera's own
    QCOMPARE(read(again.get(), VideoProcAmp, kDesk.c_str(), 0).value, -64);

    // Back to automatic keeps the value sent with it.
    QVERIFY(write(again.get(), CameraControl, kDesk.c_str(), 6, 100, 1) > 0);
    focus = read(again.get(), CameraControl, kDesk.c_str(), 6);
    QCOMPARE(focus.value, 100);
    QCOMPARE(focus.flags, 1);

    // The other camera's tables are untouched.
    QCOMPARE(camassist::property(kStudio, CameraControl, 0)->value, -90);

    const auto sets = camassist::callLog().of("SetCameraControl");
    QCOMPARE(int(sets.size()), 2);
    QCOMPARE(sets[0].args, (std::vector<std::string>{"Desk Cam 摄像头", "6", "85", "2", "1"}));
    QCOMPARE(sets[1].args, (std::vector<std::string>{"Desk Cam 摄像头", "6", "100", "1", "1"}));
    QCOMPARE(camassist::callLog().of("SetVideoProcAmp").front().args,
             (std::vector<std::string>{"Desk Cam 摄像头", "0", "-64", "2", "1"}));
    QCOMPARE(camassist::callLog().ops(),
             (std::vector<std::string>{"CreateDShowInstance", "SetCameraControl", "SetVideoProcAmp",
                                       "Release", "CreateDShowInstance", "GetCameraControl",
                                       "GetVideoProcAmp", "SetCameraControl", "GetCameraControl"}));
}

void TestCamAssist::refusedSetKeepsState_data()
{
    QTest::addColumn<PropertyKind>("kind");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("flags");
    QTest::newRow("above maximum") << VideoProcAmp << 0 << 65 << 2;
    QTest::newRow("below minimum") << CameraControl << 6 << -5 << 2;
    QTest::newRow("automatic without that mode") << VideoProcAmp << 0 << 5 << 1;
    QTest::newRow("unknown mode") << CameraControl << 6 << 50 << 3;
    QTest::newRow("no mode") << VideoProcAmp << 0 << 5 << 0;
}

void TestCamAssist::refusedSetKeepsState()
{
    QFETCH(PropertyKind, kind);
    QFETCH(int, index);
    QFETCH(int, value);
    QFETCH(int, flags);

    const CameraProperty before = *camassist::property(kDesk, kind, index);
    HelperPtr h(CreateDShowInstance());
    QCOMPARE(write(h.get(), kind, kDesk.c_str(), index, value, flags), 0);
    const CameraProperty after = *camassist::property(kDesk, kind, index);
    QCOMPARE(after.value, before.value);
    QCOMPARE(after.flags, before.flags);
    // The attempt is still on record.
    const auto set = camassist::callLog().last(kind == VideoProcAmp ? "SetVideoProcAmp" : "SetCameraControl");
    QVERIFY(set);
    QCOMPARE(set->args.back(), std::string("0"));
}

void TestCamAssist::defaultWorldCamera()
{
    camassist::reset();
    const std::vector<std::u16string> engineNames = castcore::worldCameraNames();
    QVERIFY(!engineNames.empty());
    const auto cams = camassist::cameras();
    QCOMPARE(int(cams.size()), int(engineNames.size()));
    for (size_t i = 0; i < cams.size(); ++i)
        QVERIFY(cams[i].name == engineNames[i]);

    // The built-in camera lets every path of the quality dialog run: manual
    // and automatic properties, one without an automatic mode, and
    // unsupported ones.
    HelperPtr h(CreateDShowInstance());
    const char16_t *name = engineNames.front().c_str();
    int supported = 0, automatic = 0, autoCapable = 0;
    for (int kind = 0; kind < 2; ++kind) {
        const int count = kind == VideoProcAmp ? camassist::kVideoProcAmpCount : camassist::kCameraControlCount;
        for (int i = 0; i < count; ++i) {
            const Reading r = read(h.get(), PropertyKind(kind), name, i);
            if (r.result <= 0)
                continue;
            ++supported;
            QVERIFY2(r.range[0] < r.range[1], qPrintable(QString::number(i)));
            QVERIFY(r.value >= r.range[0] && r.value <= r.range[1]);
            QVERIFY(r.range[3] >= r.range[0] && r.range[3] <= r.range[1]);
            QVERIFY(r.flags == 1 || r.flags == 2);
            autoCapable += r.range[4] & 1;
            automatic += r.flags == 1;
        }
    }
    QVERIFY(supported > 3 && supported < 17);
    QVERIFY(automatic > 0);
    QVERIFY(autoCapable < supported);
}

void TestCamAssist::followsTheEngineCameras()
{
    camassist::reset();
    castcore::World world = castcore::control().world();
    world.cameras.resize(2);
    world.cameras[0].name = u"Cam A";
    world.cameras[1].name = u"Cam B";
    castcore::control().setWorld(world);

    HelperPtr h(CreateDShowInstance());
    QCOMPARE(read(h.get(), VideoProcAmp, u"Cam A", 0).result, 1);
    QVERIFY(write(h.get(), VideoProcAmp, u"Cam A", 0, 33, 2) > 0);
    QCOMPARE(read(h.get(), VideoProcAmp, u"Cam B", 0).result, 1);

    // A camera the engine no longer lists is unknown; the others keep their state.
    world.cameras.resize(1);
    castcore::control().setWorld(world);
    QCOMPARE(read(h.get(), VideoProcAmp, u"Cam B", 0).result, 0);
    QCOMPARE(read(h.get(), VideoProcAmp, u"Cam A", 0).value, 33);
    QCOMPARE(int(camassist::cameras().size()), 1);
}

void TestCamAssist::worldFileCameras()
{
    const QString path = m_env->root() + QStringLiteral("/world.json");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(R"({"engine": {"cameras": [
        {"name": "Plain Cam", "formats": []},
        {"name": "Tuned Cam",
         "videoProcAmp": {"Brightness": {"min": 0, "max": 255, "default": 128, "value": 200},
                          "Hue": null},
         "cameraControl": {"Pan": {"min": -10, "max": 10, "step": 2, "caps": 3, "flags": 1}}}
    ]}})");
    f.close();
    qputenv("MORVASHOW_WORLD", path.toUtf8());
    castcore::control().reset();
    camassist::reset();
    const auto cams = camassist::cameras(); // tables are read from the world now
    qputenv("MORVASHOW_WORLD", "");

    QCOMPARE(int(cams.size()), 2);
    QVERIFY(cams[0].name == u"Plain Cam");
    QVERIFY(cams[1].name == u"Tuned Cam");

    HelperPtr h(CreateDShowInstance());
    const Reading brightness = read(h.get(), VideoProcAmp, u"Tuned Cam", 0);
    QVERIFY(brightness.result > 0);
    QCOMPARE(brightness.range[0], 0);
    QCOMPARE(brightness.range[1], 255);
    QCOMPARE(brightness.range[3], 128);
    QCOMPARE(brightness.value, 200);
    QCOMPARE(read(h.get(), VideoProcAmp, u"Tuned Cam", 2).result, 0);
    const Reading pan = read(h.get(), CameraControl, u"Tuned Cam", 0);
    QVERIFY(pan.result > 0);
    QCOMPARE(pan.range[2], 2);
    QCOMPARE(pan.value, 0);
    QCOMPARE(pan.flags, 1);
    // A name alone gives the default table.
    QCOMPARE(read(h.get(), VideoProcAmp, u"Plain Cam", 2).result, 1);
    QCOMPARE(read(h.get(), CameraControl, u"Plain Cam", 0).result, 0);
    castcore::control().reset();
}

void TestCamAssist::createCanBeSteeredToNull()
{
    camassist::failNextCreate(2);
    QVERIFY(!CreateDShowInstance());
    QVERIFY(!CreateDShowInstance());
    QCOMPARE(camassist::liveHelpers(), 0);
    IDShowHelper *a = CreateDShowInstance();
    IDShowHelper *b = CreateDShowInstance();
    QVERIFY(a && b && a != b);
    QCOMPARE(camassist::liveHelpers(), 2);
    a->Release();
    QCOMPARE(camassist::liveHelpers(), 1);
    b->Release();
    QCOMPARE(camassist::callLog().ops(),
             (std::vector<std::string>{"CreateDShowInstance", "CreateDShowInstance", "CreateDShowInstance",
                                       "CreateDShowInstance", "Release", "Release"}));
    QCOMPARE(camassist::callLog().of("CreateDShowInstance")[1].args.front(), std::string("null"));
}

namespace {

// Every helper op, called once on a helper of its own.
const std::vector<std::pair<const char *, std::function<void()>>> &helperOps()
{
    using Use = std::function<void(IDShowHelper *)>;
    auto onOwnHelper = [](Use use) {
        return [use] {
            HelperPtr h(CreateDShowInstance());
            use(h.get());
        };
    };
    static const std::vector<std::pair<const char *, std::function<void()>>> ops = {
        {"CreateDShowInstance", onOwnHelper([](IDShowHelper *) {})},
        {"Release", onOwnHelper([](IDShowHelper *) {})},
        {"GetVideoProcAmp", onOwnHelper([](IDShowHelper *h) { read(h, VideoProcAmp, kDesk.c_str(), 0); })},
        {"SetVideoProcAmp", onOwnHelper([](IDShowHelper *h) { h->SetVideoProcAmp(kDesk.c_str(), 0, 1, 2); })},
        {"GetCameraControl", onOwnHelper([](IDShowHelper *h) { read(h, CameraControl, kDesk.c_str(), 3); })},
        {"SetCameraControl", onOwnHelper([](IDShowHelper *h) { h->SetCameraControl(kDesk.c_str(), 3, 200, 2); })},
    };
    return ops;
}

} // namespace

void TestCamAssist::gateHoldsEveryOp_data()
{
    QTest::addColumn<int>("op");
    for (int i = 0; i < int(helperOps().size()); ++i)
        QTest::newRow(helperOps()[size_t(i)].first) << i;
}

void TestCamAssist::gateHoldsEveryOp()
{
    // The camera quality dialog's calls can be held where they are made.
    QFETCH(int, op);
    const auto &[name, call] = helperOps()[size_t(op)];
    const mvplatform::GateProbe probe = mvplatform::probeGate(camassist::gates(), name, call, camassist::waitIdle);
    QVERIFY(probe.held);
    QVERIFY(probe.busyWhileHeld);
    QVERIFY(probe.idleAfter);
    QCOMPARE(camassist::callLog().count(name), 1);
}

QTEST_GUILESS_MAIN(TestCamAssist)
#include "tst_camassist.moc"
