// Mouse editing on the preview, driven by synthetic mouse events on a bare
// widget that hands them to the facade as the preview panel does. The
// preview is 800 x 450 and the canvas 1280 x 720: one preview pixel is 1.6
// canvas pixels and the margin that stays on the canvas is 25.

#include "FacadeFixture.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

using testsupport::FacadeFixture;

namespace {

// Stands in for the preview panel: every pointer event goes to the facade.
class PreviewSurface : public QWidget
{
public:
    explicit PreviewSurface(LiveProxy *proxy)
        : m_proxy(proxy)
    {
        resize(800, 450);
        setMouseTracking(true);
    }

protected:
    void mousePressEvent(QMouseEvent *e) override
    {
        m_proxy->handlePreviewMouse(this, e->button() == Qt::LeftButton ? 1 : 3, e->x(), e->y());
    }
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        m_proxy->handlePreviewMouse(this, e->button() == Qt::LeftButton ? 2 : 4, e->x(), e->y());
    }
    void mouseMoveEvent(QMouseEvent *e) override { m_proxy->handlePreviewMouse(this, 0, e->x(), e->y()); }

private:
    LiveProxy *m_proxy;
};

void send(QWidget *w, QEvent::Type type, Qt::MouseButton button, QPoint pos)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void press(QWidget *w, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    send(w, QEvent::MouseButtonPress, button, pos);
}

void moveTo(QWidget *w, QPoint pos, Qt::MouseButton held = Qt::NoButton)
{
    send(w, QEvent::MouseMove, held, pos);
}

void release(QWidget *w, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    send(w, QEvent::MouseButtonRelease, button, pos);
}

// A started scene with one 320 x 160 picture placed at (320, 160), its
// frame on the preview 200,100 - 400,200, and a preview surface.
struct EditScene
{
    FacadeFixture f;
    int id = 0;
    std::unique_ptr<PreviewSurface> surface;

    explicit EditScene(bool pendant = false)
    {
        f.init();
        const std::string p = f.picture("p.png", 320, 160);
        id = pendant ? f.proxy->addPendant(p, 255, 3) : f.proxy->addImage(p, 255, 3);
        f.proxy->setItemRect(id, 320, 160, 320, 160);
        surface = std::make_unique<PreviewSurface>(f.proxy.get());
    }
    QRect placed() const;
};

QRect placement(LiveProxy *proxy, int id)
{
    int x = 0, y = 0, w = 0, h = 0;
    proxy->getItemRect(id, &x, &y, &w, &h);
    return QRect(x, y, w, h);
}

QRect EditScene::placed() const
{
    return placement(f.proxy.get(), id);
}

} // namespace

class FacadePreviewTest : public QObject
{
    Q_OBJECT

private slots:
    void conversionsFitTheCanvasToThePreviewHeight();
    void pressSelectsTheTopmostEditableItem();
    void selectedItemIsPickedJustOutsideItsFrame();
    void cornerPressResizesOnlyWithTheLeftButton();
    void handlesResize_data();
    void handlesResize();
    void movingKeepsTheMarginOnTheCanvas_data();
    void movingKeepsTheMarginOnTheCanvas();
    void shrinkingStopsAtTheLimits_data();
    void shrinkingStopsAtTheLimits();
    void hoverCursors_data();
    void hoverCursors();
    void lockedOrFixedItemsAreNotEdited();
    void noWidgetEndsTheDrag();
};

void FacadePreviewTest::conversionsFitTheCanvasToThePreviewHeight()
{
    FacadeFixture f;
    LiveParams p = FacadeFixture::params(1, 1280, 720, 1000, 25);
    p.previewWidth = 1000;
    QCOMPARE(f.proxy->init(&p), 0);
    // Shown 800 pixels wide with 100 on either side.
    QCOMPARE(f.proxy->previewToCanvasX(100), 0);
    QCOMPARE(f.proxy->previewToCanvasX(900), 1280);
    QCOMPARE(f.proxy->previewToCanvasX(501), 641);
    QCOMPARE(f.proxy->previewToCanvasY(225), 360);
    QCOMPARE(f.proxy->canvasToPreviewX(640), 500);
    QCOMPARE(f.proxy->canvasToPreviewY(719), 449);
    QCOMPARE(f.proxy->canvasToPreviewWidth(1280), 1000);
    QCOMPARE(f.proxy->canvasToPreviewHeight(360), 225);
}

void FacadePreviewTest::pressSelectsTheTopmostEditableItem()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const std::string p = f.picture("p.png", 320, 160);
    const int under = f.proxy->addImage(p, 255, 3);
    const int over = f.proxy->addImage(p, 255, 3);
    const int bottom = f.proxy->addBottomImage(p, 255, 0);
    f.proxy->setItemRect(under, 320, 160, 320, 160);
    f.proxy->setItemRect(over, 480, 240, 320, 160);
    f.proxy->setItemGeometry(bottom, 0, 0, 1280, 720);
    PreviewSurface surface(f.proxy.get());

    press(&surface, QPoint(350, 170)); // inside both pictures
    QCOMPARE(f.proxy->currentItemId(), over);
    release(&surface, QPoint(350, 170));
    int hit = -1;
    QVERIFY(f.proxy->hitTestItem(250, 120, &hit));
    QCOMPARE(hit, under);
    press(&surface, QPoint(250, 120));
    QCOMPARE(f.proxy->currentItemId(), under);
    release(&surface, QPoint(250, 120));

    // Only the bottom picture lies there, and it is not editable.
    press(&surface, QPoint(20, 400));
    QCOMPARE(f.proxy->currentItemId(), -1);
    QVERIFY(!f.proxy->hitTestItem(20, 400, &hit));
    QCOMPARE(hit, 0);
    // Nothing moved.
    QCOMPARE(placement(f.proxy.get(), under), QRect(320, 160, 320, 160));
    QCOMPARE(placement(f.proxy.get(), over), QRect(480, 240, 320, 160));
}

void FacadePreviewTest::selectedItemIsPickedJustOutsideItsFrame()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int id = f.proxy->addImage(f.picture("p.png", 320, 160), 255, 3);
    f.proxy->setItemRect(id, 320, 160, 320, 160); // frame 200,100 - 400,200
    PreviewSurface surface(f.proxy.get());
    int hit = 0;
    QVERIFY(!f.proxy->hitTestItem(197, 150, &hit));
    press(&surface, QPoint(300, 150), Qt::RightButton);
    release(&surface, QPoint(300, 150), Qt::RightButton);
    QCOMPARE(f.proxy->currentItemId(), id);
    QVERIFY(f.proxy->hitTestItem(197, 150, &hit));
    QVERIFY(f.proxy->hitTestItem(405, 205, &hit));
    QVERIFY(!f.proxy->hitTestItem(406, 150, &hit));
}

void FacadePreviewTest::cornerPressResizesOnlyWithTheLeftButton()
{
    EditScene scene;
    FacadeFixture &f = scene.f;
    const int id = scene.id;
    PreviewSurface &surface = *scene.surface;

    // A right press 3 pixels from the top-left corner selects and drags.
    press(&surface, QPoint(203, 103), Qt::RightButton);
    moveTo(&surface, QPoint(213, 113), Qt::RightButton);
    QCOMPARE(placement(f.proxy.get(), id), QRect(336, 176, 320, 160));
    release(&surface, QPoint(213, 113), Qt::RightButton);
    QCOMPARE(surface.cursor().shape(), Qt::ArrowCursor);

    // A left press there resizes from the top-left corner.
    f.proxy->setItemRect(id, 320, 160, 320, 160);
    press(&surface, QPoint(203, 103));
    moveTo(&surface, QPoint(150, 60), Qt::LeftButton);
    QCOMPARE(surface.cursor().shape(), Qt::SizeFDiagCursor);
    // Pointer (240, 96) after a press at (324, 164): 84 wider, 68 taller.
    QCOMPARE(placement(f.proxy.get(), id), QRect(240, 96, 404, 228));
    release(&surface, QPoint(150, 60));
}

void FacadePreviewTest::handlesResize_data()
{
    QTest::addColumn<QPoint>("grab");
    QTest::addColumn<QPoint>("drop");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QRect>("placed");
    // The picture stands at (320, 160, 320, 160): frame 200,100 - 400,200.
    QTest::newRow("left edge") << QPoint(201, 150) << QPoint(181, 170) << int(Qt::SizeHorCursor)
                               << QRect(289, 160, 352, 160);
    QTest::newRow("right edge") << QPoint(399, 150) << QPoint(419, 130) << int(Qt::SizeHorCursor)
                                << QRect(320, 160, 352, 160);
    QTest::newRow("top edge") << QPoint(300, 101) << QPoint(320, 81) << int(Qt::SizeVerCursor)
                              << QRect(320, 129, 320, 192);
    QTest::newRow("bottom edge") << QPoint(300, 199) << QPoint(280, 219) << int(Qt::SizeVerCursor)
                                 << QRect(320, 160, 320, 192);
    QTest::newRow("top right") << QPoint(398, 102) << QPoint(418, 82) << int(Qt::SizeBDiagCursor)
                               << QRect(320, 131, 352, 192);
    QTest::newRow("bottom left") << QPoint(202, 198) << QPoint(182, 218) << int(Qt::SizeBDiagCursor)
                                 << QRect(291, 160, 352, 192);
    QTest::newRow("bottom right") << QPoint(398, 198) << QPoint(418, 218) << int(Qt::SizeFDiagCursor)
                                  << QRect(320, 160, 352, 192);
}

void FacadePreviewTest::handlesResize()
{
    QFETCH(QPoint, grab);
    QFETCH(QPoint, drop);
    QFETCH(int, cursor);
    QFETCH(QRect, placed);
    EditScene scene;
    FacadeFixture &f = scene.f;
    const int id = scene.id;
    PreviewSurface &surface = *scene.surface;
    press(&surface, grab);
    moveTo(&surface, drop, Qt::LeftButton);
    QCOMPARE(int(surface.cursor().shape()), cursor);
    QCOMPARE(placement(f.proxy.get(), id), placed);
    release(&surface, drop);
    QCOMPARE(surface.cursor().shape(), Qt::ArrowCursor);
}

void FacadePreviewTest::movingKeepsTheMarginOnTheCanvas_data()
{
    QTest::addColumn<QPoint>("drop");
    QTest::addColumn<QPoint>("origin");
    // Grabbed at (300, 150): canvas (480, 240), 160 and 80 inside the picture.
    QTest::newRow("inside") << QPoint(310, 160) << QPoint(336, 176);
    QTest::newRow("far left") << QPoint(-500, 150) << QPoint(-295, 160);
    QTest::newRow("far right") << QPoint(1500, 150) << QPoint(1255, 160);
    QTest::newRow("far up") << QPoint(300, -400) << QPoint(320, -135);
    QTest::newRow("far down") << QPoint(300, 900) << QPoint(320, 695);
}

void FacadePreviewTest::movingKeepsTheMarginOnTheCanvas()
{
    QFETCH(QPoint, drop);
    QFETCH(QPoint, origin);
    EditScene scene;
    FacadeFixture &f = scene.f;
    const int id = scene.id;
    PreviewSurface &surface = *scene.surface;
    press(&surface, QPoint(300, 150));
    moveTo(&surface, drop, Qt::LeftButton);
    QCOMPARE(placement(f.proxy.get(), id), QRect(origin, QSize(320, 160)));
}

void FacadePreviewTest::shrinkingStopsAtTheLimits_data()
{
    QTest::addColumn<bool>("pendant");
    QTest::addColumn<QRect>("placed");
    QTest::newRow("picture") << false << QRect(320, 160, 25, 25);
    QTest::newRow("pendant") << true << QRect(320, 160, 50, 25);
}

void FacadePreviewTest::shrinkingStopsAtTheLimits()
{
    QFETCH(bool, pendant);
    QFETCH(QRect, placed);
    EditScene scene(pendant);
    press(scene.surface.get(), QPoint(398, 198));
    moveTo(scene.surface.get(), QPoint(-50, -50), Qt::LeftButton);
    QCOMPARE(scene.placed(), placed);
}

void FacadePreviewTest::hoverCursors_data()
{
    QTest::addColumn<QPoint>("hover");
    QTest::addColumn<int>("cursor");
    QTest::newRow("bottom right") << QPoint(400, 200) << int(Qt::SizeFDiagCursor);
    QTest::newRow("top left") << QPoint(197, 97) << int(Qt::SizeFDiagCursor);
    QTest::newRow("top middle") << QPoint(300, 100) << int(Qt::SizeVerCursor);
    QTest::newRow("right middle") << QPoint(404, 152) << int(Qt::SizeHorCursor);
    QTest::newRow("bottom left") << QPoint(201, 199) << int(Qt::SizeBDiagCursor);
    QTest::newRow("inside") << QPoint(300, 150) << int(Qt::ArrowCursor);
}

void FacadePreviewTest::hoverCursors()
{
    QFETCH(QPoint, hover);
    QFETCH(int, cursor);
    EditScene scene;
    FacadeFixture &f = scene.f;
    const int id = scene.id;
    PreviewSurface &surface = *scene.surface;
    surface.setCursor(Qt::WaitCursor);
    moveTo(&surface, hover);
    QCOMPARE(surface.cursor().shape(), Qt::ArrowCursor); // nothing selected yet
    press(&surface, QPoint(300, 150));
    release(&surface, QPoint(300, 150));
    moveTo(&surface, hover);
    QCOMPARE(int(surface.cursor().shape()), cursor);
    QCOMPARE(placement(f.proxy.get(), id), QRect(320, 160, 320, 160));
}

void FacadePreviewTest::lockedOrFixedItemsAreNotEdited()
{
    EditScene scene;
    FacadeFixture &f = scene.f;
    const int id = scene.id;
    PreviewSurface &surface = *scene.surface;
    f.proxy->setItemUnresize(id);

    // The resize lock: the corner only grabs the picture to move it.
    press(&surface, QPoint(400, 200));
    moveTo(&surface, QPoint(400, 200));
    QCOMPARE(surface.cursor().shape(), Qt::ArrowCursor);
    moveTo(&surface, QPoint(410, 210), Qt::LeftButton);
    QCOMPARE(placement(f.proxy.get(), id), QRect(336, 176, 320, 160));
    release(&surface, QPoint(410, 210));

    // The move lock as well: the drag only sets the cursor.
    f.proxy->setItemUnmove(id);
    press(&surface, QPoint(300, 150));
    QCOMPARE(f.proxy->currentItemId(), id);
    moveTo(&surface, QPoint(350, 190), Qt::LeftButton);
    QCOMPARE(placement(f.proxy.get(), id), QRect(336, 176, 320, 160));
    release(&surface, QPoint(350, 190));

    // An effective text is never picked by the mouse.
    testsupport::TextRecord text(u"字幕");
    const int pair = f.proxy->addEffectiveText(f.picture("bg.png", 400, 60), QRect(0, 0, 300, 30), &text.info);
    f.proxy->setItemRect(pair, 0, 0, 400, 60);
    press(&surface, QPoint(10, 10));
    QCOMPARE(f.proxy->currentItemId(), -1);
}

void FacadePreviewTest::noWidgetEndsTheDrag()
{
    EditScene scene;
    FacadeFixture &f = scene.f;
    const int id = scene.id;
    PreviewSurface &surface = *scene.surface;
    press(&surface, QPoint(300, 150));
    f.proxy->handlePreviewMouse(nullptr, 0, 310, 160);
    moveTo(&surface, QPoint(320, 170), Qt::LeftButton);
    QCOMPARE(placement(f.proxy.get(), id), QRect(320, 160, 320, 160));
    QCOMPARE(f.proxy->currentItemId(), id);
    f.proxy->removeItem(id);
    QCOMPARE(f.proxy->currentItemId(), -1);
}

QTEST_MAIN(FacadePreviewTest)
#include "tst_facade_preview.moc"
