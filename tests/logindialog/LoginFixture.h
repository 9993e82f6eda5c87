#pragma once

// The login dialog as the main window wires it: the real facade over the
// account-service layer, the listener's three sign-in signals queued to the
// dialog's slots, and the settings store on a real file in a temporary
// environment.

#include "FacadeFixture.h"
#include "MvListener.h"
#include "QrMark.h"
#include "SysConfig.h"
#include "login.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

#include <memory>

namespace logintest {

inline void writeSettings(const QByteArray &json)
{
    const QString path = SysConfig::filePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(json);
}

class LoginFixture
{
public:
    // `settings`: the settings file's content before the store opens it;
    // empty for no file.
    explicit LoginFixture(const QByteArray &settings = QByteArray())
    {
        qrmark::reset();
        if (!settings.isEmpty())
            writeSettings(settings);
        facade.proxy->setListener(&listener);
        config = std::make_unique<SysConfig>();
        dialog = std::make_unique<login>(nullptr);
        QObject::connect(&listener, SIGNAL(signal_loginReturn(QString, QString, QString, int)), dialog.get(),
                         SLOT(slot_onProxyLoginReturn(QString, QString, QString, int)), Qt::QueuedConnection);
        QObject::connect(&listener, SIGNAL(signal_loginStatus(int)), dialog.get(),
                         SLOT(slot_onProxyLoginStatus(int)), Qt::QueuedConnection);
        QObject::connect(&listener, SIGNAL(signal_receiveQRCode(QString, QString, int, int)), dialog.get(),
                         SLOT(slot_onReceiveQRCode(QString, QString, int, int)), Qt::QueuedConnection);
        dialog->setLiveProxy(proxy());
        dialog->setConfig(config.get());
        status = std::make_unique<QSignalSpy>(dialog.get(), SIGNAL(signal_notifyLoginStatus(QString, bool)));
        relogin = std::make_unique<QSignalSpy>(dialog.get(), SIGNAL(signal_notifyRelogin()));
    }

    ~LoginFixture()
    {
        authport::control().gates().openAll();
        dialog.reset();
        config.reset();
        facade.proxy->taskThread().waitIdle();
        qrmark::reset();
    }

    LiveProxy *proxy() const { return facade.proxy.get(); }
    mvplatform::CallLog &auth() const { return authport::control().log(); }

    // The account section of the settings file once the store has closed.
    QJsonObject savedAccount()
    {
        config.reset();
        QFile file(SysConfig::filePath());
        if (!file.open(QIODevice::ReadOnly))
            return QJsonObject();
        return QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("account")).toObject();
    }

    // Waits for the running job and for its queued answer to reach the dialog.
    void settle()
    {
        facade.proxy->taskThread().waitIdle();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    testsupport::FacadeFixture facade;
    MvListener listener;
    std::unique_ptr<SysConfig> config;
    std::unique_ptr<login> dialog;
    std::unique_ptr<QSignalSpy> status;
    std::unique_ptr<QSignalSpy> relogin;
};

} // namespace logintest
