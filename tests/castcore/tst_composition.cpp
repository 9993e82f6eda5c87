// The composed canvas: items drawn in z-order with their rects, flips,
// alpha and colour effects; camera frames through their filter on the video
// thread; an unchanged scene not drawn again; the frame clock's figures.

#include "EngineFixture.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <functional>

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

// A capture source of one opaque colour.
class SolidCapture : public ICustomCapture
{
public:
    std::atomic<uint32_t> argb{0xffff00ffu};
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
        std::fill(p, p + 40 * 20, argb.load());
        return true;
    }
    bool QueryA(uint32_t) override { return false; }
    bool QueryB(uint32_t, uint32_t) override { return false; }
};

// Paints every camera frame one colour, in place, and notes its thread.
class PaintingFilter : public IVideoFilter
{
public:
    std::atomic<int> frames{0};
    std::atomic<bool> offThread{false};
    std::thread::id videoThread;
    bool Filter(int, std::uintptr_t f0, std::uintptr_t f1, std::uintptr_t f2, PicturePlane *out) override
    {
        if (std::this_thread::get_id() != videoThread)
            offThread = true;
        const int width = out->width;
        const int height = out->height;
        if (!f0 || f1 < std::uintptr_t(width) * 4 || f2 < f1 * std::uintptr_t(height))
            return false;
        for (int y = 0; y < height; ++y) {
            auto *row = reinterpret_cast<uint32_t *>(f0 + f1 * std::uintptr_t(y));
            std::fill(row, row + width, 0xff00ff00u);
        }
        ++frames;
        return true;
    }
    void Free(std::uintptr_t, std::uintptr_t) override {}
    void DeviceLost(std::uintptr_t) override {}
};

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
    void colourEffectTintsTheItem();
    void unchangedSceneIsNotDrawnAgain();
    void frameClockReportsRealFigures();
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

void TestComposition::unchangedSceneIsNotDrawnAgain()
{
    EngineFixture f;
    QCOMPARE(f.init(640, 360), 0);
    QVERIFY(place(f, solidPicture(f, "g.png", Qt::green), 0, 0, 100, 100, 1) > 0);
    const QImage shown = canvasWhen(f, [](const QImage &c) { return near(c.pixel(50, 50), Qt::green); });
    QVERIFY(near(shown.pixel(50, 50), Qt::green));
    Compositor &compositor = f.ours()->media().compositor();
    const int64_t made = compositor.framesMade();
    QTRY_VERIFY(compositor.framesMade() >= made + 5);
    // The same picture is handed on: not one pixel was drawn for those frames.
    QCOMPARE(f.ours()->lastCanvas().cacheKey(), shown.cacheKey());
}

void TestComposition::frameClockReportsRealFigures()
{
    EngineFixture f;
    QCOMPARE(f.init(640, 360), 0);
    QTRY_VERIFY_WITH_TIMEOUT(f.listener.calls.count("OnVideoFps") >= 2, 10000);
    // The first second may be short of frames while the engine starts; the
    // second is a full one, within what a loaded test machine manages.
    const auto fps = f.listener.calls.of("OnVideoFps");
    const int measured = std::stoi(fps[1].args[0]);
    QVERIFY2(measured >= 5 && measured <= 26, std::to_string(measured).c_str());
    QTRY_VERIFY_WITH_TIMEOUT(f.listener.calls.count("OnSystemPerformance") >= 1, 10000);
    const auto perf = f.listener.calls.last("OnSystemPerformance");
    const int cpu = std::stoi(perf->args[0]);
    const int memory = std::stoi(perf->args[1]);
    QVERIFY(cpu >= 0 && cpu <= 100);
    QVERIFY(memory >= 0 && memory <= 100);
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
