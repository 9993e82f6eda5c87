#include "MouseMoves.h"
#include "MvScreenShotDialog.h"

#include <QTest>
#include <QWidget>

namespace {

// A plain top-level window of one colour at a place on the screen.
std::unique_ptr<QWidget> colouredWindow(const QRect &geometry, const QColor &colour)
{
    auto w = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
    QPalette palette = w->palette();
    palette.setColor(QPalette::Window, colour);
    w->setPalette(palette);
    w->setAutoFillBackground(true);
    w->setGeometry(geometry);
    w->show();
    return w;
}

bool waitShown(QWidget *w)
{
    if (!QTest::qWaitForWindowExposed(w))
        return false;
    // The X server draws the window a little after it reports it exposed.
    QTest::qWait(200);
    return true;
}

} // namespace

class TestRegionPickerX11 : public QObject
{
    Q_OBJECT

private slots:
    void grabShowsTheDesktopAtItsPlace()
    {
        auto red = colouredWindow(QRect(100, 120, 200, 150), QColor(255, 0, 0));
        QVERIFY(waitShown(red.get()));

        MvScreenShotDialog whole(0, 0, 0, 0);
        const QImage all = whole.GrabDesktop().toImage();
        QCOMPARE(all.size(), QSize(1280, 1024));
        QCOMPARE(QColor(all.pixel(150, 170)), QColor(255, 0, 0));
        QCOMPARE(QColor(all.pixel(100, 120)), QColor(255, 0, 0));
        QCOMPARE(QColor(all.pixel(299, 269)), QColor(255, 0, 0));
        QVERIFY(QColor(all.pixel(300, 270)) != QColor(255, 0, 0));
        QVERIFY(QColor(all.pixel(99, 119)) != QColor(255, 0, 0));

        // A part of the desktop comes in its own coordinates.
        MvScreenShotDialog part(90, 110, 100, 100);
        const QImage cut = part.GrabDesktop().toImage();
        QCOMPARE(cut.size(), QSize(100, 100));
        QCOMPARE(QColor(cut.pixel(10, 10)), QColor(255, 0, 0));
        QVERIFY(QColor(cut.pixel(9, 9)) != QColor(255, 0, 0));
    }

    void framesTheTopmostWindowUnderTheMouse()
    {
        auto lower = colouredWindow(QRect(100, 100, 200, 150), QColor(0, 0, 255));
        auto upper = colouredWindow(QRect(200, 150, 200, 150), QColor(0, 255, 0));
        QVERIFY(waitShown(lower.get()));
        QVERIFY(waitShown(upper.get()));
        upper->raise();
        QTest::qWait(100);

        {
            MvScreenShotDialog picker(0, 0, 0, 0);
            picker.GrabFullScreen(picker.GrabDesktop());
            testsupport::moveMouse(&picker, QPoint(250, 200)); // inside both
            QCOMPARE(picker.currentRect(), QRect(200, 150, 200, 150));
            testsupport::moveMouse(&picker, QPoint(120, 110)); // the lower one only
            QCOMPARE(picker.currentRect(), QRect(100, 100, 200, 150));
        }

        lower->raise();
        QTest::qWait(100);
        MvScreenShotDialog picker(50, 50, 400, 400);
        picker.GrabFullScreen(picker.GrabDesktop());
        // Picker coordinates start at (50, 50).
        testsupport::moveMouse(&picker, QPoint(200, 150));
        QCOMPARE(picker.currentRect(), QRect(50, 50, 200, 150));
    }
};

QTEST_MAIN(TestRegionPickerX11)
#include "tst_regionpicker_x11.moc"
