// Beauty filter on 1280x720 camera frames on one core, filtered in place as
// the engine does (and, beside it, into a buffer of its own), at the one-key
// beauty levels and at blur 70 / whitening 50 / colour temperature 30.
// Reported as frames/s; the goal is 400.
#include "BenchScene.h"
#include "SkinFilter.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using benchscene::kHeight;
using benchscene::kWidth;
constexpr double kGoalFps = 400;
// Timed on this thread's CPU clock, so a busy machine does not count against
// the filter.
using benchscene::thisThreadCpuSeconds;

std::map<std::string, double> g_fps;

// A camera-like frame: smooth gradients with sensor noise.
std::vector<uint8_t> cameraFrame()
{
    std::vector<uint8_t> frame(size_t(kWidth) * kHeight * 4);
    uint32_t seed = 2024;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint8_t *p = frame.data() + (size_t(y) * kWidth + size_t(x)) * 4;
            for (int c = 0; c < 3; ++c) {
                seed = seed * 1664525u + 1013904223u;
                const int base = (x * (c + 1) / 8 + y / 4) % 200 + 20;
                p[c] = uint8_t(base + int(seed >> 28) - 8);
            }
            p[3] = 255;
        }
    return frame;
}

// Levels 0..100 as the facade sets them: blur, whitening, colour temperature.
facetone::SkinLevels levels(const benchmark::State &state)
{
    facetone::SkinLevels l;
    l.smoothing = double(state.range(0)) / 100.0;
    l.whitening = double(state.range(1)) / 100.0;
    l.warmth = double(state.range(2)) / 100.0;
    return l;
}

void report(benchmark::State &state, const char *road, double seconds)
{
    const double fps = seconds > 0 ? double(state.iterations()) / seconds : 0;
    state.counters["frames/s"] = fps;
    char name[160];
    std::snprintf(name, sizeof name, "%dx%d %s, blur %d, whitening %d, colour temperature %d", kWidth, kHeight, road,
                  int(state.range(0)), int(state.range(1)), int(state.range(2)));
    g_fps[name] = fps;
}

// The camera frame filtered where it lies. Each frame starts from the camera
// picture again (not timed), as the camera hands over a new one.
void BM_SkinFilterInPlace(benchmark::State &state)
{
    const std::vector<uint8_t> camera = cameraFrame();
    std::vector<uint8_t> frame = camera;
    const facetone::SkinLevels l = levels(state);
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(frame.data(), camera.data(), camera.size());
        state.ResumeTiming();
        const double start = thisThreadCpuSeconds();
        facetone::filterSkin(frame.data(), kWidth * 4, kWidth, kHeight, frame.data(), kWidth * 4, l);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
        seconds += thisThreadCpuSeconds() - start;
    }
    report(state, "in place", seconds);
}

void BM_SkinFilterIntoBuffer(benchmark::State &state)
{
    const std::vector<uint8_t> in = cameraFrame();
    std::vector<uint8_t> out(in.size());
    const facetone::SkinLevels l = levels(state);
    const double start = thisThreadCpuSeconds();
    for (auto _ : state) {
        facetone::filterSkin(in.data(), kWidth * 4, kWidth, kHeight, out.data(), kWidth * 4, l);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    report(state, "into a buffer", thisThreadCpuSeconds() - start);
}

void beautyLevels(benchmark::internal::Benchmark *b)
{
    b->ArgNames({"blur", "whitening", "temperature"});
    const BeautyPreset &oneKey = benchscene::kOneKeyBeauty;
    b->Args({oneKey.blur, oneKey.whitening, oneKey.colour_temperature});
    b->Args({70, 50, 30});
    b->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_SkinFilterInPlace)->Apply(beautyLevels);
BENCHMARK(BM_SkinFilterIntoBuffer)->Apply(beautyLevels);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    for (const auto &[name, fps] : g_fps)
        std::printf("beauty filter, %s: %.0f frames/s on one core [goal >= %.0f: %s]\n", name.c_str(), fps, kGoalFps,
                    benchscene::verdict(fps >= kGoalFps));
    benchmark::Shutdown();
    return 0;
}
