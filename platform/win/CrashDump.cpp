#include "CrashDump.h"

#include "SignalSafeText.h"

#include <cerrno>

#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

namespace mvplatform {

namespace {

template <std::size_t N>
void writeText(int fd, const SignalSafeText<N> &t)
{
    writeFully(fd, t.text(), t.length());
}

void copyFile(int fd, const char *path)
{
    const int in = ::open(path, O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        writeFully(fd, buffer, std::size_t(n));
    }
    ::close(in);
}

} // namespace

bool CrashDump::write(const char *path, const CrashSignal &signal)
{
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;

    SignalSafeText<256> head;
    head.add("MorvaShow crash dump\n");
    head.add("signal: ").addDecimal(signal.signal).add(" (").add(CrashFilter::signalName(signal.signal)).add(")\n");
    head.add("code: ").addDecimal(signal.code).add('\n');
    head.add("address: ");
    if (signal.hasAddress)
        head.addHex(signal.address);
    else
        head.add("none");
    head.add("\nbacktrace:\n");
    writeText(fd, head);

    void *frames[64];
    const int n = ::backtrace(frames, 64);
    ::backtrace_symbols_fd(frames, n, fd);

    writeFully(fd, "maps:\n", 6);
    copyFile(fd, "/proc/self/maps");
    ::close(fd);
    return true;
}

} // namespace mvplatform
