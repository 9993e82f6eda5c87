#include "ThreadSignalStack.h"

#include <csignal>
#include <cstdlib>

namespace mvplatform {

ThreadSignalStack::ThreadSignalStack()
{
    stack_t current{};
    if (::sigaltstack(nullptr, &current) != 0)
        return;
    if (!(current.ss_flags & SS_DISABLE) && current.ss_size >= kBytes) {
        m_installed = true; // large enough already; not ours to change
        return;
    }
    m_previousEnabled = !(current.ss_flags & SS_DISABLE);
    m_previous = current.ss_sp;
    m_previousSize = current.ss_size;

    stack_t mine{};
    mine.ss_sp = std::malloc(kBytes);
    mine.ss_size = kBytes;
    if (!mine.ss_sp || ::sigaltstack(&mine, nullptr) != 0) {
        std::free(mine.ss_sp);
        return;
    }
    m_memory = mine.ss_sp;
    m_installed = true;
}

ThreadSignalStack::~ThreadSignalStack()
{
    if (!m_memory)
        return;
    stack_t restore{};
    if (m_previousEnabled) {
        restore.ss_sp = m_previous;
        restore.ss_size = m_previousSize;
    } else {
        restore.ss_flags = SS_DISABLE;
    }
    // Only a stack the system no longer uses may be freed.
    if (::sigaltstack(&restore, nullptr) == 0)
        std::free(m_memory);
}

} // namespace mvplatform
