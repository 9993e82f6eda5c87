#include "SttTaskTimer.h"

#include "SttUtils.h"
#include "TextLog.h"

SttTaskTimer *SttTaskTimerStart()
{
    auto *timer = new SttTaskTimer;
    timer->start = SttTimeGetTime();
    return timer;
}

void SttTaskTimerEnd(SttTaskTimer *timer, int thresholdMs, const char *text)
{
    SttTaskTimerEndAt(timer, SttTimeGetTime(), thresholdMs, text);
}

void SttTaskTimerEndAt(SttTaskTimer *timer, std::uint32_t nowMs, int thresholdMs, const char *text)
{
    if (!timer)
        return;
    // Unsigned subtraction keeps the result right across the 2^32 wrap.
    const std::uint32_t elapsed = nowMs - timer->start;
    if (static_cast<long long>(elapsed) >= thresholdMs)
        WriteTextLog("TaskPerfomance", 40, "%dms, %s", int(elapsed), text ? text : "");
    delete timer;
}
