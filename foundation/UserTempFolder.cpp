#include "UserTempFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isOwnFolder(const QByteArray &path)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && ::access(path.constData(), W_OK | X_OK) == 0;
}

} // namespace

QString userTempFolder(const QString &preferred)
{
    if (preferred.isEmpty())
        return QString();
    const QString folder = QDir::cleanPath(preferred);
    const QByteArray path = QFile::encodeName(folder);
    if (isOwnFolder(path))
        return folder;
    // Made with the usual mode, so the folder is where it always was for the
    // first user of the machine. Looked at again whether or not we made it:
    // another thread or copy of ours may have made it a moment ago.
    struct stat st;
    if (::lstat(path.constData(), &st) != 0 && errno == ENOENT)
        QDir().mkpath(folder);
    if (isOwnFolder(path))
        return folder;
    const QString own = folder + QLatin1Char('-') + QString::number(::geteuid());
    const QByteArray ownPath = QFile::encodeName(own);
    if (::mkdir(ownPath.constData(), 0700) != 0 && errno != EEXIST)
        return QString();
    return isOwnFolder(ownPath) ? own : QString();
}
