// Stands in for the program in the crash tests: installs the crash handler,
// says "installed" on stdout, then fails in the way its argument names.
//   segv      writes to address 0x10
//   bus       reads a mapped page past the end of its file (says "page <hex>")
//   fpe       divides an integer by zero
//   ill       runs an invalid instruction
//   abort     calls abort()
//   overflow  recurses until the stack is gone
//   overflow-worker, overflow-job, overflow-callback
//             the same on a worker of the pool, on the account-job thread
//             and on a platform layer's callback thread
// The filter alone, with handlers of the test's own, then a write to 0x10:
//   filter-returns  a handler that returns
//   filter-aborts   a handler that calls abort()
// With a second argument "--wait" it reads one line from stdin first, so the
// test can change the world between the handler's installation and the crash.
#include "CSttThreadPool.h"
#include "CallbackThread.h"
#include "CrashFilter.h"
#include "CrashHandler.h"
#include "LiveTaskThread.h"

#include <QCoreApplication>
#include <QTemporaryFile>

#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

volatile int g_zero = 0;
volatile int g_seven = 7;
volatile std::uintptr_t g_lowAddress = 0x10;

int recurse(int depth)
{
    volatile char pad[1024];
    pad[0] = char(depth);
    // Always true, but the compiler cannot know it.
    if (g_zero == 0)
        return recurse(depth + 1) + pad[0];
    return pad[0];
}

// Says how large the calling thread's alternate signal stack is (0: none),
// then overflows its stack.
int sayAltStackAndRecurse()
{
    stack_t current{};
    ::sigaltstack(nullptr, &current);
    const std::size_t bytes = (current.ss_flags & SS_DISABLE) ? 0 : current.ss_size;
    std::printf("altstack %zu\n", bytes);
    std::fflush(stdout);
    return recurse(0);
}

} // namespace

int main(int argc, char **argv)
{
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 3;
    const QByteArray kind = argv[1];
    bool installed = false;
    if (kind == "filter-returns")
        installed = mvplatform::CrashFilter::install([](const mvplatform::CrashSignal &) {});
    else if (kind == "filter-aborts")
        installed = mvplatform::CrashFilter::install([](const mvplatform::CrashSignal &) { std::abort(); });
    else
        installed = CrashHandler::install();
    if (!installed)
        return 3;

    void *page = nullptr;
    if (kind == "bus") {
        FILE *f = std::tmpfile();
        page = ::mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE, fileno(f), 0);
        std::printf("page %p\n", page);
    }
    std::puts("installed");
    std::fflush(stdout);
    if (argc > 2 && QByteArray(argv[2]) == "--wait") {
        char line[16];
        if (!std::fgets(line, sizeof(line), stdin))
            return 5;
    }

    if (kind == "segv" || kind.startsWith("filter-"))
        *reinterpret_cast<volatile int *>(g_lowAddress) = 1;
    else if (kind == "bus")
        return *static_cast<volatile char *>(page);
    else if (kind == "fpe")
        return g_seven / g_zero;
    else if (kind == "ill")
        __builtin_trap();
    else if (kind == "abort")
        std::abort();
    else if (kind == "overflow")
        return recurse(0);
    else if (kind == "overflow-worker") {
        CSttThreadPool pool;
        pool.Dispatch([] { sayAltStackAndRecurse(); });
        ::pause(); // only the crash ends it
    } else if (kind == "overflow-job") {
        LiveTaskThread jobs([](int) { sayAltStackAndRecurse(); });
        jobs.startTask(LiveTaskThread::JobLogin);
        ::pause();
    } else if (kind == "overflow-callback") {
        mvplatform::CallbackThread callbacks("overflow");
        callbacks.post([] { sayAltStackAndRecurse(); });
        ::pause();
    }
    return 4;
}
