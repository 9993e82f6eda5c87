#include "ProcessList.h"

#include <QByteArray>
#include <QList>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <tuple>

namespace mvplatform {

namespace {

bool isPidName(const char *s)
{
    if (!*s)
        return false;
    for (; *s; ++s) {
        if (!std::isdigit(static_cast<unsigned char>(*s)))
            return false;
    }
    return true;
}

// The executable's file name: the target of /proc/<pid>/exe, without the
// " (deleted)" mark of a replaced binary. Empty when the link cannot be read,
// as for a process that has already ended (a zombie).
QByteArray executableName(const QByteArray &procDir)
{
    char target[PATH_MAX];
    const ssize_t n = ::readlink((procDir + "/exe").constData(), target, sizeof(target) - 1);
    if (n <= 0)
        return QByteArray();
    QByteArray path(target, static_cast<int>(n));
    static const QByteArray deleted(" (deleted)");
    if (path.endsWith(deleted))
        path.chop(deleted.size());
    return path.mid(path.lastIndexOf('/') + 1);
}

// When a process started: its start time in clock ticks since boot (field 22
// of /proc/<pid>/stat), then its id. False when the process has gone.
struct StartKey
{
    unsigned long long ticks = 0;
    long pid = 0;
    bool operator<=(const StartKey &o) const { return std::tie(ticks, pid) <= std::tie(o.ticks, o.pid); }
};

bool readStartKey(const QByteArray &procDir, long pid, StartKey *key)
{
    char buf[1024];
    int fd = ::open((procDir + "/stat").constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const ssize_t n = ::read(fd, buf, sizeof(buf) - 1);
    ::close(fd);
    if (n <= 0)
        return false;
    buf[n] = '\0';
    // The command name in parentheses may hold spaces and parentheses
    // itself; the fields after the last ')' start with field 3.
    const char *p = std::strrchr(buf, ')');
    if (!p)
        return false;
    ++p;
    for (int field = 3; field < 22; ++field) {
        while (*p == ' ')
            ++p;
        while (*p && *p != ' ')
            ++p;
        if (!*p)
            return false;
    }
    char *end = nullptr;
    key->ticks = std::strtoull(p, &end, 10);
    key->pid = pid;
    return end != p;
}

// The value of `variable` in the process's environment; null when unset or
// unreadable.
QByteArray environmentValue(const QByteArray &procDir, const QByteArray &variable)
{
    const int fd = ::open((procDir + "/environ").constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return QByteArray();
    QByteArray all;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof(buf))) > 0 && all.size() < (1 << 20))
        all.append(buf, int(n));
    ::close(fd);
    const QByteArray prefix = variable + '=';
    for (const QByteArray &entry : all.split('\0')) {
        if (entry.startsWith(prefix))
            return entry.mid(prefix.size());
    }
    return QByteArray();
}

} // namespace

int ProcessList::countByExecutableName(const QString &name, Started started, const QByteArray &sameVariable)
{
    const QByteArray wanted = name.toLocal8Bit();
    if (wanted.isEmpty())
        return 0;
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return 0;
    const uid_t me = ::getuid();
    StartKey self;
    if (started == Started::NoLaterThanSelf && !readStartKey("/proc/self", long(::getpid()), &self)) {
        ::closedir(proc);
        return 0;
    }
    int count = 0;
    while (dirent *e = ::readdir(proc)) {
        if (!isPidName(e->d_name))
            continue;
        QByteArray dir("/proc/");
        dir.append(e->d_name);
        struct stat st;
        if (::stat(dir.constData(), &st) != 0 || st.st_uid != me)
            continue;
        if (executableName(dir) != wanted)
            continue;
        if (!sameVariable.isEmpty() && environmentValue(dir, sameVariable) != qgetenv(sameVariable.constData()))
            continue;
        if (started == Started::NoLaterThanSelf) {
            StartKey key;
            if (!readStartKey(dir, std::atol(e->d_name), &key) || !(key <= self))
                continue;
        }
        ++count;
    }
    ::closedir(proc);
    return count;
}

} // namespace mvplatform
