#pragma once

#include <cstdint>

namespace mvplatform {

// A fatal signal as the crash filter hands it on.
struct CrashSignal
{
    int signal = 0;
    int code = 0;             // si_code
    std::uintptr_t address = 0; // faulting address (si_addr)
    bool hasAddress = false;  // false when the signal was sent, not raised by a fault
};

// The process-wide filter for fatal signals: SIGSEGV, SIGBUS, SIGFPE, SIGILL
// and SIGABRT go to one handler that runs on an alternate stack of its own,
// so that a stack overflow still reaches it.
//
// The handler runs inside the signal handler: it may only use
// async-signal-safe calls, and it should end the process (_exit). Should it
// return, or fault itself, the signal's default action ends the process.
// Two threads that fault at once: the second waits for the first to end the
// process.
//
// install() gives the installing thread (the GUI thread) its alternate
// stack; every other thread gets its own from a ThreadSignalStack at the top
// of its thread function. A thread without one that overflows its stack
// ends the process without the handler.
class CrashFilter
{
public:
    using Handler = void (*)(const CrashSignal &);

    // Installs the handler (replacing an earlier one). False when the
    // system refused the alternate stack or a signal.
    static bool install(Handler handler);

    // The signals filtered, ending with 0.
    static const int *signals();
    // "SIGSEGV" and so on; "signal" for any other number.
    static const char *signalName(int signal);
};

} // namespace mvplatform
