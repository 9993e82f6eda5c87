// The encoder at the canvas size, rate and bit rate of the clarity row a new
// user starts with (1280x720, 25 fps, 1000 kbit/s): CPU time per frame of
// EncodeLibraryClient recording to a file (conversion, x264, AAC, muxing, all
// threads), beside `ffmpeg` encoding the same raw frames with the same x264
// settings (the floor).

#include "BenchScene.h"
#include "EncodeLibraryClient.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace {

using benchscene::kBitRate;
using benchscene::kFps;
using benchscene::kHeight;
using benchscene::kWidth;
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

void BM_EncoderRecording(benchmark::State &state)
{
    const std::vector<QImage> frames = makeFrames();
    std::vector<int16_t> tone(480 * 2);
    QTemporaryDir dir;
    const int total = kSeconds * kFps;
    double cpuPerFrame = 0;
    for (auto _ : state) {
        castcore::EncodeLibraryClient encoder{castcore::EncodeEvents{}};
        encoder.configure(kWidth, kHeight, kFps, kBitRate);
        const double cpuStart = benchscene::processCpuSeconds();
        encoder.startRecording((dir.path() + "/bench.mp4").toStdString());
        // Real-time pacing, as the compositor feeds it: the encoder queue
        // drops canvases when fed faster than it encodes.
        const int64_t start = castcore::mediaNowUs();
        int64_t chunk = 0;
        for (int i = 0; i < total; ++i) {
            const int64_t due = start + int64_t(i) * 1000000 / kFps;
            while (start + chunk * 10000 <= due) {
                for (size_t s = 0; s < 480; ++s)
                    tone[s * 2] = tone[s * 2 + 1] = int16_t(8000 * std::sin(2 * M_PI * 1000 * (chunk * 480 + s) / 48000.0));
                encoder.onAudio(tone.data(), 480, start + chunk * 10000);
                ++chunk;
            }
            std::this_thread::sleep_until(std::chrono::steady_clock::time_point(std::chrono::microseconds(due)));
            encoder.onCanvas(frames[size_t(i % kDistinct)], due);
        }
        encoder.stopRecording();
        cpuPerFrame = (benchscene::processCpuSeconds() - cpuStart) / total;
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
        benchscene::failSetUp(state, "bench_encode", "cannot write the raw frames");
        return;
    }
    for (int i = 0; i < total; ++i) {
        const QImage &frame = frames[size_t(i % kDistinct)];
        raw.write(reinterpret_cast<const char *>(frame.constBits()), frame.sizeInBytes());
    }
    raw.close();
    double cpuPerFrame = 0;
    for (auto _ : state) {
        const double cpu = benchscene::runX264Floor({"-i", raw.fileName()}, dir.path() + "/floor.mp4", 120000);
        if (cpu < 0) {
            benchscene::failSetUp(state, "bench_encode", "the ffmpeg floor failed");
            return;
        }
        cpuPerFrame = cpu / total;
    }
    state.counters["cpu_ms_per_frame"] = cpuPerFrame * 1000;
}

} // namespace

BENCHMARK(BM_EncoderRecording)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FfmpegFloor)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return benchscene::exitCode();
}
