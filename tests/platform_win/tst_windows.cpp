// What the desktop tells of its windows: the top-level windows and whether a
// compositor runs. Runs twice: offscreen, where only steered answers exist,
// and on the xcb platform under a private X server, which has no compositor
// until the test claims to be one.
#include "Compositor.h"
#include "TopLevelWindows.h"

#include <QtTest>

#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>

using mvplatform::Compositor;
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

// A client of its own that owns the compositor's selection while it lives,
// as a compositing manager does.
class CompositorStandIn
{
public:
    CompositorStandIn()
    {
        int screen = 0;
        m_c = xcb_connect(nullptr, &screen);
        if (xcb_connection_has_error(m_c))
            return;
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_c));
        for (int i = 0; i < screen; ++i)
            xcb_screen_next(&it);
        const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
        xcb_intern_atom_reply_t *atom =
            xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, uint16_t(name.size()), name.constData()), nullptr);
        if (!atom)
            return;
        const xcb_window_t owner = xcb_generate_id(m_c);
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, owner, it.data->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_set_selection_owner(m_c, owner, atom->atom, XCB_CURRENT_TIME);
        std::free(atom);
        xcb_flush(m_c);
        m_ok = true;
    }
    ~CompositorStandIn() { xcb_disconnect(m_c); }
    bool ok() const { return m_ok; }

private:
    xcb_connection_t *m_c = nullptr;
    bool m_ok = false;
};

} // namespace

class TestWindows : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void steeredListIsAnsweredAsGiven();
    void offscreenHasNoWindows();
    void x11ListsViewableWindowsTopmostFirst();
    void x11CompositorIsTheSelectionsOwner();

private:
    void show(QWidget &w, const QRect &geometry);
};

void TestWindows::cleanup()
{
    TopLevelWindows::reset();
    Compositor::reset();
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

void TestWindows::x11CompositorIsTheSelectionsOwner()
{
    if (!onX11())
        QSKIP("needs an X server");
    Compositor::reset();
    QVERIFY(!Compositor::isPresent());
    {
        CompositorStandIn compositor;
        QVERIFY(compositor.ok());
        QTRY_VERIFY(Compositor::isPresent());
        // Steering outranks the server.
        Compositor::steer(false);
        QVERIFY(!Compositor::isPresent());
        Compositor::reset();
    }
    // The owner's connection closed: the selection is free again.
    QTRY_VERIFY(!Compositor::isPresent());
}

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
