#include "PrivateXServer.h"
#include "ScreenPictures.h"

#include "CastCoreControl.h"
#include "DebugCapture.h"
#include "sources/ScreenSource.h"

#include <QScopeGuard>
#include <QTest>

#include <memory>

using namespace mediax11;
using castcore::ScreenSource;
using castcore::SceneItem;

namespace {

// Display 0 is the whole 1280x1024 Xvfb screen; display 1 its right half.
const QRect kDisplays[2] = {QRect(0, 0, 1280, 1024), QRect(640, 0, 640, 1024)};

SceneItem captureItem(int display, const QRect &region)
{
    SceneItem it;
    it.kind = KindScreenCapture;
    it.display = display;
    it.x = region.x();
    it.y = region.y();
    it.width = it.sourceWidth = region.width();
    it.height = it.sourceHeight = region.height();
    return it;
}

// Ticks until `ok` holds for the picture; the message says what was seen.
template<typename Check>
QString tickUntil(ScreenSource &source, Check ok)
{
    QString last;
    for (int i = 0; i < 100; ++i) {
        source.tick(castcore::MediaClock::now());
        last = ok(source.picture());
        if (last.isEmpty())
            return QString();
        QTest::qWait(50);
    }
    return last;
}

QString sameAsScreen(const QImage &picture, const QRect &rootRect)
{
    if (picture.size() != rootRect.size())
        return QStringLiteral("picture %1x%2").arg(picture.width()).arg(picture.height());
    const QImage screen = grabScreen(rootRect);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixel(x, y) != screen.pixel(x, y))
                return QStringLiteral("differs from the screen at %1,%2").arg(x).arg(y);
    return QString();
}

// Empty when `picture` is `size` and wholly the four quadrants.
QString quadrantsOf(const QImage &picture, const QSize &size)
{
    if (picture.size() != size)
        return QStringLiteral("picture %1x%2").arg(picture.width()).arg(picture.height());
    return quadrantMismatch(picture, QRect(QPoint(0, 0), size), 0);
}

} // namespace

class ScreenSourceTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        castcore::World w = castcore::control().world();
        w.displays.clear();
        for (const QRect &d : kDisplays)
            w.displays.push_back({d.x(), d.y(), d.width(), d.height()});
        castcore::control().setWorld(w);
    }
    void cleanup() { castcore::control().reset(); }

    void capturesWindowQuadrants_data()
    {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<int>("display");
        QTest::addColumn<QPoint>("origin");
        QTest::newRow("display 0") << QRect(100, 120, 200, 160) << 0 << QPoint(100, 120);
        QTest::newRow("display 1, relative to it") << QRect(740, 200, 200, 160) << 1 << QPoint(100, 200);
    }
    void capturesWindowQuadrants()
    {
        QFETCH(QRect, window);
        QFETCH(int, display);
        QFETCH(QPoint, origin);
        QuadrantWindow shown(window);
        shown.show();
        QVERIFY(QTest::qWaitForWindowExposed(&shown));

        ScreenSource source;
        source.update(captureItem(display, QRect(origin, window.size())));
        const QString m = tickUntil(source, [](const QImage &p) {
            if (p.size() != QSize(200, 160))
                return QStringLiteral("picture %1x%2").arg(p.width()).arg(p.height());
            return quadrantMismatch(p, QRect(0, 0, 200, 160), 0);
        });
        QVERIFY2(m.isEmpty(), qPrintable(m));
        const QImage::Format format = source.picture().format();
        QVERIFY(format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied);
        // Every pixel opaque, as RGB32 promises.
        QCOMPARE(qAlpha(source.picture().pixel(199, 159)), 255);
    }

    void followsWhatIsOnScreen()
    {
        QuadrantWindow shown(QRect(100, 120, 200, 160));
        shown.show();
        QVERIFY(QTest::qWaitForWindowExposed(&shown));
        ScreenSource oldRegion;
        oldRegion.update(captureItem(0, QRect(100, 120, 200, 160)));
        QString m = tickUntil(oldRegion, [](const QImage &p) { return quadrantMismatch(p, QRect(0, 0, 200, 160), 0); });
        QVERIFY2(m.isEmpty(), qPrintable(m));

        shown.move(700, 600);
        QTRY_COMPARE(shown.windowHandle()->position(), QPoint(700, 600));
        // The item, moved about the canvas by the scene, keeps its region.
        SceneItem moved = captureItem(0, QRect(100, 120, 200, 160));
        moved.x = 5;
        moved.y = 7;
        oldRegion.update(moved);
        m = tickUntil(oldRegion, [](const QImage &p) {
            if (quadrantMismatch(p, QRect(0, 0, 200, 160), 0).isEmpty())
                return QStringLiteral("still the window");
            return sameAsScreen(p, QRect(100, 120, 200, 160));
        });
        QVERIFY2(m.isEmpty(), qPrintable(m));

        ScreenSource newRegion;
        newRegion.update(captureItem(0, QRect(700, 600, 200, 160)));
        m = tickUntil(newRegion, [](const QImage &p) { return quadrantMismatch(p, QRect(0, 0, 200, 160), 0); });
        QVERIFY2(m.isEmpty(), qPrintable(m));
    }

    void clipsToScreen_data()
    {
        QTest::addColumn<int>("display");
        QTest::addColumn<QRect>("region");
        QTest::addColumn<QRect>("clipped"); // root coordinates
        QTest::newRow("bottom right") << 0 << QRect(1180, 974, 200, 100) << QRect(1180, 974, 100, 50);
        QTest::newRow("top left") << 0 << QRect(-50, -30, 200, 100) << QRect(0, 0, 150, 70);
        QTest::newRow("display 1, right edge") << 1 << QRect(600, 10, 100, 100) << QRect(1240, 10, 40, 100);
    }
    void clipsToScreen()
    {
        QFETCH(int, display);
        QFETCH(QRect, region);
        QFETCH(QRect, clipped);
        // Something other than the root's pattern under the region.
        QuadrantWindow shown(clipped.adjusted(-20, -20, 20, 20));
        shown.show();
        QVERIFY(QTest::qWaitForWindowExposed(&shown));
        ScreenSource source;
        source.update(captureItem(display, region));
        const QString m = tickUntil(source, [&](const QImage &p) { return sameAsScreen(p, clipped); });
        QVERIFY2(m.isEmpty(), qPrintable(m));
    }

    void wholeOutsideGivesNothing_data()
    {
        QTest::addColumn<int>("display");
        QTest::addColumn<QRect>("region");
        QTest::newRow("right of the screen") << 0 << QRect(1300, 0, 100, 100);
        QTest::newRow("above the screen") << 0 << QRect(10, -500, 100, 100);
        QTest::newRow("past display 1") << 1 << QRect(640, 0, 50, 50);
    }
    void wholeOutsideGivesNothing()
    {
        QFETCH(int, display);
        QFETCH(QRect, region);
        testsupport::DebugCapture log;
        ScreenSource source;
        source.update(captureItem(display, region));
        for (int i = 0; i < 5; ++i) {
            QVERIFY(!source.tick(castcore::MediaClock::now()));
            QVERIFY(source.picture().isNull());
        }
        source.update(captureItem(display, region)); // no change, no new line
        QCOMPARE(log.messages().filter(QStringLiteral("wholly outside")).size(), 1);
        QVERIFY(log.messages().filter(QStringLiteral("wholly outside")).first().startsWith(QStringLiteral("engine: ")));
    }

    // A server without MIT-SHM: said once, and the pixels come through
    // plain get-image.
    void serverWithoutShmGivesPixelsThroughPlainGetImage()
    {
        testsupport::DebugCapture log;
        PrivateXServer x;
        QVERIFY2(x.start(QSize(640, 480), {QStringLiteral("-extension"), QStringLiteral("MIT-SHM")}),
                 qPrintable(x.errorString()));
        QVERIFY(x.showQuadrants(QRect(40, 30, 200, 160)));
        ScreenSource source;
        source.update(captureItem(0, QRect(40, 30, 200, 160)));
        const QString m = tickUntil(source, [](const QImage &p) { return quadrantsOf(p, QSize(200, 160)); });
        QVERIFY2(m.isEmpty(), qPrintable(m));
        QCOMPARE(log.messages().filter(QStringLiteral("MIT-SHM")),
                 QStringList{QStringLiteral("engine: the X server offers no MIT-SHM; screen capture falls back to "
                                            "plain image transfers")});
        QVERIFY(log.contains(QStringLiteral("engine: screen capture on a 640x480 X screen, through plain get-image")));
    }

    // A server that offers MIT-SHM but will not attach our segment (reached
    // over TCP it cannot tell whose it is): the first frame is lost, the
    // rest come through plain get-image, also for regions of other sizes,
    // and shared memory is not tried again.
    void refusedSegmentFallsBackForGood()
    {
        testsupport::DebugCapture log;
        PrivateXServer x;
        QVERIFY2(x.start(QSize(640, 480), {}, PrivateXServer::Reach::Tcp), qPrintable(x.errorString()));
        QVERIFY(x.showQuadrants(QRect(40, 30, 200, 160)));
        QVERIFY(x.showQuadrants(QRect(300, 200, 120, 100)));
        ScreenSource source;
        const struct
        {
            QRect region;
            QRect quadrants; // within the picture
        } steps[] = {{QRect(40, 30, 200, 160), QRect(0, 0, 200, 160)},
                     {QRect(300, 200, 120, 100), QRect(0, 0, 120, 100)},
                     {QRect(290, 190, 140, 120), QRect(10, 10, 120, 100)},
                     {QRect(40, 30, 200, 160), QRect(0, 0, 200, 160)}};
        for (const auto &step : steps) {
            source.update(captureItem(0, step.region));
            const QString m = tickUntil(source, [&](const QImage &p) {
                if (p.size() != step.region.size())
                    return QStringLiteral("picture %1x%2").arg(p.width()).arg(p.height());
                return quadrantMismatch(p, step.quadrants, 0);
            });
            QVERIFY2(m.isEmpty(), qPrintable(QStringLiteral("region %1,%2: %3")
                                                 .arg(step.region.x())
                                                 .arg(step.region.y())
                                                 .arg(m)));
        }
        QVERIFY(log.contains(QStringLiteral("engine: screen capture on a 640x480 X screen, through MIT-SHM")));
        const QStringList refused = log.messages().filter(QStringLiteral("refused the shared memory segment"));
        QCOMPARE(refused.size(), 1);
        QVERIFY2(refused.front().startsWith(QStringLiteral("engine: the X server refused the shared memory segment ("))
                     && refused.front().endsWith(QStringLiteral("); screen capture falls back to plain get-image")),
                 qPrintable(refused.front()));
    }

    void withoutDisplayGivesNothing()
    {
        const QByteArray saved = qgetenv("DISPLAY");
        auto restore = qScopeGuard([&] { qputenv("DISPLAY", saved); });
        qunsetenv("DISPLAY");
        testsupport::DebugCapture log;
        ScreenSource source;
        source.update(captureItem(0, QRect(0, 0, 100, 100)));
        source.update(captureItem(0, QRect(0, 0, 50, 100)));
        for (int i = 0; i < 3; ++i)
            QVERIFY(!source.tick(castcore::MediaClock::now()));
        QVERIFY(source.picture().isNull());
        QCOMPARE(log.messages().filter(QStringLiteral("engine: screen capture needs an X display")).size(), 1);
    }
};

std::unique_ptr<QObject> makeScreenSourceTest()
{
    return std::make_unique<ScreenSourceTest>();
}

#include "tst_screensource.moc"
