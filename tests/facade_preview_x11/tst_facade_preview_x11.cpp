// The facade's preview on a real X server: the engine composes the scene and
// paints the overlay on its video thread while the GUI thread adds, selects,
// moves and removes subtitles and pictures, and the engine reports its
// figures on its listener thread. The selection frame is read back from the
// window. This area also runs under ThreadSanitizer, which fails it on any
// facade state the video thread reads unguarded.
//
// The preview is 800 x 450 on a 1280 x 720 canvas: a canvas length is 5/8
// of it on the preview.

#include "FacadeFixture.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <vector>

using testsupport::FacadeFixture;
using testsupport::TextRecord;

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
// The facade and the X server bring Qt's own threads (D-Bus, network, the X
// event reader), which hand data over inside the distribution's Qt, where
// ThreadSanitizer sees the allocations but not the locks. Only accesses made
// by our instrumented code count; the job thread's waits are inside Qt too.
extern "C" const char *__tsan_default_options()
{
    return "ignore_noninstrumented_modules=1";
}
extern "C" const char *__tsan_default_suppressions()
{
    return "race_top:LiveTaskThread::run\n";
}
#endif
#endif

namespace {

const QRgb kWhite = qRgb(255, 255, 255);

// Long enough for a frame on a busy machine under ThreadSanitizer.
constexpr int kShownWithinMs = 30000;

// The preview as the program has it: a native window that Qt never paints,
// since the engine puts its frames there.
struct PreviewWindow
{
    QWidget window;

    PreviewWindow()
    {
        window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        window.setGeometry(0, 0, 800, 450);
        window.setUpdatesEnabled(false);
        window.winId();
        window.show();
    }

    QImage grab() const { return QGuiApplication::primaryScreen()->grabWindow(window.winId()).toImage(); }
};

// A started scene previewed in a real window.
struct PreviewScene
{
    PreviewWindow preview;
    FacadeFixture f;
    int startResult = -1;

    PreviewScene()
    {
        if (!QTest::qWaitForWindowExposed(&preview.window))
            return;
        LiveParams p = FacadeFixture::params(1, 1280, 720, 1000, 25);
        p.previewWindow = preview.window.winId();
        startResult = f.proxy->init(&p);
    }

    void mouse(int event, int x, int y) { f.proxy->handlePreviewMouse(&preview.window, event, x, y); }

    int64_t framesPut() const { return f.engine()->media().preview().framesPut(); }

    // A subtitle that scrolls, so the canvas and the preview change every frame.
    int addSubtitle(const std::u16string &text)
    {
        TextRecord record(text, 36);
        record.info.scroll = 1;
        record.info.rollSpeed = 60;
        record.info.backgroundColor = 0xff2040c0u;
        record.info.backgroundOpacity = 100;
        return f.proxy->addText(&record.info, 3);
    }
};

// Empty when the picture shows a white frame around `frame` (preview
// pixels, far edges at x + width and y + height), with its handles or
// without, and no longer the left edge of `gone` when given; else what
// differs.
QString frameMismatch(const QImage &picture, const QRect &frame, bool handles, const QRect &gone = QRect())
{
    const int x = frame.x(), y = frame.y(), r = x + frame.width(), b = y + frame.height();
    const int mx = x + frame.width() / 2, my = y + frame.height() / 2;
    struct Probe
    {
        QPoint at;
        bool white;
    };
    std::vector<Probe> probes = {
        {{x, my - 10}, true},       {{r, my - 10}, true},       {{mx + 10, y}, true},      {{mx + 10, b}, true},
        {{x + 3, my - 10}, false},  {{r - 3, my - 10}, false},  {{x - 2, y - 2}, handles}, {{r + 2, b + 2}, handles},
        {{mx, y - 2}, handles},     {{x - 2, my}, handles},
    };
    if (gone.isValid())
        probes.push_back({{gone.x(), gone.y() + gone.height() / 2 - 10}, false});
    for (const Probe &p : probes) {
        if (!picture.rect().contains(p.at))
            return QStringLiteral("(%1, %2) lies outside the preview").arg(p.at.x()).arg(p.at.y());
        if ((picture.pixel(p.at) == kWhite) != p.white)
            return QStringLiteral("(%1, %2) is %3").arg(p.at.x()).arg(p.at.y()).arg(QColor(picture.pixel(p.at)).name());
    }
    return QString();
}

QRect placement(LiveProxy *proxy, int id)
{
    int x = 0, y = 0, w = 0, h = 0;
    proxy->getItemRect(id, &x, &y, &w, &h);
    return QRect(x, y, w, h);
}

} // namespace

class FacadePreviewX11Test : public QObject
{
    Q_OBJECT

private slots:
    void frameFollowsTheSelectionWhileItemsComeAndGo();
};

void FacadePreviewX11Test::frameFollowsTheSelectionWhileItemsComeAndGo()
{
    PreviewScene s;
    QCOMPARE(s.startResult, 0);
    LiveProxy *proxy = s.f.proxy.get();
    QVERIFY(s.addSubtitle(u"欢迎来到直播间") > 0);

    // Subtitles and titled pictures come, are selected, moved and go while
    // the preview paints and the figures change.
    const std::string background = s.f.picture(QStringLiteral("bg.png"), 400, 90);
    const int64_t before = s.framesPut();
    for (int round = 0; round < 40 || s.framesPut() < before + 20; ++round) {
        QVERIFY2(round < 4000, "the preview puts no frames");
        const int subtitle = s.addSubtitle(u"第" + std::u16string(1, char16_t(u'0' + round % 10)) + u"条字幕");
        QVERIFY(subtitle > 0);
        proxy->setCurrentItemId(subtitle);
        proxy->setItemRect(subtitle, 16 * (round % 20), 300, 640, 60);
        TextRecord title(u"标题");
        const int titled = proxy->addEffectiveText(background, QRect(10, 20, 300, 50), &title.info);
        QVERIFY(titled > 0);
        proxy->setCurrentItemId(titled);
        s.f.engine()->fireSystemPerformance(round % 100, 50);
        s.f.engine()->fireVideoFps(20 + round % 6);
        proxy->removeItem(subtitle);
        proxy->removeItem(titled);
        QCoreApplication::processEvents();
    }

    // A picture placed at (320, 176) sized 640 x 352 is framed at
    // (200, 110) sized 400 x 220, with handles.
    const int picture = proxy->addImage(s.f.picture(QStringLiteral("p.png"), 320, 180), 255, 3);
    QVERIFY(picture > 0);
    proxy->setItemRect(picture, 320, 176, 640, 352);
    proxy->setCurrentItemId(picture);
    const QRect first(200, 110, 400, 220);
    QString why;
    QTRY_VERIFY2_WITH_TIMEOUT((why = frameMismatch(s.preview.grab(), first, true)).isEmpty(), qPrintable(why),
                              kShownWithinMs);

    // Moved by the facade: (480, 240) is (300, 150).
    proxy->setItemRect(picture, 480, 240, 640, 352);
    const QRect second(300, 150, 400, 220);
    QTRY_VERIFY2_WITH_TIMEOUT((why = frameMismatch(s.preview.grab(), second, true, first)).isEmpty(),
                              qPrintable(why), kShownWithinMs);

    // Dragged by the user 40 preview pixels left and 25 up: 64 and 40
    // canvas pixels.
    s.mouse(1, 400, 260);
    s.mouse(0, 380, 250);
    s.mouse(0, 360, 235);
    s.mouse(2, 360, 235);
    QCOMPARE(placement(proxy, picture), QRect(416, 200, 640, 352));
    const QRect third(260, 125, 400, 220);
    QTRY_VERIFY2_WITH_TIMEOUT((why = frameMismatch(s.preview.grab(), third, true, second)).isEmpty(),
                              qPrintable(why), kShownWithinMs);

    // Locked against resizing: the frame alone.
    proxy->setItemUnresize(picture);
    QTRY_VERIFY2_WITH_TIMEOUT((why = frameMismatch(s.preview.grab(), third, false)).isEmpty(), qPrintable(why),
                              kShownWithinMs);

    // Another item selected by a press on it, then the picture removed.
    proxy->clearItemUnresize(picture);
    const int subtitle = s.addSubtitle(u"最后一条");
    proxy->setItemRect(subtitle, 160, 608, 960, 64);
    s.mouse(1, 400, 400);
    s.mouse(2, 400, 400);
    QCOMPARE(proxy->currentItemId(), subtitle);
    const QRect last(100, 380, 600, 40);
    QTRY_VERIFY2_WITH_TIMEOUT((why = frameMismatch(s.preview.grab(), last, true, third)).isEmpty(), qPrintable(why),
                              kShownWithinMs);
    proxy->removeItem(subtitle);
    proxy->setCurrentItemId(picture);
    QTRY_VERIFY2_WITH_TIMEOUT((why = frameMismatch(s.preview.grab(), third, true, last)).isEmpty(), qPrintable(why),
                              kShownWithinMs);
    proxy->removeItem(picture);
    QTRY_VERIFY_WITH_TIMEOUT(s.preview.grab().pixel(third.x(), third.y() + 100) != kWhite, kShownWithinMs);
}

QTEST_MAIN(FacadePreviewX11Test)
#include "tst_facade_preview_x11.moc"
