// The main window on a real X server without a window manager: nothing keeps
// a dialog above its window there but the order the windows are raised in,
// and nothing but the program decides whether a click on its tray icon
// gets through while a dialog is open.
#include "FacadeFixture.h"
#include "ModalDriver.h"
#include "ModalWatchdog.h"
#include "MouseMoves.h"
#include "MvClickTextEdit.h"
#include "SysConfig.h"
#include "TempEnvironment.h"
#include "TopLevelWindows.h"
#include "UiInsertPicWidget.h"
#include "UiMain.h"
#include "UiSampleWidget.h"
#include "UiScreenItemControlWidget.h"
#include "UiSetBeauty.h"
#include "UiSetLiving.h"
#include "UiSetPicture.h"
#include "UiSetSubtitle.h"
#include "UiSetting.h"
#include "UiTitleBar.h"
#include "UiWorking.h"

#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLinearGradient>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QUrl>
#include <QtTest>

#include <xcb/xcb.h>

#include <memory>

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

// A picture of the kind a broadcaster adds: the program's colours and a word.
QString posterPicture(const QString &path)
{
    QImage img(400, 225, QImage::Format_ARGB32);
    QPainter p(&img);
    QLinearGradient fill(0, 0, 400, 225);
    fill.setColorAt(0, QColor(0xff, 0x46, 0x46));
    fill.setColorAt(1, QColor(0xff, 0x55, 0x00));
    p.fillRect(img.rect(), fill);
    p.setPen(Qt::white);
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(56);
    font.setBold(true);
    p.setFont(font);
    p.drawText(img.rect(), Qt::AlignCenter, QStringLiteral("今晚八点"));
    p.end();
    img.save(path, "PNG");
    return path;
}

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
    void closeHidesOnlyWhereATrayBringsItBack_data();
    void closeHidesOnlyWhereATrayBringsItBack();
    void sceneBuiltThroughThePanels();
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

void MainWindowX11Test::closeHidesOnlyWhereATrayBringsItBack_data()
{
    QTest::addColumn<bool>("tray");
    QTest::newRow("tray: hidden") << true;
    QTest::newRow("no tray: minimised") << false;
}

// The close button with the first start's "隐藏窗口": hidden behind the tray
// icon, or minimised where no tray could bring a hidden window back.
void MainWindowX11Test::closeHidesOnlyWhereATrayBringsItBack()
{
    QFETCH(bool, tray);
    std::unique_ptr<SelectionTray> panel;
    if (tray)
        panel = std::make_unique<SelectionTray>();
    QTRY_COMPARE(QSystemTrayIcon::isSystemTrayAvailable(), tray);
    FacadeFixture f;
    UiMain window;
    QCOMPARE(window.initWith(f.proxy.get()), 0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.titleBar()->findChild<QPushButton *>(QStringLiteral("CloseButton")), Qt::LeftButton);
    QCOMPARE(window.isVisible(), !tray);
    QCOMPARE(window.isMinimized(), !tray);
}

// The scene a broadcaster builds through the panels, signed in: the camera
// chosen and opened with one-key beauty, a picture dropped on the picture
// page, a sticker and a subtitle; the item list holds them and the preview
// shows them. With MORVASHOW_SCREENSHOT set, the window's grab is saved
// there (scripts/screenshot.sh makes the README's picture this way).
void MainWindowX11Test::sceneBuiltThroughThePanels()
{
    testsupport::ModalWatchdog watchdog{8000};
    FacadeFixture f;
    QVERIFY(f.env.copyEffectFolder()); // the pages read their samples when they are made
    QDir().mkpath(QFileInfo(SysConfig::filePath()).absolutePath());
    {
        QFile settings(SysConfig::filePath());
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(R"({"account":{"name":"mvanchor","token":"token-mvanchor","auto_login":true,"zone":"+86","mode":1}})");
    }
    UiMain window;
    QCOMPARE(window.initWith(f.proxy.get()), 0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY_WITH_TIMEOUT(f.proxy->isLoggedIn(), 30000);
    UiWorking *work = window.workspace();
    auto *tabs = work->findChild<UiSetting *>();
    QVERIFY(tabs);
    const auto tab = [&](const char *name) {
        QTest::mouseClick(tabs->findChild<QWidget *>(QLatin1String(name)), Qt::LeftButton);
    };

    // The camera page: the world's camera at 1280x720, opened, one-key beauty.
    UiSetBeauty *camera = work->getSetBeauty();
    auto *cameras = camera->findChild<QComboBox *>(QStringLiteral("CameracomboBox"));
    auto *formats = camera->findChild<QComboBox *>(QStringLiteral("CameracomboBox_resolution"));
    cameras->setCurrentIndex(cameras->findText(QStringLiteral("USB2.0 HD Camera")));
    QVERIFY(cameras->currentIndex() >= 0);
    QTest::mouseClick(formats, Qt::LeftButton); // lists the camera's formats
    formats->hidePopup();
    const int format = formats->findText(QStringLiteral("1280x720, 30FPS"), Qt::MatchContains);
    QVERIFY(format >= 0);
    formats->setCurrentIndex(format);
    QTest::mouseClick(camera->findChild<QPushButton *>(QStringLiteral("openCameraBtn")), Qt::LeftButton);
    QTRY_VERIFY(camera->cameraItemId() > 0);
    QTest::mouseClick(camera->findChild<QPushButton *>(QStringLiteral("KeyBeautyBtn")), Qt::LeftButton);
    QCOMPARE(camera->findChild<QSlider *>(QStringLiteral("skinwhiteSlider"))->value(), 60);
    QCOMPARE(camera->findChild<QSlider *>(QStringLiteral("exfoliatSLider"))->value(), 50);

    // The picture page: a picture dropped on its add button, a sticker picked.
    tab("pushButton_addpic");
    UiSetPicture *pictures = tabs->getSetPicture();
    testsupport::dropFile(pictures->getInsertPicWidget()->findChild<QWidget *>(QStringLiteral("pushButton_adddragpic")),
             posterPicture(f.env.workPath() + QStringLiteral("/poster.png")));
    QTRY_COMPARE(pictures->getInsertPicWidget()->pictures().size(), 1);
    auto *samples = pictures->getSampleWidget()->findChild<QTableWidget *>(QStringLiteral("widgetsSamplesTableWidget"));
    QTest::mouseClick(samples->cellWidget(0, 1), Qt::LeftButton);

    // The subtitle page: a line, scrolling.
    tab("pushButton_effectsubtitle");
    UiSetSubtitle *subtitles = tabs->getSetSubtitle();
    subtitles->findChild<MvClickTextEdit *>(QStringLiteral("textEdit_subtitle"))->setPlainText(QStringLiteral("欢迎来到摩瓦星播台"));
    QTest::mouseClick(subtitles->findChild<QPushButton *>(QStringLiteral("pushButton_addsubtitle")), Qt::LeftButton);
    QVERIFY(subtitles->subtitleItemId() > 0);

    // Back on the camera page, as the picture shows it.
    tab("pushButton_beauty");
    QVERIFY(camera->isVisible());
    UiScreenItemControlWidget *list = work->getSetLiving()->getScreenItemControl();
    QCOMPARE(list->recordCount(), 3);
    QStringList described;
    for (int i = 0; i < list->recordCount(); ++i)
        described << QString::fromUtf8(list->recordAt(i).description);
    QCOMPARE(described.size(), 3);
    QVERIFY2(described.contains(QStringLiteral("字幕")), qPrintable(described.join(QLatin1Char(','))));
    QVERIFY(watchdog.firedOn().isEmpty());

    // The preview shows the camera's moving picture with the rest on it.
    QWidget *surface = work->findChild<QWidget *>(QStringLiteral("widget_preview"));
    QVERIFY(surface);
    const auto grab = [&] { return QGuiApplication::primaryScreen()->grabWindow(surface->winId()).toImage(); };
    const QImage first = grab();
    QTRY_VERIFY_WITH_TIMEOUT(grab() != first, 20000);
    // The subtitle has scrolled in: its white line whole inside the
    // template's text area (the template 420 x 90, 50 above the bottom).
    const QRect area((1280 - 420) / 2 + 77, 720 - 90 - 50 + 30, 320, 30);
    const auto lineShown = [&] {
        const QImage canvas = castcore::control().engine()->lastCanvas();
        QRect ink;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                const QRgb p = canvas.pixel(x, y);
                if (qRed(p) > 230 && qGreen(p) > 230 && qBlue(p) > 230)
                    ink |= QRect(x, y, 1, 1);
            }
        }
        return ink.width() > 200 && ink.right() < area.right() - 10;
    };
    QTRY_VERIFY_WITH_TIMEOUT(lineShown(), 60000);

    if (!qEnvironmentVariableIsEmpty("MORVASHOW_SCREENSHOT")) {
        const QString path = qEnvironmentVariable("MORVASHOW_SCREENSHOT");
        QVERIFY(QGuiApplication::primaryScreen()->grabWindow(window.winId()).save(path, "PNG"));
    }
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
