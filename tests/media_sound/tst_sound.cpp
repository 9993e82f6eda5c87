#include "SoundRecorder.h"

#include "CastCoreWorld.h"
#include "DebugCapture.h"
#include "MediaSinks.h"
#include "PulseServer.h"
#include "TempEnvironment.h"
#include "audio/AudioEngine.h"
#include "audio/RetryBackoff.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <memory>

using namespace castcore;
using testsupport::PulseServer;

namespace {

// Generous for 16 tests on 8 busy cores under sanitizers.
constexpr int kWaitMs = 15000;

AudioDevice worldDevice(const std::u16string &key, int kind, double toneHz)
{
    AudioDevice d;
    d.key = key;
    d.name = u"设备 " + key;
    d.kind = kind;
    d.toneHz = toneHz;
    return d;
}

World worldWith(std::vector<AudioDevice> devices)
{
    World w = World::builtIn();
    w.audioDevices = std::move(devices);
    return w;
}

const AudioDevice *findKey(const std::vector<AudioDevice> &devices, const std::u16string &key)
{
    for (const AudioDevice &d : devices)
        if (d.key == key)
            return &d;
    return nullptr;
}

std::unique_ptr<AudioEngine> makeEngine(SoundRecorder &recorder)
{
    return std::make_unique<AudioEngine>(&recorder, [&recorder](int type, int level) { recorder.onLevel(type, level); });
}

int countContaining(const QStringList &lines, const QString &fragment)
{
    return int(std::count_if(lines.begin(), lines.end(), [&](const QString &l) { return l.contains(fragment); }));
}

bool allSilent(const std::vector<int16_t> &samples)
{
    return std::all_of(samples.begin(), samples.end(), [](int16_t s) { return s == 0; });
}

bool channelsEqual(const std::vector<int16_t> &samples)
{
    for (size_t i = 0; i + 1 < samples.size(); i += 2)
        if (samples[i] != samples[i + 1])
            return false;
    return true;
}

qint64 msSince(const QElapsedTimer &t)
{
    return t.elapsed();
}

// The track runs on, chunk after chunk 10 ms apart. Only a mixer that said
// it fell behind (a loaded machine) may have skipped time.
QString trackBreak(const std::vector<SoundChunk> &chunks, bool skipReported)
{
    for (size_t i = 1; i < chunks.size(); ++i) {
        const int64_t step = chunks[i].ptsUs - chunks[i - 1].ptsUs;
        if (step == 10000 || (skipReported && step > 10000 && step % 10000 == 0))
            continue;
        return QStringLiteral("chunk %1 of %2 follows %3 us after the one before")
            .arg(i)
            .arg(chunks.size())
            .arg(step);
    }
    return QString();
}

} // namespace

#define START_SERVER(server)                                                                                 \
    do {                                                                                                     \
        if (!(server).start())                                                                               \
            QSKIP(qPrintable(QStringLiteral("no private PulseAudio server: ") + (server).errorString()));  \
    } while (false)

namespace {

// A private server with an engine on it, the named devices open and the
// mixer started. Start the server (START_SERVER) before start().
struct ServerSound
{
    testsupport::TempEnvironment env;
    PulseServer server;
    SoundRecorder recorder;
    std::unique_ptr<AudioEngine> engine;
    std::vector<AudioDevice> listed;
    QString error;

    // False, with `error` saying why, when a device is not listed or does not open.
    bool start(const World &world = World::builtIn(), const std::vector<std::u16string> &keys = {u"tone"})
    {
        engine = makeEngine(recorder);
        listed = engine->devices(world);
        for (const std::u16string &key : keys) {
            const AudioDevice *device = findKey(listed, key);
            if (!device || !engine->open(*device)) {
                error = QStringLiteral("%1 %2").arg(QString::fromStdU16String(key),
                                                    device ? QStringLiteral("does not open") : QStringLiteral("not listed"));
                return false;
            }
        }
        engine->start();
        return true;
    }
};

} // namespace

class TestSound : public QObject
{
    Q_OBJECT

private slots:
    void worldReadsDeviceTones_data();
    void worldReadsDeviceTones();
    void clockIsSteadyMicroseconds();
    void retryPausesGrowToACeiling_data();
    void retryPausesGrowToACeiling();

    void listsServerSourcesAndMonitors();
    void serverToneReachesSink();
    void serverLevelFollowsVolume();
    void killedServerLeavesSilence();
    void silentServerDoesNotStall();
    void returningServerSoundsAgain();
    void absentServerIsAskedRarely();
    void returningSourceKeepsToItsInput();

    void noServerGivesWorldDevices();
    void worldDeviceSounds_data();
    void worldDeviceSounds();
    void levelFollowsVolume_data();
    void levelFollowsVolume();
    void mixesBothTypes();
    void chunksFollowEngineClock();
};

void TestSound::worldReadsDeviceTones_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<double>("toneHz");
    QTest::newRow("tone") << R"({"key": "{a}", "name": "A", "kind": 1, "tone": 440})" << 440.0;
    QTest::newRow("fractional") << R"({"key": "{a}", "name": "A", "kind": 2, "tone": 997.5})" << 997.5;
    QTest::newRow("no tone") << R"({"key": "{a}", "name": "A", "kind": 1})" << 0.0;
    QTest::newRow("negative") << R"({"key": "{a}", "name": "A", "kind": 1, "tone": -20})" << 0.0;
    QTest::newRow("text") << R"({"key": "{a}", "name": "A", "kind": 1, "tone": "loud"})" << 0.0;
}

void TestSound::worldReadsDeviceTones()
{
    QFETCH(QString, entry);
    QFETCH(double, toneHz);
    const QByteArray json = "{\"audioDevices\": [" + entry.toUtf8() + "]}";
    const World w = World::fromJson(QJsonDocument::fromJson(json).object());
    QCOMPARE(int(w.audioDevices.size()), 1);
    QCOMPARE(w.audioDevices[0].toneHz, toneHz);
    for (const AudioDevice &d : World::builtIn().audioDevices)
        QCOMPARE(d.toneHz, 0.0);
}

void TestSound::clockIsSteadyMicroseconds()
{
    const int64_t before = std::chrono::duration_cast<std::chrono::microseconds>(
                               std::chrono::steady_clock::now().time_since_epoch())
                               .count();
    const int64_t now = mediaNowUs();
    const int64_t after = std::chrono::duration_cast<std::chrono::microseconds>(
                              std::chrono::steady_clock::now().time_since_epoch())
                              .count();
    QVERIFY(before <= now);
    QVERIFY(now <= after);
}

void TestSound::retryPausesGrowToACeiling_data()
{
    QTest::addColumn<int>("failures");
    QTest::addColumn<QList<int>>("pausesMs");
    QTest::newRow("first") << 0 << QList<int>{250};
    QTest::newRow("doubling") << 0 << QList<int>{250, 500, 1000, 2000};
    QTest::newRow("ceiling") << 0 << QList<int>{250, 500, 1000, 2000, 2000, 2000, 2000};
    QTest::newRow("after a success") << 5 << QList<int>{250, 500};
}

void TestSound::retryPausesGrowToACeiling()
{
    QFETCH(int, failures);
    QFETCH(QList<int>, pausesMs);
    RetryBackoff backoff;
    for (int i = 0; i < failures; ++i)
        backoff.next();
    if (failures > 0)
        backoff.reset();
    for (int i = 0; i < pausesMs.size(); ++i)
        QCOMPARE(int(backoff.next().count()), pausesMs[i]);
}

void TestSound::listsServerSourcesAndMonitors()
{
    testsupport::TempEnvironment env;
    PulseServer server;
    START_SERVER(server);
    SoundRecorder recorder;
    auto engine = makeEngine(recorder);
    const World world = worldWith({worldDevice(u"{world-mic}", AudioMicrophone, 0)});

    const std::vector<AudioDevice> listed = engine->devices(world);
    const AudioDevice *tone = findKey(listed, u"tone");
    const AudioDevice *monitor = findKey(listed, u"testsink.monitor");
    QVERIFY(tone);
    QVERIFY(monitor);
    QCOMPARE(tone->kind, 1);
    QCOMPARE(monitor->kind, 2);
    // Names are the server's descriptions, not the keys.
    QVERIFY(!tone->name.empty() && tone->name != tone->key);
    QVERIFY(!monitor->name.empty() && monitor->name != monitor->key);
    QCOMPARE(int(listed.size()), 2);
    QVERIFY(!findKey(listed, u"{world-mic}"));

    // A sink added on the server shows up in the next listing.
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                                          QStringLiteral("sink_name=second")});
    QVERIFY(pactl.waitForFinished(kWaitMs));
    QCOMPARE(pactl.exitCode(), 0);
    const std::vector<AudioDevice> again = engine->devices(world);
    QVERIFY(findKey(again, u"second.monitor"));
    QCOMPARE(findKey(again, u"second.monitor")->kind, 2);
}

void TestSound::serverToneReachesSink()
{
    ServerSound f;
    START_SERVER(f.server);
    QVERIFY2(f.start(), qPrintable(f.error));
    SoundRecorder &recorder = f.recorder;

    QTRY_VERIFY_WITH_TIMEOUT(recorder.framesSinceSound() >= kAudioRate, kWaitMs);
    const std::vector<int16_t> second = recorder.lastFrames(kAudioRate);
    const double hz = toneFrequency(second);
    QVERIFY2(std::abs(hz - 440.0) <= 4.0, qPrintable(QString::number(hz)));
    QVERIFY(channelsEqual(second));
    // Each level is the peak the sink got: report n covers chunks 10n..10n+9.
    const std::vector<LevelReport> reports = recorder.levels();
    const std::vector<int16_t> heard = recorder.framesAfter(0);
    const size_t window = size_t(kAudioRate / 10) * kAudioChannels;
    QVERIFY(reports.size() >= 5);
    for (size_t i = 0; i < reports.size(); ++i) {
        const std::vector<int16_t> part(heard.begin() + long(i * window), heard.begin() + long((i + 1) * window));
        const int expected = (peakOf(part) * 100 + 16383) / 32767;
        QVERIFY2(reports[i].level == expected,
                 qPrintable(QStringLiteral("report %1: %2, peak %3").arg(i).arg(reports[i].level).arg(expected)));
    }
    QVERIFY(recorder.medianLevel(1, 0) >= 5);
    QCOMPARE(recorder.lastLevel(2), -1); // no system-sound device open

    QElapsedTimer closing;
    closing.start();
    f.engine.reset();
    QVERIFY2(closing.elapsed() < 2000, qPrintable(QString::number(closing.elapsed())));
}

void TestSound::serverLevelFollowsVolume()
{
    ServerSound f;
    START_SERVER(f.server);
    QVERIFY2(f.start(), qPrintable(f.error));
    SoundRecorder &recorder = f.recorder;
    QTRY_VERIFY_WITH_TIMEOUT(recorder.framesSinceSound() >= kAudioRate / 2, kWaitMs);
    const int fullPeak = typicalPeak(recorder.lastFrames(kAudioRate / 2));
    const int fullLevel = recorder.medianLevel(1, 0);
    QVERIFY2(fullLevel >= 5, qPrintable(QString::number(fullLevel)));

    // Reports and sound from 200 ms after a change on show only the new
    // volume. Medians: a loaded server may skip and leave one overshoot.
    struct Step
    {
        int volume;
        int level;
        int peak;
    };
    for (const Step &step : {Step{50, fullLevel / 2, fullPeak / 2}, Step{0, 0, 0}, Step{100, fullLevel, fullPeak}}) {
        f.engine->setVolume(1, step.volume);
        const int64_t mark = recorder.frameCount() + kAudioRate / 5;
        const size_t reports = recorder.levels().size() + 2;
        QTRY_VERIFY_WITH_TIMEOUT(recorder.levels().size() >= reports + 4 && recorder.frameCount() >= mark + kAudioRate / 2,
                                 kWaitMs);
        const int level = recorder.medianLevel(1, reports);
        const int peak = typicalPeak(recorder.framesAfter(mark));
        const QString seen = QStringLiteral("volume %1: level %2, peak %3").arg(step.volume).arg(level).arg(peak);
        QVERIFY2(std::abs(level - step.level) <= 1, qPrintable(seen));
        QVERIFY2(std::abs(peak - step.peak) <= fullPeak / 100 + 2, qPrintable(seen));
    }
}

void TestSound::killedServerLeavesSilence()
{
    ServerSound f;
    START_SERVER(f.server);
    const World world = worldWith({worldDevice(u"{world-mic}", AudioMicrophone, 0)});
    QVERIFY2(f.start(world), qPrintable(f.error));
    SoundRecorder &recorder = f.recorder;
    QTRY_VERIFY_WITH_TIMEOUT(recorder.framesSinceSound() >= kAudioRate / 4, kWaitMs);

    testsupport::DebugCapture log;
    f.server.kill();
    // The mixer goes on, with silence where the tone was.
    QTRY_VERIFY_WITH_TIMEOUT(countContaining(log.messages(), QStringLiteral("engine: sound server lost")) >= 1, kWaitMs);
    // What was captured before the end still plays; then silence for good.
    QTRY_VERIFY_WITH_TIMEOUT(allSilent(recorder.lastFrames(kAudioRate / 4)), kWaitMs);
    const int64_t mark = recorder.frameCount();
    const size_t reports = recorder.levels().size() + 1;
    QTRY_VERIFY_WITH_TIMEOUT(recorder.frameCount() - mark >= kAudioRate / 2 && recorder.levels().size() >= reports + 3,
                             kWaitMs);
    QVERIFY(allSilent(recorder.framesAfter(mark)));
    QCOMPARE(recorder.highestLevel(1, reports), 0);

    // Without the server the world's devices come back, quickly.
    QElapsedTimer listing;
    listing.start();
    const std::vector<AudioDevice> after = f.engine->devices(world);
    QVERIFY2(listing.elapsed() < 3000, qPrintable(QString::number(listing.elapsed())));
    QCOMPARE(int(after.size()), 1);
    QVERIFY(findKey(after, u"{world-mic}"));
    QCOMPARE(countContaining(log.messages(), QStringLiteral("engine: sound server lost")), 1);

    QElapsedTimer closing;
    closing.start();
    f.engine.reset();
    QVERIFY2(closing.elapsed() < 2000, qPrintable(QString::number(closing.elapsed())));
    QCOMPARE(countContaining(log.messages(), QStringLiteral("engine: sound server lost")), 1);
}

void TestSound::silentServerDoesNotStall()
{
    testsupport::TempEnvironment env;
    PulseServer server;
    START_SERVER(server);
    QVERIFY(server.pause());
    testsupport::DebugCapture log;
    SoundRecorder recorder;
    auto engine = makeEngine(recorder);
    const World world = worldWith({worldDevice(u"{world-mic}", AudioMicrophone, 440)});

    // The connection gives up after its timeout; the world's devices serve.
    QElapsedTimer timer;
    timer.start();
    std::vector<AudioDevice> listed = engine->devices(world);
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(int(listed.size()), 1);
    QVERIFY(findKey(listed, u"{world-mic}"));
    // Asked again at once, the engine does not wait for that server again.
    timer.restart();
    listed = engine->devices(world);
    QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(int(listed.size()), 1);
    QCOMPARE(countContaining(log.messages(), QStringLiteral("engine: the sound server did not answer")), 1);

    // Its devices still sound.
    QVERIFY(engine->open(listed[0]));
    engine->start();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.framesSinceSound() >= kAudioRate / 4, kWaitMs);
    QVERIFY(std::abs(toneFrequency(recorder.lastFrames(kAudioRate / 4)) - 440.0) <= 2.0);
    timer.restart();
    engine.reset();
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    server.resume();
}

void TestSound::returningServerSoundsAgain()
{
    ServerSound f;
    START_SERVER(f.server);
    testsupport::DebugCapture log;
    QVERIFY2(f.start(), qPrintable(f.error));
    SoundRecorder &recorder = f.recorder;
    QTRY_VERIFY_WITH_TIMEOUT(recorder.framesSinceSound() >= kAudioRate / 4, kWaitMs);

    f.server.kill();
    QTRY_VERIFY_WITH_TIMEOUT(allSilent(recorder.lastFrames(kAudioRate / 4)), kWaitMs);
    // Gone for three seconds of track, long enough for the retries to
    // reach their longest pause.
    const int64_t goneMark = recorder.frameCount();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.frameCount() >= goneMark + 3 * kAudioRate, kWaitMs);
    QVERIFY(allSilent(recorder.framesAfter(goneMark)));

    QVERIFY2(f.server.restart(), qPrintable(f.server.errorString()));
    const int64_t backUs = mediaNowUs();
    const int64_t backMark = recorder.frameCount();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.soundArrivedAfter(backMark) >= 0, kWaitMs);
    const int64_t soundAfterMs = (recorder.soundArrivedAfter(backMark) - backUs) / 1000;
    qInfo("sound again %lld ms after the server came back", static_cast<long long>(soundAfterMs));
    // Within 5 s of the return; the margin is for a loaded sanitizer build.
    QVERIFY2(soundAfterMs <= 15000, qPrintable(QString::number(soundAfterMs)));

    // The device's own tone, whole again.
    const int64_t soundMark = recorder.frameCount();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.frameCount() >= soundMark + kAudioRate / 2, kWaitMs);
    const std::vector<int16_t> again = recorder.framesAfter(soundMark);
    const double hz = toneFrequency(again);
    QVERIFY2(std::abs(hz - 440.0) <= 4.0, qPrintable(QString::number(hz)));
    QVERIFY(recorder.medianLevel(1, recorder.levels().size() - 3) >= 5);

    const QString broken = trackBreak(recorder.chunks(), countContaining(log.messages(), QStringLiteral("engine: sound mixer fell")) > 0);
    QVERIFY2(broken.isEmpty(), qPrintable(broken));
    QCOMPARE(countContaining(log.messages(), QStringLiteral("engine: sound server lost")), 1);
}

void TestSound::absentServerIsAskedRarely()
{
    ServerSound f;
    START_SERVER(f.server);
    QVERIFY2(f.start(), qPrintable(f.error));
    SoundRecorder &recorder = f.recorder;
    QTRY_VERIFY_WITH_TIMEOUT(recorder.framesSinceSound() >= kAudioRate / 4, kWaitMs);

    f.server.kill();
    QVERIFY2(f.server.hangUpOnClients(), qPrintable(f.server.errorString()));
    const int64_t mark = recorder.frameCount();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.frameCount() >= mark + 4 * kAudioRate, kWaitMs);
    // Pauses of 250 ms doubling to 2 s: five attempts in four seconds, a few
    // more on a slow machine, never a stream of them.
    const int asked = f.server.hungUp();
    QVERIFY2(asked >= 2 && asked <= 10, qPrintable(QString::number(asked)));

    // Stopping ends the retries at once.
    QElapsedTimer closing;
    closing.start();
    f.engine.reset();
    QVERIFY2(closing.elapsed() < 2000, qPrintable(QString::number(closing.elapsed())));
}

void TestSound::returningSourceKeepsToItsInput()
{
    ServerSound f;
    START_SERVER(f.server);
    QVERIFY2(f.start(World::builtIn(), {u"tone", u"testsink.monitor"}), qPrintable(f.error));
    SoundRecorder &recorder = f.recorder;
    PulseServer &server = f.server;
    QTRY_VERIFY_WITH_TIMEOUT(recorder.framesSinceSound() >= kAudioRate / 4 && recorder.lastLevel(2) >= 0, kWaitMs);
    const size_t firstReport = recorder.levels().size();

    const int toneModule = server.moduleIndex(QStringLiteral("module-sine-source"));
    QVERIFY2(toneModule >= 0, qPrintable(server.errorString()));
    QVERIFY2(server.unloadModule(toneModule), qPrintable(server.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(allSilent(recorder.lastFrames(kAudioRate / 4)), kWaitMs);

    QVERIFY2(server.loadModule(QStringLiteral("module-sine-source"), QStringLiteral("source_name=tone frequency=440")) >= 0,
             qPrintable(server.errorString()));
    const int64_t backUs = mediaNowUs();
    const int64_t backMark = recorder.frameCount();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.soundArrivedAfter(backMark) >= 0, kWaitMs);
    qInfo("the source sounds again %lld ms after it came back",
          static_cast<long long>((recorder.soundArrivedAfter(backMark) - backUs) / 1000));

    // A second of reports with the tone back: the microphone carries it, the
    // system sound (a sink nothing plays to) still carries nothing.
    const size_t backReport = recorder.levels().size() + 2;
    QTRY_VERIFY_WITH_TIMEOUT(recorder.levels().size() >= backReport + 20, kWaitMs);
    QVERIFY2(recorder.medianLevel(1, backReport) >= 5, qPrintable(QString::number(recorder.medianLevel(1, backReport))));
    QCOMPARE(recorder.highestLevel(2, firstReport), 0);
    const double hz = toneFrequency(recorder.lastFrames(kAudioRate / 2));
    QVERIFY2(std::abs(hz - 440.0) <= 4.0, qPrintable(QString::number(hz)));
}

void TestSound::noServerGivesWorldDevices()
{
    testsupport::TempEnvironment env;
    PulseServer server;
    server.pointAtNoServer();
    SoundRecorder recorder;
    auto engine = makeEngine(recorder);
    const World world = worldWith({worldDevice(u"{m}", AudioMicrophone, 440), worldDevice(u"{s}", AudioSystemSound, 0),
                                   worldDevice(u"{m2}", AudioMicrophone, 1000)});
    for (int round = 0; round < 2; ++round) {
        QElapsedTimer timer;
        timer.start();
        const std::vector<AudioDevice> listed = engine->devices(world);
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(int(listed.size()), 3);
        for (size_t i = 0; i < listed.size(); ++i) {
            QVERIFY(listed[i].key == world.audioDevices[i].key);
            QVERIFY(listed[i].name == world.audioDevices[i].name);
            QCOMPARE(listed[i].kind, world.audioDevices[i].kind);
            QCOMPARE(listed[i].toneHz, world.audioDevices[i].toneHz);
        }
    }
}

void TestSound::worldDeviceSounds_data()
{
    QTest::addColumn<double>("toneHz");
    QTest::addColumn<int>("kind");
    QTest::newRow("440 Hz microphone") << 440.0 << 1;
    QTest::newRow("1000 Hz system sound") << 1000.0 << 2;
    QTest::newRow("silent microphone") << 0.0 << 1;
    QTest::newRow("silent system sound") << 0.0 << 2;
}

void TestSound::worldDeviceSounds()
{
    QFETCH(double, toneHz);
    QFETCH(int, kind);
    testsupport::TempEnvironment env;
    PulseServer server;
    server.pointAtNoServer();
    SoundRecorder recorder;
    auto engine = makeEngine(recorder);
    const AudioDevice device = worldDevice(u"{dev}", kind, toneHz);
    const std::vector<AudioDevice> listed = engine->devices(worldWith({device}));
    QCOMPARE(int(listed.size()), 1);
    QVERIFY(engine->open(listed[0]));
    engine->start();

    QTRY_VERIFY_WITH_TIMEOUT(recorder.frameCount() >= kAudioRate / 2, kWaitMs);
    const std::vector<int16_t> heard = recorder.lastFrames(kAudioRate / 2);
    if (toneHz == 0) {
        QVERIFY(allSilent(heard));
    } else {
        const double hz = toneFrequency(heard);
        QVERIFY2(std::abs(hz - toneHz) <= 2.0, qPrintable(QString::number(hz)));
        // Half of full scale.
        QVERIFY(std::abs(peakOf(heard) - 16384) <= 2);
        QVERIFY(channelsEqual(heard));
    }
    QTRY_VERIFY_WITH_TIMEOUT(recorder.lastLevel(kind) >= 0, kWaitMs);
    QCOMPARE(recorder.lastLevel(kind), toneHz == 0 ? 0 : 50);
    QCOMPARE(recorder.lastLevel(3 - kind), -1);
}

void TestSound::levelFollowsVolume_data()
{
    QTest::addColumn<int>("volume");
    QTest::addColumn<int>("peak");
    QTest::addColumn<int>("level");
    // A world tone peaks at half of full scale (16384, level 50).
    QTest::newRow("100 unchanged") << 100 << 16384 << 50;
    QTest::newRow("50 halves") << 50 << 8192 << 25;
    QTest::newRow("10") << 10 << 1638 << 5;
    QTest::newRow("0 silence") << 0 << 0 << 0;
    QTest::newRow("above 100 stays 100") << 180 << 16384 << 50;
    QTest::newRow("below 0 is silence") << -20 << 0 << 0;
}

void TestSound::levelFollowsVolume()
{
    QFETCH(int, volume);
    QFETCH(int, peak);
    QFETCH(int, level);
    testsupport::TempEnvironment env;
    PulseServer server;
    server.pointAtNoServer();
    SoundRecorder recorder;
    auto engine = makeEngine(recorder);
    const std::vector<AudioDevice> listed = engine->devices(worldWith({worldDevice(u"{mic}", 1, 440)}));
    QVERIFY(engine->open(listed.at(0)));
    engine->setVolume(1, volume);
    QElapsedTimer clock;
    clock.start();
    engine->start();

    QTRY_VERIFY_WITH_TIMEOUT(recorder.levels().size() >= 5, kWaitMs);
    const qint64 elapsed = msSince(clock);
    QVERIFY(std::abs(peakOf(recorder.lastFrames(kAudioRate / 10)) - peak) <= 2);
    const std::vector<LevelReport> levels = recorder.levels();
    for (const LevelReport &r : levels) {
        QCOMPARE(r.type, 1);
        QCOMPARE(r.level, level);
    }
    // One report per 100 ms: the fifth after half a second at the earliest.
    QVERIFY2(elapsed >= 450, qPrintable(QString::number(elapsed)));
    const int64_t spanUs = levels.back().atUs - levels.front().atUs;
    const int64_t periodUs = spanUs / int64_t(levels.size() - 1);
    QVERIFY2(periodUs >= 80000 && periodUs <= 200000, qPrintable(QString::number(periodUs)));
}

void TestSound::mixesBothTypes()
{
    testsupport::TempEnvironment env;
    PulseServer server;
    server.pointAtNoServer();
    SoundRecorder recorder;
    auto engine = makeEngine(recorder);
    const std::vector<AudioDevice> listed = engine->devices(
        worldWith({worldDevice(u"{mic}", AudioMicrophone, 1000), worldDevice(u"{sys}", AudioSystemSound, 1000)}));
    QVERIFY(engine->open(listed.at(0)));
    QVERIFY(engine->open(listed.at(1)));
    engine->setVolume(2, 50);
    engine->start();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.lastLevel(1) >= 0 && recorder.lastLevel(2) >= 0, kWaitMs);
    QCOMPARE(recorder.lastLevel(1), 50);
    QCOMPARE(recorder.lastLevel(2), 25);
    // Both in phase: the sum peaks at three quarters of full scale.
    QVERIFY(std::abs(peakOf(recorder.lastFrames(kAudioRate / 10)) - 24576) <= 3);

    // Reopening the microphone as a silent device leaves the system sound.
    QVERIFY(engine->open(worldDevice(u"{quiet}", AudioMicrophone, 0)));
    const int reports = int(recorder.levels().size());
    QTRY_VERIFY_WITH_TIMEOUT(int(recorder.levels().size()) >= reports + 4 && recorder.lastLevel(1) == 0, kWaitMs);
    QCOMPARE(recorder.lastLevel(2), 25);
    QVERIFY(std::abs(peakOf(recorder.lastFrames(kAudioRate / 20)) - 8192) <= 2);
}

void TestSound::chunksFollowEngineClock()
{
    testsupport::TempEnvironment env;
    PulseServer server;
    server.pointAtNoServer();
    SoundRecorder recorder;
    auto engine = makeEngine(recorder);
    const std::vector<AudioDevice> listed = engine->devices(worldWith({worldDevice(u"{mic}", 1, 440)}));
    QVERIFY(engine->open(listed.at(0)));
    const int64_t startedUs = mediaNowUs();
    engine->start();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.chunkCount() >= 60, kWaitMs);
    engine->stop();
    const int64_t stoppedUs = mediaNowUs();
    const int count = recorder.chunkCount();
    // Stopped: nothing more arrives.
    QCOMPARE(recorder.chunkCount(), count);

    const std::vector<SoundChunk> chunks = recorder.chunks();
    std::vector<int64_t> steps;
    for (size_t i = 0; i < chunks.size(); ++i) {
        QCOMPARE(chunks[i].frames, 480);
        // Stamped on the engine clock, never ahead of the time it arrives.
        QVERIFY(chunks[i].ptsUs >= startedUs - 20000);
        QVERIFY(chunks[i].ptsUs <= chunks[i].arrivedUs);
        QVERIFY(chunks[i].ptsUs <= stoppedUs);
        if (i > 0)
            steps.push_back(chunks[i].ptsUs - chunks[i - 1].ptsUs);
    }
    std::sort(steps.begin(), steps.end());
    QVERIFY2(steps.front() >= 9000, qPrintable(QString::number(steps.front())));
    const int64_t median = steps[steps.size() / 2];
    QVERIFY2(std::abs(median - 10000) <= 500, qPrintable(QString::number(median)));
    // Most chunks arrive soon after their time, not in bursts long after.
    std::vector<int64_t> delays;
    for (const SoundChunk &c : chunks)
        delays.push_back(c.arrivedUs - c.ptsUs);
    std::sort(delays.begin(), delays.end());
    QVERIFY2(delays[delays.size() / 2] < 200000, qPrintable(QString::number(delays[delays.size() / 2])));

    // A restart goes on at the clock's present time.
    const int64_t restartUs = mediaNowUs();
    engine->start();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.chunkCount() >= count + 5, kWaitMs);
    QVERIFY(recorder.chunks()[size_t(count)].ptsUs >= restartUs - 20000);
}

QTEST_GUILESS_MAIN(TestSound)
#include "tst_sound.moc"
