#pragma once

// The push's composition-to-socket latency: written by the network thread,
// read from any thread. Relaxed atomics: the figures are a statistic, not a
// synchronisation point, and their cost stays a few instructions per packet.

#include "SendLatency.h"

#include <atomic>
#include <cstdint>

namespace castcore {

class LatencyMeter
{
public:
    void add(int64_t us)
    {
        m_packets.fetch_add(1, std::memory_order_relaxed);
        m_totalUs.fetch_add(us, std::memory_order_relaxed);
        m_lastUs.store(us, std::memory_order_relaxed);
        if (us > m_maxUs.load(std::memory_order_relaxed))
            m_maxUs.store(us, std::memory_order_relaxed); // one writer, the network thread
    }

    void reset()
    {
        m_packets.store(0, std::memory_order_relaxed);
        m_totalUs.store(0, std::memory_order_relaxed);
        m_lastUs.store(0, std::memory_order_relaxed);
        m_maxUs.store(0, std::memory_order_relaxed);
    }

    SendLatency read() const
    {
        SendLatency figures;
        figures.packets = m_packets.load(std::memory_order_relaxed);
        figures.totalUs = m_totalUs.load(std::memory_order_relaxed);
        figures.lastUs = m_lastUs.load(std::memory_order_relaxed);
        figures.maxUs = m_maxUs.load(std::memory_order_relaxed);
        return figures;
    }

private:
    std::atomic<int64_t> m_packets{0};
    std::atomic<int64_t> m_totalUs{0};
    std::atomic<int64_t> m_lastUs{0};
    std::atomic<int64_t> m_maxUs{0};
};

} // namespace castcore
