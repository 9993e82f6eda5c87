#include "DialogTests.h"

#include "MvChangeCursorShape.h"
#include "MvChangeCursorShapeCheckBox.h"
#include "MvChangeCursorShapeRadioButton.h"
#include "MvDragDialog.h"
#include "MvDragWidget.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include <functional>
#include <memory>

namespace {

// Sends a mouse event the way the application delivers it: to `w`, then up
// the parent chain while ignored.
void sendMouse(QWidget *w, QEvent::Type type, QPoint global, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    const QPointF local = w->mapFromGlobal(global);
    QMouseEvent e(type, local, local, QPointF(global), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// A drag gesture: press at `from`, move through the steps, release at the end.
void drag(QWidget *on, QPoint from, const QList<QPoint> &steps, Qt::MouseButton button = Qt::LeftButton,
          bool release = true)
{
    sendMouse(on, QEvent::MouseButtonPress, from, button, button);
    QPoint at = from;
    for (const QPoint &p : steps) {
        at = p;
        sendMouse(on, QEvent::MouseMove, at, Qt::NoButton, button);
    }
    if (release)
        sendMouse(on, QEvent::MouseButtonRelease, at, button, Qt::NoButton);
}

// Records the presses that reach it.
class PressRecorder : public QWidget
{
public:
    using QWidget::QWidget;
    QList<Qt::MouseButton> presses;

protected:
    void mousePressEvent(QMouseEvent *e) override { presses << e->button(); }
};

struct DialogFixture
{
    DialogFixture()
    {
        dialog.setWindowFlags(dialog.windowFlags() | Qt::SplashScreen);
        dialog.setGeometry(100, 120, 300, 200);
        label = new QLabel(QStringLiteral("title"), &dialog);
        label->setGeometry(10, 10, 100, 20);
        button = new QPushButton(QStringLiteral("ok"), &dialog);
        button->setGeometry(10, 60, 80, 30);
        dialog.show();
    }
    QWidget *part(const QString &name)
    {
        if (name == QLatin1String("label"))
            return label;
        if (name == QLatin1String("button"))
            return button;
        return &dialog;
    }
    QPoint globalIn(QWidget *w) { return w->mapToGlobal(w->rect().center()); }

    MvDragDialog dialog;
    QLabel *label;
    QPushButton *button;
};

} // namespace

class TestDrag : public QObject
{
    Q_OBJECT

private slots:
    void dialogMovesByTravel_data()
    {
        QTest::addColumn<QString>("part");
        QTest::addColumn<int>("button");
        QTest::addColumn<QPoint>("expected");
        // Two steps: (+30, -20) then (+10, +5); relative moves add up.
        QTest::newRow("empty area, left") << "dialog" << int(Qt::LeftButton) << QPoint(40, -15);
        QTest::newRow("label, left") << "label" << int(Qt::LeftButton) << QPoint(40, -15);
        QTest::newRow("push button, left") << "button" << int(Qt::LeftButton) << QPoint(0, 0);
        QTest::newRow("empty area, right") << "dialog" << int(Qt::RightButton) << QPoint(0, 0);
        QTest::newRow("empty area, middle") << "dialog" << int(Qt::MiddleButton) << QPoint(0, 0);
    }
    void dialogMovesByTravel()
    {
        QFETCH(QString, part);
        QFETCH(int, button);
        QFETCH(QPoint, expected);
        DialogFixture f;
        const QPoint before = f.dialog.pos();
        QWidget *on = f.part(part);
        const QPoint start = f.globalIn(on);
        drag(on, start, {start + QPoint(30, -20), start + QPoint(40, -15)}, Qt::MouseButton(button));
        QCOMPARE(f.dialog.pos() - before, expected);
    }

    void releaseEndsTheDrag()
    {
        DialogFixture f;
        const QPoint start = f.globalIn(&f.dialog);
        drag(&f.dialog, start, {start + QPoint(5, 5)});
        const QPoint after = f.dialog.pos();
        // Left held again without a press on the dialog: no drag.
        sendMouse(&f.dialog, QEvent::MouseMove, start + QPoint(50, 50), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(f.dialog.pos(), after);
    }

    void rightReleaseDoesNotEndTheDrag()
    {
        DialogFixture f;
        const QPoint start = f.globalIn(&f.dialog);
        const QPoint before = f.dialog.pos();
        sendMouse(&f.dialog, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        sendMouse(&f.dialog, QEvent::MouseButtonRelease, start, Qt::RightButton, Qt::LeftButton);
        sendMouse(&f.dialog, QEvent::MouseMove, start + QPoint(7, 3), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(f.dialog.pos() - before, QPoint(7, 3));
    }

    void lostReleaseDoesNotMove()
    {
        DialogFixture f;
        f.dialog.setMouseTracking(true);
        const QPoint start = f.globalIn(&f.dialog);
        const QPoint before = f.dialog.pos();
        drag(&f.dialog, start, {}, Qt::LeftButton, /*release*/ false);
        sendMouse(&f.dialog, QEvent::MouseMove, start + QPoint(25, 25), Qt::NoButton, Qt::NoButton);
        QCOMPARE(f.dialog.pos(), before);
    }

    void pressReachesTheParent_data()
    {
        QTest::addColumn<int>("button");
        QTest::newRow("left") << int(Qt::LeftButton);
        QTest::newRow("right") << int(Qt::RightButton);
    }
    void pressReachesTheParent()
    {
        QFETCH(int, button);
        QWidget top;
        auto *recorder = new PressRecorder(&top);
        auto *dragger = new MvDragWidget(recorder);
        dragger->resize(50, 20);
        top.show();
        sendMouse(dragger, QEvent::MouseButtonPress, dragger->mapToGlobal(QPoint(5, 5)),
                  Qt::MouseButton(button), Qt::MouseButton(button));
        QCOMPARE(recorder->presses, QList<Qt::MouseButton>{Qt::MouseButton(button)});
    }

    void dragWidgetMovesItsGrandparent()
    {
        QWidget top;
        top.setWindowFlags(Qt::FramelessWindowHint);
        top.setGeometry(200, 150, 400, 300);
        auto *middle = new QWidget(&top);
        middle->setGeometry(0, 0, 400, 40);
        auto *bar = new MvDragWidget(middle);
        bar->setGeometry(0, 0, 400, 30);
        auto *title = new QLabel(QStringLiteral("t"), bar);
        title->setGeometry(5, 5, 40, 20);
        top.show();
        const QPoint before = top.pos();
        const QPoint start = title->mapToGlobal(QPoint(3, 3));
        drag(title, start, {start + QPoint(-12, 9), start + QPoint(-20, 30)});
        QCOMPARE(top.pos() - before, QPoint(-20, 30));
        QCOMPARE(middle->pos(), QPoint(0, 0));
        QCOMPARE(bar->pos(), QPoint(0, 0));
    }

    void dragWidgetWithoutGrandparentMovesNothing_data()
    {
        QTest::addColumn<bool>("withParent");
        QTest::newRow("parent is the window") << true;
        QTest::newRow("no parent") << false;
    }
    void dragWidgetWithoutGrandparentMovesNothing()
    {
        QFETCH(bool, withParent);
        std::unique_ptr<QWidget> top(withParent ? new QWidget : nullptr);
        std::unique_ptr<MvDragWidget> own(withParent ? nullptr : new MvDragWidget);
        MvDragWidget *w = withParent ? new MvDragWidget(top.get()) : own.get();
        QWidget *window = w->window();
        window->setGeometry(50, 60, 200, 100);
        window->show();
        const QPoint before = window->pos();
        const QPoint start = w->mapToGlobal(QPoint(2, 2));
        drag(w, start, {start + QPoint(10, 10), start + QPoint(20, 5)});
        QCOMPARE(window->pos(), before);
        QCOMPARE(w->pos(), withParent ? QPoint(0, 0) : before);
    }

    void hoverShowsPointingHand_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("push button") << "button";
        QTest::newRow("check box") << "check";
        QTest::newRow("radio button") << "radio";
    }
    void hoverShowsPointingHand()
    {
        QFETCH(QString, kind);
        std::unique_ptr<QWidget> w;
        if (kind == QLatin1String("button"))
            w.reset(new MvChangeCursorShape);
        else if (kind == QLatin1String("check"))
            w.reset(new MvChangeCursorShapeCheckBox);
        else
            w.reset(new MvChangeCursorShapeRadioButton);
        w->show();
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(w.get(), &enter);
        QCOMPARE(w->cursor().shape(), Qt::PointingHandCursor);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(w.get(), &leave);
        QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
    }
};

QObject *createDragTests()
{
    return new TestDrag;
}

#include "tst_drag.moc"
