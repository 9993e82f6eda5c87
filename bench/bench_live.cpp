// End to end at the canvas of the clarity row a new user starts with
// (1280x720, 25 fps, 1000 kbit/s), live to a local receiver (saving what it
// receives) and recording at the same time, on two roads: the engine's own
// (BenchScene's full scene composed and encoded by the engine) and the whole
// program's (the facade signed in, the scene built through its calls, the
// broadcast opened with the live panel's calls and "同步录制"). Over each run:
// the process's CPU (all threads) as % of one core and ms per frame, its
// resident memory and the growth of it per minute, the latency from
// composition to the socket (the engine's own figure), and the end gap at
// the stop as a viewer gets it (decoded). The engine's run also gives the
// audio-video drift of the received stream and of the recording (ffprobe);
// then, with the same engine: more short recording sessions, each with a
// mark (the scene under a white picture, and a tone burst at the stamp of
// its first white canvas), for the sync at the mark and the end gap of each;
// and a push through a relay that carries 40 % of the bit rate, for the
// delay at the receiver and the frames dropped. Last, `ffmpeg` encodes the
// composed frames, paced in real time, with the same x264 settings: the
// floor both roads are held against in the summary.
//   BENCH_LIVE_PROGRAM_SECONDS=N or --program-seconds=N sets the program's
//   run (default 120, up to 900; 660 spans the memory goal's ten minutes
//   after the first); BENCH_LIVE_SECONDS=N or --seconds=N the engine's
//   (default 60, up to 900); BENCH_LIVE_SLOW_SECONDS=N or --slow-seconds=N
//   the slow link (default 30, 10 to 600).

#include "BenchScene.h"
#include "DebugCapture.h"
#include "EncodeLibraryClient.h"
#include "MediaInspector.h"
#include "RtmpReceiver.h"
#include "SceneRegistry.h"
#include "SessionFixture.h"
#include "SubtitleText.h"
#include "TextRecord.h"
#include "ThrottleRelay.h"
#include "UiSetSubtitle.h"
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
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace benchscene;
using Clock = std::chrono::steady_clock;

int g_seconds = 60;
int g_programSeconds = 120;
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

// Between the compositor and the encoder: hands every canvas on as it is;
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

// Connects the push to `url`: true once the engine reports it connected
// within 15 s.
bool connectPush(castcore::EncodeLibraryClient &encoder, PushListener &reports, const std::string &url)
{
    reports.pushState.store(-1);
    encoder.connect(url);
    const auto limit = Clock::now() + std::chrono::seconds(15);
    while (reports.pushState.load() < 0 && Clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return reports.pushState.load() == 1;
}

// Records kMarkedSessions more sessions with the same engine, each with a
// mark: the scene under a white picture item, and the sound (from
// MarkedSound, in place of the mixer) with a burst at the stamp of the
// first white canvas. Leaves the encoder as it found it (the white item stays,
// unseen).
std::vector<MarkedSession> recordMarkedSessions(FullScene &scene, const QTemporaryDir &dir,
                                                const testsupport::DebugCapture &capture, std::string *error)
{
    std::vector<MarkedSession> sessions;
    ILiveScene *items = scene.scene();
    castcore::EncodeLibraryClient &encoder = scene.media().encoder();
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
    MarkedSound marked(&encoder);
    FlashWatch watch(&encoder, &marked);
    compositor.setSink(&watch);
    marked.start();
    for (int i = 0; i < kMarkedSessions; ++i) {
        MarkedSession session;
        session.number = i + 2;
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // between two sessions
        const QString file = dir.filePath(QStringLiteral("session-%1.mp4").arg(session.number));
        if (!encoder.startRecording(file.toStdString())) {
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
        encoder.stopRecording();
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
    compositor.setSink(&encoder);
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
    castcore::EncodeLibraryClient &encoder = scene.media().encoder();
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
    if (!connectPush(encoder, reports, url)) {
        *error = "the push did not connect through the throttling relay";
        return link;
    }

    link.ran = true;
    reports.droppedFrames.store(0); // the engine counts anew from going live
    const int kbpsReportsBefore = reports.kbpsReports.load();
    const double kbpsSumBefore = reports.kbpsSum.load();
    const int64_t framesBefore = compositor.framesMade();
    const int64_t liveUs = castcore::mediaNowUs();
    encoder.setLive(true);
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
    encoder.setLive(false);
    if (!receiver.waitForEnd(20000)) {
        link.receiverEnd = "the receiver did not end with the stream; stopped";
        receiver.kill();
    }
    return link;
}

// Resident memory, sampled once a second from going live.
struct RssSample
{
    double atS = 0;
    double mib = 0;
};

// What one run live and recording measured over its span.
struct LiveSpan
{
    double cpu = 0;  // process CPU seconds
    double wall = 0; // seconds
    double frames = 0;
    int64_t lagged = 0;
    castcore::SendLatency latencyBefore;
    castcore::SendLatency latencyAfter;
    std::vector<double> latencySamples; // ms, one per packet seen
    std::vector<RssSample> rss;
    double maxRssMiB = 0; // the process's peak by the end of the span
    std::map<int, ThreadCpu> threadsBefore;
    std::map<int, ThreadCpu> threadsAfter;

    double cpuPercent() const { return 100.0 * cpu / std::max(1e-9, wall); }
    double cpuMsPerFrame() const { return 1000.0 * cpu / std::max(1.0, frames); }
    int64_t packets() const { return latencyAfter.packets - latencyBefore.packets; }
    double latencyMaxMs() const { return double(latencyAfter.maxUs) / 1000.0; }
    double latencyMeanMs() const
    {
        return packets() > 0 ? double(latencyAfter.totalUs - latencyBefore.totalUs) / double(packets()) / 1000.0
                             : 0;
    }
};

constexpr double kLatencyGoalMs = 150;

bool latencyMet(int64_t packets, double maxMs)
{
    return packets > 0 && maxMs <= kLatencyGoalMs;
}

// Measures `seconds` of what runs now; `poll` is called every 5 ms or so.
// The calling thread's CPU counts only when `counted`: on the program's road
// it is the GUI thread, working there; on the engine's it only waits.
LiveSpan measureLive(castcore::EncodeLibraryClient &encoder, castcore::Compositor &compositor, int seconds,
                     const std::function<void()> &poll, bool counted)
{
    LiveSpan span;
    span.latencySamples.reserve(size_t(seconds) * kFps + 16);
    span.latencyBefore = encoder.sendLatency();
    const int64_t lagBefore = compositor.framesLagged();
    const int64_t framesBefore = compositor.framesMade();
    span.threadsBefore = threadCpu();
    const double cpuBefore = processCpuSeconds();
    const double waitingBefore = thisThreadCpuSeconds();
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    auto nextRss = start;
    int64_t packetsSeen = span.latencyBefore.packets;
    while (Clock::now() < end) {
        poll();
        const castcore::SendLatency now = encoder.sendLatency();
        if (now.packets != packetsSeen) {
            packetsSeen = now.packets;
            span.latencySamples.push_back(double(now.lastUs) / 1000.0);
        }
        const auto at = Clock::now();
        if (at >= nextRss) {
            span.rss.push_back({std::chrono::duration<double>(at - start).count(), residentMiB()});
            nextRss += std::chrono::seconds(1);
        }
    }
    span.cpu = processCpuSeconds() - cpuBefore - (counted ? 0.0 : thisThreadCpuSeconds() - waitingBefore);
    span.wall = std::chrono::duration<double>(Clock::now() - start).count();
    span.frames = double(compositor.framesMade() - framesBefore);
    span.threadsAfter = threadCpu();
    span.latencyAfter = encoder.sendLatency();
    span.lagged = compositor.framesLagged() - lagBefore;
    span.maxRssMiB = maxResidentMiB();
    return span;
}

// Growth of resident memory: the slope of a straight line through the
// samples after the first minute (after the first third in a run of a
// minute and a half or less), and the growth from the first of them to the
// last.
struct Growth
{
    bool ok = false;
    double fromS = 0;
    double toS = 0;
    double perMinute = 0;
    double total = 0;
    double over() const; // at that rate over the goal's span
    bool whole() const;  // spans the goal's ten minutes after the first
};

Growth residentGrowth(const std::vector<RssSample> &rss)
{
    Growth g;
    if (rss.size() < 3)
        return g;
    const double length = rss.back().atS;
    g.fromS = length > 90 ? 60 : length / 3;
    double n = 0, st = 0, sm = 0, stt = 0, stm = 0;
    const RssSample *first = nullptr;
    for (const RssSample &s : rss) {
        if (s.atS < g.fromS)
            continue;
        if (!first)
            first = &s;
        n += 1;
        st += s.atS;
        sm += s.mib;
        stt += s.atS * s.atS;
        stm += s.atS * s.mib;
    }
    const double d = n * stt - st * st;
    if (!first || n < 3 || d <= 0)
        return g;
    g.ok = true;
    g.toS = rss.back().atS;
    g.perMinute = 60.0 * (n * stm - st * sm) / d;
    g.total = rss.back().mib - first->mib;
    return g;
}

// The goal: less than 2 MiB over 10 minutes after the first minute.
constexpr double kGrowthGoalMiB = 2.0;
constexpr double kGrowthGoalMinutes = 10.0;

double Growth::over() const
{
    return perMinute * kGrowthGoalMinutes;
}

bool Growth::whole() const
{
    return fromS >= 60 && toS - fromS >= kGrowthGoalMinutes * 60 - 1;
}

// A whole span is judged on what it grew, a shorter one on its rate.
bool growthMet(const Growth &g)
{
    return g.ok && (g.whole() ? g.total : g.over()) < kGrowthGoalMiB;
}

// Only the first road started in the process is judged, whether or not it
// got to measure: a later one reuses what the earlier freed, which hides
// growth (handing it back to the system first shows the heap filling up
// again instead).
bool g_freshHeap = true;

void printGrowth(const Growth &g, bool judged)
{
    if (!g.ok) {
        std::printf("  resident memory growth: too few samples\n");
        return;
    }
    if (!judged) {
        std::printf("  resident memory growth after %.0f s, to %.0f s: %+.3f MiB per minute, %+.2f MiB in all (not "
                    "judged: an earlier run in this process freed memory that this one reuses)\n",
                    g.fromS, g.toS, g.perMinute, g.total);
        return;
    }
    std::printf("  resident memory growth after %.0f s, to %.0f s: %+.3f MiB per minute, %+.2f MiB in all; at that "
                "rate %+.2f MiB over %.0f minutes [goal < %.0f MiB over %.0f minutes after the first: %s]%s\n",
                g.fromS, g.toS, g.perMinute, g.total, g.over(), kGrowthGoalMinutes, kGrowthGoalMiB,
                kGrowthGoalMinutes, verdict(growthMet(g)),
                g.whole() ? "" : " (a shorter run: the rate judged; --program-seconds=660 for the whole span)");
}

void printThreads(const LiveSpan &span)
{
    // x264's and the encoder's threads carry no name of their own.
    std::vector<std::pair<double, std::string>> byThread;
    for (const auto &[tid, after] : span.threadsAfter) {
        const auto before = span.threadsBefore.find(tid);
        const double used = after.seconds - (before != span.threadsBefore.end() ? before->second.seconds : 0.0);
        if (used > 0)
            byThread.push_back({used, after.name + " (" + std::to_string(tid) + ")"});
    }
    std::sort(byThread.rbegin(), byThread.rend());
    std::printf("  CPU by thread, ms per frame:");
    for (size_t i = 0; i < byThread.size() && i < 12; ++i)
        std::printf("%s %s %.2f", i ? "," : "", byThread[i].second.c_str(),
                    1000.0 * byThread[i].first / std::max(1.0, span.frames));
    std::printf("\n");
}

// `dropped` and `kbps` < 0: not known (the facade keeps the engine's reports).
void printSpan(const LiveSpan &span, bool growthJudged, int64_t dropped, double kbps)
{
    std::printf("  frames composed %.0f (%.2f fps), lagged %lld", span.frames, span.frames / span.wall,
                static_cast<long long>(span.lagged));
    if (dropped >= 0)
        std::printf(", dropped before the socket %lld", static_cast<long long>(dropped));
    if (kbps >= 0)
        std::printf(", kbps sent %.0f", kbps);
    std::printf("\n");
    const double peak = span.rss.empty() ? 0
                                         : std::max_element(span.rss.begin(), span.rss.end(),
                                                            [](const RssSample &a, const RssSample &b) {
                                                                return a.mib < b.mib;
                                                            })->mib;
    std::printf("  CPU: %.1f%% of one core, %.2f ms per frame (against the ffmpeg floor: see the summary)\n",
                span.cpuPercent(), span.cpuMsPerFrame());
    std::printf("  memory: max RSS of the process by the end of the run %.1f MiB, RSS at the end %.1f MiB, peak "
                "sampled in the run %.1f MiB [goal <= 250 MiB: %s]\n",
                span.maxRssMiB, span.rss.empty() ? 0.0 : span.rss.back().mib, peak, verdict(span.maxRssMiB <= 250));
    printGrowth(residentGrowth(span.rss), growthJudged);
    std::printf("  latency composition -> socket over %lld packets: mean %.1f ms, p50 %.1f, p95 %.1f, max since "
                "live %.1f ms [goal <= %.0f ms: %s]\n",
                static_cast<long long>(span.packets()), span.latencyMeanMs(), percentile(span.latencySamples, 0.5),
                percentile(span.latencySamples, 0.95), span.latencyMaxMs(), kLatencyGoalMs,
                verdict(latencyMet(span.packets(), span.latencyMaxMs())));
}

void printEndGaps(const EndGap &sentEnd, const EndGap &keptEnd)
{
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
}

// Two seconds of what is composed now, raw, for the floor.
bool saveCanvases(castcore::Compositor &compositor, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (int i = 0; i < kFloorFrames; ++i) {
        waitNextFrame(compositor);
        const QImage canvas = compositor.lastCanvas();
        if (canvas.size() != QSize(kWidth, kHeight))
            return false;
        file.write(reinterpret_cast<const char *>(canvas.constBits()), canvas.sizeInBytes());
    }
    return true;
}

std::string joined(const std::vector<std::string> &faults)
{
    std::string all;
    for (const std::string &fault : faults)
        all += (all.empty() ? "" : "; ") + fault;
    return all;
}

// What the summary compares with the floor.
struct RunResult
{
    bool ran = false;
    double cpuMsPerFrame = 0;
    double cpuPercent = 0;
    double frames = 0;
    int64_t packets = 0;
    double latencyMaxMs = 0;
    EndGap sentEnd;
    EndGap keptEnd;
    Growth growth;
    bool growthJudged = false;
    QString canvases; // raw canvases of the run, for the floor
};

RunResult runResult(const LiveSpan &span, const EndGap &sentEnd, const EndGap &keptEnd, bool growthJudged,
                    const QString &canvases)
{
    return {true,    span.cpuMsPerFrame(), span.cpuPercent(), span.frames, span.packets(), span.latencyMaxMs(),
            sentEnd, keptEnd, residentGrowth(span.rss), growthJudged, canvases};
}

struct FloorResult
{
    bool ran = false;
    double msPerFrame = 0;
    double percent = 0;
    int frames = 0;
    double wall = 0;
};

std::unique_ptr<QTemporaryDir> g_dir; // lives through every benchmark of the run
RunResult g_engine;
RunResult g_program;
FloorResult g_floor;

void BM_LiveAndRecording(benchmark::State &state)
{
    const bool judged = std::exchange(g_freshHeap, false);
    const QString received = g_dir->filePath(QStringLiteral("received.flv"));
    const QString recording = g_dir->filePath(QStringLiteral("recording.mp4"));
    const std::string loadBefore = loadAverage();
    testsupport::DebugCapture capture; // the engine's word that a recording is finished

    // The receiver keeps what it gets, untouched, for the drift and the end.
    testsupport::RtmpReceiver receiver(received);
    if (!receiver.start() || !receiver.waitUntilListening(20000)) {
        failSetUp(state, "bench_live", "cannot start the ffmpeg RTMP receiver");
        return;
    }
    const QString url = QString::fromStdString(receiver.url());

    FullScene scene;
    if (!scene.error().empty()) {
        failSetUp(state, "bench_live", scene.error());
        return;
    }
    castcore::Compositor &compositor = scene.compositor();

    // The engine's own road: its encoders, its sound mixer (every device at
    // full volume) and the reports it hands its listener.
    PushListener &reports = scene.listener();
    castcore::EncodeLibraryClient &encoder = scene.media().encoder();
    castcore::AudioEngine &sound = scene.media().audio();
    bool kinds[3] = {false, false, false};
    for (const castcore::AudioDevice &device : sound.devices(castcore::control().world())) {
        if (device.kind >= 1 && device.kind <= 2 && !kinds[device.kind]) {
            kinds[device.kind] = sound.open(device);
            sound.setVolume(device.kind, 100);
        }
    }
    if (!kinds[1] || !kinds[2]) {
        failSetUp(state, "bench_live", "the sound devices did not open");
        return;
    }
    std::atomic<int64_t> &droppedFrames = reports.droppedFrames;

    if (!connectPush(encoder, reports, url.toStdString())) {
        failSetUp(state, "bench_live", "the push did not connect to the local receiver");
        return;
    }
    encoder.setLive(true);
    if (!encoder.startRecording(recording.toStdString())) {
        failSetUp(state, "bench_live", "cannot record");
        return;
    }
    std::this_thread::sleep_for(std::chrono::seconds(kWarmUpSeconds));

    const int64_t droppedBefore = droppedFrames.load();
    LiveSpan span;
    for (auto _ : state)
        span = measureLive(encoder, compositor, g_seconds,
                           [] { std::this_thread::sleep_for(std::chrono::milliseconds(5)); }, false);
    const int64_t dropped = droppedFrames.load() - droppedBefore;
    const std::string loadAfter = loadAverage();

    std::vector<std::string> faults; // failures after the main run
    const QString canvases = g_dir->filePath(QStringLiteral("engine-canvases.bgra"));
    if (!saveCanvases(compositor, canvases))
        faults.push_back("cannot keep the composed canvases for the floor");

    encoder.setLive(false);
    encoder.stopRecording();
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
    const std::vector<MarkedSession> sessions = recordMarkedSessions(scene, *g_dir, capture, &sessionsError);
    if (!sessionsError.empty())
        faults.push_back(sessionsError);
    std::string slowError;
    const SlowLink slow = pushOverSlowLink(scene, *g_dir, g_slowSeconds, &slowError);
    if (!slowError.empty())
        faults.push_back(slowError);
    scene.shutdown();

    auto drift = [](const MediaSpans &s) {
        return 1000.0 * ((s.audio.end - s.audio.firstPts) - (s.video.end - s.video.firstPts));
    };
    auto lastGap = [](const MediaSpans &s) { return 1000.0 * (s.audio.lastPts - s.video.lastPts); };

    state.counters["cpu_pct_one_core"] = span.cpuPercent();
    state.counters["cpu_ms_per_frame"] = span.cpuMsPerFrame();
    state.counters["max_rss_MiB"] = span.maxRssMiB;
    state.counters["latency_mean_ms"] = span.latencyMeanMs();
    state.counters["latency_max_ms"] = span.latencyMaxMs();
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

    std::printf("\nbench_live, the engine's own road: %d s live to %s and recording; load average before %s, after "
                "%s\n",
                g_seconds, qPrintable(url), loadBefore.c_str(), loadAfter.c_str());
    printSpan(span, judged, dropped,
              reports.kbpsReports.load() > 0 ? reports.kbpsSum.load() / reports.kbpsReports.load() : 0.0);
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
    printEndGaps(sentEnd, keptEnd);
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
    printThreads(span);

    g_engine = runResult(span, sentEnd, keptEnd, judged, canvases);
    if (!faults.empty())
        failRun(state, "bench_live", joined(faults));
}

// The subtitle page's item for one scrolling `line`, made and placed as the
// page makes it on its first template; the picture's id, < 1 when refused.
int addPageSubtitle(LiveProxy &proxy, const QString &line)
{
    constexpr int kPageRollSpeed = 50;
    constexpr int kPageBottomGap = 50;
    testsupport::TextRecord text(subtitletext::engineText({line}, true).toStdU16String(), 25);
    TextInfo &info = text.info;
    info.color = 0xFFFFFFFFu; // the first template's text colour
    info.rollSpeed = kPageRollSpeed;
    info.bold = 1;
    info.backgroundColor = 0xFFFFFFFFu;
    info.outlineColor = 0xFF000000u;
    info.outlineOpacity = 100;
    const int id = proxy.addEffectiveText("./effect/subtitle/1.png", UiSetSubtitle::textArea(), &info);
    if (id < 1)
        return id;
    proxy.setEffectiveText(id, line.toUtf8().constData());
    LiveParams canvas;
    proxy.getLiveVideoConfig(&canvas);
    int x = 0, y = 0, w = 0, h = 0;
    proxy.getItemSourceRect(id, &x, &y, &w, &h);
    proxy.setItemRect(id, (canvas.outputWidth - w) / 2, canvas.outputHeight - h - kPageBottomGap, w, h);
    return id;
}

// The whole program's road: the facade signed in over the platform layers
// (the account service's world, as the facade's tests script it), the scene
// built through the facade's calls as the pages make them, and the broadcast
// opened and closed with the live panel's calls, "同步录制" ticked.
void BM_ProgramLiveAndRecording(benchmark::State &state)
{
    const bool judged = std::exchange(g_freshHeap, false);
    const std::string loadBefore = loadAverage();
    testsupport::DebugCapture capture;
    sessiontest::SessionFixture f;
    auto fail = [&state](const std::string &why) { failSetUp(state, "bench_live (program)", why); };
    if (!f.started) {
        fail("the facade did not start");
        return;
    }
    if (!f.env.copyEffectFolder()) { // the subtitle templates, as beside the program
        fail("cannot copy the program's effect folder");
        return;
    }
    // The engine connects for real: no scripted push outcome.
    castcore::control().reset();
    LiveProxy &proxy = *f.proxy;
    castcore::CastCoreEngine *engine = f.engine();
    LiveParams config;
    proxy.getLiveVideoConfig(&config);
    if (!engine || engine->canvasWidth() != kWidth || engine->canvasHeight() != kHeight
        || config.bitRate != kBitRate || config.frameRate != kFps) { // read back in bit/s
        fail("the facade's canvas is not " + sizeText(kWidth, kHeight) + " at " + std::to_string(kFps) + " fps, "
             + std::to_string(kClarity.bitrate) + " kbit/s");
        return;
    }
    ILiveScene *scene = engine->GetScene();

    // The camera page: open, the listed format at the canvas size, the whole
    // canvas, the one-key beauty.
    const std::u16string device = f.cameraName();
    const int camera = proxy.openCamera(device, scenereg::LayerCamera);
    if (camera <= 0) {
        fail("the camera did not open");
        return;
    }
    CameraFormat *formats = nullptr;
    int count = 0;
    proxy.cameraFormatList(device, &formats, &count);
    const CameraFormat *format = listedFormat(formats, count, kWidth, kHeight);
    if (!format) {
        fail("the camera lists no " + sizeText(kWidth, kHeight) + " format");
        return;
    }
    const CameraParams asked{format->colorFormat, format->width, format->height, format->fps};
    proxy.setCameraParam(camera, &asked);
    CameraParams set;
    proxy.getCameraParam(camera, &set);
    if (set.colorFormat != asked.colorFormat || set.width != asked.width || set.height != asked.height
        || set.fps != asked.fps) {
        fail("the camera refused its listed " + sizeText(kWidth, kHeight) + " format");
        return;
    }
    proxy.setItemFullWindow(camera);
    const BeautyPreset &b = kOneKeyBeauty;
    proxy.setWhitening(camera, b.blur, b.whitening, b.colour_temperature);
    proxy.setBlur(camera, b.blur, b.whitening, b.colour_temperature);
    proxy.setColourTemperature(camera, b.blur, b.whitening, b.colour_temperature);

    // Two pictures, the subtitle page's scrolling line (its first template
    // picture with the text laid over it); the watermark is the facade's own.
    const int first = proxy.addImage(f.picture(QStringLiteral("a.png"), 400, 300), 255, scenereg::LayerActive);
    const int second = proxy.addImage(f.picture(QStringLiteral("b.png"), 400, 300), 255, scenereg::LayerActive);
    const int subtitle = addPageSubtitle(proxy, QStringLiteral("欢迎来到直播间 Welcome to the show"));
    int captures = 0;
    for (int id : engine->itemIds()) {
        const std::optional<castcore::SceneItem> item = engine->item(id);
        captures += item && item->kind == KindCustomCapture ? 1 : 0;
    }
    if (first <= 0 || second <= 0 || subtitle <= 0 || captures != 1) {
        fail("the scene is not whole: pictures " + std::to_string(first) + ", " + std::to_string(second)
             + ", subtitle " + std::to_string(subtitle) + ", watermarks " + std::to_string(captures));
        return;
    }
    proxy.setItemRect(first, 40, 40, 300, 200);
    proxy.setItemRect(second, 900, 40, 300, 200);

    // The sound page: the first microphone and the first system sound.
    const AudioDeviceRecord *mics = nullptr, *systems = nullptr;
    int micCount = 0, systemCount = 0;
    proxy.micDeviceList(&mics, &micCount);
    proxy.systemDeviceList(&systems, &systemCount);
    if (micCount < 1 || systemCount < 1 || proxy.openMicDevice(mics[0].name) < 0
        || proxy.openSystemDevice(systems[0].name) < 0) {
        fail("the sound devices did not open");
        return;
    }
    proxy.setMicLevel(100);
    proxy.setSystemLevel(100);

    std::this_thread::sleep_for(std::chrono::seconds(2)); // the sources settle
    const std::string cameraCheck = checkCameraAndBeauty(scene, camera, kWidth, kHeight);
    if (!cameraCheck.empty()) {
        fail(cameraCheck);
        return;
    }

    // The room's one line leads to a local receiver.
    const QString received = f.env.workPath() + QStringLiteral("/received.flv");
    testsupport::RtmpReceiver receiver(received);
    if (!receiver.start() || !receiver.waitUntilListening(20000)) {
        fail("cannot start the ffmpeg RTMP receiver");
        return;
    }
    authport::World world = authport::control().world();
    if (world.rooms.empty()) {
        fail("the account world has no room");
        return;
    }
    world.rooms.front().lines = {{receiver.url(), 1}};
    authport::control().setWorld(world);
    if (!f.login()) {
        fail("the anchor could not sign in");
        return;
    }

    // The live panel's start, "同步录制" ticked.
    const QString folder = f.env.workPath() + QStringLiteral("/录像");
    QDir().mkpath(folder);
    const QString recording = folder + QStringLiteral("/2026-1211-2000-00.mp4");
    if (!proxy.isLoggedIn() || !proxy.isAnchor() || proxy.isLiving() || !proxy.openLive(recording.toStdString())) {
        fail("the broadcast did not open");
        return;
    }
    if (!f.waitFor(QStringLiteral("liveStatus"), 1, 45000)
        || f.recorder.last(QStringLiteral("liveStatus")) != QVariantList{QString(), 0}) {
        fail("the broadcast was not reported live");
        return;
    }
    const auto recordLimit = Clock::now() + std::chrono::seconds(20);
    while (!proxy.isRecording() && Clock::now() < recordLimit)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (!proxy.isRecording()) {
        fail("the broadcast is not recorded");
        return;
    }
    const auto warmUp = Clock::now() + std::chrono::seconds(kWarmUpSeconds);
    while (Clock::now() < warmUp)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

    castcore::Compositor &compositor = engine->media().compositor();
    castcore::EncodeLibraryClient &encoder = engine->media().encoder();
    LiveSpan span;
    for (auto _ : state)
        span = measureLive(encoder, compositor, g_programSeconds, [] {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }, true);
    const std::string loadAfter = loadAverage();
    std::vector<std::string> faults;
    const QString canvases = g_dir->filePath(QStringLiteral("program-canvases.bgra"));
    if (!saveCanvases(compositor, canvases))
        faults.push_back("cannot keep the composed canvases for the floor");

    // The live panel's stop button.
    proxy.stopLive(true);
    if (!receiver.waitForEnd(15000)) {
        std::fprintf(stderr, "bench_live (program): the receiver did not end with the stream; stopped\n");
        receiver.kill();
    }
    if (!waitRecordingFinished(capture, recording, 20000))
        faults.push_back("the recording did not finish within 20 s");
    f.settle();
    const EndGap sentEnd = endGap(testsupport::inspectMedia(received, 0));
    const EndGap keptEnd = endGap(testsupport::inspectMedia(recording, 0));

    state.counters["cpu_pct_one_core"] = span.cpuPercent();
    state.counters["cpu_ms_per_frame"] = span.cpuMsPerFrame();
    state.counters["latency_max_ms"] = span.latencyMaxMs();
    state.counters["end_gap_rtmp_ms"] = sentEnd.ok ? sentEnd.ms() : NAN;
    state.counters["end_gap_file_ms"] = keptEnd.ok ? keptEnd.ms() : NAN;
    std::printf("\nbench_live, the whole program's road (the facade signed in, the live panel's calls, \"同步录制\"): "
                "%d s live to %s and recording; load average before %s, after %s\n",
                g_programSeconds, receiver.url().c_str(), loadBefore.c_str(), loadAfter.c_str());
    std::printf("  scene: camera at %s (%s %d fps) with beauty (blur %d, whitening %d, colour temperature %d), two "
                "pictures, the subtitle page's scrolling subtitle, the watermark\n",
                sizeText(asked.width, asked.height).c_str(), LiveProxy::colorFormatName(asked.colorFormat).c_str(),
                asked.fps, b.blur, b.whitening, b.colour_temperature);
    printSpan(span, judged, -1, -1);
    printEndGaps(sentEnd, keptEnd);
    printThreads(span);

    g_program = runResult(span, sentEnd, keptEnd, judged, canvases);
    if (!faults.empty())
        failRun(state, "bench_live (program)", joined(faults));
}

// `ffmpeg` encodes the composed canvases of the program's run (else the
// engine's), cycled and paced in real time, for as many frames as the
// longer run made (60 s at most).
void BM_FfmpegFloor(benchmark::State &state)
{
    const RunResult &run = g_program.ran ? g_program : g_engine;
    if (!run.ran) {
        failSetUp(state, "bench_live (floor)", "no run made canvases for the floor");
        return;
    }
    const int frames =
        int(std::min<double>(std::max(g_engine.frames, g_program.frames), double(kFloorMaxSeconds) * kFps));
    double cpu = -1;
    const auto start = Clock::now();
    for (auto _ : state)
        cpu = runX264Floor({"-re", "-stream_loop", "-1", "-i", run.canvases, "-frames:v", QString::number(frames)},
                           g_dir->filePath(QStringLiteral("floor.mp4")), (kFloorMaxSeconds + 60) * 1000);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    if (cpu < 0) {
        failSetUp(state, "bench_live (floor)", "the ffmpeg floor failed");
        return;
    }
    g_floor = {true, 1000.0 * cpu / frames, 100.0 * cpu / wall, frames, wall};
    state.counters["floor_ms_per_frame"] = g_floor.msPerFrame;
}

void printSummary()
{
    std::printf("\nbench_live summary against ffmpeg measured in this run");
    if (g_floor.ran)
        std::printf(" (x264 veryfast, %d kbit/s, %d frames of the run's canvases in %.0f s: %.1f%% of one core, %.2f "
                    "ms per frame)",
                    kBitRate / 1000, g_floor.frames, g_floor.wall, g_floor.percent, g_floor.msPerFrame);
    std::printf(":\n");
    for (const auto &[name, run] : {std::make_pair("the engine's own road", &g_engine),
                                    std::make_pair("the whole program's road", &g_program)}) {
        if (!run->ran) {
            std::printf("  %s: did not run\n", name);
            continue;
        }
        const double ratio = g_floor.ran && g_floor.msPerFrame > 0 ? run->cpuMsPerFrame / g_floor.msPerFrame : 0;
        std::printf("  %s, live + recording: %.1f%% of one core, %.2f ms per frame: %.2fx ffmpeg [goal <= 1.3x: %s]; "
                    "latency max %.1f ms over %lld packets [goal <= %.0f ms: %s]; end gap received %s, recording %s "
                    "[goal <= %.0f ms: %s]; resident growth %+.3f MiB per minute, %+.2f MiB in all [goal < %.0f MiB "
                    "over %.0f minutes: %s]\n",
                    name, run->cpuPercent, run->cpuMsPerFrame, ratio,
                    g_floor.ran ? verdict(ratio > 0 && ratio <= 1.3) : "no floor measured",
                    run->latencyMaxMs, static_cast<long long>(run->packets), kLatencyGoalMs,
                    verdict(latencyMet(run->packets, run->latencyMaxMs)),
                    run->sentEnd.ok ? (std::to_string(int(std::lround(run->sentEnd.ms()))) + " ms").c_str() : "none",
                    run->keptEnd.ok ? (std::to_string(int(std::lround(run->keptEnd.ms()))) + " ms").c_str() : "none",
                    kEndGapGoalMs,
                    verdict(run->sentEnd.ok && run->keptEnd.ok && std::fabs(run->sentEnd.ms()) <= kEndGapGoalMs
                            && std::fabs(run->keptEnd.ms()) <= kEndGapGoalMs),
                    run->growth.perMinute, run->growth.total, kGrowthGoalMiB, kGrowthGoalMinutes,
                    run->growthJudged ? verdict(growthMet(run->growth)) : "not judged, not the first run");
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (const char *seconds = std::getenv("BENCH_LIVE_SECONDS"))
        g_seconds = std::atoi(seconds);
    if (const char *seconds = std::getenv("BENCH_LIVE_PROGRAM_SECONDS"))
        g_programSeconds = std::atoi(seconds);
    if (const char *seconds = std::getenv("BENCH_LIVE_SLOW_SECONDS"))
        g_slowSeconds = std::atoi(seconds);
    std::vector<char *> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--seconds=", 10) == 0)
            g_seconds = std::atoi(argv[i] + 10);
        else if (std::strncmp(argv[i], "--program-seconds=", 18) == 0)
            g_programSeconds = std::atoi(argv[i] + 18);
        else if (std::strncmp(argv[i], "--slow-seconds=", 15) == 0)
            g_slowSeconds = std::atoi(argv[i] + 15);
        else
            rest.push_back(argv[i]);
    }
    g_seconds = std::clamp(g_seconds, 1, 900);
    g_programSeconds = std::clamp(g_programSeconds, 1, 900);
    g_slowSeconds = std::clamp(g_slowSeconds, kSlowWarmUpSeconds + 4, 600);
    int restCount = int(rest.size());
    QGuiApplication app(restCount, rest.data());
    g_dir = std::make_unique<QTemporaryDir>();
    benchmark::Initialize(&restCount, rest.data());
    // The program's road first: its memory is judged on a fresh heap.
    for (const auto &[name, run] : {std::make_pair("BM_ProgramLiveAndRecording", BM_ProgramLiveAndRecording),
                                    std::make_pair("BM_LiveAndRecording", BM_LiveAndRecording),
                                    std::make_pair("BM_FfmpegFloor", BM_FfmpegFloor)})
        benchmark::RegisterBenchmark(name, run)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
    benchmark::RunSpecifiedBenchmarks();
    printSummary();
    benchmark::Shutdown();
    g_dir.reset();
    return exitCode();
}
