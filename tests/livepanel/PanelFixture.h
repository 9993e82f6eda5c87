#pragma once

// The live panel on a started facade, wired to the listener and the facade
// as the main window wires it (queued), with a settings store of its own.

#include "SessionFixture.h"
#include "SysConfig.h"
#include "UiScreenItemControlWidget.h"
#include "UiSetLiving.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include <memory>

namespace paneltest {

class PanelFixture : public sessiontest::SessionFixture
{
public:
    PanelFixture()
    {
        config = std::make_unique<SysConfig>();
        // The program's nesting: main window -> workspace container ->
        // workspace -> panel.
        mainWindow = std::make_unique<QWidget>();
        auto *container = new QWidget(mainWindow.get());
        workspace = new QWidget(container);
        panel = std::make_unique<UiSetLiving>(workspace);
        panel->setConfig(config.get());
        panel->setLiveProxy(proxy.get());
        const auto q = Qt::QueuedConnection;
        QObject::connect(&listener, SIGNAL(signal_notifyLiveStatus(QString, int)), panel.get(),
                         SLOT(slot_onNotifyLiveStatus(QString, int)), q);
        QObject::connect(&listener, SIGNAL(signal_notifyAudioLevel(int, int)), panel.get(),
                         SLOT(slot_onNotifyLevel(int, int)), q);
        QObject::connect(&listener, SIGNAL(signal_notifyNewBlacker(int)), panel.get(), SLOT(slot_onNewBlacker(int)), q);
        QObject::connect(&listener, SIGNAL(signal_notifyNewBarrage(int, QString, QString, int)), panel.get(),
                         SLOT(slot_onNewBarrage(int, QString, QString, int)), q);
        QObject::connect(&listener, SIGNAL(signal_notifyDonaterMsg(QString, int)), panel.get(),
                         SLOT(slot_onDonaterMsg(QString, int)), q);
        QObject::connect(&listener, SIGNAL(signal_notifyAmberMsg(QString, int, QString, int)), panel.get(),
                         SLOT(slot_onAmberMsg(QString, int, QString, int)), q);
        QObject::connect(&listener, SIGNAL(signal_notifyMeritMsg(QString, int)), panel.get(),
                         SLOT(slot_onMeritMsg(QString, int)), q);
        QObject::connect(proxy.get(), SIGNAL(recordingFailed(QString)), panel.get(),
                         SLOT(slot_onRecordingFailed(QString)), q);
    }
    ~PanelFixture()
    {
        panel.reset();
    }

    template <typename T>
    T *child(const char *name) const
    {
        return panel->findChild<T *>(QString::fromLatin1(name));
    }
    QPushButton *playButton() const { return child<QPushButton>("playbtn"); }
    QCheckBox *recordBox() const { return child<QCheckBox>("recordbtn"); }
    QString clockText() const { return child<QLabel>("recordtimelabel")->text(); }

    void setRecordFolder(const QString &folder)
    {
        SysSettings sys;
        config->getSysConfig(sys);
        sys.recordPath = folder;
        config->setSysConfig(sys);
    }

    std::unique_ptr<SysConfig> config;
    std::unique_ptr<QWidget> mainWindow;
    QWidget *workspace = nullptr;
    std::unique_ptr<UiSetLiving> panel; // goes before its parents
};

} // namespace paneltest
