// Stands in for the program in the crash tests: installs the crash handler,
// says "installed" on stdout, then fails in the way its argument names.
//   segv      writes to address 0x10
//   bus       reads a mapped page past the end of its file (says "page <hex>")
//   fpe       divides an integer by zero
//   ill       runs an invalid instruction
//   abort     calls abort()
//   overflow  recurses until the stack is gone
// The filter alone, with handlers of the test's own, then a write to 0x10:
//   filter-returns  a handler that returns
//   filter-aborts   a handler that calls abort()
// With a second argument "--wait" it reads one line from stdin first, so the
// test can change the world between the handler's installation and the crash.
#include "CrashFilter.h"
#include "CrashHandler.h"

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
    return 4;
}
