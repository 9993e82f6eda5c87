#include "ThreadNames.h"

#include <QDir>
#include <QFile>

namespace testsupport {

QStringList threadNames()
{
    QStringList names;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly)) // a thread may end meanwhile
            names << QString::fromUtf8(comm.readAll()).trimmed();
    }
    return names;
}

} // namespace testsupport
