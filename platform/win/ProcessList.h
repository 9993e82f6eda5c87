#pragma once

#include <QString>

namespace mvplatform {

// The running processes, read from /proc.
class ProcessList
{
public:
    // Number of processes of the current user whose executable file name
    // (without folder) equals the name exactly; the calling process counts
    // when it matches.
    static int countByExecutableName(const QString &name);
};

} // namespace mvplatform
