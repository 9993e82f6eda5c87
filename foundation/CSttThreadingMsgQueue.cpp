#include "CSttThreadingMsgQueue.h"

CSttThreadingMsgQueue::CSttThreadingMsgQueue()
{
    m_thread = std::thread([this] { Run(); });
}

CSttThreadingMsgQueue::~CSttThreadingMsgQueue()
{
    // Called here rather than relied on from a derived class: the thread
    // must be gone before the members it uses.
    CSttThreadingMsgQueue::Stop();
}

void CSttThreadingMsgQueue::PostTask(const SttTask &task)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stop)
            return;
        m_tasks.push_back(task);
        m_pending.fetch_add(1, std::memory_order_acq_rel);
    }
    m_wakeUp.notify_one();
}

void CSttThreadingMsgQueue::Stop()
{
    {
        // Set under the mutex: the worker tests the flag under it before
        // waiting, so the wake-up cannot slip between test and wait.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wakeUp.notify_all();
    if (m_thread.joinable()) {
        if (m_thread.get_id() == std::this_thread::get_id())
            m_thread.detach(); // a task stopping its own worker: it ends after this task
        else
            m_thread.join();
    }
    std::deque<SttTask> dropped;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        dropped.swap(m_tasks);
        m_pending.fetch_sub(static_cast<int>(dropped.size()), std::memory_order_acq_rel);
    }
    // Dropped outside the mutex: a task's captures may post on destruction.
}

void CSttThreadingMsgQueue::Run()
{
    for (;;) {
        SttTask task;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wakeUp.wait(lock, [this] { return m_stop || !m_tasks.empty(); });
            if (m_stop)
                return;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        SttRunTask(task, "CSttThreadingMsgQueue");
        task = nullptr;
        m_pending.fetch_sub(1, std::memory_order_acq_rel);
    }
}
