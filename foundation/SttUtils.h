#pragma once

#include <cstdint>

// Microseconds on the monotonic clock since an unspecified start; only
// differences are meaningful.
std::uint64_t SttGetMicroseconds();

// Milliseconds on the monotonic clock, wrapping at 2^32 like a tick count;
// compare two values by unsigned subtraction.
std::uint32_t SttTimeGetTime();

// Blocks the calling thread for the given milliseconds.
void SttSleep(unsigned int milliseconds);
