#pragma once

#include <QtGlobal>

#include <functional>

// The wall clock that signed requests, the server-time offset and the
// analytics records read. Tests replace it so stamps and signatures are exact.
class WebClock
{
public:
    using Source = std::function<qint64()>;

    // Milliseconds since 1970-01-01 UTC.
    static qint64 currentMSecsSinceEpoch();
    // Whole seconds since 1970-01-01 UTC, rounded down.
    static qint64 currentSecsSinceEpoch();

    // Replaces the clock; an empty source restores the system clock.
    static void setSource(Source source);
};
