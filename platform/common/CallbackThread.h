#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace mvplatform {

// A layer's own thread: runs posted callbacks one at a time, in the order they
// fall due (the order of posting for equal delays).
class CallbackThread
{
public:
    // What stop() does with callbacks that are due but not yet started.
    enum class Pending { Run, Drop };

    // `name` (at most 15 characters) names the thread for debuggers.
    explicit CallbackThread(const char *name);
    ~CallbackThread(); // stop()

    CallbackThread(const CallbackThread &) = delete;
    CallbackThread &operator=(const CallbackThread &) = delete;

    // Ignored once the thread is stopping.
    void post(std::function<void()> task, int delayMs = 0);
    // Runs the task on this thread and returns when it is done; runs it at
    // once when called from this thread, not at all once stopping.
    void run(const std::function<void()> &task);
    // True once no callback is running and none is due (later ones may still
    // wait), or the thread is stopping; false on timeout.
    bool waitIdle(int timeoutMs);
    // Callbacks waiting to run, due or not.
    std::size_t queued() const;

    // A periodic job beside the callbacks (a frame clock): runs once `due`
    // has passed and answers its next due time. It is no callback: waitIdle
    // does not wait for it. A new ticker replaces the old one.
    using Ticker = std::function<std::chrono::steady_clock::time_point(std::chrono::steady_clock::time_point now)>;
    void setTicker(Ticker ticker, std::chrono::steady_clock::time_point due);
    // Once it returns the ticker neither runs nor will run again (from the
    // ticker itself: after the running tick).
    void clearTicker();
    std::thread::id id() const { return m_id; }
    // Ends the thread once the running callback returns and, with Run, the
    // due ones after it. Callbacks not yet due are dropped. Only the first
    // call counts.
    void stop(Pending pending = Pending::Run);

private:
    using Clock = std::chrono::steady_clock;
    using Key = std::pair<Clock::time_point, unsigned long long>; // due, posting order

    void loop();
    bool dueLocked() const;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<Key, std::function<void()>> m_tasks;
    Ticker m_ticker;
    Clock::time_point m_tickDue;
    bool m_ticking = false;
    unsigned long long m_tickerGeneration = 0; // a replaced ticker keeps its own due time
    unsigned long long m_sequence = 0;
    bool m_running = false;
    bool m_stopping = false;
    std::thread::id m_id;
    std::thread m_thread; // last: starts once everything above is set
};

} // namespace mvplatform
