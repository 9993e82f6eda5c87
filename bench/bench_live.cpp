// End to end at 1280x720, 25 fps, 2500 kbit/s: the full scene composed by
// the engine, encoded once, pushed over RTMP to a local receiver (saving
// what it receives) and recorded at the same time. Over the run: the
// process's CPU (all threads) as % of one core and ms per frame, its
// resident memory, the latency from composition to the socket (the engine's
// own figure), the audio-video drift of the received stream and of the
// recording (ffprobe), and the end gap at the stop as a viewer gets it
// (decoded). Then, with the same engine: more short recording sessions,
// each with a mark (the scene under a white picture, and a tone burst at the
// stamp of its first white canvas), for the sync at the mark and the end gap
// of each; and a push through a relay that carries 40 % of the bit rate, for
// the delay at the receiver and the frames dropped. Last, `ffmpeg` encodes
// the run's composed frames, paced in real time, with the same x264
// settings: the floor.
//   BENCH_LIVE_SECONDS=N or --seconds=N sets the main run (default 60, up to
//   600); BENCH_LIVE_SLOW_SECONDS=N or --slow-seconds=N the slow link
//   (default 30, 10 to 600).

#include "BenchScene.h"
#include "DebugCapture.h"
#include "EncodePipeline.h"
#include "MediaInspector.h"
#include "RtmpReceiver.h"
#include "ThrottleRelay.h"
#include "audio/AudioEngine.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace benchscene;
using Clock = std::chrono::steady_clock;

int g_seconds = 60;
int g_slowSeconds = 30;
constexpr int kWarmUpSeconds = 3;
constexpr int kFloorFrames = 50;          // two seconds of composed canvases, cycled
constexpr int kFloorMaxSeconds = 60;

// The sessions after the main run, each a recording with one mark.
constexpr int kMarkedSessions = 3;
constexpr int64_t kMarkUs = 200000;
// Sound comes this much later than the picture of the same instant, as a
// sound server hands it.
constexpr int64_t kSoundLatencyUs = 150000;
constexpr double kToneHz = 1000.0;
// A white picture's mean brightness is 235 (video range); the scene's stays
// well below this.
constexpr int kFlashLuma = 200;
constexpr float kToneLevel = 0.1f;
constexpr double kSyncGoalMs = 20;
constexpr double kEndGapGoalMs = 40;

// The slow link: 40 % of the stream's bit rate, sound included (the
// engine's AAC runs at 128 kbit/s).
constexpr qint64 kSlowLinkBytesPerSecond = (kBitRate + 128000) * 4 / 10 / 8;
// The link fills and the receiver reads the stream's head before it
// writes: the delay is taken from then on.
constexpr int kSlowWarmUpSeconds = 6;
constexpr double kSlowDelayGoalMs = 3000;

double residentMiB()
{
    long pages = 0, resident = 0;
    FILE *f = std::fopen("/proc/self/statm", "r");
    if (f) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double maxResidentMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

std::string loadAverage()
{
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) != 3)
        return "?";
    char text[64];
    std::snprintf(text, sizeof(text), "%.2f %.2f %.2f", load[0], load[1], load[2]);
    return text;
}

// CPU seconds of each of the process's threads, by thread id, with its name.
struct ThreadCpu
{
    std::string name;
    double seconds = 0;
};

std::map<int, ThreadCpu> threadCpu()
{
    std::map<int, ThreadCpu> threads;
    const double tick = double(sysconf(_SC_CLK_TCK));
    const QStringList tids = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &tid : tids) {
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const int open = line.indexOf('('), close = line.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        // After the name: state is field 3; utime and stime are 14 and 15.
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (fields.size() < 13)
            continue;
        ThreadCpu entry;
        entry.name = line.mid(open + 1, close - open - 1).toStdString();
        entry.seconds = (fields[11].toDouble() + fields[12].toDouble()) / tick;
        threads[tid.toInt()] = entry;
    }
    return threads;
}

struct StreamSpan
{
    int packets = 0;
    double firstPts = 0;
    double lastPts = 0;
    double end = 0; // last pts + its duration
};

struct MediaSpans
{
    StreamSpan video;
    StreamSpan audio;
    bool ok() const { return video.packets > 0 && audio.packets > 0; }
};

MediaSpans probeSpans(const QString &path)
{
    MediaSpans spans;
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {"-v", "error", "-show_entries", "packet=codec_type,pts_time,duration_time",
                                            "-of", "compact=p=0", path});
    if (!probe.waitForFinished(120000) || probe.exitCode() != 0)
        return spans;
    const QList<QByteArray> lines = probe.readAllStandardOutput().split('\n');
    for (const QByteArray &line : lines) {
        QByteArray type;
        double pts = NAN, duration = 0;
        for (const QByteArray &field : line.split('|')) {
            const int eq = field.indexOf('=');
            const QByteArray key = field.left(eq), value = field.mid(eq + 1);
            if (key == "codec_type")
                type = value;
            else if (key == "pts_time" && value != "N/A")
                pts = value.toDouble();
            else if (key == "duration_time" && value != "N/A")
                duration = value.toDouble();
        }
        StreamSpan *span = type == "video" ? &spans.video : type == "audio" ? &spans.audio : nullptr;
        if (!span || std::isnan(pts))
            continue;
        if (span->packets == 0)
            span->firstPts = pts;
        span->lastPts = std::max(span->lastPts, pts);
        span->end = std::max(span->end, pts + duration);
        ++span->packets;
    }
    return spans;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

void waitNextFrame(castcore::Compositor &compositor)
{
    const int64_t seen = compositor.framesMade();
    const auto limit = Clock::now() + std::chrono::seconds(2);
    while (compositor.framesMade() == seen && Clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

void sleepUntilUs(int64_t us)
{
    const int64_t wait = us - castcore::mediaNowUs();
    if (wait > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(wait));
}

// Waits for the engine's word that the recording is complete on disk.
bool waitRecordingFinished(const testsupport::DebugCapture &capture, const QString &file, int ms)
{
    const QString line = QStringLiteral("engine: recording %1 finished").arg(file);
    const auto limit = Clock::now() + std::chrono::milliseconds(ms);
    while (!capture.contains(line) && Clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return capture.contains(line);
}

// Sound in the mixer's 10 ms buffers, stamped on the engine clock and handed
// on kSoundLatencyUs late: silence, but a tone burst for kMarkUs from the
// mark's stamp, to the sample.
class MarkedSound
{
public:
    static constexpr int64_t kNone = INT64_MIN;

    explicit MarkedSound(castcore::AudioSink *sink) : m_sink(sink) {}
    ~MarkedSound() { stop(); }
    MarkedSound(const MarkedSound &) = delete;
    MarkedSound &operator=(const MarkedSound &) = delete;

    void start()
    {
        m_stop.store(false);
        m_thread = std::thread([this, startUs = castcore::mediaNowUs()] { run(startUs); });
    }
    void stop()
    {
        m_stop.store(true);
        if (m_thread.joinable())
            m_thread.join();
    }
    // Any thread; replaces the last mark.
    void mark(int64_t us) { m_markUs.store(us); }

private:
    void run(int64_t startUs)
    {
        constexpr int kChunk = castcore::kAudioRate / 100;
        constexpr int64_t kChunkUs = 10000;
        constexpr int64_t kMarkSamples = kMarkUs * castcore::kAudioRate / 1000000;
        std::vector<int16_t> chunk(size_t(kChunk) * castcore::kAudioChannels);
        for (int64_t n = 0; !m_stop.load(); ++n) {
            const int64_t stampUs = startUs + n * kChunkUs;
            sleepUntilUs(stampUs + kChunkUs + kSoundLatencyUs);
            const int64_t markUs = m_markUs.load();
            const int64_t firstSample =
                markUs == kNone ? 0 : std::llround(double(markUs - startUs) * castcore::kAudioRate / 1e6);
            for (int i = 0; i < kChunk; ++i) {
                const int64_t k = n * kChunk + i - firstSample;
                int16_t value = 0;
                if (markUs != kNone && k >= 0 && k < kMarkSamples)
                    value = int16_t(
                        std::lround(16000 * std::sin(2 * M_PI * kToneHz * double(k) / castcore::kAudioRate)));
                chunk[size_t(i) * 2] = value;
                chunk[size_t(i) * 2 + 1] = value;
            }
            m_sink->onAudio(chunk.data(), kChunk, stampUs);
        }
    }

    castcore::AudioSink *const m_sink;
    std::atomic<int64_t> m_markUs{kNone};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Between the compositor and the pipeline: hands every canvas on as it is;
// once armed, the first canvas that is white all over marks the sound at its
// stamp.
class FlashWatch : public castcore::VideoSink
{
public:
    FlashWatch(castcore::VideoSink *next, MarkedSound *sound) : m_next(next), m_sound(sound) {}

    void arm()
    {
        m_flashUs.store(MarkedSound::kNone);
        m_armed.store(true);
    }
    // MarkedSound::kNone until the white canvas passed.
    int64_t flashUs() const { return m_flashUs.load(); }

    void onCanvas(const QImage &canvas, int64_t ptsUs) override
    {
        if (m_armed.load() && white(canvas)) {
            m_sound->mark(ptsUs);
            m_flashUs.store(ptsUs);
            m_armed.store(false);
        }
        m_next->onCanvas(canvas, ptsUs);
    }

private:
    static bool white(const QImage &canvas)
    {
        if (canvas.width() < 4 || canvas.height() < 4)
            return false;
        const int w = canvas.width() - 1, h = canvas.height() - 1;
        const QPoint probes[] = {{0, 0}, {w, 0},          {w / 2, h / 2},         {0, h},
                                 {w, h}, {w / 4, h * 9 / 10}, {w * 3 / 4, h / 10}};
        for (const QPoint &p : probes) {
            if ((canvas.pixel(p) & 0xffffffu) != 0xffffffu)
                return false;
        }
        return true;
    }

    castcore::VideoSink *const m_next;
    MarkedSound *const m_sound;
    std::atomic<bool> m_armed{false};
    std::atomic<int64_t> m_flashUs{MarkedSound::kNone};
};

// The sound's end minus the picture's, as a viewer gets them (decoded).
struct EndGap
{
    bool ok = false;
    double audioEndS = 0;
    double videoEndS = 0;
    double ms() const { return 1000.0 * (audioEndS - videoEndS); }
};

EndGap endGap(const testsupport::MediaSummary &media)
{
    EndGap gap;
    gap.ok = media.opened && media.lastAudioEndS >= 0 && media.lastVideoEndS >= 0;
    gap.audioEndS = media.lastAudioEndS;
    gap.videoEndS = media.lastVideoEndS;
    return gap;
}

struct MarkedSession
{
    int number = 0;
    std::string error; // empty when measured
    double flashS = -1;
    double toneS = -1;
    double syncMs() const { return 1000.0 * (toneS - flashS); }
    EndGap end;
};

// Records kMarkedSessions more sessions with the same engine, each with a
// mark: the scene under a white picture item, and the sound (from
// MarkedSound, in place of the mixer) with a burst at the stamp of the
// first white canvas. Leaves the road as it found it (the white item stays,
// unseen).
std::vector<MarkedSession> recordMarkedSessions(FullScene &scene, const QTemporaryDir &dir,
                                                const testsupport::DebugCapture &capture, std::string *error)
{
    std::vector<MarkedSession> sessions;
    ILiveScene *items = scene.scene();
    castcore::EncodePipeline &pipeline = scene.media().pipeline();
    castcore::Compositor &compositor = scene.compositor();
    castcore::AudioEngine &sound = scene.media().audio();

    const QString whitePath = dir.filePath(QStringLiteral("white.png"));
    QImage whitePicture(kWidth, kHeight, QImage::Format_RGB32);
    whitePicture.fill(Qt::white);
    const int flash = whitePicture.save(whitePath, "PNG")
                          ? items->CreateItem(whitePath.toUtf8().constData(), 0, 0, 100, 100)
                          : 0;
    if (flash <= 0) {
        *error = "cannot add the white picture item for the marks";
        return sessions;
    }
    items->SetItemRect(flash, 0, 0, kWidth, kHeight);
    items->SetItemZ(flash, 1 << 20);
    items->SetItemAlpha(flash, 0);

    sound.stop();
    MarkedSound marked(&pipeline);
    FlashWatch watch(&pipeline, &marked);
    compositor.setSink(&watch);
    marked.start();
    for (int i = 0; i < kMarkedSessions; ++i) {
        MarkedSession session;
        session.number = i + 2;
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // between two sessions
        const QString file = dir.filePath(QStringLiteral("session-%1.mp4").arg(session.number));
        if (!pipeline.startRecording(file.toStdString())) {
            *error = "cannot record session " + std::to_string(session.number);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        watch.arm();
        items->SetItemAlpha(flash, 255);
        const auto limit = Clock::now() + std::chrono::seconds(5);
        while (watch.flashUs() == MarkedSound::kNone && Clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const int64_t flashUs = watch.flashUs();
        if (flashUs != MarkedSound::kNone)
            sleepUntilUs(flashUs + kMarkUs);
        items->SetItemAlpha(flash, 0);
        if (flashUs != MarkedSound::kNone)
            sleepUntilUs(flashUs + 1300000);
        pipeline.stopRecording();
        const bool finished = waitRecordingFinished(capture, file, 20000);
        if (flashUs == MarkedSound::kNone) {
            session.error = "no white canvas within 5 s of showing the white picture";
        } else if (!finished) {
            session.error = "the recording did not finish within 20 s";
        } else {
            const testsupport::MediaSummary media = testsupport::inspectMedia(file, 0);
            session.flashS = testsupport::firstBrightPictureS(media, 0, kFlashLuma);
            session.toneS = testsupport::soundOnsetS(media, 0, kToneLevel);
            session.end = endGap(media);
            if (!media.opened || session.flashS < 0 || session.toneS < 0 || !session.end.ok)
                session.error = QStringLiteral("%1 pictures, %2 samples; white picture at %3 s, tone at %4 s")
                                    .arg(media.videoFrames)
                                    .arg(media.sound.size())
                                    .arg(session.flashS)
                                    .arg(session.toneS)
                                    .toStdString();
        }
        if (!session.error.empty() && error->empty())
            *error = "session " + std::to_string(session.number) + ": " + session.error;
        sessions.push_back(session);
    }
    marked.stop();
    compositor.setSink(&pipeline);
    compositor.quiesce(); // no frame still hands its canvas to the watch
    sound.start();
    return sessions;
}

struct SlowLink
{
    bool ran = false;
    int64_t framesComposed = 0;
    int received = 0;
    int64_t dropped = 0;
    bool lost = false;
    std::vector<double> delaysMs; // after the warm-up, every 20 ms
    double worstMs = 0;
    double worstAtS = 0;
    double kbps = 0;
    std::string receiverEnd; // empty when it ended with the stream
};

// Pushes the engine's stream through a relay that carries 40 % of its bit
// rate to a local receiver, for `seconds`, and samples the delay of the
// newest picture the receiver wrote: the time since going live minus that
// picture's stream time (the stream's time 0 is the first canvas after going
// live, so the delays are, if anything, too long).
SlowLink pushOverSlowLink(FullScene &scene, const QTemporaryDir &dir, int seconds, std::string *error)
{
    SlowLink link;
    castcore::EncodePipeline &pipeline = scene.media().pipeline();
    castcore::Compositor &compositor = scene.compositor();
    PushListener &reports = scene.listener();
    testsupport::RtmpReceiver receiver(dir.filePath(QStringLiteral("slow.flv")));
    if (!receiver.start() || !receiver.waitUntilListening(20000)) {
        *error = "cannot start the slow link's RTMP receiver";
        return link;
    }
    testsupport::ThrottleRelay relay(receiver.port(), kSlowLinkBytesPerSecond);
    if (!relay.start()) {
        *error = "cannot start the throttling relay";
        return link;
    }
    const std::string url = "rtmp://127.0.0.1:" + std::to_string(relay.port()) + "/live/s";
    reports.pushState.store(-1);
    pipeline.connect(url);
    const auto answerLimit = Clock::now() + std::chrono::seconds(15);
    while (reports.pushState.load() < 0 && Clock::now() < answerLimit)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (reports.pushState.load() != 1) {
        *error = "the push did not connect through the throttling relay";
        return link;
    }

    link.ran = true;
    reports.droppedFrames.store(0); // the engine counts anew from going live
    const int kbpsReportsBefore = reports.kbpsReports.load();
    const double kbpsSumBefore = reports.kbpsSum.load();
    const int64_t framesBefore = compositor.framesMade();
    const int64_t liveUs = castcore::mediaNowUs();
    pipeline.setLive(true);
    const int64_t endUs = liveUs + int64_t(seconds) * 1000000;
    while (castcore::mediaNowUs() < endUs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const std::vector<testsupport::RtmpReceiver::VideoTag> &tags = receiver.videoReceived();
        const int64_t sinceUs = castcore::mediaNowUs() - liveUs;
        const double delayMs = double(sinceUs) / 1000.0 - double(tags.empty() ? 0 : tags.back().ms);
        if (reports.pushState.load() == 0)
            link.lost = true;
        if (sinceUs < int64_t(kSlowWarmUpSeconds) * 1000000)
            continue;
        link.delaysMs.push_back(delayMs);
        if (delayMs > link.worstMs) {
            link.worstMs = delayMs;
            link.worstAtS = double(sinceUs) / 1e6;
        }
    }
    link.framesComposed = compositor.framesMade() - framesBefore;
    link.received = int(receiver.videoReceived().size());
    link.dropped = reports.droppedFrames.load();
    const int kbpsReports = reports.kbpsReports.load() - kbpsReportsBefore;
    link.kbps = kbpsReports > 0 ? (reports.kbpsSum.load() - kbpsSumBefore) / kbpsReports : 0.0;
    pipeline.setLive(false);
    if (!receiver.waitForEnd(20000)) {
        link.receiverEnd = "the receiver did not end with the stream; stopped";
        receiver.kill();
    }
    return link;
}

void BM_LiveAndRecording(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString received = dir.filePath(QStringLiteral("received.flv"));
    const QString recording = dir.filePath(QStringLiteral("recording.mp4"));
    const std::string loadBefore = loadAverage();
    testsupport::DebugCapture capture; // the engine's word that a recording is finished

    // The receiver keeps what it gets, untouched, for the drift and the end.
    testsupport::RtmpReceiver receiver(received);
    if (!receiver.start() || !receiver.waitUntilListening(20000)) {
        state.SkipWithError("cannot start the ffmpeg RTMP receiver");
        return;
    }
    const QString url = QString::fromStdString(receiver.url());

    FullScene scene;
    castcore::Compositor &compositor = scene.compositor();

    // The engine's own road: its encoders, its sound mixer (every device at
    // full volume) and the reports it hands its listener.
    PushListener &reports = scene.listener();
    castcore::EncodePipeline &pipeline = scene.media().pipeline();
    castcore::AudioEngine &sound = scene.media().audio();
    bool kinds[3] = {false, false, false};
    for (const castcore::AudioDevice &device : sound.devices(castcore::control().world())) {
        if (device.kind >= 1 && device.kind <= 2 && !kinds[device.kind]) {
            kinds[device.kind] = sound.open(device);
            sound.setVolume(device.kind, 100);
        }
    }
    std::atomic<int> &pushState = reports.pushState;
    std::atomic<int64_t> &droppedFrames = reports.droppedFrames;

    pushState.store(-1);
    pipeline.connect(url.toStdString());
    const auto answerLimit = Clock::now() + std::chrono::seconds(15);
    while (pushState.load() < 0 && Clock::now() < answerLimit)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (pushState.load() != 1) {
        state.SkipWithError("the push did not connect to the local receiver");
        return;
    }
    pipeline.setLive(true);
    if (!pipeline.startRecording(recording.toStdString())) {
        state.SkipWithError("cannot record");
        return;
    }
    std::this_thread::sleep_for(std::chrono::seconds(kWarmUpSeconds));

    std::vector<double> latencySamples;
    latencySamples.reserve(size_t(g_seconds) * kFps + 16);
    double peakRss = 0;
    const castcore::SendLatency latencyBefore = pipeline.sendLatency();
    const int64_t droppedBefore = droppedFrames.load();
    const int64_t lagBefore = compositor.framesLagged();
    const int64_t framesBefore = compositor.framesMade();
    const std::map<int, ThreadCpu> threadsBefore = threadCpu();
    const double cpuBefore = processCpuSeconds();
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(g_seconds);
    auto nextRss = start;
    int64_t packetsSeen = latencyBefore.packets;
    for (auto _ : state) {
        while (Clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const castcore::SendLatency now = pipeline.sendLatency();
            if (now.packets != packetsSeen) {
                packetsSeen = now.packets;
                latencySamples.push_back(double(now.lastUs) / 1000.0);
            }
            if (Clock::now() >= nextRss) {
                peakRss = std::max(peakRss, residentMiB());
                nextRss += std::chrono::seconds(1);
            }
        }
    }
    const double cpu = processCpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double frames = double(compositor.framesMade() - framesBefore);
    const std::map<int, ThreadCpu> threadsAfter = threadCpu();
    const castcore::SendLatency latencyAfter = pipeline.sendLatency();
    const double rssNow = residentMiB();
    const double rssMax = maxResidentMiB();
    const int64_t lagged = compositor.framesLagged() - lagBefore;
    const int64_t dropped = droppedFrames.load() - droppedBefore;
    const std::string loadAfter = loadAverage();

    // Two seconds of what was composed, for the floor.
    const QString raw = dir.filePath(QStringLiteral("canvases.bgra"));
    {
        QFile file(raw);
        if (file.open(QIODevice::WriteOnly)) {
            for (int i = 0; i < kFloorFrames; ++i) {
                waitNextFrame(compositor);
                const QImage canvas = compositor.lastCanvas();
                file.write(reinterpret_cast<const char *>(canvas.constBits()), canvas.sizeInBytes());
            }
        }
    }

    pipeline.setLive(false);
    pipeline.stopRecording();
    std::vector<std::string> faults; // set-up failures after the main run
    if (!receiver.waitForEnd(15000)) {
        std::fprintf(stderr, "bench_live: the receiver did not end with the stream; stopped\n");
        receiver.kill();
    }
    if (!waitRecordingFinished(capture, recording, 20000))
        faults.push_back("the recording did not finish within 20 s");
    const MediaSpans sent = probeSpans(received);
    const MediaSpans kept = probeSpans(recording);
    const EndGap sentEnd = endGap(testsupport::inspectMedia(received, 0));
    const EndGap keptEnd = endGap(testsupport::inspectMedia(recording, 0));

    // The same engine goes on: sessions with a mark, then the slow link.
    std::string sessionsError;
    const std::vector<MarkedSession> sessions = recordMarkedSessions(scene, dir, capture, &sessionsError);
    if (!sessionsError.empty())
        faults.push_back(sessionsError);
    std::string slowError;
    const SlowLink slow = pushOverSlowLink(scene, dir, g_slowSeconds, &slowError);
    if (!slowError.empty())
        faults.push_back(slowError);
    scene.shutdown();

    const int floorFrames = int(std::min<double>(frames, kFloorMaxSeconds * kFps));
    const auto floorStart = Clock::now();
    const double floorCpu =
        runX264Floor({"-re", "-stream_loop", "-1", "-i", raw, "-frames:v", QString::number(floorFrames)},
                     dir.filePath(QStringLiteral("floor.mp4")), (kFloorMaxSeconds + 60) * 1000);
    const double floorWall = std::chrono::duration<double>(Clock::now() - floorStart).count();

    // Figures.
    const double cpuPercent = 100.0 * cpu / wall;
    const double cpuMsPerFrame = 1000.0 * cpu / std::max(1.0, frames);
    const double floorMsPerFrame = floorCpu > 0 ? 1000.0 * floorCpu / floorFrames : 0;
    const double floorPercent = floorCpu > 0 ? 100.0 * floorCpu / floorWall : 0;
    const double ratio = floorMsPerFrame > 0 ? cpuMsPerFrame / floorMsPerFrame : 0;
    const int64_t packets = latencyAfter.packets - latencyBefore.packets;
    const double latencyMean =
        packets > 0 ? double(latencyAfter.totalUs - latencyBefore.totalUs) / double(packets) / 1000.0 : 0;
    const double latencyP95 = percentile(latencySamples, 0.95);
    const double latencyMax = double(latencyAfter.maxUs) / 1000.0;
    auto drift = [](const MediaSpans &s) {
        return 1000.0 * ((s.audio.end - s.audio.firstPts) - (s.video.end - s.video.firstPts));
    };
    auto lastGap = [](const MediaSpans &s) { return 1000.0 * (s.audio.lastPts - s.video.lastPts); };

    state.counters["cpu_pct_one_core"] = cpuPercent;
    state.counters["cpu_ms_per_frame"] = cpuMsPerFrame;
    state.counters["floor_ms_per_frame"] = floorMsPerFrame;
    state.counters["cpu_vs_floor"] = ratio;
    state.counters["max_rss_MiB"] = rssMax;
    state.counters["rss_MiB"] = rssNow;
    state.counters["latency_mean_ms"] = latencyMean;
    state.counters["latency_max_ms"] = latencyMax;
    state.counters["drift_rtmp_ms"] = sent.ok() ? drift(sent) : NAN;
    state.counters["drift_file_ms"] = kept.ok() ? drift(kept) : NAN;
    state.counters["end_gap_rtmp_ms"] = sentEnd.ok ? sentEnd.ms() : NAN;
    state.counters["end_gap_file_ms"] = keptEnd.ok ? keptEnd.ms() : NAN;
    for (const MarkedSession &session : sessions) {
        const std::string n = std::to_string(session.number);
        state.counters["sync_session" + n + "_ms"] = session.error.empty() ? session.syncMs() : NAN;
        state.counters["end_gap_session" + n + "_ms"] = session.error.empty() ? session.end.ms() : NAN;
    }
    state.counters["slow_delay_max_ms"] = slow.ran ? slow.worstMs : NAN;
    state.counters["slow_delay_p95_ms"] = slow.ran ? percentile(slow.delaysMs, 0.95) : NAN;
    state.counters["slow_dropped"] = slow.ran ? double(slow.dropped) : NAN;

    std::printf("\nbench_live: %d s live to %s and recording; load average before %s, after %s\n", g_seconds,
                qPrintable(url), loadBefore.c_str(), loadAfter.c_str());
    std::printf("  frames composed %.0f (%.2f fps), lagged %lld, dropped before the socket %lld, kbps sent %.0f\n",
                frames, frames / wall, static_cast<long long>(lagged), static_cast<long long>(dropped),
                reports.kbpsReports.load() > 0 ? reports.kbpsSum.load() / reports.kbpsReports.load() : 0.0);
    std::printf("  CPU: %.1f%% of one core, %.2f ms per frame; ffmpeg floor %.1f%%, %.2f ms per frame (%d frames, "
                "%.0f s): %.2fx [goal <= 1.3x: %s]\n",
                cpuPercent, cpuMsPerFrame, floorPercent, floorMsPerFrame, floorFrames, floorWall, ratio,
                verdict(ratio > 0 && ratio <= 1.3));
    std::printf("  memory: max RSS %.1f MiB, RSS now %.1f MiB, peak sampled in the run %.1f MiB [goal <= 250 MiB: "
                "%s]\n",
                rssMax, rssNow, peakRss, verdict(rssMax <= 250));
    std::printf("  latency composition -> socket over %lld packets: mean %.1f ms, p50 %.1f, p95 %.1f, max since "
                "live %.1f ms [goal <= 150 ms: %s]\n",
                static_cast<long long>(packets), latencyMean, percentile(latencySamples, 0.5), latencyP95,
                latencyMax, verdict(packets > 0 && latencyMax <= 150));
    for (const auto &[name, spans] : {std::make_pair("received", sent), std::make_pair("recording", kept)}) {
        if (!spans.ok()) {
            std::printf("  drift (%s): no audio or no video found\n", name);
            continue;
        }
        std::printf("  drift (%s): video %.3f..%.3f s (%d packets), audio %.3f..%.3f s (%d packets); "
                    "last audio - last video pts %.1f ms; audio - video duration %.1f ms [goal < 40 ms: %s]\n",
                    name, spans.video.firstPts, spans.video.end, spans.video.packets, spans.audio.firstPts,
                    spans.audio.end, spans.audio.packets, lastGap(spans), drift(spans),
                    verdict(std::fabs(drift(spans)) < 40));
    }
    for (const auto &[name, end] : {std::make_pair("received", sentEnd), std::make_pair("recording", keptEnd)}) {
        if (!end.ok) {
            std::printf("  end gap at stop (%s, decoded): no audio or no video decoded\n", name);
            continue;
        }
        std::printf("  end gap at stop (%s, decoded; live ended, then the recording): sound ends %.3f s, picture "
                    "%.3f s: %+.1f ms [goal <= %.0f ms: %s]\n",
                    name, end.audioEndS, end.videoEndS, end.ms(), kEndGapGoalMs,
                    verdict(std::fabs(end.ms()) <= kEndGapGoalMs));
    }
    std::printf("  sessions %d to %d of the run, recordings of about 2 s with a mark: the scene under a white "
                "picture item, and a 1 kHz burst at the stamp of the first white canvas; the world's sound "
                "devices cannot sound a burst at an instant, so the mixer stops and the burst comes through the "
                "same pipeline in 10 ms buffers, %lld ms late as from a sound server\n",
                2, 1 + kMarkedSessions, static_cast<long long>(kSoundLatencyUs / 1000));
    for (const MarkedSession &session : sessions) {
        if (!session.error.empty()) {
            std::printf("  session %d: %s\n", session.number, session.error.c_str());
            continue;
        }
        std::printf("  session %d: white picture at %.3f s, tone at %.3f s: sync at the mark (sound - picture) "
                    "%+.1f ms [goal <= %.0f ms: %s]; end gap %+.1f ms [goal <= %.0f ms: %s]\n",
                    session.number, session.flashS, session.toneS, session.syncMs(), kSyncGoalMs,
                    verdict(std::fabs(session.syncMs()) <= kSyncGoalMs), session.end.ms(), kEndGapGoalMs,
                    verdict(std::fabs(session.end.ms()) <= kEndGapGoalMs));
    }
    if (slow.ran) {
        const double slowP95 = percentile(slow.delaysMs, 0.95);
        std::printf("  slow link at 40 %% (%lld kbit/s through a throttling relay), %d s: delay at the receiver "
                    "after %d s, every 20 ms: p95 %.0f ms, max %.0f ms at %.1f s [goal <= %.0f ms: %s]; frames "
                    "composed %lld, received %d, reported dropped %lld; kbps sent %.0f; %s\n",
                    static_cast<long long>(kSlowLinkBytesPerSecond * 8 / 1000), g_slowSeconds, kSlowWarmUpSeconds,
                    slowP95, slow.worstMs, slow.worstAtS, kSlowDelayGoalMs,
                    verdict(!slow.delaysMs.empty() && slow.worstMs <= kSlowDelayGoalMs),
                    static_cast<long long>(slow.framesComposed), slow.received, static_cast<long long>(slow.dropped),
                    slow.kbps, slow.lost ? "the push was reported lost" : "never reported lost");
        if (!slow.receiverEnd.empty())
            std::printf("  slow link: %s\n", slow.receiverEnd.c_str());
    }
    // Where the time went, by thread (x264's and the encoder's carry no name
    // of their own).
    std::vector<std::pair<double, std::string>> byThread;
    for (const auto &[tid, after] : threadsAfter) {
        const auto before = threadsBefore.find(tid);
        const double used = after.seconds - (before != threadsBefore.end() ? before->second.seconds : 0.0);
        if (used > 0)
            byThread.push_back({used, after.name + " (" + std::to_string(tid) + ")"});
    }
    std::sort(byThread.rbegin(), byThread.rend());
    std::printf("  CPU by thread, ms per frame:");
    for (size_t i = 0; i < byThread.size() && i < 12; ++i)
        std::printf("%s %s %.2f", i ? "," : "", byThread[i].second.c_str(), 1000.0 * byThread[i].first / frames);
    std::printf("\n");
    if (floorCpu < 0)
        faults.push_back("the ffmpeg floor failed");
    if (!faults.empty()) {
        std::string all;
        for (const std::string &fault : faults)
            all += (all.empty() ? "" : "; ") + fault;
        state.SkipWithError(all.c_str());
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (const char *seconds = std::getenv("BENCH_LIVE_SECONDS"))
        g_seconds = std::atoi(seconds);
    if (const char *seconds = std::getenv("BENCH_LIVE_SLOW_SECONDS"))
        g_slowSeconds = std::atoi(seconds);
    std::vector<char *> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--seconds=", 10) == 0)
            g_seconds = std::atoi(argv[i] + 10);
        else if (std::strncmp(argv[i], "--slow-seconds=", 15) == 0)
            g_slowSeconds = std::atoi(argv[i] + 15);
        else
            rest.push_back(argv[i]);
    }
    g_seconds = std::clamp(g_seconds, 1, 600);
    g_slowSeconds = std::clamp(g_slowSeconds, kSlowWarmUpSeconds + 4, 600);
    int restCount = int(rest.size());
    QGuiApplication app(restCount, rest.data());
    benchmark::Initialize(&restCount, rest.data());
    benchmark::RegisterBenchmark("BM_LiveAndRecording", BM_LiveAndRecording)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kSecond);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
