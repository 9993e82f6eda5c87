// The scene registry's per-call cost with 100 scene items on the engine
// layer: sorting by z-order, restacking and picking on the preview. Every
// call goes through the engine layer (with its call log) and writes its log
// lines, as in the running program.
#include "CastCoreControl.h"
#include "LiveParams.h"
#include "LiveProxy.h"
#include "Logger.h"

#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int kItems = 100;

struct Scene
{
    QTemporaryDir dir;
    std::unique_ptr<LiveProxy> proxy;
    std::vector<int> ids;

    Scene()
    {
        qputenv("XDG_DATA_HOME", dir.path().toUtf8());
        Logger::instance()->setDirectory(dir.path());
        castcore::control().reset();
        proxy = std::make_unique<LiveProxy>();
        LiveParams p;
        p.previewWidth = 800;
        p.previewHeight = 450;
        p.outputWidth = 1280;
        p.outputHeight = 720;
        p.bitRate = 1000;
        p.frameRate = 25;
        proxy->init(&p);
        const QString picture = dir.path() + "/p.png";
        QImage img(64, 48, QImage::Format_RGB32);
        img.fill(Qt::gray);
        img.save(picture, "PNG");
        for (int i = 0; i < kItems; ++i) {
            const int id = proxy->addImage(picture.toStdString(), 255, 3);
            proxy->setItemRect(id, (i * 37) % 1200, (i * 23) % 680, 64, 48);
            ids.push_back(id);
        }
        castcore::control().log().clear();
    }
};

Scene &scene()
{
    static Scene s;
    return s;
}

void BM_SortedItemIds(benchmark::State &state)
{
    Scene &s = scene();
    std::vector<int> sorted;
    for (auto _ : state) {
        s.proxy->sortedItemIds(sorted);
        benchmark::DoNotOptimize(sorted.data());
    }
    castcore::control().log().clear();
}

// One step: the item swaps places with its neighbour, then back.
void BM_ShiftItemNeighbour(benchmark::State &state)
{
    Scene &s = scene();
    std::vector<int> sorted;
    s.proxy->sortedItemIds(sorted);
    const int a = sorted[50];
    const int b = sorted[51];
    for (auto _ : state)
        s.proxy->shiftItem(a, b);
    castcore::control().log().clear();
}

// The whole list: the bottom item steps past the 99 others, then back.
void BM_ShiftItemAcross(benchmark::State &state)
{
    Scene &s = scene();
    std::vector<int> sorted;
    s.proxy->sortedItemIds(sorted);
    const int moving = sorted.front();
    for (auto _ : state) {
        s.proxy->sortedItemIds(sorted);
        state.PauseTiming();
        const int target = sorted.front() == moving ? sorted.back() : sorted.front();
        state.ResumeTiming();
        s.proxy->shiftItem(moving, target);
    }
    castcore::control().log().clear();
}

void BM_MoveItemToTop(benchmark::State &state)
{
    Scene &s = scene();
    size_t next = 0;
    for (auto _ : state) {
        s.proxy->moveItemToTop(s.ids[next]);
        next = (next + 1) % s.ids.size();
    }
    castcore::control().log().clear();
}

// A point on the preview covered by a few of the 100 items.
void BM_HitTestItem(benchmark::State &state)
{
    Scene &s = scene();
    int id = 0;
    for (auto _ : state) {
        s.proxy->hitTestItem(400, 225, &id);
        benchmark::DoNotOptimize(id);
    }
    castcore::control().log().clear();
}

} // namespace

BENCHMARK(BM_HitTestItem)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SortedItemIds)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ShiftItemNeighbour)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ShiftItemAcross)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MoveItemToTop)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
