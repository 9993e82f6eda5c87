// End to end at 1280x720, 25 fps, 2500 kbit/s: the full scene composed by
// the engine, encoded once, pushed over RTMP to a local receiver (`ffmpeg
// -listen`, saving what it receives) and recorded at the same time. Over the
// run: the process's CPU (all threads) as % of one core and ms per frame, its
// resident memory, the latency from composition to the socket (the engine's
// own figure), and the audio-video drift of the received stream and of the
// recording (ffprobe). Then `ffmpeg` encodes the same composed frames, paced
// in real time, with the same x264 settings: the floor.
//   BENCH_LIVE_SECONDS=N or --seconds=N sets the run (default 60, up to 600).

#include "BenchScene.h"
#include "EncodePipeline.h"
#include "audio/AudioEngine.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace benchscene;
using Clock = std::chrono::steady_clock;

int g_seconds = 60;
constexpr int kWarmUpSeconds = 3;
constexpr int kFloorFrames = 50;          // two seconds of composed canvases, cycled
constexpr int kFloorMaxSeconds = 60;

int freeLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    int port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0
        && getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        close(fd);
    return port;
}

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

void BM_LiveAndRecording(benchmark::State &state)
{
    QTemporaryDir dir;
    const int port = freeLoopbackPort();
    const QString url = QStringLiteral("rtmp://127.0.0.1:%1/live/bench").arg(port);
    const QString received = dir.filePath(QStringLiteral("received.flv"));
    const QString recording = dir.filePath(QStringLiteral("recording.mp4"));
    const std::string loadBefore = loadAverage();

    // The receiver keeps what it gets, untouched, for the drift.
    QProcess receiver;
    receiver.start(QStringLiteral("ffmpeg"), {"-nostdin", "-loglevel", "error", "-listen", "1", "-i", url, "-c",
                                              "copy", "-f", "flv", "-y", received});
    if (!receiver.waitForStarted(5000)) {
        state.SkipWithError("cannot start the ffmpeg RTMP receiver");
        return;
    }

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

    // The receiver listens shortly after it starts: retry until it answers.
    const auto connectLimit = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < connectLimit) {
        pushState.store(-1);
        pipeline.connect(url.toStdString());
        const auto answerLimit = Clock::now() + std::chrono::seconds(11);
        while (pushState.load() < 0 && Clock::now() < answerLimit)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (pushState.load() == 1)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    if (pushState.load() != 1) {
        state.SkipWithError("the push did not connect to the local receiver");
        receiver.kill();
        receiver.waitForFinished(5000);
        return;
    }
    pipeline.setLive(true);
    if (!pipeline.startRecording(recording.toStdString()))
        state.SkipWithError("cannot record");
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
    scene.shutdown();
    if (!receiver.waitForFinished(15000)) {
        std::fprintf(stderr, "bench_live: the receiver did not end with the stream; stopped\n");
        receiver.kill();
        receiver.waitForFinished(5000);
    }
    const MediaSpans sent = probeSpans(received);
    const MediaSpans kept = probeSpans(recording);

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
                    verdict(std::fabs(drift(spans)) < 40 && std::fabs(lastGap(spans)) < 40));
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
        state.SkipWithError("the ffmpeg floor failed");
}

} // namespace

int main(int argc, char **argv)
{
    if (const char *seconds = std::getenv("BENCH_LIVE_SECONDS"))
        g_seconds = std::atoi(seconds);
    std::vector<char *> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--seconds=", 10) == 0)
            g_seconds = std::atoi(argv[i] + 10);
        else
            rest.push_back(argv[i]);
    }
    g_seconds = std::clamp(g_seconds, 1, 600);
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
