#include "OsVersionName.h"

#include "OsVersion.h"

namespace {

QString nameOf(int platformId, int major, int minor)
{
    if (platformId == 1) {
        if (major == 4 && minor == 10)
            return QStringLiteral("Windows 98");
        if (major == 4 && minor == 90)
            return QStringLiteral("Windows ME");
        return QStringLiteral("Windows 95");
    }
    if (platformId == 2) {
        if (major == 6 && minor == 0)
            return QStringLiteral("Windows Vista");
        if (major == 5 && minor == 0)
            return QStringLiteral("Windows 2000");
        if (major == 5 && minor == 1)
            return QStringLiteral("Windows XP");
        if (major == 4 && minor == 0)
            return QStringLiteral("Windows NT");
    }
    return QString();
}

} // namespace

QString osVersionName(int *platformId, int *major, int *minor)
{
    const mvplatform::OsVersionInfo v = mvplatform::OsVersion::query();
    if (platformId)
        *platformId = v.platformId;
    if (major)
        *major = v.major;
    if (minor)
        *minor = v.minor;
    return v.ok ? nameOf(v.platformId, v.major, v.minor) : QString();
}
