#pragma once

// Bounds every blocking libavformat call of an output: FFmpeg polls the
// callback while it connects, reads or writes, and gives up when it answers 1.
// Besides a fixed deadline, a connection's progress can bound it: a write
// into a slow link may take long, but one into a link that stopped moving
// is abandoned a fixed time after it stopped, however full its buffers were.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

namespace castcore {

// How long a connection has not moved. Fed the byte count the peer has
// acknowledged and the bytes still waiting for it: it is moving while the
// count grows, and idle (not stalled) while nothing waits.
class ProgressWatch
{
public:
    void restart(int64_t nowUs)
    {
        m_sinceUs = nowUs;
        m_started = false;
    }
    void observe(int64_t nowUs, int64_t acknowledged, int64_t waiting)
    {
        if (!m_started || waiting == 0 || acknowledged != m_acknowledged)
            m_sinceUs = nowUs;
        m_started = true;
        m_acknowledged = acknowledged;
    }
    int64_t stalledUs(int64_t nowUs) const { return nowUs - m_sinceUs; }

private:
    int64_t m_sinceUs = 0;
    int64_t m_acknowledged = 0;
    bool m_started = false;
};

class IoDeadline
{
public:
    // Reads a connection's counts for a ProgressWatch; false when it cannot.
    using ProgressProbe = std::function<bool(int64_t *acknowledged, int64_t *waiting)>;

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

    // From now on, also gives up once `probe` has shown no progress for
    // `limit`. Only the thread that does the I/O calls these two (and the
    // probe runs on it, from inside FFmpeg's calls).
    void followProgress(ProgressProbe probe, std::chrono::milliseconds limit)
    {
        m_probe = std::move(probe);
        m_stallLimitUs = limit.count() * 1000;
        m_lastProbeUs = 0;
        m_watch.restart(nowUs());
    }
    void stopFollowing() { m_probe = nullptr; }

    bool expired()
    {
        if (m_aborted.load() || m_cancelled.load())
            return true;
        const int64_t deadline = m_deadlineUs.load();
        if (deadline == 0 && !m_probe)
            return false;
        const int64_t now = nowUs();
        return (deadline != 0 && now > deadline) || stalled(now);
    }
    // AVIOInterruptCB::callback
    static int check(void *self) { return static_cast<IoDeadline *>(self)->expired() ? 1 : 0; }

private:
    static int64_t nowUs()
    {
        using namespace std::chrono;
        return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    }

    bool stalled(int64_t now)
    {
        if (!m_probe)
            return false;
        // FFmpeg polls for every few hundred bytes; the counts need no more
        // than a look every 50 ms.
        if (now - m_lastProbeUs >= 50000) {
            m_lastProbeUs = now;
            int64_t acknowledged = 0;
            int64_t waiting = 0;
            if (m_probe(&acknowledged, &waiting))
                m_watch.observe(now, acknowledged, waiting);
        }
        return m_watch.stalledUs(now) > m_stallLimitUs;
    }

    std::atomic<int64_t> m_deadlineUs{0};
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_aborted{false};
    // The I/O thread's alone.
    ProgressProbe m_probe;
    int64_t m_stallLimitUs = 0;
    int64_t m_lastProbeUs = 0;
    ProgressWatch m_watch;
};

} // namespace castcore
