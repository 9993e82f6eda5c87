#include "CallbackThread.h"

#include <chrono>

#include <pthread.h>

namespace castcore {

CallbackThread::CallbackThread(const char *name)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_thread = std::thread([this] { loop(); });
    m_id = m_thread.get_id();
    pthread_setname_np(m_thread.native_handle(), name);
}

CallbackThread::~CallbackThread()
{
    stop();
}

void CallbackThread::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping)
            return;
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CallbackThread::post(std::function<void()> task)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping)
            return;
        m_tasks.push_back(std::move(task));
    }
    m_changed.notify_all();
}

void CallbackThread::run(const std::function<void()> &task)
{
    if (std::this_thread::get_id() == m_id) {
        task();
        return;
    }
    std::mutex doneMutex;
    std::condition_variable doneCv;
    bool done = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping)
            return;
        m_tasks.push_back([&] {
            task();
            std::lock_guard<std::mutex> l(doneMutex);
            done = true;
            doneCv.notify_all();
        });
    }
    m_changed.notify_all();
    std::unique_lock<std::mutex> l(doneMutex);
    doneCv.wait(l, [&] { return done; });
}

bool CallbackThread::waitIdle(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_stopping || (m_tasks.empty() && !m_running); });
}

void CallbackThread::loop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_stopping || !m_tasks.empty(); });
        if (m_tasks.empty() && m_stopping)
            return;
        std::function<void()> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        m_running = true;
        lock.unlock();
        task();
        lock.lock();
        m_running = false;
        m_changed.notify_all();
    }
}

} // namespace castcore

#include "CastCoreControl.h"

namespace castcore {

EngineThreads::EngineThreads()
    : m_library("castcore-lib")
    , m_video("castcore-video")
{
}

void EngineThreads::post(std::function<void()> task)
{
    if (control().inlineCallbacks())
        task();
    else
        m_library.post(std::move(task));
}

void EngineThreads::runOnLibrary(const std::function<void()> &task)
{
    if (control().inlineCallbacks())
        task();
    else
        m_library.run(task);
}

void EngineThreads::runOnVideo(const std::function<void()> &task)
{
    if (control().inlineCallbacks())
        task();
    else
        m_video.run(task);
}

bool EngineThreads::waitIdle(int timeoutMs)
{
    // The library thread may hand work to the video thread and back; two
    // rounds settle both.
    for (int round = 0; round < 2; ++round) {
        if (!m_library.waitIdle(timeoutMs) || !m_video.waitIdle(timeoutMs))
            return false;
    }
    return true;
}

void EngineThreads::stop()
{
    m_library.stop();
    m_video.stop();
}

} // namespace castcore
