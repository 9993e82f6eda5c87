#pragma once

#include <cstdint>

// Measures one task in milliseconds and reports it to the text log
// "TaskPerfomance" when it took at least a threshold.
struct SttTaskTimer
{
    std::uint32_t start = 0; // SttTimeGetTime() when started
};

SttTaskTimer *SttTaskTimerStart();

// Reports "<elapsed>ms, <text>" at level 40 when the elapsed milliseconds
// reach the threshold, then deletes the timer. A null timer does nothing.
void SttTaskTimerEnd(SttTaskTimer *timer, int thresholdMs, const char *text);

// The same, with the current SttTimeGetTime() value given.
void SttTaskTimerEndAt(SttTaskTimer *timer, std::uint32_t nowMs, int thresholdMs, const char *text);
