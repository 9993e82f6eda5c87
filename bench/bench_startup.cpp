// Start-up of the program beside an empty Qt window of the same size, each
// started as a new user (fresh data, config and temporary folders) on a
// private X server: time until its 1200 x 788 top-level window is mapped,
// resident memory one second later, and CPU used while idle over the next
// five seconds (empty scene, nobody signed in).
//
// Runs itself under `xvfb-run -a` when no X display is set.
#include "TopLevelWindows.h"

#include <QGuiApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kRuns = 5;
const QSize kWindowSize(1200, 788);

struct Figures
{
    double startMs = -1;
    double rssMiB = 0;
    double idleCpuPercent = 0;
};

bool windowShown()
{
    for (const mvplatform::TopLevelWindow &w : mvplatform::TopLevelWindows::list())
        if (w.rect.size() == kWindowSize)
            return true;
    return false;
}

double rssMiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// User plus system CPU time of the process, in clock ticks.
long long cpuTicks(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    // Fields after the command: state is index 0, utime 11, stime 12.
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

Figures runOnce(const QString &program)
{
    Figures out;
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *dir : {"tmp", "data", "config"})
        QDir().mkpath(home.path() + QLatin1Char('/') + QLatin1String(dir));
    env.insert(QStringLiteral("TMPDIR"), home.path() + QStringLiteral("/tmp"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("MORVASHOW_WORLD"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());

    QElapsedTimer clock;
    clock.start();
    process.start(program, QStringList());
    if (!process.waitForStarted(10000))
        return out;
    while (clock.elapsed() < 30000 && process.state() == QProcess::Running) {
        if (windowShown()) {
            out.startMs = clock.nsecsElapsed() / 1e6;
            break;
        }
        QThread::usleep(500);
    }
    if (out.startMs >= 0) {
        QThread::msleep(1000);
        out.rssMiB = rssMiB(process.processId());
        const long long before = cpuTicks(process.processId());
        QThread::msleep(5000);
        const long long used = cpuTicks(process.processId()) - before;
        out.idleCpuPercent = 100.0 * double(used) / double(sysconf(_SC_CLK_TCK)) / 5.0;
    }
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
    return out;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

Figures measure(const char *label, const QString &program)
{
    std::vector<double> start, rss, cpu;
    for (int i = 0; i < kRuns; ++i) {
        const Figures f = runOnce(program);
        if (f.startMs < 0) {
            std::fprintf(stderr, "%s: no window within 30 s\n", label);
            continue;
        }
        start.push_back(f.startMs);
        rss.push_back(f.rssMiB);
        cpu.push_back(f.idleCpuPercent);
    }
    Figures m;
    m.startMs = start.empty() ? -1 : median(start);
    m.rssMiB = median(rss);
    m.idleCpuPercent = median(cpu);
    std::printf("%-14s start-up %7.1f ms   resident %6.1f MiB   idle CPU %5.2f %%   (median of %zu)\n", label,
                m.startMs, m.rssMiB, m.idleCpuPercent, start.size());
    return m;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        // A private X server, so that the window list holds only ours.
        std::vector<char *> args = {const_cast<char *>("xvfb-run"), const_cast<char *>("-a"),
                                    const_cast<char *>("-s"), const_cast<char *>("-screen 0 1280x1024x24")};
        for (int i = 0; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        ::execvp("xvfb-run", args.data());
        std::perror("xvfb-run");
        return 1;
    }
    // The window list is read from X11 only on the xcb platform.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    std::printf("start-up to the main window shown, on a private X server, each run as a new user\n");
    const Figures empty = measure("empty window", QStringLiteral(EMPTY_WINDOW_PATH));
    const Figures program = measure("mvShow", QStringLiteral(MVSHOW_PATH));
    if (empty.startMs <= 0 || program.startMs < 0)
        return 1;
    std::printf("mvShow / empty window: start-up %.2fx (aim <= 2x), resident %.2fx; idle CPU %.2f %% of a core "
                "(aim < 1 %%)\n",
                program.startMs / empty.startMs, empty.rssMiB > 0 ? program.rssMiB / empty.rssMiB : 0.0,
                program.idleCpuPercent);
    return 0;
}
