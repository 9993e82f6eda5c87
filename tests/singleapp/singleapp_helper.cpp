// A stand-in for the program's start for the single-instance tests: builds
// MvSingleApp and reports on stdout, one line per event, what a start sees.
//   second <ms>              this start found a running copy and ends (exit 0)
//   first listening=<0|1>    this start is the first copy
//   server=<path>            where the first copy's server listens
//   others=<0|1>             whether another mvShow process was counted
//   ready                    the main window is shown and another window
//                            is active, so a later activation is visible
//   connection <n>           a later start knocked (n-th time)
//   state minimized=<0|1>    the window's state changed
//   active                   the window became the active one
// Options: --no-window (no main window is handed over), --minimized (the
// window starts minimised), --close-server (the server stops answering).
#include "MvSingleApp.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QLocalServer>
#include <QWidget>

#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace {

void say(const QByteArray &line)
{
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class WindowWatch : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *w = static_cast<QWidget *>(watched);
        if (event->type() == QEvent::WindowStateChange)
            say("state minimized=" + QByteArray::number(w->isMinimized() ? 1 : 0));
        else if (event->type() == QEvent::WindowActivate)
            say("active");
        return false;
    }
};

// Says "ready" the first time the decoy window becomes active.
class DecoyWatch : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::WindowActivate && !m_said) {
            m_said = true;
            say("ready");
        }
        return false;
    }

private:
    bool m_said = false;
};

} // namespace

int main(int argc, char **argv)
{
    // Never outlive the test that started this copy, even if it crashes.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() == 1)
        return 1;

    QElapsedTimer clock;
    clock.start();
    MvSingleApp app(argc, argv);
    const qint64 decided = clock.elapsed();
    const QStringList args = app.arguments();

    say("others=" + QByteArray(HasOtherInstanceProcess(QString::fromLatin1(MvSingleApp::ImageName)) ? "1" : "0"));
    if (app.isRunning()) {
        say("second " + QByteArray::number(decided));
        return 0;
    }

    auto *server = app.findChild<QLocalServer *>();
    say("first listening=" + QByteArray(server && server->isListening() ? "1" : "0"));
    if (server)
        say("server=" + server->fullServerName().toUtf8());
    if (server && args.contains(QStringLiteral("--close-server")))
        server->close();
    if (server) {
        // Connected after the application's own slot, so it reports after it.
        QObject::connect(server, &QLocalServer::newConnection, [] {
            static int count = 0;
            say("connection " + QByteArray::number(++count));
        });
    }

    QWidget window;
    window.resize(200, 100);
    WindowWatch watch;
    window.installEventFilter(&watch);
    if (args.contains(QStringLiteral("--minimized")))
        window.showMinimized();
    else
        window.show();
    if (!args.contains(QStringLiteral("--no-window")))
        app.setMainWindow(&window);

    // The platform activates a window when it is shown, even a minimised
    // one; a second window takes the activation away from the main one.
    QWidget decoy;
    decoy.resize(50, 50);
    DecoyWatch decoyWatch;
    decoy.installEventFilter(&decoyWatch);
    decoy.show();
    decoy.activateWindow();
    return app.exec();
}
