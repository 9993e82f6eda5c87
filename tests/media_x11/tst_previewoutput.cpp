// The preview on a real X server: the canvas fitted into the window, the
// overlay over it only, a window covered, resized or destroyed; and a frame
// put into the window only when the window would show something else.

#include "ScreenPictures.h"

#include "DebugCapture.h"
#include "preview/PreviewOutput.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QScopeGuard>
#include <QTest>
#include <QWindow>

#include <memory>

using namespace mediax11;
using castcore::PreviewOutput;

namespace {

// A canvas in the four quadrant colours.
QImage quadrantCanvas(const QSize &size)
{
    QImage canvas(size, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&canvas);
    const int w = size.width() / 2;
    const int h = size.height() / 2;
    p.fillRect(0, 0, w, h, kQuadrantColors[0]);
    p.fillRect(w, 0, size.width() - w, h, kQuadrantColors[1]);
    p.fillRect(0, h, w, size.height() - h, kQuadrantColors[2]);
    p.fillRect(w, h, size.width() - w, size.height() - h, kQuadrantColors[3]);
    return canvas;
}

// The canvas shown `shown` pixels wide from `left` over the whole height,
// black beside it.
QString fittedMismatch(const QImage &picture, const QSize &window, int left, int shown)
{
    if (picture.size() != window)
        return QStringLiteral("picture %1x%2").arg(picture.width()).arg(picture.height());
    QString m = quadrantMismatch(picture, QRect(left, 0, shown, window.height()), 4);
    if (!m.isEmpty())
        return m;
    const int right = left + shown;
    for (int y : {0, window.height() / 2, window.height() - 1}) {
        for (int x : {0, left - 1, right, window.width() - 1}) {
            if (x >= 0 && x < left) {
                m = colorMismatch(picture, QPoint(x, y), Qt::black, 0);
            } else if (x >= right && x < window.width()) {
                m = colorMismatch(picture, QPoint(x, y), Qt::black, 0);
            }
            if (!m.isEmpty())
                return QStringLiteral("margin: ") + m;
        }
    }
    return QString();
}

// Shows the same frame again and again, as the frame clock does, until
// `calls` calls in a row, at least 300 ms (three overlay checks) long, put
// nothing; false when it never settles.
template <typename Show>
bool settles(PreviewOutput &out, Show show, int calls = 15)
{
    QElapsedTimer timer;
    timer.start();
    int64_t puts = out.framesPut();
    int quiet = 0;
    QElapsedTimer quietFor;
    quietFor.start();
    while (timer.elapsed() < 10000) {
        show();
        QTest::qWait(20);
        if (out.framesPut() != puts) {
            puts = out.framesPut();
            quiet = 0;
            quietFor.restart();
        } else if (++quiet >= calls && quietFor.elapsed() >= 300) {
            return true;
        }
    }
    return false;
}

// The main window with the preview as a native child of updates disabled,
// as the program has it.
struct PreviewWindow
{
    QWidget top;
    QWidget *preview = nullptr;

    PreviewWindow()
    {
        top.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        top.setGeometry(0, 0, 1200, 600);
        preview = new QWidget(&top);
        preview->setGeometry(100, 50, 800, 450);
        preview->setUpdatesEnabled(false);
        preview->winId();
        top.show();
    }
};

} // namespace

class PreviewOutputTest : public QObject
{
    Q_OBJECT

private slots:
    void fitsCanvasToWindow_data()
    {
        QTest::addColumn<QSize>("canvas");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("shown");
        QTest::newRow("16:9 fills the window") << QSize(1280, 720) << 0 << 800;
        QTest::newRow("4:3 centred between black") << QSize(960, 720) << 100 << 600;
        QTest::newRow("8:3 cut at both sides") << QSize(1920, 720) << -200 << 1200;
    }
    void fitsCanvasToWindow()
    {
        QFETCH(QSize, canvas);
        QFETCH(int, left);
        QFETCH(int, shown);
        PreviewWindow w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.top));
        PreviewOutput out;
        QVERIFY(out.attach(w.preview->winId()));
        QVERIFY(out.attached());
        const QImage image = quadrantCanvas(canvas);
        out.show(image, {});
        QString m = fittedMismatch(out.lastPicture(), QSize(800, 450), left, shown);
        QVERIFY2(m.isEmpty(), qPrintable(QStringLiteral("last picture: ") + m));
        QTRY_VERIFY2((m = fittedMismatch(grabWindow(w.preview->winId()), QSize(800, 450), left, shown)).isEmpty(),
                     qPrintable(QStringLiteral("window: ") + m));
    }

    void overlayOnPreviewOnly()
    {
        PreviewWindow w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.top));
        PreviewOutput out;
        QVERIFY(out.attach(w.preview->winId()));
        const QImage canvas = quadrantCanvas(QSize(960, 720));
        const QImage before = canvas.copy();
        out.show(canvas, [](QPainter *p) {
            p->setPen(QPen(Qt::white, 1));
            p->drawRect(150, 20, 100, 60); // preview pixels: 150..250, 20..80
        });
        QCOMPARE(canvas, before);
        const QPoint frame[] = {{150, 20}, {250, 20}, {150, 80}, {250, 80}, {200, 20}, {150, 50}};
        QString m;
        QTRY_VERIFY2(([&] {
                         const QImage g = grabWindow(w.preview->winId());
                         for (const QPoint &p : frame)
                             if (!(m = colorMismatch(g, p, Qt::white, 0)).isEmpty())
                                 return false;
                         // Inside the frame the canvas still shows.
                         m = colorMismatch(g, QPoint(200, 50), kQuadrantColors[0]);
                         return m.isEmpty();
                     }()),
                     qPrintable(m));
        for (const QPoint &p : frame)
            QVERIFY(sameColor(out.lastPicture().pixel(p), Qt::white, 0));

        // The next frames have no overlay, and nothing of it is left.
        QTRY_VERIFY2((out.show(canvas, {}),
                      m = fittedMismatch(grabWindow(w.preview->winId()), QSize(800, 450), 100, 600)).isEmpty(),
                     qPrintable(m));
    }

    void windowUncoveredIsWholeAgain()
    {
        PreviewWindow w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.top));
        PreviewOutput out;
        QVERIFY(out.attach(w.preview->winId()));
        const QImage canvas = quadrantCanvas(QSize(1280, 720));
        out.show(canvas, {});
        QString m;
        QTRY_VERIFY2((m = fittedMismatch(grabWindow(w.preview->winId()), QSize(800, 450), 0, 800)).isEmpty(),
                     qPrintable(m));

        // Over the preview's (200, 150) to (400, 250).
        std::unique_ptr<QWidget> cover = solidWindow(QRect(300, 200, 200, 100), Qt::magenta);
        cover->show();
        QVERIFY(QTest::qWaitForWindowExposed(cover.get()));
        QTRY_VERIFY(sameColor(grabWindow(w.preview->winId()).pixel(300, 200), Qt::magenta));
        const int64_t putsCovered = out.framesPut();
        cover->hide();
        // The server has unmapped it once Qt hears so.
        QTRY_VERIFY(!cover->windowHandle()->isExposed());
        // The same canvas: the exposure alone brings the frame back.
        QTRY_VERIFY2((out.show(canvas, {}),
                      m = fittedMismatch(grabWindow(w.preview->winId()), QSize(800, 450), 0, 800)).isEmpty(),
                     qPrintable(m));
        QVERIFY(out.framesPut() > putsCovered);
    }

    void putsOnlyFramesThatDiffer()
    {
        PreviewWindow w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.top));
        PreviewOutput out;
        QVERIFY(out.attach(w.preview->winId()));
        QImage canvas = quadrantCanvas(QSize(1280, 720));
        QString text = QStringLiteral("FPS: 25");
        int overlayCalls = 0;
        const auto overlay = [&](QPainter *p) {
            ++overlayCalls;
            p->setPen(Qt::white);
            p->drawText(QRect(10, 10, 200, 30), 0, text);
        };
        const auto showIt = [&] { out.show(canvas, overlay); };
        QCOMPARE(out.framesPut(), 0);
        showIt();
        QCOMPARE(out.framesPut(), 1);
        QVERIFY(settles(out, showIt));

        // Nothing changes: nothing is put, and the overlay is only asked now and then.
        int64_t puts = out.framesPut();
        const int callsBefore = overlayCalls;
        for (int i = 0; i < 10; ++i)
            showIt();
        QCOMPARE(out.framesPut(), puts);
        QVERIFY2(overlayCalls - callsBefore <= 4, qPrintable(QString::number(overlayCalls - callsBefore)));

        // The overlay paints something else: one frame.
        text = QStringLiteral("FPS: 24");
        QTRY_VERIFY((showIt(), out.framesPut() > puts));
        QCOMPARE(out.framesPut(), puts + 1);
        QVERIFY(settles(out, showIt));
        QCOMPARE(out.framesPut(), puts + 1);
        QString m;
        QTRY_VERIFY2((m = colorMismatch(grabWindow(w.preview->winId()), QPoint(400, 300), kQuadrantColors[3]))
                         .isEmpty(),
                     qPrintable(m));

        // A new canvas: one frame, at once.
        puts = out.framesPut();
        QPainter(&canvas).fillRect(QRect(0, 0, 1280, 720), Qt::white);
        showIt();
        QCOMPARE(out.framesPut(), puts + 1);
        QVERIFY(settles(out, showIt));
        QCOMPARE(out.framesPut(), puts + 1);
        QTRY_VERIFY2((m = colorMismatch(grabWindow(w.preview->winId()), QPoint(400, 300), Qt::white)).isEmpty(),
                     qPrintable(m));
    }

    void followsResizedWindow()
    {
        PreviewWindow w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.top));
        PreviewOutput out;
        QVERIFY(out.attach(w.preview->winId()));
        const QImage canvas = quadrantCanvas(QSize(1280, 720));
        out.show(canvas, {});
        QCOMPARE(out.lastPicture().size(), QSize(800, 450));

        w.preview->resize(1000, 500);
        // 500 high: the canvas is 888 wide, from 55.
        QTRY_COMPARE((out.show(canvas, {}), out.lastPicture().size()), QSize(1000, 500));
        QString m = fittedMismatch(out.lastPicture(), QSize(1000, 500), 55, 888);
        QVERIFY2(m.isEmpty(), qPrintable(m));
        QTRY_VERIFY2((m = fittedMismatch(grabWindow(w.preview->winId()), QSize(1000, 500), 55, 888)).isEmpty(),
                     qPrintable(m));
        // Resized back: followed again, with the same canvas.
        w.preview->resize(800, 450);
        QTRY_COMPARE((out.show(canvas, {}), out.lastPicture().size()), QSize(800, 450));
        m = fittedMismatch(out.lastPicture(), QSize(800, 450), 0, 800);
        QVERIFY2(m.isEmpty(), qPrintable(m));
    }

    void destroyedWindowStopsQuietly()
    {
        auto w = std::make_unique<PreviewWindow>();
        QVERIFY(QTest::qWaitForWindowExposed(&w->top));
        PreviewOutput out;
        QVERIFY(out.attach(w->preview->winId()));
        const QImage canvas = quadrantCanvas(QSize(1280, 720));
        out.show(canvas, {});
        testsupport::DebugCapture log;
        w.reset();
        QTRY_VERIFY((out.show(canvas, {}), log.contains(QStringLiteral("engine: the preview window"))));
        for (int i = 0; i < 5; ++i)
            out.show(canvas, {});
        QCOMPARE(log.messages().filter(QStringLiteral("engine: the preview window")).size(), 1);
        QVERIFY(log.messages().filter(QStringLiteral("engine: the preview window")).first().contains(
            QStringLiteral("gone")));
    }

    void unusableWindowDrawsNothing_data()
    {
        QTest::addColumn<bool>("realWindow");
        QTest::addColumn<bool>("withDisplay");
        QTest::addColumn<QString>("logged");
        QTest::newRow("window 0") << false << true << QString();
        QTest::newRow("no such window") << true << true << QStringLiteral("does not exist");
        QTest::newRow("no DISPLAY") << true << false << QStringLiteral("needs an X display");
    }
    void unusableWindowDrawsNothing()
    {
        QFETCH(bool, realWindow);
        QFETCH(bool, withDisplay);
        QFETCH(QString, logged);
        const QByteArray saved = qgetenv("DISPLAY");
        auto restore = qScopeGuard([&] { qputenv("DISPLAY", saved); });
        if (!withDisplay)
            qunsetenv("DISPLAY");
        testsupport::DebugCapture log;
        PreviewOutput out;
        // An id in no client's range: no such window.
        const WId window = realWindow ? (withDisplay ? WId(0x1ffffff) : WId(0x400001)) : WId(0);
        QVERIFY(!out.attach(window));
        QVERIFY(!out.attached());
        out.show(quadrantCanvas(QSize(1280, 720)), [](QPainter *) { QFAIL("no overlay without a window"); });
        QVERIFY(out.lastPicture().isNull());
        if (!logged.isEmpty())
            QCOMPARE(log.messages().filter(logged).size(), 1);
    }
};

std::unique_ptr<QObject> makePreviewOutputTest()
{
    return std::make_unique<PreviewOutputTest>();
}

#include "tst_previewoutput.moc"
