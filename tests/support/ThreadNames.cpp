#include "ThreadNames.h"

#include <QDir>
#include <QFile>

namespace testsupport {

namespace {

QString commOf(const QString &path)
{
    QFile comm(path);
    return comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.readAll()).trimmed() : QString();
}

} // namespace

QStringList threadNames()
{
    QStringList names;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString name = commOf(tasks.filePath(tid + QStringLiteral("/comm")));
        if (!name.isEmpty()) // a thread may end meanwhile
            names << name;
    }
    return names;
}

QString currentThreadName()
{
    return commOf(QStringLiteral("/proc/thread-self/comm"));
}

} // namespace testsupport
