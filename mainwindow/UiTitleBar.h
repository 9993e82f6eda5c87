#pragma once

#include "MvDragWidget.h"

#include <QString>

class LiveProxy;
class SysConfig;
class UiSysSetting;
class login;

namespace Ui {
class UiTitleBar;
}

// The strip at the top of the frameless main window: dragging it moves the
// main window (its grandparent). It carries the close, minimise and settings
// buttons, the own-room button, and either the login button or the user's
// name; it owns the login and settings dialogs for the whole run.
class UiTitleBar : public MvDragWidget
{
    Q_OBJECT

public:
    explicit UiTitleBar(QWidget *parent = nullptr);
    ~UiTitleBar() override;

    // The owner hands the store first, then the facade; both go on to the
    // login dialog and then to the settings dialog.
    void setConfig(SysConfig *config);
    void setLiveProxy(LiveProxy *liveProxy);

    login *loginDialog() const { return m_login; }
    UiSysSetting *settingsDialog() const { return m_sysSetting; }

    // The room page of a room, under the platform's web site.
    static QString roomPageUrl(int roomId);

signals:
    void on_closebtnclicked();
    void on_minibtnclicked();

public slots:
    // Logs out through the login dialog and shows the login button; the
    // settings dialog's logout link calls it.
    void logout();
    void showLoginState(bool loggedIn);
    void slot_onUserLoginStatus(QString name, bool logon);
    void slot_onUserRelogin();

private slots:
    void on_CloseButton_clicked();
    void on_MiniButton_clicked();
    void on_SettingButton_clicked();
    void on_showloginButton_clicked();
    void on_positionlivingbtn_clicked();
    void on_playernamebtn_clicked();

private:
    void createDialogs();
    void elideUserName();
    void tell(const QString &text);

    Ui::UiTitleBar *ui;
    LiveProxy *m_liveProxy = nullptr;
    SysConfig *m_config = nullptr;
    UiSysSetting *m_sysSetting = nullptr;
    login *m_login = nullptr;
};
