// The compositor's cost per frame of the full scene a user runs (BenchScene:
// the camera at 1280x720 with beauty at the one-key levels, two pictures, a
// GIF, a scrolling subtitle, a text and a watermark-like custom capture), run
// by the engine itself: the process's CPU time per composed frame (all its
// threads: camera, decoding, the video thread) less the benchmark's own
// waiting, beside a plain 1280x720 frame copy measured in the same run.
#include "BenchScene.h"

#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <thread>

namespace {

constexpr double kComposeGoalMs = 5.0;
double g_composeMs = -1;

void BM_ComposeFullScene(benchmark::State &state)
{
    benchscene::FullScene scene;
    if (!scene.error().empty()) {
        benchscene::failSetUp(state, "bench_compose", scene.error());
        return;
    }
    castcore::Compositor &compositor = scene.compositor();
    const int64_t framesBefore = compositor.framesMade();
    const double cpuBefore = benchscene::processCpuSeconds();
    // The loop below only waits; its wake-ups are not the engine's cost.
    const double waitingBefore = benchscene::thisThreadCpuSeconds();
    for (auto _ : state) {
        const int64_t seen = compositor.framesMade();
        while (compositor.framesMade() == seen)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double frames = double(compositor.framesMade() - framesBefore);
    const double waiting = benchscene::thisThreadCpuSeconds() - waitingBefore;
    g_composeMs = (benchscene::processCpuSeconds() - cpuBefore - waiting) * 1000 / (frames > 0 ? frames : 1);
    state.counters["cpu_ms_per_frame"] = g_composeMs;
    state.counters["lagged"] = double(compositor.framesLagged());
}
BENCHMARK(BM_ComposeFullScene)->Iterations(250)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_PlainFrameCopy(benchmark::State &state)
{
    QImage from(1280, 720, QImage::Format_ARGB32_Premultiplied);
    from.fill(Qt::darkCyan);
    QImage to(1280, 720, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        std::memcpy(to.bits(), from.constBits(), size_t(from.sizeInBytes()));
        benchmark::DoNotOptimize(to.constBits());
    }
    state.counters["ms_per_frame"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PlainFrameCopy)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    if (g_composeMs >= 0)
        std::printf("composition of a full %dx%d frame, camera with beauty (blur %d, whitening %d, colour "
                    "temperature %d): %.2f ms of CPU [goal <= %.0f ms: %s]\n",
                    benchscene::kWidth, benchscene::kHeight, benchscene::kOneKeyBeauty.blur,
                    benchscene::kOneKeyBeauty.whitening, benchscene::kOneKeyBeauty.colour_temperature, g_composeMs,
                    kComposeGoalMs, benchscene::verdict(g_composeMs <= kComposeGoalMs));
    benchmark::Shutdown();
    return benchscene::exitCode();
}
