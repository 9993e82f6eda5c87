// The composed canvas: items drawn in z-order with their rects, flips,
// alpha and colour effects; camera frames through their filter on the video
// thread, in place or, when the frame fills the canvas, into it; an
// unchanged scene not drawn again, hidden items not drawn at all, spare
// canvases given back; the frame clock's figures.

#include "EngineFixture.h"
#include "ThreadNames.h"
#include "compose/FrameRateCounter.h"
#include "compose/ItemPainter.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <functional>
#include <mutex>

using namespace castcore;

namespace {

constexpr float kHalfTurn = 3.14159274f;

// A picture of two colours side by side (horizontal) or one above the other.
std::string twoColourPicture(const EngineFixture &f, const QString &name, QColor first, QColor second,
                             bool sideBySide)
{
    QImage img(200, 100, QImage::Format_RGB32);
    img.fill(second);
    QPainter p(&img);
    p.fillRect(sideBySide ? QRect(0, 0, 100, 100) : QRect(0, 0, 200, 50), first);
    p.end();
    const QString path = f.env.workPath() + QLatin1Char('/') + name;
    img.save(path, "PNG");
    return path.toStdString();
}

std::string solidPicture(const EngineFixture &f, const QString &name, QColor colour, int w = 100, int h = 100)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    const QString path = f.env.workPath() + QLatin1Char('/') + name;
    img.save(path, "PNG");
    return path.toStdString();
}

bool near(QRgb a, QColor b, int tolerance = 6)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance
        && std::abs(qBlue(a) - b.blue()) <= tolerance;
}

// Waits until the last composed canvas passes `ready`; the canvas then.
QImage canvasWhen(EngineFixture &f, const std::function<bool(const QImage &)> &ready, int timeoutMs = 15000)
{
    QElapsedTimer timer;
    timer.start();
    QImage canvas;
    while (timer.elapsed() < timeoutMs) {
        canvas = f.ours()->lastCanvas();
        if (!canvas.isNull() && ready(canvas))
            return canvas;
        QTest::qWait(20);
    }
    return canvas;
}

int place(EngineFixture &f, const std::string &path, int x, int y, int w, int h, int z)
{
    const int id = f.scene()->CreateItem(path.c_str(), 0, 0, 100, 100);
    if (id > 0) {
        f.scene()->SetItemRect(id, x, y, w, h);
        f.scene()->SetItemZ(id, z);
    }
    return id;
}

// A capture source of one opaque colour; while it flickers, every other
// frame is cyan, so that each frame differs from the one before.
class SolidCapture : public ICustomCapture
{
public:
    std::atomic<uint32_t> argb{0xffff00ffu};
    std::atomic<bool> flicker{false};
    bool odd = false;
    bool GetFormat(CaptureFormat *f) override
    {
        *f = {40, 20, 40 * 20 * 4, 0};
        return true;
    }
    bool GetFrame(void *destination, uint32_t size) override
    {
        if (size != 40 * 20 * 4)
            return false;
        auto *p = static_cast<uint32_t *>(destination);
        odd = flicker && !odd;
        std::fill(p, p + 40 * 20, odd ? 0xff00ffffu : argb.load());
        return true;
    }
    bool QueryA(uint32_t) override { return false; }
    bool QueryB(uint32_t, uint32_t) override { return false; }
};

// Fills the frame the engine hands a filter with one colour, in place;
// false when the frame's words do not describe a whole frame.
bool paintFrame(std::uintptr_t f0, std::uintptr_t f1, std::uintptr_t f2, const PicturePlane &out, uint32_t colour)
{
    const int width = out.width;
    const int height = out.height;
    if (!f0 || f1 < std::uintptr_t(width) * 4 || f2 < f1 * std::uintptr_t(height))
        return false;
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<uint32_t *>(f0 + f1 * std::uintptr_t(y));
        std::fill(row, row + width, colour);
    }
    return true;
}

// Paints every camera frame one colour, into the destination it is given
// or else in place, and notes its thread.
class PaintingFilter : public IVideoFilter
{
public:
    std::atomic<int> frames{0};
    std::atomic<int> intoDestination{0};
    std::atomic<bool> offThread{false};
    std::thread::id videoThread;
    bool Filter(int, std::uintptr_t f0, std::uintptr_t f1, std::uintptr_t f2, PicturePlane *out) override
    {
        if (std::this_thread::get_id() != videoThread)
            offThread = true;
        const bool destination = out->frame[0] != 0;
        if (!(destination ? paintFrame(out->frame[0], out->frame[1], out->frame[2], *out, 0xff00ff00u)
                          : paintFrame(f0, f1, f2, *out, 0xff00ff00u)))
            return false;
        if (destination)
            ++intoDestination;
        ++frames;
        return true;
    }
    void Free(std::uintptr_t, std::uintptr_t) override {}
    void DeviceLost(std::uintptr_t) override {}
};

// Paints every camera frame one colour in place, and then declines: the
// engine is to draw the frame as it is.
class DecliningFilter : public IVideoFilter
{
public:
    std::atomic<int> frames{0};
    bool Filter(int, std::uintptr_t f0, std::uintptr_t f1, std::uintptr_t f2, PicturePlane *out) override
    {
        if (!paintFrame(f0, f1, f2, *out, 0xffff00ffu))
            return false;
        ++frames;
        return false;
    }
    void Free(std::uintptr_t, std::uintptr_t) override {}
    void DeviceLost(std::uintptr_t) override {}
};

// Notes the name of the thread that filters camera frames.
class ThreadNamingFilter : public IVideoFilter
{
public:
    std::mutex mutex;
    QString name;
    bool Filter(int, std::uintptr_t, std::uintptr_t, std::uintptr_t, PicturePlane *) override
    {
        const QString current = testsupport::currentThreadName();
        std::lock_guard<std::mutex> lock(mutex);
        name = current;
        return false;
    }
    QString seen()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return name;
    }
    void Free(std::uintptr_t, std::uintptr_t) override {}
    void DeviceLost(std::uintptr_t) override {}
};

// Waits for `frames` frames in a row without a composition (the scene has
// settled); the counts then.
Compositor::Counts settled(Compositor &compositor, int frames = 10)
{
    QElapsedTimer timer;
    timer.start();
    Compositor::Counts start = compositor.counts();
    while (timer.elapsed() < 15000) {
        QTest::qWait(20);
        const Compositor::Counts now = compositor.counts();
        if (now.composed != start.composed)
            start = now;
        else if (now.made >= start.made + frames)
            return now;
    }
    return compositor.counts();
}

// Waits until at least `frames` more frames were handed on.
Compositor::Counts afterFrames(Compositor &compositor, int frames)
{
    const int64_t until = compositor.counts().made + frames;
    QElapsedTimer timer;
    timer.start();
    while (compositor.counts().made < until && timer.elapsed() < 15000)
        QTest::qWait(20);
    return compositor.counts();
}

// The soft-light tint as painted by Qt, for comparing.
QImage paintedTint(const QImage &picture, uint32_t rgb)
{
    QImage out(picture.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&out);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, picture);
    p.setCompositionMode(QPainter::CompositionMode_SoftLight);
    p.fillRect(out.rect(), QColor::fromRgb(rgb | 0xff000000u));
    p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    p.drawImage(0, 0, picture);
    return out;
}

} // namespace

class TestComposition : public QObject
{
    Q_OBJECT
private slots:
    void sceneDrawnInZOrderWithFlipsAndAlpha();
    void zOrderChangeBringsTheOtherItemUp();
    void textItemDrawsInk();
    void canvasFollowsVideoConfig();
    void customCaptureShowsItsFrames();
    void cameraFramesPassTheFilterOnTheVideoThread();
    void threadsAreNamedForTheirJobs();
    void colourEffectTintsTheItem();
    void tintOfOpaquePicture_data();
    void tintOfOpaquePicture();
    void unchangedSceneIsNotDrawnAgain();
    void hiddenItemsAreNotDrawn_data();
    void hiddenItemsAreNotDrawn();
    void filterWorksOnTheFrameItself();
    void frameFillingTheCanvasIsFilteredIntoIt();
    void spareCanvasesGoBackWhenTheSceneStandsStill();
    void frameClockReportsRealFigures();
    void framesCountedPerSecondOfTheClock_data();
    void framesCountedPerSecondOfTheClock();
    void shutdownStopsComposing();
};

void TestComposition::sceneDrawnInZOrderWithFlipsAndAlpha()
{
    EngineFixture f;
    QCOMPARE(f.init(1280, 720), 0);
    const int red = place(f, solidPicture(f, "red.png", Qt::red), 100, 100, 200, 100, 1);
    const int blue = place(f, solidPicture(f, "blue.png", Qt::blue), 250, 150, 200, 100, 2);
    const int mirrored = place(f, twoColourPicture(f, "lr.png", Qt::red, Qt::green, true), 600, 100, 200, 100, 1);
    const int flipped = place(f, twoColourPicture(f, "tb.png", Qt::red, Qt::green, false), 600, 300, 200, 100, 1);
    const int faded = place(f, solidPicture(f, "white.png", Qt::white), 900, 100, 100, 100, 1);
    for (int id : {red, blue, mirrored, flipped, faded})
        QVERIFY(id > 0);
    QVERIFY(f.scene()->SetItemRotation(mirrored, kHalfTurn, 1));
    QVERIFY(f.scene()->SetItemRotation(flipped, kHalfTurn, 0));
    QVERIFY(f.scene()->SetItemAlpha(faded, 128));

    const QImage c = canvasWhen(f, [](const QImage &c) {
        return near(c.pixel(150, 120), Qt::red) && near(c.pixel(620, 150), Qt::green)
            && near(c.pixel(700, 310), Qt::green) && qRed(c.pixel(950, 150)) > 60;
    });
    QCOMPARE(c.size(), QSize(1280, 720));
    QVERIFY(near(c.pixel(150, 120), Qt::red));
    QVERIFY(near(c.pixel(290, 190), Qt::blue)); // the overlap shows the higher item
    QVERIFY(near(c.pixel(440, 240), Qt::blue));
    QVERIFY(near(c.pixel(50, 50), Qt::black));  // nothing there
    QVERIFY(near(c.pixel(620, 150), Qt::green)); // mirrored: the right half now on the left
    QVERIFY(near(c.pixel(780, 150), Qt::red));
    QVERIFY(near(c.pixel(700, 310), Qt::green)); // flipped: the bottom half now on top
    QVERIFY(near(c.pixel(700, 390), Qt::red));
    QVERIFY2(near(c.pixel(950, 150), QColor(128, 128, 128), 4), qPrintable(QColor(c.pixel(950, 150)).name()));
    QVERIFY(near(c.pixel(1010, 150), Qt::black)); // just right of it
}

void TestComposition::zOrderChangeBringsTheOtherItemUp()
{
    EngineFixture f;
    QCOMPARE(f.init(640, 360), 0);
    const int low = place(f, solidPicture(f, "a.png", Qt::yellow), 0, 0, 200, 200, 1);
    const int high = place(f, solidPicture(f, "b.png", Qt::cyan), 100, 100, 200, 200, 5);
    QVERIFY(low > 0 && high > 0);
    QVERIFY(near(canvasWhen(f, [](const QImage &c) { return near(c.pixel(150, 150), Qt::cyan); }).pixel(150, 150),
                 Qt::cyan));
    QVERIFY(f.scene()->SetItemZ(low, 9));
    QVERIFY(near(canvasWhen(f, [](const QImage &c) { return near(c.pixel(150, 150), Qt::yellow); }).pixel(150, 150),
                 Qt::yellow));
}

void TestComposition::textItemDrawsInk()
{
    EngineFixture f;
    QCOMPARE(f.init(640, 360), 0);
    char16_t font[kTextFontNameUnits] = u"Sans";
    char16_t text[kTextTextUnits] = u"MORVA 主播";
    TextInfo info;
    info.mask = TextAllFields;
    info.fontName = font;
    info.text = text;
    info.size = 40;
    info.color = 0xffffff00u;
    info.opacity = 100;
    const int id = f.scene()->CreateTextItem(&info, 0, 0);
    QVERIFY(id > 0);
    QVERIFY(f.scene()->SetItemRect(id, 50, 50, 400, 80));
    const auto yellowInRect = [](const QImage &c) {
        int ink = 0;
        for (int y = 50; y < 130; ++y)
            for (int x = 50; x < 450; ++x)
                ink += near(c.pixel(x, y), Qt::yellow, 40) ? 1 : 0;
        return ink > 200;
    };
    const QImage c = canvasWhen(f, yellowInRect);
    QVERIFY(yellowInRect(c));
    for (int y = 200; y < 360; y += 7)
        for (int x = 0; x < 640; x += 7)
            QVERIFY(near(c.pixel(x, y), Qt::black));
}

void TestComposition::canvasFollowsVideoConfig()
{
    EngineFixture f;
    QCOMPARE(f.init(1280, 720), 0);
    QVERIFY(!canvasWhen(f, [](const QImage &c) { return c.size() == QSize(1280, 720); }).isNull());
    LiveVideoConfig config;
    QVERIFY(f.scene()->GetVideoConfig(&config));
    config.width = 640;
    config.height = 360;
    f.scene()->BeginConfig();
    QVERIFY(f.scene()->SetVideoConfig(&config));
    f.scene()->EndConfig();
    QCOMPARE(canvasWhen(f, [](const QImage &c) { return c.size() == QSize(640, 360); }).size(), QSize(640, 360));
}

void TestComposition::customCaptureShowsItsFrames()
{
    SolidCapture capture; // outlives the engine that uses it
    EngineFixture f;
    QCOMPARE(f.init(640, 360), 0);
    const int id = f.scene()->AddCustomCapture(&capture);
    QVERIFY(id > 0);
    QVERIFY(f.scene()->SetItemRect(id, 400, 300, 80, 40));
    QVERIFY(near(canvasWhen(f, [](const QImage &c) { return near(c.pixel(440, 320), Qt::magenta); }).pixel(440, 320),
                 Qt::magenta));
    capture.argb = 0xff00ffffu; // each composed frame asks again
    QVERIFY(near(canvasWhen(f, [](const QImage &c) { return near(c.pixel(440, 320), Qt::cyan); }).pixel(440, 320),
                 Qt::cyan));
}

void TestComposition::cameraFramesPassTheFilterOnTheVideoThread()
{
    PaintingFilter filter; // outlives the engine that uses it
    EngineFixture f;
    QCOMPARE(f.init(640, 360), 0);
    const World world = control().world();
    QVERIFY(!world.cameras.empty());
    const int id = f.scene()->OpenCamera(world.cameras.front().name.c_str(), 0, 0, 0, 0);
    QVERIFY(id > 0);
    QVERIFY(f.scene()->SetItemRect(id, 0, 0, 320, 180));
    // The synthetic camera moves: two canvases differ inside its rect.
    const QImage first = canvasWhen(f, [](const QImage &c) { return !near(c.pixel(100, 90), Qt::black, 0); });
    QVERIFY(!canvasWhen(f, [&](const QImage &c) { return c.copy(0, 0, 320, 180) != first.copy(0, 0, 320, 180); })
                 .isNull());

    filter.videoThread = f.ours()->videoThread();
    QVERIFY(f.scene()->SetItemVideoFilter(id, &filter));
    const auto allGreen = [](const QImage &c) {
        return near(c.pixel(10, 10), Qt::green) && near(c.pixel(310, 170), Qt::green) && near(c.pixel(160, 90), Qt::green);
    };
    QVERIFY(allGreen(canvasWhen(f, allGreen)));
    QTRY_VERIFY(filter.frames > 5); // every new frame, not once
    QVERIFY(!filter.offThread);
    QVERIFY(near(f.ours()->lastCanvas().pixel(400, 300), Qt::black)); // only inside the camera's rect

    QVERIFY(f.scene()->SetItemVideoFilter(id, nullptr));
    const int framesAtDetach = filter.frames;
    QVERIFY(!allGreen(canvasWhen(f, [&](const QImage &c) { return !allGreen(c); })));
    QCOMPARE(int(filter.frames), framesAtDetach); // once detached, never called again
}

// Per-thread figures (top -H, perf) tell the compositor from the camera.
void TestComposition::threadsAreNamedForTheirJobs()
{
    ThreadNamingFilter filter; // outlives the engine that uses it
    EngineFixture f;
    QCOMPARE(f.init(640, 360), 0);
    const int id = f.scene()->OpenCamera(control().world().cameras.front().name.c_str(), 0, 0, 0, 0);
    QVERIFY(id > 0);
    QVERIFY(f.scene()->SetItemRect(id, 0, 0, 320, 180));
    QVERIFY(f.scene()->SetItemVideoFilter(id, &filter));
    QTRY_COMPARE(filter.seen(), QStringLiteral("castcore-canvas"));
    QTRY_COMPARE(testsupport::threadNames().count(QStringLiteral("castcore-camera")), 1);
    const QStringList names = testsupport::threadNames();
    QCOMPARE(names.count(QStringLiteral("castcore-canvas")), 1);
    QCOMPARE(names.count(QStringLiteral("castcore-lib")), 1);
    QVERIFY2(!names.contains(QStringLiteral("castcore-video")), qPrintable(names.join(QLatin1Char(' '))));
    QVERIFY(f.scene()->SetItemVideoFilter(id, nullptr));
}

void TestComposition::colourEffectTintsTheItem()
{
    EngineFixture f;
    QCOMPARE(f.init(640, 360), 0);
    const int id = place(f, solidPicture(f, "grey.png", QColor(128, 128, 128)), 0, 0, 100, 100, 1);
    QVERIFY(id > 0);
    QVERIFY(near(canvasWhen(f, [](const QImage &c) { return near(c.pixel(50, 50), QColor(128, 128, 128)); })
                     .pixel(50, 50),
                 QColor(128, 128, 128)));
    QVERIFY(f.scene()->SetItemColorEffect(id, 0xDC3C48)); // a red tint
    const QImage c = canvasWhen(f, [](const QImage &c) {
        const QRgb p = c.pixel(50, 50);
        return qRed(p) > qGreen(p) + 20 && qRed(p) > qBlue(p) + 20;
    });
    const QRgb p = c.pixel(50, 50);
    QVERIFY2(qRed(p) > qGreen(p) + 20, qPrintable(QColor(p).name()));
    QVERIFY(near(c.pixel(150, 50), Qt::black)); // outside the item nothing is tinted
    QVERIFY(f.scene()->SetItemColorEffect(id, 0));
    QVERIFY(near(canvasWhen(f, [](const QImage &c) { return near(c.pixel(50, 50), QColor(128, 128, 128)); })
                     .pixel(50, 50),
                 QColor(128, 128, 128)));
}

void TestComposition::tintOfOpaquePicture_data()
{
    QTest::addColumn<uint>("tint");
    QTest::newRow("red") << 0xDC3C48u;
    QTest::newRow("blue") << 0x3080C0u;
    QTest::newRow("white") << 0xFFFFFFu;
    QTest::newRow("near black") << 0x010101u;
}

void TestComposition::tintOfOpaquePicture()
{
    QFETCH(uint, tint);
    // Every value of every channel, in many combinations.
    QImage picture(256, 256, QImage::Format_RGB32);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            picture.setPixel(x, y, qRgb(x, y, (x * 7 + y * 13) & 0xff));
    const QImage expected = paintedTint(picture, tint);
    QImage tinted;
    tintPicture(picture, tint, tinted);
    // An opaque picture stays opaque, so that it hides what lies under it.
    QCOMPARE(tinted.format(), QImage::Format_RGB32);
    QCOMPARE(tinted.size(), picture.size());
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            QCOMPARE(tinted.pixel(x, y), expected.pixel(x, y) | 0xff000000u);

    // A picture with alpha keeps it: painted as Qt paints it.
    QImage translucent(64, 64, QImage::Format_ARGB32_Premultiplied);
    translucent.fill(qPremultiply(qRgba(200, 100, 50, 128)));
    tintPicture(translucent, tint, tinted);
    QCOMPARE(tinted.format(), QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(tinted, paintedTint(translucent, tint));
}

void TestComposition::unchangedSceneIsNotDrawnAgain()
{
    EngineFixture f;
    QCOMPARE(f.init(640, 360), 0);
    const int id = place(f, solidPicture(f, "g.png", Qt::green), 0, 0, 100, 100, 1);
    QVERIFY(id > 0);
    const QImage shown = canvasWhen(f, [](const QImage &c) { return near(c.pixel(50, 50), Qt::green); });
    QVERIFY(near(shown.pixel(50, 50), Qt::green));
    Compositor &compositor = f.ours()->media().compositor();
    const Compositor::Counts still = settled(compositor);
    const QImage settledCanvas = f.ours()->lastCanvas();

    // Frames go on, and not one of them is drawn: the same picture is handed on.
    const Compositor::Counts later = afterFrames(compositor, 10);
    QVERIFY(later.made >= still.made + 10);
    QCOMPARE(later.composed, still.composed);
    QCOMPARE(f.ours()->lastCanvas().cacheKey(), settledCanvas.cacheKey());

    // A move is drawn once, and then stands again.
    QVERIFY(f.scene()->SetItemRect(id, 200, 100, 100, 100));
    QVERIFY(near(canvasWhen(f, [](const QImage &c) { return near(c.pixel(250, 150), Qt::green); }).pixel(250, 150),
                 Qt::green));
    const Compositor::Counts moved = afterFrames(compositor, 10);
    QCOMPARE(moved.composed, still.composed + 1);
    QVERIFY(near(f.ours()->lastCanvas().pixel(50, 50), Qt::black));
}

void TestComposition::hiddenItemsAreNotDrawn_data()
{
    QTest::addColumn<QRect>("camera");
    QTest::addColumn<int>("drawnPerFrame");
    // Two pictures under the camera, one above it.
    QTest::newRow("camera over the whole canvas") << QRect(0, 0, 640, 360) << 2;
    QTest::newRow("camera larger than the canvas") << QRect(-20, -10, 700, 400) << 2;
    QTest::newRow("camera over half of it") << QRect(0, 0, 320, 360) << 4;
}

void TestComposition::hiddenItemsAreNotDrawn()
{
    QFETCH(QRect, camera);
    QFETCH(int, drawnPerFrame);
    EngineFixture f;
    QCOMPARE(f.init(640, 360), 0);
    QVERIFY(place(f, solidPicture(f, "under1.png", Qt::blue, 640, 360), 0, 0, 640, 360, 1) > 0);
    QVERIFY(place(f, solidPicture(f, "under2.png", Qt::red), 400, 100, 100, 100, 2) > 0);
    const int id = f.scene()->OpenCamera(control().world().cameras.front().name.c_str(), 0, 0, 0, 0);
    QVERIFY(id > 0);
    QVERIFY(f.scene()->SetItemRect(id, camera.x(), camera.y(), camera.width(), camera.height()));
    QVERIFY(f.scene()->SetItemZ(id, 10));
    QVERIFY(place(f, solidPicture(f, "above.png", Qt::yellow), 20, 20, 60, 60, 20) > 0);
    // The camera's colour bars at the left, the picture above them, and
    // where the camera leaves room, both pictures under it.
    const bool halfCovered = drawnPerFrame == 4;
    const auto ready = [&](const QImage &c) {
        return near(c.pixel(50, 50), Qt::yellow) && !near(c.pixel(150, 50), Qt::blue, 0)
            && !near(c.pixel(150, 50), Qt::black, 0)
            && (!halfCovered || (near(c.pixel(600, 50), Qt::blue) && near(c.pixel(450, 150), Qt::red)));
    };
    QVERIFY(ready(canvasWhen(f, ready)));

    // The camera moves: every frame is composed, each with the items that can show.
    Compositor &compositor = f.ours()->media().compositor();
    const Compositor::Counts before = compositor.counts();
    QTRY_VERIFY_WITH_TIMEOUT(compositor.counts().composed >= before.composed + 5, 10000);
    const Compositor::Counts after = compositor.counts();
    QCOMPARE(after.itemsDrawn - before.itemsDrawn, drawnPerFrame * (after.composed - before.composed));
}

void TestComposition::filterWorksOnTheFrameItself()
{
    DecliningFilter filter; // outlives the engine that uses it
    EngineFixture f;
    QCOMPARE(f.init(640, 360), 0);
    const int id = f.scene()->OpenCamera(control().world().cameras.front().name.c_str(), 0, 0, 0, 0);
    QVERIFY(id > 0);
    QVERIFY(f.scene()->SetItemRect(id, 0, 0, 320, 180));
    QVERIFY(!canvasWhen(f, [](const QImage &c) { return !near(c.pixel(100, 90), Qt::black, 0); }).isNull());
    QVERIFY(f.scene()->SetItemVideoFilter(id, &filter));
    // No copy is made for the filter (one that declines, as the beauty filter
    // at level 0, would cost a copy of every frame): it is handed the very
    // frame that is drawn, so what it wrote shows although it declined.
    const auto magenta = [](const QImage &c) {
        return near(c.pixel(10, 10), Qt::magenta) && near(c.pixel(310, 170), Qt::magenta);
    };
    QVERIFY(magenta(canvasWhen(f, magenta)));
    QTRY_VERIFY(filter.frames > 3);
    QVERIFY(near(f.ours()->lastCanvas().pixel(400, 300), Qt::black));
}

void TestComposition::frameFillingTheCanvasIsFilteredIntoIt()
{
    // Sees every canvas handed on: once armed, each must show the filtered
    // (green) camera around the capture item.
    struct GreenCanvases : VideoSink
    {
        std::atomic<bool> armed{false};
        std::atomic<int> seen{0};
        std::atomic<int> wrong{0};
        void onCanvas(const QImage &c, int64_t) override
        {
            if (!armed)
                return;
            ++seen;
            if (!near(c.pixel(0, 0), Qt::green, 0) || !near(c.pixel(1279, 719), Qt::green, 0)
                || !near(c.pixel(640, 600), Qt::green, 0))
                ++wrong;
        }
    };
    PaintingFilter filter; // these outlive the engine that uses them
    SolidCapture capture;
    GreenCanvases canvases;
    EngineFixture f;
    QCOMPARE(f.init(1280, 720), 0);
    const int id = f.scene()->OpenCamera(control().world().cameras.front().name.c_str(), 0, 0, 0, 0);
    QVERIFY(id > 0);
    const CameraParams tenPerSecond{0, 1280, 720, 10};
    QVERIFY(f.scene()->SetCameraParams(id, &tenPerSecond));
    QVERIFY(f.scene()->SetItemRect(id, 0, 0, 1280, 720));
    filter.videoThread = f.ours()->videoThread();
    QVERIFY(f.scene()->SetItemVideoFilter(id, &filter));
    QVERIFY(near(canvasWhen(f, [](const QImage &c) { return near(c.pixel(0, 0), Qt::green, 0); }).pixel(0, 0),
                 Qt::green, 0));
    Compositor &compositor = f.ours()->media().compositor();
    compositor.setSink(&canvases);
    canvases.armed = true;

    // A still scene draws each frame once: the filter writes it into the
    // canvas. A flickering capture item has the scene drawn every tick, so
    // camera frames are drawn again between two of them: each time the
    // filtered frame still.
    const int flickering = f.scene()->AddCustomCapture(&capture);
    QVERIFY(flickering > 0);
    QVERIFY(f.scene()->SetItemRect(flickering, 20, 20, 40, 20));
    for (int round = 0; round < 6; ++round) {
        const int into = filter.intoDestination;
        QTRY_VERIFY(filter.intoDestination >= into + 2);
        capture.flicker = true;
        afterFrames(compositor, 8);
        capture.flicker = false;
    }
    compositor.setSink(nullptr);
    QVERIFY(canvases.seen > 40);
    QCOMPARE(int(canvases.wrong), 0);
    QVERIFY(!filter.offThread);
}

void TestComposition::spareCanvasesGoBackWhenTheSceneStandsStill()
{
    EngineFixture f;
    QCOMPARE(f.init(640, 360), 0);
    Compositor &compositor = f.ours()->media().compositor();
    const int id = place(f, solidPicture(f, "g.png", Qt::green), 0, 0, 100, 100, 1);
    QVERIFY(id > 0);
    QVERIFY(near(canvasWhen(f, [](const QImage &c) { return near(c.pixel(50, 50), Qt::green); }).pixel(50, 50),
                 Qt::green));
    // Each change draws on a canvas other than the one shown.
    for (int x : {200, 300, 400}) {
        QVERIFY(f.scene()->SetItemRect(id, x, 0, 100, 100));
        QVERIFY(near(canvasWhen(f, [x](const QImage &c) { return near(c.pixel(x + 50, 50), Qt::green); })
                         .pixel(x + 50, 50),
                     Qt::green));
    }
    QVERIFY(compositor.counts().canvases >= 2);
    // Still for a while, the scene keeps only the canvas it shows.
    QTRY_COMPARE_WITH_TIMEOUT(compositor.counts().canvases, 1, 10000);
    QVERIFY(near(f.ours()->lastCanvas().pixel(450, 50), Qt::green));
    // The next change draws on a new one, as before.
    QVERIFY(f.scene()->SetItemRect(id, 0, 200, 100, 100));
    QVERIFY(near(canvasWhen(f, [](const QImage &c) { return near(c.pixel(50, 250), Qt::green); }).pixel(50, 250),
                 Qt::green));
    QCOMPARE(compositor.counts().canvases, 2);
}

void TestComposition::frameClockReportsRealFigures()
{
    EngineFixture f;
    QCOMPARE(f.init(640, 360), 0);
    QTRY_VERIFY_WITH_TIMEOUT(f.listener.calls.count("OnVideoFps") >= 3, 15000);
    // No second holds more than the canvas rate of 25, however late its
    // frames were made. The first may be short of frames while the engine
    // starts; the later ones are full, within what a loaded machine manages.
    const auto fps = f.listener.calls.of("OnVideoFps");
    for (std::size_t i = 0; i < 3; ++i) {
        const int measured = std::stoi(fps[i].args[0]);
        QVERIFY2(measured >= (i == 0 ? 1 : 5) && measured <= 25, (std::to_string(i) + ": " + fps[i].args[0]).c_str());
    }
    QTRY_VERIFY_WITH_TIMEOUT(f.listener.calls.count("OnSystemPerformance") >= 1, 10000);
    const auto perf = f.listener.calls.last("OnSystemPerformance");
    const int cpu = std::stoi(perf->args[0]);
    const int memory = std::stoi(perf->args[1]);
    QVERIFY(cpu >= 0 && cpu <= 100);
    QVERIFY(memory >= 0 && memory <= 100);
}

void TestComposition::framesCountedPerSecondOfTheClock_data()
{
    QTest::addColumn<int>("fps");
    QTest::addColumn<QVector<int>>("spans"); // frame indices made: first and last of each span
    QTest::addColumn<QVector<int>>("reports");
    QTest::newRow("25 fps, every frame") << 25 << QVector<int>{0, 75} << QVector<int>{25, 25, 25};
    QTest::newRow("30 fps, every frame") << 30 << QVector<int>{0, 90} << QVector<int>{30, 30, 30};
    QTest::newRow("a frame skipped") << 25 << QVector<int>{0, 9, 11, 50} << QVector<int>{24, 25};
    QTest::newRow("skipped across the second's end") << 25 << QVector<int>{0, 23, 27, 50} << QVector<int>{24, 23};
    // A second in which no frame was made reports nothing of its own.
    QTest::newRow("a stall longer than a second") << 25 << QVector<int>{0, 20, 60, 75} << QVector<int>{21, 15};
}

// The frames of each second, by the frame clock: frame n of `fps` belongs to
// second n / fps, reported when the first frame of a later second is made.
void TestComposition::framesCountedPerSecondOfTheClock()
{
    QFETCH(int, fps);
    QFETCH(QVector<int>, spans);
    QFETCH(QVector<int>, reports);
    castcore::FrameRateCounter counter;
    counter.start(fps);
    QVector<int> reported;
    for (int i = 0; i + 1 < spans.size(); i += 2) {
        for (int n = spans[i]; n <= spans[i + 1]; ++n) {
            const int closed = counter.add(n);
            if (closed >= 0)
                reported << closed;
        }
    }
    QCOMPARE(reported, reports);

    // A new start counts from frame 0 again.
    counter.start(fps);
    for (int n = 0; n < fps; ++n)
        QCOMPARE(counter.add(n), -1);
    QCOMPARE(counter.add(fps), fps);
}

void TestComposition::shutdownStopsComposing()
{
    EngineFixture f;
    QCOMPARE(f.init(640, 360), 0);
    Compositor &compositor = f.ours()->media().compositor();
    QTRY_VERIFY(compositor.framesMade() > 2);
    f.scene()->Shutdown();
    const int64_t made = compositor.framesMade();
    QVERIFY(!compositor.running());
    QTest::qWait(200); // a stopped clock: nothing may tick meanwhile
    QCOMPARE(compositor.framesMade(), made);
}

std::unique_ptr<QObject> makeCompositionTest()
{
    return std::make_unique<TestComposition>();
}

#include "tst_composition.moc"
