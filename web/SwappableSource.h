#pragma once

#include <mutex>
#include <utility>

// A process-wide function that tests may replace while other threads read
// it. The caller is handed a copy, so a replacement never pulls a function
// out from under a call already running.
template <typename Fn>
class SwappableSource
{
public:
    Fn get() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_source;
    }

    void set(Fn source)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_source = std::move(source);
    }

private:
    mutable std::mutex m_mutex;
    Fn m_source;
};
