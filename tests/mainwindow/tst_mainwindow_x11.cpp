// The main window on a real X server without a window manager: nothing keeps
// a dialog above its window there but the order the windows are raised in,
// and nothing but the program decides whether a click on its tray icon
// gets through while a dialog is open.
#include "FacadeFixture.h"
#include "ModalDriver.h"
#include "ModalWatchdog.h"
#include "TempEnvironment.h"
#include "TopLevelWindows.h"
#include "UiMain.h"
#include "UiTitleBar.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QtTest>

#include <xcb/xcb.h>

using testsupport::FacadeFixture;
using testsupport::ModalDriver;

namespace {

// Place of a window in the X server's stacking order, topmost first; -1 when
// it is not on the screen.
int stackPlace(WId id)
{
    const QVector<mvplatform::TopLevelWindow> windows = mvplatform::TopLevelWindows::list();
    for (int i = 0; i < windows.size(); ++i) {
        if (windows.at(i).id == id)
            return i;
    }
    return -1;
}

bool above(QWidget *upper, QWidget *lower)
{
    const int u = stackPlace(upper->winId());
    const int l = stackPlace(lower->winId());
    return u >= 0 && l >= 0 && u < l;
}

// A system tray as a desktop panel offers one: the owner of the tray
// selection, on a connection of its own. It docks nothing; the icon's
// window takes clicks all the same.
class SelectionTray
{
public:
    SelectionTray()
    {
        int screen = 0;
        m_connection = xcb_connect(nullptr, &screen);
        if (xcb_connection_has_error(m_connection))
            return;
        const xcb_setup_t *setup = xcb_get_setup(m_connection);
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
        for (int i = 0; i < screen; ++i)
            xcb_screen_next(&it);
        m_window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, it.data->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen);
        xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(name.size()), name.constData()), nullptr);
        if (!atom)
            return;
        xcb_set_selection_owner(m_connection, m_window, atom->atom, XCB_CURRENT_TIME);
        free(atom);
        xcb_flush(m_connection);
    }
    ~SelectionTray() { xcb_disconnect(m_connection); }

private:
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_window = 0;
};

QWidget *trayIconWidget()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("QSystemTrayIconSys"))
            return w;
    }
    return nullptr;
}

} // namespace

class MainWindowX11Test : public QObject
{
    Q_OBJECT

private slots:
    void dialogsOpenAboveTheRaisedWindow_data();
    void dialogsOpenAboveTheRaisedWindow();
    void trayMenuOpensWhileTheLoginDialogShows();
    void realProgramLoadsNoGlDriver();
};

void MainWindowX11Test::dialogsOpenAboveTheRaisedWindow_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("close");
    QTest::newRow("settings") << QStringLiteral("SettingButton") << QStringLiteral("pushButton_close");
    QTest::newRow("login") << QStringLiteral("showloginButton") << QStringLiteral("button_close");
}

void MainWindowX11Test::dialogsOpenAboveTheRaisedWindow()
{
    QFETCH(QString, button);
    QFETCH(QString, close);
    testsupport::ModalWatchdog watchdog{8000};
    FacadeFixture f;
    UiMain window;
    QCOMPARE(window.initWith(f.proxy.get()), 0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *open = window.titleBar()->findChild<QPushButton *>(button);
    QVERIFY(open);

    // Opened once, then the window is raised over where the dialog was, as
    // a second start of the program raises it.
    bool firstAbove = false;
    ModalDriver driver;
    driver.onNext([&](QWidget *dialog) {
        firstAbove = QTest::qWaitFor([&] { return above(dialog, &window); }, 3000);
        ModalDriver::press(dialog, close);
    });
    QTest::mouseClick(open, Qt::LeftButton);
    QVERIFY(driver.waitDone());
    QVERIFY(firstAbove);
    window.showNormal();
    window.raise();
    window.activateWindow();
    QTRY_VERIFY(stackPlace(window.winId()) == 0);

    bool secondAbove = false;
    driver.onNext([&](QWidget *dialog) {
        secondAbove = QTest::qWaitFor([&] { return above(dialog, &window); }, 3000);
        ModalDriver::press(dialog, close);
    });
    QTest::mouseClick(open, Qt::LeftButton);
    QVERIFY(driver.waitDone());
    QVERIFY2(driver.errors().isEmpty(), qPrintable(driver.errors().join(QLatin1Char('\n'))));
    QVERIFY2(secondAbove, "the dialog opened beneath the main window");
}

void MainWindowX11Test::trayMenuOpensWhileTheLoginDialogShows()
{
    testsupport::ModalWatchdog watchdog{8000};
    SelectionTray tray;
    QTRY_VERIFY(QSystemTrayIcon::isSystemTrayAvailable());
    FacadeFixture f;
    UiMain window;
    QCOMPARE(window.initWith(f.proxy.get()), 0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget *icon = trayIconWidget();
    QVERIFY(icon && icon->windowHandle());

    // Without a dialog the right button opens the menu.
    QTest::mousePress(icon->windowHandle(), Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    QTRY_VERIFY(window.trayMenu()->isVisible());
    window.trayMenu()->hide();
    QTest::mouseRelease(icon->windowHandle(), Qt::RightButton, Qt::NoModifier, QPoint(5, 5));

    bool menuOpened = false;
    bool restored = false;
    bool dialogAbove = false;
    ModalDriver driver;
    driver.onNext([&](QWidget *dialog) {
        QTest::mousePress(icon->windowHandle(), Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
        menuOpened = QTest::qWaitFor([&] { return window.trayMenu()->isVisible(); }, 2000);
        window.trayMenu()->hide();
        QTest::mouseRelease(icon->windowHandle(), Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
        // A single click restores and raises the window; the dialog, which
        // holds the window's input, stays above it.
        window.hide();
        QTest::mouseClick(icon->windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        restored = QTest::qWaitFor([&] { return window.isVisible(); }, 2000);
        dialogAbove = QTest::qWaitFor([&] { return stackPlace(dialog->winId()) == 0 && above(dialog, &window); }, 3000);
        ModalDriver::press(dialog, QStringLiteral("button_close"));
    });
    QTest::mouseClick(window.titleBar()->findChild<QPushButton *>(QStringLiteral("showloginButton")), Qt::LeftButton);
    QVERIFY(driver.waitDone());
    QVERIFY2(driver.errors().isEmpty(), qPrintable(driver.errors().join(QLatin1Char('\n'))));
    QVERIFY2(menuOpened, "the tray menu did not open while the login dialog showed");
    QVERIFY2(restored, "a click on the tray icon did not restore the window while the login dialog showed");
    QVERIFY2(dialogAbove, "the restored window covers the login dialog");
}

// Nothing in the program draws with OpenGL: a GL driver loaded for its
// windows (Mesa's software one pulls in LLVM) would only slow its start and
// take some 50 MiB.
void MainWindowX11Test::realProgramLoadsNoGlDriver()
{
    testsupport::TempEnvironment env;
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.setStandardOutputFile(QProcess::nullDevice());
    program.start(QStringLiteral(MVSHOW_PATH), QStringList());
    QVERIFY(program.waitForStarted(10000));
    const auto windowShown = [] {
        for (const mvplatform::TopLevelWindow &w : mvplatform::TopLevelWindows::list())
            if (w.rect.size() == QSize(1200, 788))
                return true;
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(windowShown() || program.state() != QProcess::Running, 60000);
    QCOMPARE(program.state(), QProcess::Running);
    QFile maps(QStringLiteral("/proc/%1/maps").arg(program.processId()));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    program.kill();
    QVERIFY(program.waitForFinished(10000));
    QVERIFY(mapped.contains("libQt5XcbQpa"));
    for (const char *library : {"libGLX_mesa", "_dri.so", "libLLVM"})
        QVERIFY2(!mapped.contains(library), library);
}

QTEST_MAIN(MainWindowX11Test)
#include "tst_mainwindow_x11.moc"
