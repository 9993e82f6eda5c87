// Sound through the whole engine: a PulseAudio source opened through the
// scene reaches the recording's AAC track and the level reports, scaled by
// the microphone's volume; without a sound server the world's devices stand
// in and the track is silent.

#include "EngineMedia.h"
#include "MediaInspector.h"
#include "PulseServer.h"

#include <QElapsedTimer>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace enginetest;
using testsupport::MediaSummary;
using testsupport::PulseServer;

namespace {

constexpr int kToneHz = 660;

struct ListedDevice
{
    QString key;
    int kind = 0;
};

std::vector<ListedDevice> listDevices(ILiveScene *scene)
{
    int count = -1;
    AudioDeviceRecord *records = scene->ListAudioDevices(&count);
    std::vector<ListedDevice> out;
    for (int i = 0; i < count; ++i)
        out.push_back({QString::fromStdU16String(records[i].key), records[i].kind});
    scene->FreeBuffer(records);
    return out;
}

int kindOf(const std::vector<ListedDevice> &devices, const QString &key)
{
    for (const ListedDevice &d : devices)
        if (d.key == key)
            return d.kind;
    return 0;
}

QString describe(const std::vector<ListedDevice> &devices)
{
    QStringList out;
    for (const ListedDevice &d : devices)
        out << QStringLiteral("%1 (%2)").arg(d.key).arg(d.kind);
    return out.join(QStringLiteral(", "));
}

int median(std::vector<int> values)
{
    if (values.empty())
        return -1;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// Median over 250 ms windows: a gap in the capture under load costs one
// window, not the estimate.
double medianTone(const MediaSummary &m, double fromS, double toS)
{
    std::vector<double> estimates;
    for (double t = fromS; t + 0.25 <= toS; t += 0.25)
        estimates.push_back(testsupport::toneFrequency(m.sound, m.soundRate, t, t + 0.25));
    if (estimates.empty())
        return 0;
    std::nth_element(estimates.begin(), estimates.begin() + estimates.size() / 2, estimates.end());
    return estimates[estimates.size() / 2];
}

// Records for about `ms` (at least that much time and that many level
// reports), then stops; false when the recorder refused or the time ran out.
bool record(EngineFixture &f, const QString &path, int ms)
{
    if (!f.engine->GetRecorder()->Start(path.toUtf8().constData()))
        return false;
    QElapsedTimer clock;
    clock.start();
    const int reports = levelReports(f.listener);
    // The engine reports both types every 100 ms.
    const bool waited =
        QTest::qWaitFor([&] { return clock.elapsed() >= ms && levelReports(f.listener) >= reports + ms / 50; }, kWaitMs);
    f.engine->GetRecorder()->Stop();
    return waited;
}

} // namespace

class EngineSoundTest : public QObject
{
    Q_OBJECT

private slots:
    void serverToneReachesRecordingAndLevels();
    void withoutServerTheWorldStandsInSilently();
};

void EngineSoundTest::serverToneReachesRecordingAndLevels()
{
    PulseServer pulse;
    if (!pulse.start(kToneHz))
        QSKIP(qPrintable(QStringLiteral("no PulseAudio server could start: ") + pulse.errorString()));
    EngineFixture f;
    QCOMPARE(initScene(f), 0);
    QVERIFY(addPicture(f) > 0);

    const std::vector<ListedDevice> devices = listDevices(f.scene());
    QVERIFY2(kindOf(devices, PulseServer::kToneName) == AudioMicrophone, qPrintable(describe(devices)));
    QVERIFY2(kindOf(devices, PulseServer::kMonitorName) == AudioSystemSound, qPrintable(describe(devices)));
    QCOMPARE(f.scene()->OpenAudioDevice(u"tone"), 0);
    char16_t current[255] = {};
    QVERIFY(f.scene()->GetCurrentMicDevice(current, 255, 0));
    QCOMPARE(QString::fromStdU16String(current), QStringLiteral("tone"));

    // Full volume: the tone in the track, the levels following it.
    const QString loud = f.env.workPath() + QStringLiteral("/loud.mp4");
    const int firstReport = levelReports(f.listener);
    QVERIFY(record(f, loud, 3000));
    const MediaSummary m = testsupport::inspectMedia(loud, kFps);
    QVERIFY(m.opened);
    QCOMPARE(m.videoCodec, QStringLiteral("h264"));
    QCOMPARE(m.audioCodec, QStringLiteral("aac"));
    QCOMPARE(QSize(m.width, m.height), QSize(kWidth, kHeight));
    QCOMPARE(m.soundRate, 48000);
    QVERIFY2(m.videoFrames >= kFps, qPrintable(QString::number(m.videoFrames)));
    QVERIFY2(m.sound.size() >= size_t(2 * m.soundRate), qPrintable(QString::number(m.sound.size())));
    QVERIFY2(qAbs(m.firstAudioS - m.firstVideoS) <= 0.1,
             qPrintable(QStringLiteral("audio %1 s, video %2 s").arg(m.firstAudioS).arg(m.firstVideoS)));
    const double endS = double(m.sound.size()) / m.soundRate;
    const double hz = medianTone(m, 0.5, endS - 0.2);
    QVERIFY2(qAbs(hz - kToneHz) <= 5, qPrintable(QStringLiteral("%1 Hz").arg(hz)));
    const float peak = testsupport::soundPeak(m.sound, m.soundRate, 0.5, endS - 0.2);
    QVERIFY2(peak > 0.05f, qPrintable(QString::number(peak)));

    const std::vector<int> loudLevels = levelsOf(f.listener, AudioMicrophone, size_t(firstReport));
    QVERIFY(loudLevels.size() >= 20);
    const int full = median(loudLevels);
    // The level is the peak in percent of full scale: the track's peak.
    QVERIFY2(qAbs(full - peak * 100) <= std::max(3.0, peak * 100 * 0.25),
             qPrintable(QStringLiteral("level %1, track peak %2").arg(full).arg(peak)));
    for (const mvplatform::CallRecord &r : f.listener.calls.of("OnAudioLevel"))
        QVERIFY(r.thread == f.ours()->libraryThread());

    // Half volume: half the level (wide: the peak of 100 ms is coarse).
    f.scene()->SetVolume(AudioMicrophone, 50);
    const size_t halfFrom = size_t(levelReports(f.listener)) + 4; // a few windows to settle
    QTRY_VERIFY_WITH_TIMEOUT(levelsOf(f.listener, AudioMicrophone, halfFrom).size() >= 10, kWaitMs);
    const int half = median(levelsOf(f.listener, AudioMicrophone, halfFrom));
    QVERIFY2(half >= full * 0.3 && half <= full * 0.7, qPrintable(QStringLiteral("half %1, full %2").arg(half).arg(full)));

    // Volume 0: a silent track, levels at 0.
    f.scene()->SetVolume(AudioMicrophone, 0);
    QTRY_VERIFY_WITH_TIMEOUT(levelsOf(f.listener, AudioMicrophone).back() == 0, kWaitMs);
    const QString quiet = f.env.workPath() + QStringLiteral("/quiet.mp4");
    QVERIFY(record(f, quiet, 2000));
    const MediaSummary q = testsupport::inspectMedia(quiet, 0);
    QCOMPARE(q.audioCodec, QStringLiteral("aac"));
    QVERIFY2(q.sound.size() >= size_t(q.soundRate), qPrintable(QString::number(q.sound.size())));
    const float quietPeak = testsupport::soundPeak(q.sound, q.soundRate, 0, 1e9);
    QVERIFY2(quietPeak < 0.002f, qPrintable(QString::number(quietPeak)));
    const std::vector<int> quietLevels = levelsOf(f.listener, AudioMicrophone, size_t(levelReports(f.listener)) - 10);
    QVERIFY(std::all_of(quietLevels.begin(), quietLevels.end(), [](int l) { return l == 0; }));
}

void EngineSoundTest::withoutServerTheWorldStandsInSilently()
{
    PulseServer pulse;
    pulse.pointAtNoServer();
    EngineFixture f;
    castcore::World world = castcore::control().world();
    world.audioDevices = {{u"{mic-world}", u"世界麦克风", AudioMicrophone, 0.0},
                          {u"{spk-world}", u"世界扬声器", AudioSystemSound, 0.0}};
    castcore::control().setWorld(world);
    QCOMPARE(initScene(f), 0);
    QVERIFY(addPicture(f) > 0);

    QElapsedTimer clock;
    clock.start();
    const std::vector<ListedDevice> devices = listDevices(f.scene());
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed()))); // no waiting on a server
    QCOMPARE(int(devices.size()), 2);
    QCOMPARE(devices[0].key, QStringLiteral("{mic-world}"));
    QCOMPARE(devices[0].kind, int(AudioMicrophone));
    QCOMPARE(devices[1].key, QStringLiteral("{spk-world}"));
    QCOMPARE(devices[1].kind, int(AudioSystemSound));
    QCOMPARE(f.scene()->OpenAudioDevice(u"{mic-world}"), 0);

    const QString path = f.env.workPath() + QStringLiteral("/world.mp4");
    QVERIFY(record(f, path, 2000));
    const MediaSummary m = testsupport::inspectMedia(path, 0);
    QVERIFY(m.opened);
    QCOMPARE(m.videoCodec, QStringLiteral("h264"));
    QCOMPARE(m.audioCodec, QStringLiteral("aac"));
    QVERIFY2(m.sound.size() >= size_t(m.soundRate), qPrintable(QString::number(m.sound.size())));
    const float peak = testsupport::soundPeak(m.sound, m.soundRate, 0, 1e9);
    QVERIFY2(peak < 0.002f, qPrintable(QString::number(peak)));
}

std::unique_ptr<QObject> makeEngineSoundTest()
{
    return std::make_unique<EngineSoundTest>();
}

#include "tst_enginesound.moc"
