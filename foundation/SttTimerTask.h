#pragma once

#include "SttTask.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class CSttTaskQueue;
class CSttThreadPool;

// Runs tasks after a delay or periodically. Its own thread checks the
// entries every 20 ms and hands each due task to the entry's queue or, when
// the entry names none, to the pool. Periods are measured on the monotonic
// clock, from one firing to the next.
class SttTimerTask
{
public:
    using Clock = std::chrono::steady_clock;
    using ClockSource = std::function<Clock::time_point()>;

    static constexpr unsigned int Endless = 0xFFFFFFFFu;
    static constexpr int PassMs = 20;

    // The pool is not owned. Without a clock source the timer reads
    // Clock::now(); a test may pass its own.
    explicit SttTimerTask(CSttThreadPool *pool, ClockSource clock = ClockSource());
    ~SttTimerTask();

    SttTimerTask(const SttTimerTask &) = delete;
    SttTimerTask &operator=(const SttTimerTask &) = delete;

    // Adds an entry firing every intervalMs, repeatCount times (Endless for
    // no end, 0 to remove it at the next pass without firing). With fireNow
    // it fires at once, which counts as one firing. Name and detail are cut
    // to 1023 bytes. Returns the entry's id, from 1 up.
    int AddTask(const SttTask &task, unsigned int intervalMs, unsigned int repeatCount,
                bool fireNow, CSttTaskQueue *target = nullptr, const char *name = nullptr,
                const char *detail = nullptr, int userData = 0);

    // Removes the entry; false when there is none with that id. A task
    // already handed on is not recalled.
    bool RemoveTask(int id);

private:
    struct Entry
    {
        Clock::time_point start;
        int id = 0;
        unsigned int interval = 0;
        unsigned int remaining = 0;
        SttTask task;
        CSttTaskQueue *target = nullptr;
        std::int64_t userData = 0;
        std::string name;
        std::string detail;
    };

    void Run();
    void FireTask(Entry &entry, Clock::time_point firedAt);
    Clock::time_point now() const;

    std::thread m_thread;
    std::list<std::unique_ptr<Entry>> m_entries;
    CSttThreadPool *m_pool = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic<int> m_lastId{0};
    bool m_stop = false;
    ClockSource m_clock;
};
