#include "ModalDriver.h"
#include "MouseMoves.h"
#include "MvScreenShotDialog.h"
#include "ScreenShotGeometry.h"
#include "TopLevelWindows.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QPainter>
#include <QTest>

using namespace screenshot;
using testsupport::dragMouse;
using testsupport::moveMouse;

namespace {

// Counts the paints a widget gets.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *w) { w->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

// A picker over the offscreen desktop (800 x 600) with a plain picture and
// the given top-level windows.
struct PickerFixture
{
    explicit PickerFixture(const QVector<QRect> &windows = {}, QRect area = QRect())
    {
        QVector<mvplatform::TopLevelWindow> list;
        for (const QRect &r : windows)
            list.append({WId(list.size() + 1), r});
        mvplatform::TopLevelWindows::steer(list);
        picker.reset(new MvScreenShotDialog(area.x(), area.y(), area.width(), area.height()));
        QPixmap picture(picker->grabArea().size());
        picture.fill(Qt::darkCyan);
        picker->GrabFullScreen(picture);
    }
    ~PickerFixture() { mvplatform::TopLevelWindows::reset(); }

    void show()
    {
        picker->show();
        QVERIFY(QTest::qWaitForWindowExposed(picker.get()));
    }
    // Draws a selection from `from` to `to`.
    void select(QPoint from, QPoint to) { dragMouse(picker.get(), from, to); }

    std::unique_ptr<MvScreenShotDialog> picker;
};

} // namespace

class TestRegionPicker : public QObject
{
    Q_OBJECT

private slots:
    // ---- the rules

    void rectangleFromTwoPoints_data()
    {
        QTest::addColumn<QPoint>("p");
        QTest::addColumn<QPoint>("q");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("down right") << QPoint(10, 20) << QPoint(110, 70) << QRect(10, 20, 100, 50);
        QTest::newRow("up left") << QPoint(110, 70) << QPoint(10, 20) << QRect(10, 20, 100, 50);
        QTest::newRow("crossed") << QPoint(110, 20) << QPoint(10, 70) << QRect(10, 20, 100, 50);
        QTest::newRow("one point") << QPoint(5, 5) << QPoint(5, 5) << QRect(5, 5, 0, 0);
    }

    void rectangleFromTwoPoints()
    {
        QFETCH(QPoint, p);
        QFETCH(QPoint, q);
        QFETCH(QRect, rect);
        QCOMPARE(rectFromPoints(p, q), rect);
    }

    void movesStopAtTheAreaEdges_data()
    {
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<QRect>("moved");
        // (100, 100, 200, 100) in an area of 800 x 600
        QTest::newRow("inside") << QPoint(50, -30) << QRect(150, 70, 200, 100);
        QTest::newRow("past the left") << QPoint(-500, 0) << QRect(0, 100, 200, 100);
        QTest::newRow("past the top") << QPoint(10, -500) << QRect(110, 0, 200, 100);
        QTest::newRow("past the right") << QPoint(900, 0) << QRect(600, 100, 200, 100);
        QTest::newRow("past the bottom") << QPoint(0, 900) << QRect(100, 500, 200, 100);
        QTest::newRow("to the very corner") << QPoint(500, 400) << QRect(600, 500, 200, 100);
        QTest::newRow("past two edges") << QPoint(-900, 900) << QRect(0, 500, 200, 100);
    }

    void movesStopAtTheAreaEdges()
    {
        QFETCH(QPoint, offset);
        QFETCH(QRect, moved);
        const QPoint start(150, 150);
        QCOMPARE(movedRect(QRect(100, 100, 200, 100), start, start + offset, QSize(800, 600)), moved);
    }

    void handlesResize_data()
    {
        QTest::addColumn<int>("handle");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QRect>("resized");
        // (100, 100, 200, 100): right and bottom edges at 300 and 200
        QTest::newRow("top-left") << 1 << QPoint(90, 80) << QRect(90, 80, 210, 120);
        QTest::newRow("top-middle") << 2 << QPoint(999, 80) << QRect(100, 80, 200, 120);
        QTest::newRow("top-right") << 3 << QPoint(320, 90) << QRect(100, 90, 220, 110);
        QTest::newRow("right-middle") << 4 << QPoint(350, 999) << QRect(100, 100, 250, 100);
        QTest::newRow("bottom-right") << 5 << QPoint(310, 220) << QRect(100, 100, 210, 120);
        QTest::newRow("bottom-middle") << 6 << QPoint(0, 150) << QRect(100, 100, 200, 50);
        QTest::newRow("bottom-left") << 7 << QPoint(50, 250) << QRect(50, 100, 250, 150);
        QTest::newRow("left-middle") << 8 << QPoint(120, 0) << QRect(120, 100, 180, 100);
        QTest::newRow("top-left past the far corner") << 1 << QPoint(400, 260) << QRect(300, 200, 100, 60);
        QTest::newRow("top-middle past the bottom") << 2 << QPoint(0, 230) << QRect(100, 200, 200, 30);
        QTest::newRow("right-middle past the left") << 4 << QPoint(40, 0) << QRect(40, 100, 60, 100);
        QTest::newRow("bottom-right past the top-left") << 5 << QPoint(60, 70) << QRect(60, 70, 40, 30);
        QTest::newRow("left-middle past the right") << 8 << QPoint(330, 0) << QRect(300, 100, 30, 100);
        QTest::newRow("untouched top-left") << 1 << QPoint(100, 100) << QRect(100, 100, 200, 100);
        QTest::newRow("untouched bottom-right") << 5 << QPoint(300, 200) << QRect(100, 100, 200, 100);
        QTest::newRow("no handle") << 0 << QPoint(0, 0) << QRect(100, 100, 200, 100);
    }

    void handlesResize()
    {
        QFETCH(int, handle);
        QFETCH(QPoint, to);
        QFETCH(QRect, resized);
        const QRect r = resizedRect(QRect(100, 100, 200, 100), handle, to);
        QCOMPARE(r, resized);
        QVERIFY(r.width() >= 0 && r.height() >= 0);
    }

    void handleHitTest_data()
    {
        QTest::addColumn<QPoint>("p");
        QTest::addColumn<int>("handle");
        // (100, 100, 200, 100): squares of 6 x 6 from 2 px before each point
        QTest::newRow("top-left") << QPoint(100, 100) << 1;
        QTest::newRow("top-left square's first pixel") << QPoint(98, 98) << 1;
        QTest::newRow("top-left square's last pixel") << QPoint(103, 103) << 1;
        QTest::newRow("just past it") << QPoint(104, 104) << 0;
        QTest::newRow("top-middle") << QPoint(200, 100) << 2;
        QTest::newRow("top-right") << QPoint(300, 100) << 3;
        QTest::newRow("right-middle") << QPoint(300, 150) << 4;
        QTest::newRow("bottom-right") << QPoint(300, 200) << 5;
        QTest::newRow("bottom-middle") << QPoint(200, 200) << 6;
        QTest::newRow("bottom-left") << QPoint(100, 200) << 7;
        QTest::newRow("left-middle") << QPoint(100, 150) << 8;
        QTest::newRow("inside") << QPoint(150, 130) << 0;
        QTest::newRow("outside") << QPoint(20, 20) << 0;
    }

    void handleHitTest()
    {
        QFETCH(QPoint, p);
        QFETCH(int, handle);
        QCOMPARE(hitHandle(QRect(100, 100, 200, 100), p), handle);
    }

    void hoverFramesTheTopmostWindow_data()
    {
        QTest::addColumn<QPoint>("cursor");
        QTest::addColumn<QPoint>("origin");
        QTest::addColumn<QRect>("frame");
        // windows topmost first: (50, 50, 100, 80), (0, 0, 400, 300), (700, 500, 300, 300)
        QTest::newRow("in the top window") << QPoint(60, 60) << QPoint(0, 0) << QRect(50, 50, 100, 80);
        QTest::newRow("below it") << QPoint(200, 200) << QPoint(0, 0) << QRect(0, 0, 400, 300);
        QTest::newRow("over no window") << QPoint(500, 400) << QPoint(0, 0) << QRect();
        QTest::newRow("clipped at the area") << QPoint(750, 550) << QPoint(0, 0) << QRect(700, 500, 100, 100);
        QTest::newRow("area of a second display") << QPoint(750, 550) << QPoint(600, 400)
                                                  << QRect(100, 100, 300, 300);
        QTest::newRow("clipped at the area's origin") << QPoint(60, 60) << QPoint(20, 30) << QRect(30, 20, 100, 80);
    }

    void hoverFramesTheTopmostWindow()
    {
        QFETCH(QPoint, cursor);
        QFETCH(QPoint, origin);
        QFETCH(QRect, frame);
        const QVector<QRect> windows{QRect(50, 50, 100, 80), QRect(0, 0, 400, 300), QRect(700, 500, 300, 300)};
        QCOMPARE(hoverRect(windows, cursor, origin, QSize(800, 600)), frame);
    }

    void cursors_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QPoint>("p");
        QTest::addColumn<int>("dragged");
        QTest::addColumn<int>("cursor");
        const QPoint inside(150, 150);
        QTest::newRow("hovering") << 0 << inside << 0 << int(Qt::ArrowCursor);
        QTest::newRow("dragging") << 1 << inside << 0 << int(Qt::ArrowCursor);
        QTest::newRow("selected, inside") << 2 << inside << 0 << int(Qt::SizeAllCursor);
        QTest::newRow("selected, outside") << 2 << QPoint(10, 10) << 0 << int(Qt::ArrowCursor);
        QTest::newRow("moved, on top-left") << 5 << QPoint(100, 100) << 0 << int(Qt::SizeFDiagCursor);
        QTest::newRow("resized, on top-middle") << 7 << QPoint(200, 99) << 0 << int(Qt::SizeVerCursor);
        QTest::newRow("selected, on top-right") << 2 << QPoint(301, 100) << 0 << int(Qt::SizeBDiagCursor);
        QTest::newRow("selected, on right-middle") << 2 << QPoint(302, 150) << 0 << int(Qt::SizeHorCursor);
        QTest::newRow("selected, on bottom-right") << 2 << QPoint(300, 200) << 0 << int(Qt::SizeFDiagCursor);
        QTest::newRow("selected, on bottom-middle") << 2 << QPoint(200, 201) << 0 << int(Qt::SizeVerCursor);
        QTest::newRow("selected, on bottom-left") << 2 << QPoint(99, 201) << 0 << int(Qt::SizeBDiagCursor);
        QTest::newRow("selected, on left-middle") << 2 << QPoint(98, 150) << 0 << int(Qt::SizeHorCursor);
        QTest::newRow("moving") << 4 << QPoint(10, 10) << 0 << int(Qt::SizeAllCursor);
        QTest::newRow("resizing by top-right") << 6 << QPoint(10, 10) << 3 << int(Qt::SizeBDiagCursor);
        QTest::newRow("resizing by left-middle") << 6 << inside << 8 << int(Qt::SizeHorCursor);
    }

    void cursors()
    {
        QFETCH(int, state);
        QFETCH(QPoint, p);
        QFETCH(int, dragged);
        QFETCH(int, cursor);
        QCOMPARE(int(cursorFor(state, QRect(100, 100, 200, 100), p, dragged)), cursor);
    }

    // ---- the dialog

    // The grab itself needs an X server (the x11 area); the offscreen
    // platform grabs nothing outside its own windows.
    void coversTheGrabbedArea()
    {
        const QSize desktop = QApplication::desktop()->size();
        mvplatform::TopLevelWindows::steer({});
        MvScreenShotDialog whole(0, 0, 0, 0);
        QCOMPARE(whole.grabArea(), QRect(QPoint(0, 0), desktop));
        QCOMPARE(whole.geometry(), QRect(QPoint(0, 0), desktop));
        QCOMPARE(whole.state(), 0);

        MvScreenShotDialog part(100, 50, 300, 200);
        QCOMPARE(part.grabArea(), QRect(100, 50, 300, 200));
        QCOMPARE(part.geometry(), QRect(100, 50, 300, 200));
        mvplatform::TopLevelWindows::reset();
    }

    void clickSelectsTheFramedWindowClipped()
    {
        PickerFixture p({QRect(-20, 50, 200, 100), QRect(300, 300, 100, 100)});
        p.show();
        moveMouse(p.picker.get(), QPoint(10, 60));
        QCOMPARE(p.picker->currentRect(), QRect(0, 50, 180, 100));
        QTest::mouseClick(p.picker.get(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 60));
        QCOMPARE(p.picker->state(), 2);
        QCOMPARE(p.picker->currentRect(), QRect(0, 50, 180, 100));
        QTest::keyClick(p.picker.get(), Qt::Key_Return);
        QCOMPARE(p.picker->result(), int(QDialog::Accepted));
        QCOMPARE(p.picker->GetResultRect(), QRect(0, 50, 180, 100));
    }

    void dragDrawsARectangle()
    {
        PickerFixture p({QRect(0, 0, 800, 600)});
        p.show();
        p.select(QPoint(300, 200), QPoint(120, 90));
        QCOMPARE(p.picker->state(), 2);
        QCOMPARE(p.picker->currentRect(), QRect(120, 90, 180, 110));
        QTest::keyClick(p.picker.get(), Qt::Key_Enter);
        QCOMPARE(p.picker->result(), int(QDialog::Accepted));
        QCOMPARE(p.picker->GetResultRect(), QRect(120, 90, 180, 110));
    }

    void moveIsClampedAndKeepsTheSize()
    {
        PickerFixture p;
        p.show();
        p.select(QPoint(100, 100), QPoint(300, 200));
        QTest::mousePress(p.picker.get(), Qt::LeftButton, Qt::NoModifier, QPoint(150, 150));
        QCOMPARE(p.picker->state(), 4);
        moveMouse(p.picker.get(), QPoint(-400, 150), Qt::LeftButton);
        QCOMPARE(p.picker->currentRect(), QRect(0, 100, 200, 100));
        moveMouse(p.picker.get(), QPoint(2000, 2000), Qt::LeftButton);
        QCOMPARE(p.picker->currentRect(), QRect(600, 500, 200, 100));
        QTest::mouseRelease(p.picker.get(), Qt::LeftButton, Qt::NoModifier, QPoint(2000, 2000));
        QCOMPARE(p.picker->state(), 5);
        QCOMPARE(p.picker->currentRect(), QRect(600, 500, 200, 100));
        // A second move starts from where the first ended.
        QTest::mousePress(p.picker.get(), Qt::LeftButton, Qt::NoModifier, QPoint(700, 550));
        moveMouse(p.picker.get(), QPoint(690, 540), Qt::LeftButton);
        QTest::mouseRelease(p.picker.get(), Qt::LeftButton, Qt::NoModifier, QPoint(690, 540));
        QCOMPARE(p.picker->currentRect(), QRect(590, 490, 200, 100));
    }

    void movesStopAtTheGrabbedDisplaysEdge()
    {
        // The second of two displays side by side: its own 400 x 300, not
        // the whole desktop, bounds the moves.
        PickerFixture p({}, QRect(400, 0, 400, 300));
        p.show();
        p.select(QPoint(10, 10), QPoint(110, 60));
        QTest::mousePress(p.picker.get(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 30));
        moveMouse(p.picker.get(), QPoint(5000, 5000), Qt::LeftButton);
        QTest::mouseRelease(p.picker.get(), Qt::LeftButton, Qt::NoModifier, QPoint(5000, 5000));
        QCOMPARE(p.picker->currentRect(), QRect(300, 250, 100, 50));
    }

    // The handle's point, the point it is dragged to, and what results.
    void eachHandleResizes_data()
    {
        QTest::addColumn<QPoint>("grab");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QRect>("resized");
        QTest::addColumn<int>("cursor");
        QTest::newRow("top-left") << QPoint(100, 100) << QPoint(90, 80) << QRect(90, 80, 210, 120)
                                  << int(Qt::SizeFDiagCursor);
        QTest::newRow("top-middle") << QPoint(200, 100) << QPoint(250, 80) << QRect(100, 80, 200, 120)
                                    << int(Qt::SizeVerCursor);
        QTest::newRow("top-right") << QPoint(300, 100) << QPoint(320, 90) << QRect(100, 90, 220, 110)
                                   << int(Qt::SizeBDiagCursor);
        QTest::newRow("right-middle") << QPoint(300, 150) << QPoint(350, 170) << QRect(100, 100, 250, 100)
                                      << int(Qt::SizeHorCursor);
        QTest::newRow("bottom-right") << QPoint(300, 200) << QPoint(310, 220) << QRect(100, 100, 210, 120)
                                      << int(Qt::SizeFDiagCursor);
        QTest::newRow("bottom-middle") << QPoint(200, 200) << QPoint(10, 150) << QRect(100, 100, 200, 50)
                                       << int(Qt::SizeVerCursor);
        QTest::newRow("bottom-left") << QPoint(100, 200) << QPoint(50, 250) << QRect(50, 100, 250, 150)
                                     << int(Qt::SizeBDiagCursor);
        QTest::newRow("left-middle") << QPoint(100, 150) << QPoint(120, 10) << QRect(120, 100, 180, 100)
                                     << int(Qt::SizeHorCursor);
        QTest::newRow("top-left past the far corner") << QPoint(100, 100) << QPoint(400, 260)
                                                      << QRect(300, 200, 100, 60) << int(Qt::SizeFDiagCursor);
    }

    void eachHandleResizes()
    {
        QFETCH(QPoint, grab);
        QFETCH(QPoint, to);
        QFETCH(QRect, resized);
        QFETCH(int, cursor);
        PickerFixture p;
        p.show();
        p.select(QPoint(100, 100), QPoint(300, 200));
        moveMouse(p.picker.get(), grab);
        QCOMPARE(int(p.picker->cursor().shape()), cursor);
        QTest::mousePress(p.picker.get(), Qt::LeftButton, Qt::NoModifier, grab);
        QCOMPARE(p.picker->state(), 6);
        moveMouse(p.picker.get(), to, Qt::LeftButton);
        QCOMPARE(int(p.picker->cursor().shape()), cursor);
        QCOMPARE(p.picker->currentRect(), resized);
        QTest::mouseRelease(p.picker.get(), Qt::LeftButton, Qt::NoModifier, to);
        QCOMPARE(p.picker->state(), 7);
        QCOMPARE(p.picker->currentRect(), resized);
    }

    void acceptTakesWhatIsShown_data()
    {
        QTest::addColumn<int>("repaints");
        QTest::addColumn<QString>("key");
        QTest::newRow("no repaint, Return") << 0 << "return";
        QTest::newRow("one repaint, Enter") << 1 << "enter";
        QTest::newRow("three repaints, double click") << 3 << "double";
    }

    void acceptTakesWhatIsShown()
    {
        QFETCH(int, repaints);
        QFETCH(QString, key);
        PickerFixture p;
        p.show();
        p.select(QPoint(100, 100), QPoint(300, 200));
        QTest::mousePress(p.picker.get(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
        moveMouse(p.picker.get(), QPoint(350, 260), Qt::LeftButton);
        QTest::mouseRelease(p.picker.get(), Qt::LeftButton, Qt::NoModifier, QPoint(350, 260));
        for (int i = 0; i < repaints; ++i)
            p.picker->repaint();
        QCOMPARE(p.picker->currentRect(), QRect(100, 100, 250, 160));
        if (key == QLatin1String("return"))
            QTest::keyClick(p.picker.get(), Qt::Key_Return);
        else if (key == QLatin1String("enter"))
            QTest::keyClick(p.picker.get(), Qt::Key_Enter, Qt::KeypadModifier);
        else
            QTest::mouseDClick(p.picker.get(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 150));
        QCOMPARE(p.picker->result(), int(QDialog::Accepted));
        QCOMPARE(p.picker->GetResultRect(), QRect(100, 100, 250, 160));
    }

    void zeroSizeSelectionCanBeAccepted()
    {
        PickerFixture p;
        p.show();
        p.select(QPoint(100, 100), QPoint(300, 100));
        QCOMPARE(p.picker->currentRect(), QRect(100, 100, 200, 0));
        p.picker->repaint();
        QTest::keyClick(p.picker.get(), Qt::Key_Return);
        QCOMPARE(p.picker->result(), int(QDialog::Accepted));
        QCOMPARE(p.picker->GetResultRect(), QRect(100, 100, 200, 0));
    }

    void rightClickOnASelectionReturnsToHovering()
    {
        PickerFixture p({QRect(0, 0, 50, 50)});
        p.show();
        p.select(QPoint(100, 100), QPoint(300, 200));
        QTest::mouseClick(p.picker.get(), Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
        QCOMPARE(p.picker->state(), 0);
        QVERIFY(p.picker->isVisible());
        QCOMPARE(p.picker->currentRect(), QRect(0, 0, 50, 50));
        // Return does nothing while nothing is selected.
        QTest::keyClick(p.picker.get(), Qt::Key_Return);
        QVERIFY(p.picker->isVisible());
    }

    void endsWithoutASelection_data()
    {
        QTest::addColumn<bool>("selectFirst");
        QTest::addColumn<bool>("escape");
        QTest::newRow("right click, nothing selected") << false << false;
        QTest::newRow("escape, nothing selected") << false << true;
        QTest::newRow("escape with a selection") << true << true;
    }

    void endsWithoutASelection()
    {
        QFETCH(bool, selectFirst);
        QFETCH(bool, escape);
        PickerFixture p;
        testsupport::ModalDriver driver;
        driver.onNext([&](QWidget *w) {
            if (selectFirst)
                dragMouse(w, QPoint(10, 10), QPoint(50, 50));
            if (escape)
                QTest::keyClick(w, Qt::Key_Escape);
            else
                QTest::mouseClick(w, Qt::RightButton, Qt::NoModifier, QPoint(20, 20));
        });
        QCOMPARE(p.picker->exec(), 0);
        QVERIFY(driver.waitDone());
        QVERIFY(!p.picker->isVisible());
    }

    void execAnswersOneOnAccept()
    {
        PickerFixture p;
        testsupport::ModalDriver driver;
        driver.onNext([&](QWidget *w) {
            dragMouse(w, QPoint(10, 10), QPoint(50, 70));
            QTest::keyClick(w, Qt::Key_Return);
        });
        QCOMPARE(p.picker->exec(), 1);
        QVERIFY(driver.waitDone());
        QCOMPARE(p.picker->GetResultRect(), QRect(10, 10, 40, 60));
    }

    void stillMouseCausesNoRepaints()
    {
        PickerFixture p({QRect(0, 0, 300, 300), QRect(400, 0, 300, 300)});
        p.show();
        QTest::qWait(100); // the paints of showing it
        PaintCounter paints(p.picker.get());
        QTest::qWait(300);
        QCOMPARE(paints.count, 0);
        // A move into another window repaints; moving within it does not.
        moveMouse(p.picker.get(), QPoint(450, 50));
        QTest::qWait(50);
        QCOMPARE(paints.count, 1);
        moveMouse(p.picker.get(), QPoint(460, 60));
        QTest::qWait(300);
        QCOMPARE(paints.count, 1);
    }

    void paintsTheSelectionUndimmed()
    {
        PickerFixture p;
        QPixmap picture(p.picker->grabArea().size());
        picture.fill(QColor(200, 200, 200));
        p.picker->GrabFullScreen(picture);
        p.show();
        p.select(QPoint(100, 100), QPoint(300, 200));
        const QImage shown = p.picker->grab().toImage();
        QCOMPARE(QColor(shown.pixel(200, 150)), QColor(200, 200, 200));
        // dimmed: black at alpha 200 over 200 gives 200 * 55 / 255
        QCOMPARE(QColor(shown.pixel(500, 400)), QColor(43, 43, 43));
        // handles in the frame colour
        QCOMPARE(QColor(shown.pixel(200, 101)), QColor(255, 75, 50));
    }
};

QTEST_MAIN(TestRegionPicker)
#include "tst_regionpicker.moc"
