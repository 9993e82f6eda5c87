#pragma once

#include "CrashFilter.h"

namespace mvplatform {

// Writes what is known of a crash into a text file, from inside the signal
// handler (async-signal-safe). The format, line by line:
//
//     MorvaShow crash dump
//     signal: 11 (SIGSEGV)
//     code: 1
//     address: 0x0000000000000010        ("address: none" for a sent signal)
//     backtrace:
//     <one line per frame, innermost first>
//     maps:
//     <the contents of /proc/self/maps>
class CrashDump
{
public:
    // Creates (or truncates) the file, readable by the user only. False when
    // the file cannot be created; a file begun is always closed.
    static bool write(const char *path, const CrashSignal &signal);
};

} // namespace mvplatform
