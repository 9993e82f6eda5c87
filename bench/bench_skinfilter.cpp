// Beauty filter on 1280x720 camera frames, at the levels the facade sets
// (smoothing 5-10 of 10, whitening 5, warmth 3). Reported as frames/s on
// one core.
#include "SkinFilter.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

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

void BM_SkinFilter(benchmark::State &state)
{
    const std::vector<uint8_t> in = cameraFrame();
    std::vector<uint8_t> out(in.size());
    facetone::SkinLevels levels;
    levels.smoothing = double(state.range(0)) / 10.0;
    levels.whitening = 0.5;
    levels.warmth = 0.3;
    for (auto _ : state) {
        facetone::filterSkin(in.data(), kWidth, kHeight, out.data(), kWidth * 4, levels);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SkinFilter)->ArgName("smoothing/10")->Arg(5)->Arg(7)->Arg(10)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
