#include "Compositor.h"
#include "LayeredShadowWindow.h"
#include "TempEnvironment.h"

#include <QDialog>
#include <QFile>
#include <QPointer>
#include <QTest>
#include <QWindow>

#include <limits>
#include <memory>

using mvplatform::Compositor;

namespace {

constexpr int B = LayeredShadowWindow::kWidth;

int alphaAt(const QImage &img, int x, int y)
{
    return qAlpha(img.pixel(x, y));
}

// A dialog as the program's dialogs build themselves (splash screen type).
// The offscreen platform gives such a window a small frame; `frameless`
// takes it away so that frame and client rectangles agree.
std::unique_ptr<QDialog> makeTarget(QRect geometry = QRect(100, 120, 400, 300), bool frameless = false)
{
    std::unique_ptr<QDialog> d(new QDialog);
    d->setWindowFlags(d->windowFlags() | Qt::SplashScreen
                      | (frameless ? Qt::FramelessWindowHint : Qt::WindowFlags()));
    d->setGeometry(geometry);
    return d;
}

QRect bandAround(QWidget *target)
{
    return target->frameGeometry().adjusted(-B, -B, B, B);
}

} // namespace

class TestShadow : public QObject
{
    Q_OBJECT

private slots:
    void init() { Compositor::steer(true); }
    void cleanup() { Compositor::reset(); }

    // ---- the picture ----

    void pictureSizeAndEmptyCentre_data()
    {
        QTest::addColumn<QSize>("target");
        QTest::newRow("400x300") << QSize(400, 300);
        QTest::newRow("1x1") << QSize(1, 1);
        QTest::newRow("empty") << QSize(0, 0);
        QTest::newRow("negative") << QSize(-5, 10);
    }
    void pictureSizeAndEmptyCentre()
    {
        QFETCH(QSize, target);
        const QImage img = LayeredShadowWindow::renderShadow(target);
        const QSize t = target.expandedTo(QSize(0, 0));
        QCOMPARE(img.size(), t + QSize(2 * B, 2 * B));
        QVERIFY(img.hasAlphaChannel());
        for (int y = 0; y < t.height(); ++y)
            for (int x = 0; x < t.width(); ++x)
                QCOMPARE(alphaAt(img, B + x, B + y), 0);
        // Pure black everywhere.
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QRgb p = img.pixel(x, y);
                QVERIFY(qRed(p) == 0 && qGreen(p) == 0 && qBlue(p) == 0);
            }
    }

    // The picture is rebuilt on every resize of the target; a size that
    // cannot be allocated gives no picture instead of a crash.
    void unallocatablePictureIsSkipped_data()
    {
        QTest::addColumn<QSize>("target");
        // Too wide for Qt to draw, too large for memory, and overflowing once
        // the band is added.
        QTest::newRow("wider than Qt draws") << QSize(100000000, 10);
        QTest::newRow("largest widget") << QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        QTest::newRow("widest int") << QSize(std::numeric_limits<int>::max(), 10);
        QTest::newRow("tallest int") << QSize(10, std::numeric_limits<int>::max());
    }
    void unallocatablePictureIsSkipped()
    {
        QFETCH(QSize, target);
        QVERIFY(LayeredShadowWindow::renderShadow(target).isNull());
    }

    void hugeTargetKeepsItsShadow()
    {
        auto target = makeTarget(QRect(100, 120, 400, 300), true);
        target->resize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        QPointer<LayeredShadowWindow> s = LayeredShadowWindow::Attach(target->winId());
        QVERIFY(s);

        // Back to a size that fits: the shadow is painted again.
        target->setGeometry(50, 60, 40, 30);
        target->show();
        QVERIFY(s->isVisible());
        QCOMPARE(s->geometry(), QRect(42, 52, 56, 46));
        const QImage shown = s->grab().toImage();
        QCOMPARE(shown.size(), QSize(56, 46));
        QCOMPARE(alphaAt(shown, 28, B - 1), alphaAt(LayeredShadowWindow::renderShadow(QSize(40, 30)), 28, B - 1));
        QVERIFY(alphaAt(shown, 28, B - 1) > 0);
    }

    // Along the middle of each side, walking out from the target.
    void edgesFallOffOutwards_data()
    {
        QTest::addColumn<QPoint>("nextToTarget"); // the band's innermost pixel
        QTest::addColumn<QPoint>("outwards");
        // 400 x 300 target: a 416 x 316 picture, the target at (8, 8).
        QTest::newRow("top") << QPoint(208, 7) << QPoint(0, -1);
        QTest::newRow("right") << QPoint(408, 158) << QPoint(1, 0);
        QTest::newRow("bottom") << QPoint(208, 308) << QPoint(0, 1);
        QTest::newRow("left") << QPoint(7, 158) << QPoint(-1, 0);
    }
    void edgesFallOffOutwards()
    {
        QFETCH(QPoint, nextToTarget);
        QFETCH(QPoint, outwards);
        const QImage img = LayeredShadowWindow::renderShadow(QSize(400, 300));
        QCOMPARE(img.size(), QSize(416, 316));

        // Nothing under the target, right up to its edge.
        const QPoint under = nextToTarget - outwards;
        QCOMPARE(alphaAt(img, under.x(), under.y()), 0);
        // Strong next to the target, faint at the outer row, never rising
        // on the way out.
        const int inner = alphaAt(img, nextToTarget.x(), nextToTarget.y());
        QVERIFY2(inner >= 30 && inner <= 40, qPrintable(QString::number(inner)));
        int previous = inner;
        for (int k = 1; k < B; ++k) {
            const QPoint p = nextToTarget + k * outwards;
            const int a = alphaAt(img, p.x(), p.y());
            QVERIFY2(a <= previous, qPrintable(QStringLiteral("%1 pixels out: %2 after %3").arg(k).arg(a).arg(previous)));
            previous = a;
        }
        QVERIFY2(previous <= 5, qPrintable(QString::number(previous)));
        QVERIFY(inner - previous >= 25);
    }

    // The band is even along each side, from corner to corner.
    void edgesAreUniform()
    {
        const QImage img = LayeredShadowWindow::renderShadow(QSize(400, 300));
        for (int k = 0; k < B; ++k) {
            for (int x = B; x < 416 - B; ++x) {
                QCOMPARE(alphaAt(img, x, k), alphaAt(img, 208, k));
                QCOMPARE(alphaAt(img, x, 315 - k), alphaAt(img, 208, 315 - k));
            }
            for (int y = B; y < 316 - B; ++y) {
                QCOMPARE(alphaAt(img, k, y), alphaAt(img, k, 158));
                QCOMPARE(alphaAt(img, 415 - k, y), alphaAt(img, 415 - k, 158));
            }
        }
    }

    void cornersAreRoundAndSeamless()
    {
        const QImage img = LayeredShadowWindow::renderShadow(QSize(60, 40));
        const int W = img.width(), H = img.height();
        QCOMPARE(img.size(), QSize(76, 56));

        // Strong at the target's corner, falling along the diagonal.
        const int inner = alphaAt(img, B - 1, B - 1);
        QVERIFY2(inner >= 25 && inner <= 40, qPrintable(QString::number(inner)));
        for (int k = 1; k < B; ++k)
            QVERIFY(alphaAt(img, B - 1 - k, B - 1 - k) <= alphaAt(img, B - k, B - k));
        // Round: the square's outermost pixels lie beyond the radius.
        QCOMPARE(alphaAt(img, 0, 0), 0);
        QCOMPARE(alphaAt(img, 1, 1), 0);
        QCOMPARE(alphaAt(img, 1, 0), 0);
        QCOMPARE(alphaAt(img, 0, 1), 0);
        // No seam where the corner meets the edges.
        for (int k = 0; k < B; ++k) {
            QVERIFY(qAbs(alphaAt(img, B - 1, k) - alphaAt(img, B, k)) <= 3);
            QVERIFY(qAbs(alphaAt(img, k, B - 1) - alphaAt(img, k, B)) <= 3);
        }
        // The four corners are one shape, mirrored.
        for (int y = 0; y < B; ++y) {
            for (int x = 0; x < B; ++x) {
                const int a = alphaAt(img, x, y);
                QCOMPARE(alphaAt(img, W - 1 - x, y), a);
                QCOMPARE(alphaAt(img, W - 1 - x, H - 1 - y), a);
                QCOMPARE(alphaAt(img, x, H - 1 - y), a);
            }
        }
    }

    // ---- attaching ----

    void attachOncePerTarget()
    {
        auto target = makeTarget();
        LayeredShadowWindow *first = LayeredShadowWindow::Attach(target->winId());
        QVERIFY(first);
        QCOMPARE(first->target(), target.get());
        QCOMPARE(LayeredShadowWindow::Attach(target->winId()), first);
        QCOMPARE(target->findChildren<LayeredShadowWindow *>().size(), 1);

        // A second shadow neither doubles the band nor breaks following.
        target->show();
        target->move(300, 200);
        QCOMPARE(first->geometry(), bandAround(target.get()));
    }

    void attachRefusesWhatIsNoTopLevelWidget()
    {
        QCOMPARE(LayeredShadowWindow::Attach(0), nullptr);
        auto target = makeTarget();
        auto *child = new QWidget(target.get());
        QCOMPARE(LayeredShadowWindow::Attach(child->winId()), nullptr);
        QVERIFY(target->findChildren<LayeredShadowWindow *>().isEmpty());
    }

    void shadowIsClickThrough()
    {
        auto target = makeTarget();
        LayeredShadowWindow *s = LayeredShadowWindow::Attach(target->winId());
        QVERIFY(s->isWindow());
        QVERIFY(s->windowFlags() & Qt::WindowTransparentForInput);
        QVERIFY(s->windowFlags() & Qt::WindowDoesNotAcceptFocus);
        QVERIFY(s->testAttribute(Qt::WA_TransparentForMouseEvents));
        QVERIFY(s->testAttribute(Qt::WA_TranslucentBackground));
        QVERIFY(!s->testAttribute(Qt::WA_QuitOnClose));
        target->show();
        QVERIFY(s->windowHandle());
        QVERIFY(s->windowHandle()->flags() & Qt::WindowTransparentForInput);
    }

    void diesWithItsTarget()
    {
        auto target = makeTarget();
        QPointer<LayeredShadowWindow> s = LayeredShadowWindow::Attach(target->winId());
        target->show();
        QVERIFY(s);
        target.reset();
        QVERIFY(s.isNull());
        // A later target gets a shadow of its own.
        auto next = makeTarget();
        LayeredShadowWindow *t = LayeredShadowWindow::Attach(next->winId());
        QVERIFY(t);
        QCOMPARE(t->target(), next.get());
    }

    // ---- following the target ----

    void hiddenTargetKeepsShadowHidden()
    {
        auto target = makeTarget();
        LayeredShadowWindow *s = LayeredShadowWindow::Attach(target->winId());
        QVERIFY(!target->isVisible());
        QVERIFY(!s->isVisible());
        target->move(10, 10);
        target->resize(200, 100);
        QVERIFY(!s->isVisible());
        // Shown with the target, around where the target now stands.
        target->show();
        QVERIFY(s->isVisible());
        QCOMPARE(s->geometry(), bandAround(target.get()));
        QCOMPARE(s->geometry().size(), target->frameGeometry().size() + QSize(2 * B, 2 * B));
    }

    void followsTheFrameRectangle()
    {
        auto target = makeTarget();
        LayeredShadowWindow *s = LayeredShadowWindow::Attach(target->winId());
        target->show();
        QCOMPARE(s->geometry(), bandAround(target.get()));
        target->move(30, 40);
        QCOMPARE(s->geometry(), bandAround(target.get()));
    }

    void followsThroughMoveResizeShowHide()
    {
        auto target = makeTarget(QRect(100, 120, 400, 300), true);
        LayeredShadowWindow *s = LayeredShadowWindow::Attach(target->winId());
        target->show();
        QVERIFY(s->isVisible());
        QCOMPARE(target->frameGeometry(), target->geometry());
        QCOMPARE(s->geometry(), QRect(92, 112, 416, 316));

        target->move(250, 40);
        QCOMPARE(s->geometry(), QRect(242, 32, 416, 316));

        target->resize(500, 200);
        QCOMPARE(s->geometry(), QRect(242, 32, 516, 216));
        QCOMPARE(s->grab().size(), QSize(516, 216));

        target->hide();
        QVERIFY(!s->isVisible());
        target->move(10, 20);
        target->show();
        QVERIFY(s->isVisible());
        QCOMPARE(s->geometry(), QRect(2, 12, 516, 216));
    }

    void hiddenWhileMaximisedOrMinimised_data()
    {
        QTest::addColumn<bool>("maximise");
        QTest::newRow("maximised") << true;
        QTest::newRow("minimised") << false;
    }
    void hiddenWhileMaximisedOrMinimised()
    {
        QFETCH(bool, maximise);
        auto target = makeTarget(QRect(100, 120, 400, 300));
        LayeredShadowWindow *s = LayeredShadowWindow::Attach(target->winId());
        target->show();
        QVERIFY(s->isVisible());
        if (maximise)
            target->showMaximized();
        else
            target->showMinimized();
        QTRY_VERIFY(!s->isVisible());
        target->showNormal();
        QTRY_VERIFY(s->isVisible());
        QCOMPARE(s->geometry(), bandAround(target.get()));
        QCOMPARE(s->geometry().size(), target->frameGeometry().size() + QSize(16, 16));
    }

    void paintsItsPicture()
    {
        auto target = makeTarget(QRect(0, 0, 40, 30), true);
        LayeredShadowWindow *s = LayeredShadowWindow::Attach(target->winId());
        target->show();
        const QImage shown = s->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QImage expected = LayeredShadowWindow::renderShadow(QSize(40, 30));
        QCOMPARE(shown.size(), expected.size());
        QCOMPARE(alphaAt(shown, 24, 0), alphaAt(expected, 24, 0));
        QCOMPARE(alphaAt(shown, 24, B - 1), alphaAt(expected, 24, B - 1));
        QCOMPARE(alphaAt(shown, 24, 20), 0);
    }

    // ---- compositor ----

    void noCompositorNoShadow()
    {
        Compositor::steer(false);
        auto target = makeTarget();
        LayeredShadowWindow *s = LayeredShadowWindow::Attach(target->winId());
        target->show();
        QVERIFY(!s->isVisible());
        target->resize(300, 300);
        QVERIFY(!s->isVisible());
        // Checked again on each show.
        target->hide();
        Compositor::steer(true);
        target->show();
        QVERIFY(s->isVisible());
    }

    // The picture is as large as the window: a shadow that never shows (no
    // compositor, or a target not shown yet) makes none.
    void pictureMadeOnlyOnceShown()
    {
        Compositor::steer(false);
        auto target = makeTarget(QRect(100, 120, 400, 300), true);
        QPointer<LayeredShadowWindow> s = LayeredShadowWindow::Attach(target->winId());
        QVERIFY(s);
        QVERIFY(s->picture().isNull());
        target->show();
        target->resize(420, 310);
        QCoreApplication::processEvents();
        QVERIFY(!s->isVisible());
        QVERIFY(s->picture().isNull());

        target->hide();
        Compositor::steer(true);
        target->show();
        QVERIFY(s->isVisible());
        QTRY_COMPARE(s->picture().size(), QSize(420 + 2 * B, 310 + 2 * B));
        const QImage expected = LayeredShadowWindow::renderShadow(QSize(420, 310));
        QCOMPARE(alphaAt(s->picture(), 200, B - 1), alphaAt(expected, 200, B - 1));
    }

    void compositorOffscreenFollowsWorldAndSteering_data()
    {
        QTest::addColumn<QByteArray>("world");
        QTest::addColumn<bool>("present");
        QTest::newRow("no world") << QByteArray() << false;
        QTest::newRow("world says yes") << QByteArray(R"({"compositor": true})") << true;
        QTest::newRow("world says no") << QByteArray(R"({"compositor": false})") << false;
        QTest::newRow("world silent") << QByteArray(R"({"displays": []})") << false;
        QTest::newRow("not a bool") << QByteArray(R"({"compositor": "yes"})") << false;
    }
    void compositorOffscreenFollowsWorldAndSteering()
    {
        QFETCH(QByteArray, world);
        QFETCH(bool, present);
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));
        testsupport::TempEnvironment env;
        const QByteArray saved = qgetenv("MORVASHOW_WORLD");
        if (!world.isEmpty()) {
            QFile f(env.root() + QStringLiteral("/world.json"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(world);
            f.close();
            qputenv("MORVASHOW_WORLD", f.fileName().toLocal8Bit());
        } else {
            qputenv("MORVASHOW_WORLD", QByteArray());
        }
        Compositor::reset();
        const bool answered = Compositor::isPresent();
        Compositor::steer(!present);
        const bool steered = Compositor::isPresent();
        qputenv("MORVASHOW_WORLD", saved);
        QCOMPARE(answered, present);
        QCOMPARE(steered, !present);
    }
};

QTEST_MAIN(TestShadow)
#include "tst_shadow.moc"
