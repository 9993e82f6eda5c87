#include "RegularFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace regularfile {

namespace {

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

} // namespace

QString notRegularReason()
{
    return QStringLiteral("not a regular file");
}

bool open(const QString &path, QFile &file, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    // Asked before any open: opening some devices already does something.
    if (::stat(name.constData(), &st) != 0)
        return fail(error, qt_error_string(errno));
    if (!S_ISREG(st.st_mode))
        return fail(error, notRegularReason());
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return fail(error, qt_error_string(errno));
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(error, notRegularReason());
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        const QString reason = file.errorString();
        ::close(fd);
        return fail(error, reason);
    }
    return true;
}

} // namespace regularfile
