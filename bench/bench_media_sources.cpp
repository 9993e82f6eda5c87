// Per-frame cost of the picture and text sources on the video thread, at
// items the size of a 1280x720 canvas: a rolling subtitle and a playing GIF
// (tick + picture, as the compositor calls them at 25 frames/s), and what a
// change costs once (text layout, GIF decode on the loader).
#include "CallbackThread.h"
#include "sources/PictureSource.h"
#include "sources/TextSource.h"

// The test area's GIF writer: one copy for tests and benchmark.
#include "../tests/media_sources/PictureFiles.cpp"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace castcore;
using namespace std::chrono_literals;

namespace {

const QSize kItem(1280, 720);
constexpr auto kFrame = 40ms;

// The subtitle panel's scrolling record: four lines joined by 30 blanks.
SceneItem subtitle()
{
    const QString gap(30, QLatin1Char(' '));
    SceneItem it;
    it.kind = KindText;
    it.hasText = true;
    it.text.font = toU16(QStringLiteral("微软雅黑"));
    it.text.text = toU16(QStringLiteral("欢迎来到直播间") + gap + QStringLiteral("关注主播不迷路") + gap
                         + QStringLiteral("今晚八点抽奖") + gap + QStringLiteral("Thanks for watching") + gap);
    it.text.size = 25;
    it.text.color = 0xffffffff;
    it.text.opacity = 100;
    it.text.rollSpeed = 50;
    it.text.bold = true;
    it.text.backgroundColor = 0xff000000;
    it.text.backgroundOpacity = 40;
    it.text.outlineColor = 0xff000000;
    it.text.outlineOpacity = 100;
    it.text.extend = true;
    it.text.extendWidth = 1280;
    it.text.extendHeight = 32;
    return it;
}

void BM_RollingSubtitleFrame(benchmark::State &state)
{
    TextSource source;
    source.update(subtitle());
    source.resize(kItem);
    auto now = MediaClock::now();
    source.tick(now);
    QImage held;
    for (auto _ : state) {
        now += kFrame;
        benchmark::DoNotOptimize(source.tick(now));
        held = source.picture(); // the compositor's share while it draws
        benchmark::DoNotOptimize(held.constBits());
    }
}

void BM_SubtitleRelayout(benchmark::State &state)
{
    SceneItem item = subtitle();
    TextSource source;
    source.resize(kItem);
    auto now = MediaClock::now();
    int n = 0;
    for (auto _ : state) {
        item.text.color = (++n % 2) ? 0xffffffff : 0xfffffffe; // one change per round
        source.update(item);
        now += kFrame;
        benchmark::DoNotOptimize(source.tick(now));
    }
}

QString writeGif(const QTemporaryDir &dir)
{
    QVector<mediatest::GifFrame> frames;
    const QRgb colors[] = {0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffff00};
    for (int i = 0; i < 12; ++i)
        frames.push_back({colors[i % 4], 8});
    const QString path = dir.filePath(QStringLiteral("bench.gif"));
    mediatest::writeFile(path, mediatest::solidGif(frames, 320, 180));
    return path;
}

void BM_PlayingGifFrame(benchmark::State &state)
{
    QTemporaryDir dir;
    mvplatform::CallbackThread loader("bench-loader");
    PictureSource source(loader);
    SceneItem item;
    item.kind = KindPicture;
    item.sources = {writeGif(dir).toStdString()};
    source.update(item);
    source.resize(kItem);
    loader.waitIdle(60000);
    auto now = MediaClock::now();
    source.tick(now);
    QImage held;
    for (auto _ : state) {
        now += kFrame;
        benchmark::DoNotOptimize(source.tick(now));
        held = source.picture();
        benchmark::DoNotOptimize(held.constBits());
    }
}

void BM_GifDecodeOnLoader(benchmark::State &state)
{
    QTemporaryDir dir;
    mvplatform::CallbackThread loader("bench-loader");
    SceneItem item;
    item.kind = KindPicture;
    item.sources = {writeGif(dir).toStdString()};
    for (auto _ : state) {
        PictureSource source(loader);
        source.update(item);
        source.resize(kItem);
        loader.waitIdle(60000);
        benchmark::DoNotOptimize(source.tick(MediaClock::now()));
    }
}

} // namespace

BENCHMARK(BM_RollingSubtitleFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SubtitleRelayout)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayingGifFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GifDecodeOnLoader)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
