#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace authport {

// The service's own thread: runs posted callbacks in time order, each after
// its delay. Pending callbacks are dropped when the thread ends.
class ServiceThread
{
public:
    ServiceThread();
    ~ServiceThread();

    ServiceThread(const ServiceThread &) = delete;
    ServiceThread &operator=(const ServiceThread &) = delete;

    void post(std::function<void()> task, int delayMs = 0);
    // True once no callback is running and none is due (later ones may wait).
    bool waitIdle(int timeoutMs);
    std::thread::id id() const { return m_thread.get_id(); }

private:
    using Clock = std::chrono::steady_clock;
    using Key = std::pair<Clock::time_point, unsigned long long>;

    void run();
    bool idleLocked() const;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<Key, std::function<void()>> m_tasks;
    unsigned long long m_sequence = 0;
    bool m_running = false;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace authport
