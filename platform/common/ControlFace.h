#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace mvplatform {

// One call into a layer, as the test face records it.
struct CallRecord
{
    std::string op;
    std::vector<std::string> args;
    std::thread::id thread;
};

// Ordered, thread-safe record of the calls a layer received. Every log in
// the process records only while recording is on: tests turn it on, the
// program never does, so its layers keep no record however long it runs.
// A log keeps the most recent calls only, far more than a test reads.
class CallLog
{
public:
    static constexpr std::size_t kDefaultCapacity = 100000;

    // For the whole process; off until turned on.
    static void setRecording(bool on);
    static bool recording();

    void setCapacity(std::size_t capacity);
    void record(const std::string &op, std::vector<std::string> args = {});
    std::vector<CallRecord> all() const;
    std::vector<CallRecord> of(const std::string &op) const;
    std::vector<std::string> ops() const;
    int count(const std::string &op) const;
    std::optional<CallRecord> last(const std::string &op) const;
    void clear();

private:
    mutable std::mutex m_mutex;
    std::deque<CallRecord> m_calls;
    std::size_t m_capacity = kDefaultCapacity;
};

// Holds an operation until a test releases it. A closed gate blocks every
// caller of pass() for that operation until open() or openAll().
class Gates
{
public:
    void close(const std::string &op);
    void open(const std::string &op);
    void openAll();
    // Called by the layer at the start of a gated operation.
    void pass(const std::string &op);
    // Number of callers currently held at the gate.
    int waiting(const std::string &op) const;
    // Waits until at least n callers are held, or the timeout passes.
    bool waitForWaiting(const std::string &op, int n, int timeoutMs) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::map<std::string, bool> m_closed;
    std::map<std::string, int> m_waiting;
};

// Calls in progress in a layer that has no thread of its own, where idle
// means that every call that entered the layer has returned, those held at
// a gate included.
class Activity
{
public:
    // One call, counted from its start (before its gate) to its return.
    class Call
    {
    public:
        Call(Activity &activity, Gates &gates, const std::string &op);
        ~Call();
        Call(const Call &) = delete;
        Call &operator=(const Call &) = delete;

    private:
        Activity &m_activity;
    };

    int inProgress() const;
    // True once no call is in progress; false on timeout.
    bool waitIdle(int timeoutMs) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    int m_calls = 0;
};

// What became of one call made on a thread of its own while the gate of its
// op was closed: whether the gate held it, whether the layer read as busy
// meanwhile, and whether it read as idle once the gate opened and the call
// returned.
struct GateProbe
{
    bool held = false;
    bool busyWhileHeld = false;
    bool idleAfter = false;
};
GateProbe probeGate(Gates &gates, const std::string &op, const std::function<void()> &call,
                    const std::function<bool(int timeoutMs)> &waitIdle);

// "The next n calls fail": a count the layer takes one call at a time.
class Countdown
{
public:
    void set(int n); // below 0 counts as 0
    // True, counting one down, while the count is above 0.
    bool take();

private:
    std::mutex m_mutex;
    int m_left = 0;
};

// Scripted results per operation: a queue taken one by one, then an optional
// sticky value that answers every later call.
template <class T>
class Script
{
public:
    void push(const std::string &op, T value)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queued[op].push_back(std::move(value));
    }
    void setSticky(const std::string &op, T value)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sticky[op] = std::move(value);
    }
    void clearSticky(const std::string &op)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sticky.erase(op);
    }
    std::optional<T> take(const std::string &op)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto q = m_queued.find(op);
        if (q != m_queued.end() && !q->second.empty()) {
            T v = std::move(q->second.front());
            q->second.pop_front();
            return v;
        }
        auto s = m_sticky.find(op);
        if (s != m_sticky.end())
            return s->second;
        return std::nullopt;
    }
    bool has(const std::string &op) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto q = m_queued.find(op);
        return (q != m_queued.end() && !q->second.empty()) || m_sticky.count(op) > 0;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queued.clear();
        m_sticky.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::map<std::string, std::deque<T>> m_queued;
    std::map<std::string, T> m_sticky;
};

// Renders a value for the call log.
std::string toArg(const std::string &s);
std::string toArg(const char *s);
std::string toArg(const std::u16string &s);
std::string toArg(bool b);
// Floating values in their shortest form that reads back as the same value,
// so two values that differ never log alike.
std::string toArg(double d);
std::string toArg(float f);
template <class T>
std::string toArg(T v)
{
    return std::to_string(v);
}

} // namespace mvplatform
