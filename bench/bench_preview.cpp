// The preview's cost per frame: fitting a 1280x720 canvas into the 800x450
// preview (Qt's smooth drawing), and, when an X display is there, the whole
// show() into a native window, put through MIT-SHM. Also the screen capture
// of a 1280x720 region. Times are per frame, in ms.
#include "preview/CanvasFitter.h"
#include "preview/PreviewOutput.h"
#include "sources/ScreenSource.h"

#include <QApplication>
#include <QPainter>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

QImage canvas1280x720()
{
    QImage canvas(1280, 720, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&canvas);
    QLinearGradient g(0, 0, 1280, 720);
    g.setColorAt(0, Qt::red);
    g.setColorAt(1, Qt::blue);
    p.fillRect(canvas.rect(), g);
    p.fillRect(100, 100, 400, 300, Qt::green);
    return canvas;
}

void BM_FitCanvasIntoPreview(benchmark::State &state)
{
    const QImage canvas = canvas1280x720();
    QImage picture(800, 450, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter p(&picture);
        castcore::CanvasFitter::fit(canvas, &p, picture.size());
        p.end();
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
        state.SkipWithError("needs an X display (QT_QPA_PLATFORM=xcb)");
        return;
    }
    QWidget window;
    window.resize(800, 450);
    window.setUpdatesEnabled(false);
    window.show();
    QCoreApplication::processEvents();
    castcore::PreviewOutput out;
    if (!out.attach(window.winId())) {
        state.SkipWithError("the window cannot be used");
        return;
    }
    const QImage canvas = canvas1280x720();
    const auto overlay = [](QPainter *p) {
        p->setPen(Qt::white);
        p->drawRect(10, 10, 200, 100);
    };
    for (auto _ : state)
        out.show(canvas, overlay);
}
BENCHMARK(BM_ShowIntoWindow)->Unit(benchmark::kMillisecond);

void BM_CaptureScreenRegion(benchmark::State &state)
{
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("needs an X display");
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
        state.SkipWithError("no 1280x720 capture (screen smaller, or no display 0)");
}
BENCHMARK(BM_CaptureScreenRegion)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
