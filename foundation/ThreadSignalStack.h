#pragma once

#include <cstddef>

namespace mvplatform {

// Gives the calling thread an alternate signal stack for as long as the
// object lives, so that a handler installed with SA_ONSTACK (the crash
// filter) still runs when this thread overflows its own stack. Signal
// stacks are per thread: every thread the program starts makes one at the
// top of its thread function.
//
// A thread that already has one at least kBytes large keeps it. A smaller
// one (a sanitizer's) is replaced, and put back when the object goes, so
// that whoever made it still finds its own.
class ThreadSignalStack
{
public:
    static constexpr std::size_t kBytes = 256 * 1024;

    ThreadSignalStack();
    ~ThreadSignalStack();

    ThreadSignalStack(const ThreadSignalStack &) = delete;
    ThreadSignalStack &operator=(const ThreadSignalStack &) = delete;

    // False when the system refused the stack; the thread then has none of
    // ours and an overflow on it ends the process without the handler.
    bool isInstalled() const { return m_installed; }

private:
    void *m_memory = nullptr;
    void *m_previous = nullptr;
    std::size_t m_previousSize = 0;
    bool m_previousEnabled = false;
    bool m_installed = false;
};

} // namespace mvplatform
