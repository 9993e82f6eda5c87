#include "ControlFace.h"

#include <QString>

#include <atomic>
#include <charconv>
#include <chrono>

namespace mvplatform {

namespace {

// Constant-initialised, so it reads off before any constructor runs.
std::atomic<bool> g_recording{false};

} // namespace

void CallLog::setRecording(bool on)
{
    g_recording.store(on, std::memory_order_relaxed);
}

bool CallLog::recording()
{
    return g_recording.load(std::memory_order_relaxed);
}

void CallLog::record(const std::string &op, std::vector<std::string> args)
{
    if (!recording())
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back({op, std::move(args), std::this_thread::get_id()});
    while (m_calls.size() > m_capacity)
        m_calls.pop_front();
}

void CallLog::setCapacity(std::size_t capacity)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_capacity = capacity > 0 ? capacity : 1;
    while (m_calls.size() > m_capacity)
        m_calls.pop_front();
}

std::vector<CallRecord> CallLog::all() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return {m_calls.begin(), m_calls.end()};
}

std::vector<CallRecord> CallLog::of(const std::string &op) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<CallRecord> out;
    for (const auto &c : m_calls)
        if (c.op == op)
            out.push_back(c);
    return out;
}

std::vector<std::string> CallLog::ops() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> out;
    out.reserve(m_calls.size());
    for (const auto &c : m_calls)
        out.push_back(c.op);
    return out;
}

int CallLog::count(const std::string &op) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int n = 0;
    for (const auto &c : m_calls)
        if (c.op == op)
            ++n;
    return n;
}

std::optional<CallRecord> CallLog::last(const std::string &op) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_calls.rbegin(); it != m_calls.rend(); ++it)
        if (it->op == op)
            return *it;
    return std::nullopt;
}

void CallLog::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
}

void Gates::close(const std::string &op)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closed[op] = true;
}

void Gates::open(const std::string &op)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed[op] = false;
    }
    m_changed.notify_all();
}

void Gates::openAll()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed.clear();
    }
    m_changed.notify_all();
}

void Gates::pass(const std::string &op)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    auto isClosed = [&] {
        auto it = m_closed.find(op);
        return it != m_closed.end() && it->second;
    };
    if (!isClosed())
        return;
    ++m_waiting[op];
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return !isClosed(); });
    --m_waiting[op];
    m_changed.notify_all();
}

int Gates::waiting(const std::string &op) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_waiting.find(op);
    return it == m_waiting.end() ? 0 : it->second;
}

bool Gates::waitForWaiting(const std::string &op, int n, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        auto it = m_waiting.find(op);
        return it != m_waiting.end() && it->second >= n;
    });
}

Activity::Call::Call(Activity &activity, Gates &gates, const std::string &op)
    : m_activity(activity)
{
    {
        std::lock_guard<std::mutex> lock(activity.m_mutex);
        ++activity.m_calls;
    }
    gates.pass(op);
}

Activity::Call::~Call()
{
    {
        std::lock_guard<std::mutex> lock(m_activity.m_mutex);
        --m_activity.m_calls;
    }
    m_activity.m_changed.notify_all();
}

int Activity::inProgress() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

bool Activity::waitIdle(int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_calls == 0; });
}

GateProbe probeGate(Gates &gates, const std::string &op, const std::function<void()> &call,
                    const std::function<bool(int timeoutMs)> &waitIdle)
{
    GateProbe probe;
    gates.close(op);
    std::thread caller(call);
    probe.held = gates.waitForWaiting(op, 1, 5000);
    probe.busyWhileHeld = probe.held && !waitIdle(0);
    gates.open(op);
    caller.join();
    probe.idleAfter = waitIdle(5000);
    return probe;
}

void Countdown::set(int n)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_left = n > 0 ? n : 0;
}

bool Countdown::take()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_left <= 0)
        return false;
    --m_left;
    return true;
}

std::string toArg(const std::string &s) { return s; }
std::string toArg(const char *s) { return s ? std::string(s) : std::string("(null)"); }
std::string toArg(const std::u16string &s)
{
    return QString::fromUtf16(s.data(), int(s.size())).toStdString();
}
std::string toArg(bool b) { return b ? "true" : "false"; }
namespace {

template <class Real>
std::string shortest(Real v)
{
    char buffer[64];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}

} // namespace

std::string toArg(double d) { return shortest(d); }
std::string toArg(float f) { return shortest(f); }

} // namespace mvplatform
