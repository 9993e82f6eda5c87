// The encoding road at 1280x720, 25 fps, 2500 kbit/s: CPU time per frame of
// EncodePipeline recording to a file (conversion, x264, AAC, muxing, all
// threads), beside `ffmpeg` encoding the same raw frames with the same x264
// settings (the floor).

#include "EncodePipeline.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <thread>
#include <vector>

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kFps = 25;
constexpr int kBitRate = 2500000;
constexpr int kSeconds = 8;
constexpr int kDistinct = 50; // two seconds of distinct pictures, cycled

// A moving scene with detail, so x264 has real work.
std::vector<QImage> makeFrames()
{
    std::vector<QImage> frames;
    for (int i = 0; i < kDistinct; ++i) {
        QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        QLinearGradient gradient(0, 0, kWidth, kHeight);
        gradient.setColorAt(0, QColor::fromHsv((i * 7) % 360, 200, 220));
        gradient.setColorAt(1, QColor::fromHsv((i * 7 + 180) % 360, 200, 120));
        painter.fillRect(image.rect(), gradient);
        // Detail without fonts (no QGuiApplication here): a moving chequer.
        for (int y = 0; y < kHeight; y += 24)
            for (int x = (y / 24 % 2) * 24 + (i * 5) % 48; x < kWidth; x += 48)
                painter.fillRect(QRect(x, y, 24, 24), QColor::fromHsv((x + y + i * 11) % 360, 180, 250));
        painter.fillRect(QRect(100 + i * 20, 300, 200, 200), QColor(255, 0, 0));
        frames.push_back(image);
    }
    return frames;
}

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double childrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
           + usage.ru_stime.tv_usec / 1e6;
}

void BM_EncodePipelineRecording(benchmark::State &state)
{
    const std::vector<QImage> frames = makeFrames();
    std::vector<int16_t> tone(480 * 2);
    QTemporaryDir dir;
    const int total = kSeconds * kFps;
    double cpuPerFrame = 0;
    for (auto _ : state) {
        castcore::EncodePipeline pipeline{castcore::EncodeEvents{}};
        pipeline.configure(kWidth, kHeight, kFps, kBitRate);
        const double cpuStart = processCpuSeconds();
        pipeline.startRecording((dir.path() + "/bench.mp4").toStdString());
        // Real-time pacing, as the compositor feeds it: the encoder queue
        // drops canvases when fed faster than it encodes.
        const int64_t start = castcore::mediaNowUs();
        int64_t chunk = 0;
        for (int i = 0; i < total; ++i) {
            const int64_t due = start + int64_t(i) * 1000000 / kFps;
            while (start + chunk * 10000 <= due) {
                for (size_t s = 0; s < 480; ++s)
                    tone[s * 2] = tone[s * 2 + 1] = int16_t(8000 * std::sin(2 * M_PI * 1000 * (chunk * 480 + s) / 48000.0));
                pipeline.onAudio(tone.data(), 480, start + chunk * 10000);
                ++chunk;
            }
            std::this_thread::sleep_until(std::chrono::steady_clock::time_point(std::chrono::microseconds(due)));
            pipeline.onCanvas(frames[size_t(i % kDistinct)], due);
        }
        pipeline.stopRecording();
        cpuPerFrame = (processCpuSeconds() - cpuStart) / total;
    }
    state.counters["cpu_ms_per_frame"] = cpuPerFrame * 1000;
    state.counters["file_kB"] = double(QFile(dir.path() + "/bench.mp4").size()) / 1000;
}

void BM_FfmpegFloor(benchmark::State &state)
{
    const std::vector<QImage> frames = makeFrames();
    QTemporaryDir dir;
    const int total = kSeconds * kFps;
    QFile raw(dir.path() + "/frames.bgra");
    if (!raw.open(QIODevice::WriteOnly)) {
        state.SkipWithError("cannot write the raw frames");
        return;
    }
    for (int i = 0; i < total; ++i) {
        const QImage &frame = frames[size_t(i % kDistinct)];
        raw.write(reinterpret_cast<const char *>(frame.constBits()), frame.sizeInBytes());
    }
    raw.close();
    double cpuPerFrame = 0;
    for (auto _ : state) {
        const double before = childrenCpuSeconds();
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     {"-nostdin", "-loglevel", "error", "-y", "-f", "rawvideo", "-pix_fmt", "bgra", "-s",
                      QStringLiteral("%1x%2").arg(kWidth).arg(kHeight), "-r", QString::number(kFps), "-i",
                      raw.fileName(), "-c:v", "libx264", "-preset", "veryfast", "-tune", "zerolatency",
                      "-pix_fmt", "yuv420p", "-b:v", "2500k", "-maxrate", "2500k", "-bufsize", "2500k", "-g",
                      QString::number(kFps * 2), "-f", "mp4", dir.path() + "/floor.mp4"});
        if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) {
            state.SkipWithError("ffmpeg failed");
            return;
        }
        cpuPerFrame = (childrenCpuSeconds() - before) / total;
    }
    state.counters["cpu_ms_per_frame"] = cpuPerFrame * 1000;
}

} // namespace

BENCHMARK(BM_EncodePipelineRecording)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FfmpegFloor)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
