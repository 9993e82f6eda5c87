#include "ProcessList.h"

#include <QByteArray>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>

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

} // namespace

int ProcessList::countByExecutableName(const QString &name)
{
    const QByteArray wanted = name.toLocal8Bit();
    if (wanted.isEmpty())
        return 0;
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return 0;
    const uid_t me = ::getuid();
    int count = 0;
    while (dirent *e = ::readdir(proc)) {
        if (!isPidName(e->d_name))
            continue;
        QByteArray dir("/proc/");
        dir.append(e->d_name);
        struct stat st;
        if (::stat(dir.constData(), &st) != 0 || st.st_uid != me)
            continue;
        if (executableName(dir) == wanted)
            ++count;
    }
    ::closedir(proc);
    return count;
}

} // namespace mvplatform
