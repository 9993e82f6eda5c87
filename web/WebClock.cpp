#include "WebClock.h"

#include "SwappableSource.h"

#include <QDateTime>

namespace {

SwappableSource<WebClock::Source> &clockSource()
{
    static SwappableSource<WebClock::Source> source;
    return source;
}

} // namespace

qint64 WebClock::currentMSecsSinceEpoch()
{
    const Source source = clockSource().get();
    return source ? source() : QDateTime::currentMSecsSinceEpoch();
}

qint64 WebClock::currentSecsSinceEpoch()
{
    const qint64 ms = currentMSecsSinceEpoch();
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
}

void WebClock::setSource(Source source)
{
    clockSource().set(std::move(source));
}
