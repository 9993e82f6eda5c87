#include "ServiceThread.h"

namespace authport {

ServiceThread::ServiceThread()
    : m_thread([this] { run(); })
{
}

ServiceThread::~ServiceThread()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_tasks.clear();
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void ServiceThread::post(std::function<void()> task, int delayMs)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stop)
            return;
        const auto due = Clock::now() + std::chrono::milliseconds(delayMs > 0 ? delayMs : 0);
        m_tasks.emplace(Key(due, ++m_sequence), std::move(task));
    }
    m_changed.notify_all();
}

bool ServiceThread::idleLocked() const
{
    return !m_running && (m_tasks.empty() || m_tasks.begin()->first.first > Clock::now());
}

bool ServiceThread::waitIdle(int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!idleLocked()) {
        if (Clock::now() >= deadline)
            return false;
        m_changed.wait_until(lock, deadline);
    }
    return true;
}

void ServiceThread::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
        if (m_tasks.empty()) {
            m_changed.wait(lock);
            continue;
        }
        const auto due = m_tasks.begin()->first.first;
        if (due > Clock::now()) {
            m_changed.wait_until(lock, due);
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

} // namespace authport
