#include "WebClock.h"

#include <QDateTime>

#include <mutex>

namespace {

std::mutex &clockMutex()
{
    static std::mutex m;
    return m;
}

WebClock::Source &clockSource()
{
    static WebClock::Source source;
    return source;
}

} // namespace

qint64 WebClock::currentMSecsSinceEpoch()
{
    Source source;
    {
        std::lock_guard<std::mutex> lock(clockMutex());
        source = clockSource();
    }
    return source ? source() : QDateTime::currentMSecsSinceEpoch();
}

qint64 WebClock::currentSecsSinceEpoch()
{
    const qint64 ms = currentMSecsSinceEpoch();
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
}

void WebClock::setSource(Source source)
{
    std::lock_guard<std::mutex> lock(clockMutex());
    clockSource() = std::move(source);
}
