// The desktop's top-level windows. Runs twice: offscreen, where only the
// steered list exists, and on the xcb platform under a private X server,
// where the windows are the server's own.
#include "TopLevelWindows.h"

#include <QtTest>

#include <QWidget>

using mvplatform::TopLevelWindow;
using mvplatform::TopLevelWindows;

namespace {

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

int indexOf(const QVector<TopLevelWindow> &list, const QWidget &w)
{
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).id == w.winId())
            return i;
    }
    return -1;
}

QRect rectOf(const QVector<TopLevelWindow> &list, const QWidget &w)
{
    const int i = indexOf(list, w);
    return i < 0 ? QRect() : list.at(i).rect;
}

} // namespace

class TestWindows : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void steeredListIsAnsweredAsGiven();
    void offscreenHasNoWindows();
    void x11ListsViewableWindowsTopmostFirst();

private:
    void show(QWidget &w, const QRect &geometry);
};

void TestWindows::cleanup()
{
    TopLevelWindows::reset();
}

void TestWindows::show(QWidget &w, const QRect &geometry)
{
    w.setGeometry(geometry);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
}

void TestWindows::steeredListIsAnsweredAsGiven()
{
    QVector<TopLevelWindow> steered(2);
    steered[0].id = 77;
    steered[0].rect = QRect(10, 20, 300, 200);
    steered[1].id = 5;
    steered[1].rect = QRect(-5, 0, 1280, 1024);
    TopLevelWindows::steer(steered);
    const QVector<TopLevelWindow> got = TopLevelWindows::list();
    QCOMPARE(got.size(), 2);
    QCOMPARE(got[0].id, WId(77));
    QCOMPARE(got[0].rect, QRect(10, 20, 300, 200));
    QCOMPARE(got[1].id, WId(5));
    QCOMPARE(got[1].rect, QRect(-5, 0, 1280, 1024));

    TopLevelWindows::steer({});
    QVERIFY(TopLevelWindows::list().isEmpty());
}

void TestWindows::offscreenHasNoWindows()
{
    if (onX11())
        QSKIP("the offscreen platform's answer");
    QWidget w;
    show(w, QRect(100, 100, 200, 100));
    QVERIFY(TopLevelWindows::list().isEmpty());
}

void TestWindows::x11ListsViewableWindowsTopmostFirst()
{
    if (!onX11())
        QSKIP("needs an X server");
    QWidget lower;
    QWidget upper;
    show(lower, QRect(100, 120, 300, 200));
    show(upper, QRect(150, 170, 200, 100));

    // Without a window manager the windows are the root's own children, at
    // the places asked for; the later one is on top.
    QTRY_VERIFY(indexOf(TopLevelWindows::list(), upper) >= 0);
    QVector<TopLevelWindow> list = TopLevelWindows::list();
    QVERIFY(indexOf(list, lower) >= 0);
    QCOMPARE(rectOf(list, lower), QRect(100, 120, 300, 200));
    QCOMPARE(rectOf(list, upper), QRect(150, 170, 200, 100));
    QVERIFY(indexOf(list, upper) < indexOf(list, lower));

    lower.raise();
    QTRY_VERIFY(indexOf(TopLevelWindows::list(), lower) < indexOf(TopLevelWindows::list(), upper));

    // A hidden window is not viewable, and never listed; only viewable ones are.
    upper.hide();
    QTRY_COMPARE(indexOf(TopLevelWindows::list(), upper), -1);
    QWidget never;
    never.setGeometry(10, 10, 50, 50);
    (void)never.winId(); // created, never mapped
    list = TopLevelWindows::list();
    QCOMPARE(indexOf(list, never), -1);
    QCOMPARE(rectOf(list, lower), QRect(100, 120, 300, 200));

    // A moved window is listed where it is now.
    lower.move(40, 30);
    QTRY_COMPARE(rectOf(TopLevelWindows::list(), lower), QRect(40, 30, 300, 200));
}

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
