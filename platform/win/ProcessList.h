#pragma once

#include <QByteArray>
#include <QString>

namespace mvplatform {

// The running processes, read from /proc.
class ProcessList
{
public:
    // Which processes count.
    enum class Started {
        Any,
        // Only those started no later than the calling process: by start
        // time, then by process id when two started in the same tick, so
        // that processes started together agree on one order.
        NoLaterThanSelf,
    };

    // Number of processes of the current user whose executable file name
    // (without folder) equals the name exactly; the calling process counts
    // when it matches. With `sameVariable` set, only processes whose
    // environment gives that variable the value the calling process has
    // (both unset counts as equal) count.
    static int countByExecutableName(const QString &name, Started started = Started::Any,
                                     const QByteArray &sameVariable = QByteArray());
};

} // namespace mvplatform
