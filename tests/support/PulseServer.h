#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <optional>

class QLocalServer;

namespace testsupport {

// A private PulseAudio server for one test: `pulseaudio` in a fresh
// temporary folder (its home, runtime and state there too), reachable only
// through its own unix socket, with a null sink and a sine source. While it
// lives PULSE_SERVER points at it (or, after pointAtNoServer(), at a socket
// nobody listens on); the old value comes back and the server is killed on
// exit.
class PulseServer
{
public:
    static constexpr const char *kSinkName = "testsink";           // a null sink
    static constexpr const char *kMonitorName = "testsink.monitor"; // its monitor source
    static constexpr const char *kToneName = "tone";                // the sine source

    PulseServer();
    ~PulseServer();

    PulseServer(const PulseServer &) = delete;
    PulseServer &operator=(const PulseServer &) = delete;

    // Starts the server with its sine source at `toneHz` and waits until its
    // socket accepts connections. False (see errorString()) when it cannot
    // start within the time.
    bool start(int toneHz = 440, int timeoutMs = 15000);
    // Starts the server again after kill(), on the same socket address and
    // with the same sine source, as a restarted server would come back.
    bool restart(int timeoutMs = 15000);
    // Ends the server at once, as a crash would. Its socket file stays.
    void kill();
    bool isRunning() const;
    // Stops and continues the server process (SIGSTOP, SIGCONT): while
    // paused its socket still accepts connections but nothing answers.
    bool pause();
    bool resume();

    // After kill(): a stand-in on the server's socket takes each connection
    // and hangs up at once, counting them, so that a client's attempts to
    // reconnect can be seen. The stand-in needs this thread's event loop;
    // start() and restart() remove it.
    bool hangUpOnClients();
    int hungUp() const { return m_hungUp; }

    // Loads a module into the running server: its index, -1 on failure.
    int loadModule(const QString &name, const QString &arguments = QString());
    bool unloadModule(int index);
    // Index of the first loaded module of that name, -1 when none.
    int moduleIndex(const QString &name);

    // Points PULSE_SERVER at a socket in this server's folder that nobody
    // listens on: clients find no server, at once.
    void pointAtNoServer();

    // "unix:<socket>" of the running server.
    QString address() const;
    QString errorString() const { return m_error; }
    // What the server wrote (stdout and stderr).
    QString serverLog() const;

private:
    bool waitUntilAccepting(int timeoutMs);
    void setServerVariable(const QString &address);
    // pactl against this server; its output, or nothing (see errorString()).
    std::optional<QString> pactl(const QStringList &arguments);

    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_error;
    QByteArray m_savedServer;
    bool m_hadServer = false;
    bool m_variableSet = false;
    int m_toneHz = 440;
    std::unique_ptr<QLocalServer> m_standIn;
    int m_hungUp = 0;
};

} // namespace testsupport
