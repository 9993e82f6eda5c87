#include "NamedPipe.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

NamedPipe::NamedPipe(const QString &path)
    : m_path(path)
{
    const QByteArray name = QFile::encodeName(path);
    ::unlink(name.constData());
    if (::mkfifo(name.constData(), 0600) != 0) {
        m_error = qt_error_string(errno);
        return;
    }
    m_valid = true;
}

NamedPipe::~NamedPipe()
{
    if (!m_valid)
        return;
    letReadersGo();
    const QByteArray name = QFile::encodeName(m_path);
    struct stat st;
    // The test may have put something else there since.
    if (::lstat(name.constData(), &st) == 0 && S_ISFIFO(st.st_mode))
        ::unlink(name.constData());
}

bool NamedPipe::letReadersGo()
{
    // Without a reader a non-blocking open for writing fails (ENXIO).
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool NamedPipe::finishesWithin(int timeoutMs, const std::function<void()> &job)
{
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    bool late = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return done; }))
            return;
        late = true;
        while (!done) {
            lock.unlock();
            letReadersGo();
            lock.lock();
            changed.wait_for(lock, std::chrono::milliseconds(10), [&] { return done; });
        }
    });
    job();
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    changed.notify_all();
    watchdog.join();
    return !late;
}

QStringList NamedPipe::oddKinds()
{
    return {QStringLiteral("fifo"), QStringLiteral("link to a fifo"), QStringLiteral("folder"),
            QStringLiteral("character device")};
}

QString NamedPipe::oddPath(const QString &kind, const QString &spare, const QString &device) const
{
    if (kind == QLatin1String("fifo"))
        return m_path;
    if (kind == QLatin1String("link to a fifo"))
        return QFile::link(m_path, spare) ? spare : QString();
    if (kind == QLatin1String("folder"))
        return QDir().mkpath(spare) ? spare : QString();
    if (kind == QLatin1String("character device"))
        return device;
    return QString();
}

} // namespace testsupport
