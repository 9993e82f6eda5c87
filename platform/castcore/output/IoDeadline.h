#pragma once

// Bounds every blocking libavformat call of an output: FFmpeg polls the
// callback while it connects, reads or writes, and gives up when it answers 1.

#include <atomic>
#include <chrono>
#include <cstdint>

namespace castcore {

class IoDeadline
{
public:
    // No limit until arm(); abort() ends every wait for good.
    void arm(std::chrono::milliseconds limit)
    {
        m_deadlineUs.store(nowUs() + limit.count() * 1000);
    }
    void disarm() { m_deadlineUs.store(0); }
    // Interrupts the call under way (the next arm() lifts it).
    void cancel() { m_cancelled.store(true); }
    void resetCancel() { m_cancelled.store(false); }
    void abort() { m_aborted.store(true); }
    bool aborted() const { return m_aborted.load(); }

    bool expired() const
    {
        if (m_aborted.load() || m_cancelled.load())
            return true;
        const int64_t deadline = m_deadlineUs.load();
        return deadline != 0 && nowUs() > deadline;
    }
    // AVIOInterruptCB::callback
    static int check(void *self) { return static_cast<IoDeadline *>(self)->expired() ? 1 : 0; }

private:
    static int64_t nowUs()
    {
        using namespace std::chrono;
        return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    }

    std::atomic<int64_t> m_deadlineUs{0};
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_aborted{false};
};

} // namespace castcore
