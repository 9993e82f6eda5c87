#include "SttAllocTracker.h"

namespace {

// Built before main, like every other static of the support library.
[[maybe_unused]] CSttAllocTracker &g_tracker = CSttAllocTracker::Instance();

} // namespace

CSttAllocTracker &CSttAllocTracker::Instance()
{
    static CSttAllocTracker tracker;
    return tracker;
}

CSttAllocTracker::~CSttAllocTracker()
{
    Print(stdout);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_records.clear();
}

void CSttAllocTracker::Track(const char *file, int line, const void *pointer)
{
    Record record{};
    std::snprintf(record.file, sizeof record.file, "%s", file ? file : "");
    record.line = line;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_records[pointer] = record;
}

void CSttAllocTracker::Untrack(const void *pointer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_records.erase(pointer);
}

std::size_t CSttAllocTracker::Count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_records.size();
}

void CSttAllocTracker::Print(std::FILE *out) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto &entry : m_records)
        std::fprintf(out, "%p -  %s, %d \r\n", entry.first, entry.second.file, entry.second.line);
}

void SttTrackAlloc(const char *file, int line, const void *pointer)
{
    CSttAllocTracker::Instance().Track(file, line, pointer);
}

void SttUntrackAlloc(const void *pointer)
{
    CSttAllocTracker::Instance().Untrack(pointer);
}
