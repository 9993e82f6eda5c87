#include "PulseServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>

#include <signal.h>

namespace testsupport {

namespace {

// sockaddr_un's path holds 107 characters and its terminator.
constexpr int kMaxSocketPath = 107;

} // namespace

PulseServer::PulseServer()
    : m_dir(QDir::tempPath() + QStringLiteral("/pulse-XXXXXX"))
{
}

PulseServer::~PulseServer()
{
    m_standIn.reset();
    kill();
    if (m_variableSet) {
        if (m_hadServer)
            qputenv("PULSE_SERVER", m_savedServer);
        else
            qunsetenv("PULSE_SERVER");
    }
}

bool PulseServer::start(int toneHz, int timeoutMs)
{
    m_toneHz = toneHz;
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder for the server");
        return false;
    }
    const QString program = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    if (program.isEmpty()) {
        m_error = QStringLiteral("pulseaudio is not installed");
        return false;
    }
    const QString socket = m_dir.filePath(QStringLiteral("native"));
    if (socket.size() > kMaxSocketPath) {
        m_error = QStringLiteral("socket path too long: ") + socket;
        return false;
    }
    m_standIn.reset();
    QFile::remove(socket);
    const QString root = m_dir.path();
    for (const char *sub : {"home", "run", "state", "config"})
        QDir().mkpath(root + QLatin1Char('/') + QLatin1String(sub));
    QFile::setPermissions(root + QStringLiteral("/run"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // Everything the server keeps goes into our folder; no session bus or
    // X server is asked (it would start a bus of its own otherwise).
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/run"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
    env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), root + QStringLiteral("/run/pulse"));
    env.insert(QStringLiteral("PULSE_STATE_PATH"), root + QStringLiteral("/state"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=") + root + QStringLiteral("/no-bus"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("PULSE_SERVER"));
    m_process.setProcessEnvironment(env);
    m_process.setWorkingDirectory(root);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // A restarted server adds to the log of the one before.
    m_process.setStandardOutputFile(root + QStringLiteral("/server.log"), QIODevice::Append);
    // The socket module comes last: once the socket accepts, the sink and
    // the source are there.
    const QStringList args = {
        QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--disallow-exit"),
        QStringLiteral("-n"), QStringLiteral("--use-pid-file=no"), QStringLiteral("--system=no"),
        QStringLiteral("--disable-shm=yes"), QStringLiteral("--realtime=no"), QStringLiteral("--high-priority=no"),
        QStringLiteral("--log-target=stderr"),
        QStringLiteral("-L"), QStringLiteral("module-null-sink sink_name=%1").arg(QLatin1String(kSinkName)),
        QStringLiteral("-L"), QStringLiteral("module-sine-source source_name=%1 frequency=%2").arg(QLatin1String(kToneName)).arg(toneHz),
        QStringLiteral("-L"), QStringLiteral("module-native-protocol-unix socket=%1 auth-anonymous=1").arg(socket)};
    m_process.start(program, args);
    if (!m_process.waitForStarted(5000)) {
        m_error = QStringLiteral("pulseaudio did not start: ") + m_process.errorString();
        return false;
    }
    if (!waitUntilAccepting(timeoutMs)) {
        m_error = QStringLiteral("pulseaudio did not open its socket: ") + serverLog();
        kill();
        return false;
    }
    setServerVariable(address());
    return true;
}

bool PulseServer::restart(int timeoutMs)
{
    kill();
    return start(m_toneHz, timeoutMs);
}

bool PulseServer::hangUpOnClients()
{
    if (isRunning()) {
        m_error = QStringLiteral("the server still runs");
        return false;
    }
    const QString socket = m_dir.filePath(QStringLiteral("native"));
    QLocalServer::removeServer(socket);
    m_standIn = std::make_unique<QLocalServer>();
    QLocalServer *standIn = m_standIn.get();
    QObject::connect(standIn, &QLocalServer::newConnection, standIn, [this, standIn] {
        while (QLocalSocket *client = standIn->nextPendingConnection()) {
            ++m_hungUp;
            client->abort();
            client->deleteLater();
        }
    });
    if (!standIn->listen(socket)) {
        m_error = QStringLiteral("no stand-in on the socket: ") + standIn->errorString();
        m_standIn.reset();
        return false;
    }
    return true;
}

int PulseServer::loadModule(const QString &name, const QString &arguments)
{
    QStringList args = {QStringLiteral("load-module"), name};
    if (!arguments.isEmpty())
        args += arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const std::optional<QString> out = pactl(args);
    bool ok = false;
    const int index = out ? out->trimmed().toInt(&ok) : -1;
    if (out && !ok)
        m_error = QStringLiteral("pactl load-module answered: ") + *out;
    return ok ? index : -1;
}

bool PulseServer::unloadModule(int index)
{
    return pactl({QStringLiteral("unload-module"), QString::number(index)}).has_value();
}

int PulseServer::moduleIndex(const QString &name)
{
    const std::optional<QString> out = pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("modules")});
    if (!out)
        return -1;
    // One module a line: index, name, arguments, separated by tabs.
    for (const QString &line : out->split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() >= 2 && fields[1] == name)
            return fields[0].toInt();
    }
    return -1;
}

std::optional<QString> PulseServer::pactl(const QStringList &arguments)
{
    if (!isRunning()) {
        m_error = QStringLiteral("the server is not running");
        return std::nullopt;
    }
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PULSE_SERVER"), address());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral("pactl"), arguments);
    if (!process.waitForFinished(15000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(5000);
        m_error = QStringLiteral("pactl %1 failed: %2%3")
                      .arg(arguments.join(QLatin1Char(' ')), process.errorString(),
                           QString::fromLocal8Bit(process.readAllStandardError()));
        return std::nullopt;
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

bool PulseServer::waitUntilAccepting(int timeoutMs)
{
    const QString socket = m_dir.filePath(QStringLiteral("native"));
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (m_process.state() != QProcess::Running)
            return false;
        if (QFile::exists(socket)) {
            QLocalSocket probe;
            probe.connectToServer(socket);
            if (probe.waitForConnected(500)) {
                probe.disconnectFromServer();
                return true;
            }
        }
        // The server is another process: nothing here to wait on but time.
        QThread::msleep(20);
    }
    return false;
}

void PulseServer::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

bool PulseServer::pause()
{
    return isRunning() && ::kill(pid_t(m_process.processId()), SIGSTOP) == 0;
}

bool PulseServer::resume()
{
    return isRunning() && ::kill(pid_t(m_process.processId()), SIGCONT) == 0;
}

bool PulseServer::isRunning() const
{
    return m_process.state() == QProcess::Running;
}

void PulseServer::pointAtNoServer()
{
    setServerVariable(QStringLiteral("unix:") + m_dir.filePath(QStringLiteral("nobody-listens")));
}

QString PulseServer::address() const
{
    return QStringLiteral("unix:") + m_dir.filePath(QStringLiteral("native"));
}

QString PulseServer::serverLog() const
{
    QFile log(m_dir.filePath(QStringLiteral("server.log")));
    return log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()) : QString();
}

void PulseServer::setServerVariable(const QString &value)
{
    if (!m_variableSet) {
        m_hadServer = qEnvironmentVariableIsSet("PULSE_SERVER");
        m_savedServer = qgetenv("PULSE_SERVER");
        m_variableSet = true;
    }
    qputenv("PULSE_SERVER", value.toLocal8Bit());
}

} // namespace testsupport
