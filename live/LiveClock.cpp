#include "LiveClock.h"

QString LiveClock::format(qint64 ms)
{
    const qint64 seconds = ms > 0 ? ms / 1000 : 0;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg((seconds % 3600) / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
