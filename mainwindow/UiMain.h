#pragma once

#include <QSystemTrayIcon>
#include <QWidget>

class LayeredShadowWindow;
class LiveProxy;
class MvListener;
class OwnedWindowsOnTop;
class QAction;
class QMenu;
class SysConfig;
class UiSetBeauty;
class UiSetLiving;
class UiTitleBar;
class UiWorking;
class login;

namespace Ui {
class UiMain;
}

// The program's only top-level window: the frameless 1200 x 788 window with
// the title bar above the workspace. It creates the settings store and the
// callback bridge, obtains the facade and hands them down the widget tree;
// it owns the tray icon, the one-second tick of the facade, and the close
// and quit behaviour.
class UiMain : public QWidget
{
    Q_OBJECT

public:
    explicit UiMain(QWidget *parent = nullptr);
    // Ends the facade's work (broadcast, recording, login, scene) before the
    // widgets the engine draws into go, then writes the settings file. The
    // listener goes too, once the facade no longer calls it.
    ~UiMain() override;

    // Start-up wiring; the workspace's engine start result (negative: the
    // scene could not start and nothing else was wired).
    int Init();
    // The same on a given facade (tests make their own).
    int initWith(LiveProxy *liveProxy);

    UiTitleBar *titleBar() const { return m_titleBar; }
    UiWorking *workspace() const { return m_working; }
    QSystemTrayIcon *trayIcon() const { return m_trayIcon; }
    QMenu *trayMenu() const { return m_trayMenu; }
    SysConfig *config() const { return m_config; }
    MvListener *listener() const { return m_listener; }

public slots:
    void onClose();
    void on_quit();
    void showminiWnd();
    void trayiconActivated(QSystemTrayIcon::ActivationReason reason);

protected:
    void timerEvent(QTimerEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override;

private:
    void CreateChildren();
    void CreateTrayIcon();
    void connectListener();

    Ui::UiMain *ui;
    QWidget *m_titleContainer = nullptr;
    QWidget *m_workingContainer = nullptr;
    UiTitleBar *m_titleBar = nullptr;
    UiWorking *m_working = nullptr;
    UiSetBeauty *m_setBeauty = nullptr;
    login *m_login = nullptr;
    UiSetLiving *m_setLiving = nullptr;
    QSystemTrayIcon *m_trayIcon = nullptr;
    QAction *m_quitAction = nullptr;
    QMenu *m_trayMenu = nullptr;
    LiveProxy *m_liveProxy = nullptr;
    MvListener *m_listener = nullptr;
    SysConfig *m_config = nullptr;
    int m_timerId = 0;
    LayeredShadowWindow *m_shadow = nullptr;
    OwnedWindowsOnTop *m_ownedOnTop = nullptr; // child of the window
};
