#pragma once

#include <cstddef>
#include <cstdio>
#include <map>
#include <mutex>

// A record of allocations by place in the source, keyed by the pointer.
// The process-wide one is built during static initialisation and prints
// whatever is still recorded at exit.
class CSttAllocTracker
{
public:
    static CSttAllocTracker &Instance();

    CSttAllocTracker() = default;
    // Prints the remaining records to the standard output.
    ~CSttAllocTracker();
    CSttAllocTracker(const CSttAllocTracker &) = delete;
    CSttAllocTracker &operator=(const CSttAllocTracker &) = delete;

    // The file name is cut to 511 characters; a pointer tracked again
    // replaces its record.
    void Track(const char *file, int line, const void *pointer);
    void Untrack(const void *pointer);
    std::size_t Count() const;
    // "<pointer> -  <file>, <line> \r\n" per record, in pointer order.
    void Print(std::FILE *out) const;

private:
    struct Record
    {
        char file[512];
        int line;
    };

    mutable std::mutex m_mutex;
    std::map<const void *, Record> m_records;
};

void SttTrackAlloc(const char *file, int line, const void *pointer);
void SttUntrackAlloc(const void *pointer);
