#include "OsVersion.h"

#include "World.h"

#include <QJsonObject>
#include <QJsonValue>

#include <mutex>
#include <optional>

namespace mvplatform {

namespace {

std::mutex g_mutex;
std::optional<OsVersionInfo> g_steered;

OsVersionInfo known(int platformId, int major, int minor)
{
    OsVersionInfo v;
    v.ok = true;
    v.platformId = platformId;
    v.major = major;
    v.minor = minor;
    return v;
}

OsVersionInfo fromWorld()
{
    const OsVersionInfo fallback = known(2, 6, 1);
    const QJsonValue os = loadWorld().value(QStringLiteral("os"));
    if (!os.isObject())
        return fallback;
    const QJsonObject o = os.toObject();
    if (o.value(QStringLiteral("fails")).toBool())
        return OsVersionInfo();
    // A missing or non-numeric field keeps the default's value.
    return known(o.value(QStringLiteral("platformId")).toInt(fallback.platformId),
                 o.value(QStringLiteral("major")).toInt(fallback.major),
                 o.value(QStringLiteral("minor")).toInt(fallback.minor));
}

} // namespace

OsVersionInfo OsVersion::query()
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_steered)
            return *g_steered;
    }
    return fromWorld();
}

void OsVersion::steer(int platformId, int major, int minor)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_steered = known(platformId, major, minor);
}

void OsVersion::steerFailure()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_steered = OsVersionInfo();
}

void OsVersion::reset()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_steered.reset();
}

} // namespace mvplatform
