#pragma once

#include "CrashFilter.h"

#include <cstddef>

// What the program does when it crashes: writes a dump file beside the
// program, named after the program file and the local time of the crash
// ("mvShow_2017-1109-1530-12.dmp"), tells the user which file to hand to
// the support staff in a message box titled "Dump", and ends the process
// with 128 + the signal's number.
//
// A program folder the user may not write to (an installed program) would
// lose the dump: it then goes to the log folder (the temporary folder +
// "/MorvaShow"), and the message names the whole path.
class CrashHandler
{
public:
    // Installs the filter. Reads everything the filter needs now, since it
    // can look nothing up once a crash happened: the program's folder and
    // file name, the local time's offset from UTC, the box program beside the
    // program. Needs the application object.
    static bool install();

    // The filter: runs inside the signal handler and never returns.
    static void filter(const mvplatform::CrashSignal &signal);

    // Writes the dump file; false when it cannot be created there.
    static bool writeDump(const mvplatform::CrashSignal &signal, const char *dumpPath);

    // The dump file's name for a program file name (without folder and
    // extension) and a local time given as seconds since 1970-01-01 00:00
    // local time: "%s_%.4d-%.2d%.2d-%.2d%.2d-%.2d.dmp" of the name, year,
    // month, day, hour, minute and second. Async-signal-safe; cut to fit.
    static void dumpFileName(const char *program, long long localSeconds, char *out, std::size_t size);
};
