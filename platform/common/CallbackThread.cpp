#include "CallbackThread.h"

#include "ThreadSignalStack.h"

#include <future>
#include <memory>

#include <pthread.h>

namespace mvplatform {

CallbackThread::CallbackThread(const char *name)
{
    // Held until m_id is set: a callback may compare against it.
    std::lock_guard<std::mutex> lock(m_mutex);
    m_thread = std::thread([this] { loop(); });
    m_id = m_thread.get_id();
    pthread_setname_np(m_thread.native_handle(), name);
}

CallbackThread::~CallbackThread()
{
    stop();
}

void CallbackThread::stop(Pending pending)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping)
            return;
        m_stopping = true;
        if (pending == Pending::Drop)
            m_tasks.clear();
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_tasks.clear();
}

void CallbackThread::post(std::function<void()> task, int delayMs)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping)
            return;
        const auto due = Clock::now() + std::chrono::milliseconds(delayMs > 0 ? delayMs : 0);
        m_tasks.emplace(Key(due, ++m_sequence), std::move(task));
    }
    m_changed.notify_all();
}

void CallbackThread::run(const std::function<void()> &task)
{
    if (std::this_thread::get_id() == m_id) {
        task();
        return;
    }
    // The queued callback owns the only promise: dropped unrun, it breaks the
    // promise, and that ends the wait too.
    auto finished = std::make_shared<std::promise<void>>();
    std::future<void> done = finished->get_future();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping)
            return;
        m_tasks.emplace(Key(Clock::now(), ++m_sequence), [&task, finished] {
            task();
            finished->set_value();
        });
    }
    finished.reset();
    m_changed.notify_all();
    done.wait();
}

bool CallbackThread::dueLocked() const
{
    return !m_tasks.empty() && m_tasks.begin()->first.first <= Clock::now();
}

bool CallbackThread::waitIdle(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_stopping || (!m_running && !dueLocked()); });
}

std::size_t CallbackThread::queued() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_tasks.size();
}

void CallbackThread::setTicker(Ticker ticker, Clock::time_point due)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping)
            return;
        m_ticker = std::move(ticker);
        m_tickDue = due;
        ++m_tickerGeneration;
    }
    m_changed.notify_all();
}

void CallbackThread::clearTicker()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_ticker = nullptr;
    ++m_tickerGeneration;
    if (std::this_thread::get_id() != m_id)
        m_changed.wait(lock, [&] { return !m_ticking; });
}

void CallbackThread::loop()
{
    const ThreadSignalStack signalStack;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        const bool taskDue = dueLocked();
        const bool tickDue = m_ticker && !m_stopping && m_tickDue <= Clock::now()
                             && (!taskDue || m_tickDue <= m_tasks.begin()->first.first);
        if (tickDue) {
            Ticker ticker = m_ticker; // clearTicker() may drop it meanwhile
            const unsigned long long generation = m_tickerGeneration;
            m_ticking = true;
            lock.unlock();
            const Clock::time_point next = ticker(Clock::now());
            lock.lock();
            m_ticking = false;
            if (m_ticker && generation == m_tickerGeneration)
                m_tickDue = next;
            m_changed.notify_all();
            continue;
        }
        if (!taskDue) {
            if (m_stopping)
                return;
            // Copies: stop() may drop the task, and its key, during the wait.
            Clock::time_point wake = Clock::time_point::max();
            if (!m_tasks.empty())
                wake = m_tasks.begin()->first.first;
            if (m_ticker && m_tickDue < wake)
                wake = m_tickDue;
            if (wake == Clock::time_point::max())
                m_changed.wait(lock);
            else
                m_changed.wait_until(lock, wake);
            continue;
        }
        std::function<void()> task = std::move(m_tasks.begin()->second);
        m_tasks.erase(m_tasks.begin());
        m_running = true;
        lock.unlock();
        task();
        lock.lock();
        m_running = false;
        m_changed.notify_all();
    }
}

} // namespace mvplatform
