#include "ProcessStats.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include <unistd.h>

namespace castcore {

namespace {

int64_t cpuTimeNs()
{
    timespec ts{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts) != 0)
        return 0;
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int64_t memoryTotalKb()
{
    FILE *f = std::fopen("/proc/meminfo", "r");
    if (!f)
        return 0;
    long long kb = 0;
    if (std::fscanf(f, "MemTotal: %lld kB", &kb) != 1)
        kb = 0;
    std::fclose(f);
    return kb;
}

int64_t residentKb(long pageKb)
{
    FILE *f = std::fopen("/proc/self/statm", "r");
    if (!f)
        return 0;
    long long size = 0, resident = 0;
    if (std::fscanf(f, "%lld %lld", &size, &resident) != 2)
        resident = 0;
    std::fclose(f);
    return resident * pageKb;
}

int percent(double part, double whole)
{
    if (whole <= 0)
        return 0;
    const double p = part / whole * 100.0 + 0.5;
    return p < 0 ? 0 : (p > 100 ? 100 : int(p));
}

} // namespace

ProcessStats::ProcessStats()
    : m_lastWall(std::chrono::steady_clock::now())
    , m_lastCpuNs(cpuTimeNs())
    , m_memoryTotalKb(memoryTotalKb())
{
    m_cores = std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
    m_pageKb = std::max(1L, sysconf(_SC_PAGESIZE) / 1024);
}

void ProcessStats::sample(int *cpuPercent, int *memoryPercent)
{
    const auto wall = std::chrono::steady_clock::now();
    const int64_t cpu = cpuTimeNs();
    const double wallNs = double(std::chrono::duration_cast<std::chrono::nanoseconds>(wall - m_lastWall).count());
    *cpuPercent = percent(double(cpu - m_lastCpuNs), wallNs * double(m_cores));
    *memoryPercent = percent(double(residentKb(m_pageKb)), double(m_memoryTotalKb));
    m_lastWall = wall;
    m_lastCpuNs = cpu;
}

} // namespace castcore
