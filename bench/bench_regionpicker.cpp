// The region picker over a 1920 x 1080 desktop picture: one repaint with a
// selection and its handles (aim: under 8 ms), and the processor time the
// picker takes while it is up and the mouse stands still (aim: near 0).
// Run: QT_QPA_PLATFORM=offscreen ./bench_regionpicker
#include "MvScreenShotDialog.h"
#include "TopLevelWindows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

#include <benchmark/benchmark.h>

#include <ctime>

namespace {

QPixmap desktopPicture()
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 1920, 1080);
    g.setColorAt(0, QColor(30, 60, 90));
    g.setColorAt(1, QColor(220, 180, 140));
    p.fillRect(image.rect(), g);
    p.end();
    return QPixmap::fromImage(image);
}

void send(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void select(MvScreenShotDialog &picker, QPoint from, QPoint to)
{
    send(&picker, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send(&picker, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    send(&picker, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

void BM_RepaintWithSelection(benchmark::State &state)
{
    mvplatform::TopLevelWindows::steer({});
    MvScreenShotDialog picker(0, 0, 1920, 1080);
    picker.GrabFullScreen(desktopPicture());
    select(picker, QPoint(400, 300), QPoint(1500, 900));
    QImage target(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        picker.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}

void BM_RepaintHovering(benchmark::State &state)
{
    mvplatform::TopLevelWindows::steer({{WId(1), QRect(200, 150, 1200, 700)}});
    MvScreenShotDialog picker(0, 0, 1920, 1080);
    picker.GrabFullScreen(desktopPicture());
    send(&picker, QEvent::MouseMove, QPoint(600, 500), Qt::NoButton, Qt::NoButton);
    QImage target(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        picker.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}

// Processor time per second of wall time while the picker is shown and
// nothing moves: 0 hovering, 1 with a selection, 2 no picker at all (what
// the waiting loop itself costs).
void BM_StillMouseProcessorTime(benchmark::State &state)
{
    mvplatform::TopLevelWindows::steer({{WId(1), QRect(200, 150, 1200, 700)}});
    MvScreenShotDialog picker(0, 0, 1920, 1080);
    picker.GrabFullScreen(desktopPicture());
    if (state.range(0) == 1)
        select(picker, QPoint(400, 300), QPoint(1500, 900));
    else
        send(&picker, QEvent::MouseMove, QPoint(600, 500), Qt::NoButton, Qt::NoButton);
    if (state.range(0) != 2)
        picker.show();
    if (state.range(0) != 2 && !QTest::qWaitForWindowExposed(&picker)) {
        state.SkipWithError("picker not shown");
        return;
    }
    QTest::qWait(100);
    double cpuMs = 0;
    double wallMs = 0;
    for (auto _ : state) {
        const std::clock_t c0 = std::clock();
        QElapsedTimer wall;
        wall.start();
        QTest::qWait(500);
        cpuMs += double(std::clock() - c0) * 1000.0 / CLOCKS_PER_SEC;
        wallMs += double(wall.elapsed());
    }
    state.counters["cpu_ms_per_s"] = wallMs > 0 ? cpuMs * 1000.0 / wallMs : 0.0;
    picker.hide();
}

} // namespace

BENCHMARK(BM_RepaintWithSelection)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintHovering)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StillMouseProcessorTime)->Arg(0)->Arg(1)->Arg(2)->Iterations(4)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    mvplatform::TopLevelWindows::reset();
    return 0;
}
