#include "CrashFilter.h"

#include "ThreadSignalStack.h"

#include <atomic>
#include <csignal>

#include <execinfo.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace mvplatform {

namespace {

const int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, 0};

std::atomic<CrashFilter::Handler> g_handler{nullptr};
std::atomic<long> g_handlingThread{0};

void onSignal(int signal, siginfo_t *info, void *)
{
    const long self = ::syscall(SYS_gettid);
    long none = 0;
    if (!g_handlingThread.compare_exchange_strong(none, self)) {
        // The handler itself failed (an abort() inside it comes through
        // here): end now rather than wait for ourselves.
        if (none == self)
            ::_exit(128 + signal);
        // A second faulting thread must not write a second dump over the
        // first; the first ends the process.
        for (;;)
            ::pause();
    }
    CrashSignal s;
    s.signal = signal;
    if (info) {
        s.code = info->si_code;
        // si_addr means something only for faults the kernel raised.
        s.hasAddress = info->si_code > 0 && signal != SIGABRT;
        if (s.hasAddress)
            s.address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    }
    if (CrashFilter::Handler h = g_handler.load())
        h(s);
    // SA_RESETHAND has put the default action back: raising again ends the
    // process as the signal would have without us.
    ::raise(signal);
}

} // namespace

bool CrashFilter::install(Handler handler)
{
    // The first backtrace() loads the unwinder, which allocates: do it now,
    // not inside the handler.
    void *frames[1];
    ::backtrace(frames, 1);

    // The installing thread's stack, held for the whole run; every other
    // thread makes its own when it starts (ThreadSignalStack).
    static ThreadSignalStack *installerStack = nullptr;
    if (!installerStack) {
        auto *stack = new ThreadSignalStack;
        if (!stack->isInstalled()) {
            delete stack;
            return false;
        }
        installerStack = stack;
    }

    g_handler.store(handler);
    struct sigaction sa{};
    sa.sa_sigaction = onSignal;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    // While one fatal signal is handled, the others wait.
    for (const int *s = kSignals; *s; ++s)
        sigaddset(&sa.sa_mask, *s);
    bool ok = true;
    for (const int *s = kSignals; *s; ++s)
        ok = ::sigaction(*s, &sa, nullptr) == 0 && ok;
    return ok;
}

const int *CrashFilter::signals()
{
    return kSignals;
}

const char *CrashFilter::signalName(int signal)
{
    switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    default: return "signal";
    }
}

} // namespace mvplatform
