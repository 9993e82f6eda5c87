#pragma once

// The process's own CPU and memory load, for the preview's figures: CPU
// time over wall time across all cores, and resident memory as a share of
// the machine's memory, both in percent.

#include <chrono>
#include <cstdint>

namespace castcore {

class ProcessStats
{
public:
    ProcessStats();
    // Percentages since the previous call (CPU) and now (memory).
    void sample(int *cpuPercent, int *memoryPercent);

private:
    std::chrono::steady_clock::time_point m_lastWall;
    int64_t m_lastCpuNs = 0;
    int64_t m_memoryTotalKb = 0;
    long m_cores = 1;
    long m_pageKb = 4;
};

} // namespace castcore
