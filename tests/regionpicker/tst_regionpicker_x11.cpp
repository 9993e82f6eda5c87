#include "FacadeFixture.h"
#include "ModalDriver.h"
#include "ModalWatchdog.h"
#include "MouseMoves.h"
#include "MvScreenShotDialog.h"
#include "UiSetCaptureScreen.h"

#include <QPushButton>
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

QColor desktopColourAt(QPoint p)
{
    MvScreenShotDialog whole(0, 0, 0, 0);
    return QColor(whole.GrabDesktop().toImage().pixel(p));
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

    // Without a window manager nothing minimises a window: the page's
    // window leaves the screen at once, the picker comes as soon as the
    // display server has taken it off (not at the end of a wait for a
    // minimise that never happens), its picture holds no trace of the
    // window, and the window then comes back.
    void regionPickerComesAtOnceWithoutTheWindow()
    {
        testsupport::ModalWatchdog watchdog{8000};
        testsupport::FacadeFixture f;
        QCOMPARE(f.init(), 0);
        auto top = colouredWindow(QRect(200, 150, 500, 760), QColor(255, 0, 0));
        auto *page = new UiSetCaptureScreen(top.get());
        page->setLiveProxy(f.proxy.get());
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(top.get()));
        // Beside the page, the window shows red on the screen.
        const QPoint beside(200 + 400, 150 + 100);
        QTRY_COMPARE(desktopColourAt(beside), QColor(255, 0, 0));

        bool hidden = false;
        bool unexposed = false;
        QColor pickedFrom;
        testsupport::ModalDriver driver;
        driver.onNext([&](QWidget *window) {
            hidden = !top->isVisible();
            unexposed = top->windowHandle() && !top->windowHandle()->isExposed();
            auto *picker = qobject_cast<MvScreenShotDialog *>(window);
            QVERIFY(picker);
            pickedFrom = QColor(picker->desktopPicture().toImage().pixel(beside));
            testsupport::dragMouse(window, QPoint(10, 10), QPoint(60, 50));
            QTest::keyClick(window, Qt::Key_Return);
        });
        page->findChild<QPushButton *>(QStringLiteral("manualscreencapturebtn"))->click();
        QVERIFY(driver.waitDone());
        QVERIFY2(driver.errors().isEmpty(), qPrintable(driver.errors().join(QLatin1Char('\n'))));
        QVERIFY(hidden);
        QVERIFY2(unexposed, "the picker came before the window left the screen");
        QVERIFY(pickedFrom.isValid());
        QVERIFY2(pickedFrom != QColor(255, 0, 0), "the picture caught the window");
        QCOMPARE(f.callsOf("AddScreenCapture"), QStringList{QStringLiteral("AddScreenCapture(0,10,10,50,40)")});

        // Back on the screen, not minimised.
        QVERIFY(top->isVisible());
        QVERIFY(!top->isMinimized());
        QTRY_COMPARE(desktopColourAt(beside), QColor(255, 0, 0));
    }
};

QTEST_MAIN(TestRegionPickerX11)
#include "tst_regionpicker_x11.moc"
