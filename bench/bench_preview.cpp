// The preview's cost per frame: fitting a 1280x720 canvas into the 800x450
// preview (Qt's smooth drawing), and the whole show() into a native window,
// put through MIT-SHM, of a new canvas each frame (two alternate, as the
// camera's do: an unchanged canvas is not put again). Also the screen capture
// of a 1280x720 region. Times are per frame, in ms. Needs an X display with
// QT_QPA_PLATFORM=xcb (scripts/bench.sh runs it under xvfb-run); without one
// it fails.
#include "BenchScene.h"
#include "preview/CanvasFitter.h"
#include "preview/PreviewOutput.h"
#include "sources/ScreenSource.h"

#include <QApplication>
#include <QPainter>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

void fail(benchmark::State &state, const char *why)
{
    benchscene::failSetUp(state, "bench_preview", why);
}

QImage canvas1280x720(QColor from = Qt::red, QColor to = Qt::blue)
{
    QImage canvas(1280, 720, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&canvas);
    QLinearGradient g(0, 0, 1280, 720);
    g.setColorAt(0, from);
    g.setColorAt(1, to);
    p.fillRect(canvas.rect(), g);
    p.fillRect(100, 100, 400, 300, Qt::green);
    return canvas;
}

void BM_FitCanvasIntoPreview(benchmark::State &state)
{
    const QImage canvas = canvas1280x720();
    QImage picture(800, 450, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        castcore::CanvasFitter::fit(canvas, &picture);
        benchmark::DoNotOptimize(picture.constBits());
    }
}
BENCHMARK(BM_FitCanvasIntoPreview)->Unit(benchmark::kMillisecond);

bool onX()
{
    return qGuiApp && QGuiApplication::platformName() == QLatin1String("xcb");
}

void BM_ShowIntoWindow(benchmark::State &state)
{
    if (!onX()) {
        fail(state, "needs an X display (QT_QPA_PLATFORM=xcb)");
        return;
    }
    QWidget window;
    window.resize(800, 450);
    window.setUpdatesEnabled(false);
    window.show();
    QCoreApplication::processEvents();
    castcore::PreviewOutput out;
    if (!out.attach(window.winId())) {
        fail(state, "the window cannot be used");
        return;
    }
    const QImage canvases[2] = {canvas1280x720(), canvas1280x720(Qt::yellow, Qt::darkMagenta)};
    const auto overlay = [](QPainter *p) {
        p->setPen(Qt::white);
        p->drawRect(10, 10, 200, 100);
    };
    int n = 0;
    for (auto _ : state)
        out.show(canvases[n++ & 1], overlay);
    // The last canvas shown must be in the window: a show that returned at
    // once would leave the other one there.
    const QImage shown = out.lastPicture();
    QImage expected(shown.size(), QImage::Format_ARGB32_Premultiplied);
    castcore::CanvasFitter::fit(canvases[(n - 1) & 1], &expected);
    {
        QPainter p(&expected);
        overlay(&p);
    }
    const QPoint probe(shown.width() / 2, shown.height() * 3 / 4);
    if (shown.isNull() || (shown.pixel(probe) & 0xffffffu) != (expected.pixel(probe) & 0xffffffu))
        fail(state, "the window does not show the last canvas");
}
BENCHMARK(BM_ShowIntoWindow)->Unit(benchmark::kMillisecond);

void BM_CaptureScreenRegion(benchmark::State &state)
{
    if (!std::getenv("DISPLAY")) {
        fail(state, "needs an X display");
        return;
    }
    castcore::SceneItem item;
    item.display = 0;
    item.width = item.sourceWidth = 1280;
    item.height = item.sourceHeight = 720;
    castcore::ScreenSource source;
    source.update(item);
    for (auto _ : state) {
        source.tick(castcore::MediaClock::now());
        benchmark::DoNotOptimize(source.picture().constBits());
    }
    if (source.picture().size() != QSize(1280, 720))
        fail(state, "no 1280x720 capture (screen smaller, or no display 0)");
}
BENCHMARK(BM_CaptureScreenRegion)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return benchscene::exitCode();
}
