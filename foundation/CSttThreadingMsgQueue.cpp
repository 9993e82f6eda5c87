#include "CSttThreadingMsgQueue.h"

#include "ThreadSignalStack.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

struct CSttThreadingMsgQueue::Shared
{
    std::deque<SttTask> tasks;
    std::mutex mutex; // guards tasks and stop
    std::condition_variable wakeUp;
    bool stop = false;
    std::atomic<int> pending{0};
};

CSttThreadingMsgQueue::CSttThreadingMsgQueue()
    : m_shared(std::make_shared<Shared>())
{
    // The thread holds the shared state from its first instruction: an
    // abandoned worker may be deleted before the thread has even started.
    m_thread = std::thread([shared = m_shared] {
        const mvplatform::ThreadSignalStack signalStack;
        runLoop(*shared);
    });
}

CSttThreadingMsgQueue::~CSttThreadingMsgQueue()
{
    // Called here rather than relied on from a derived class: the thread
    // must be gone (or own its state) before the members go.
    CSttThreadingMsgQueue::Stop();
}

void CSttThreadingMsgQueue::PostTask(const SttTask &task)
{
    Shared &s = *m_shared;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.stop)
            return;
        s.tasks.push_back(task);
        s.pending.fetch_add(1, std::memory_order_acq_rel);
    }
    s.wakeUp.notify_one();
}

void CSttThreadingMsgQueue::Stop()
{
    Shared &s = *m_shared;
    {
        // Set under the mutex: the worker tests the flag under it before
        // waiting, so the wake-up cannot slip between test and wait.
        std::lock_guard<std::mutex> lock(s.mutex);
        s.stop = true;
    }
    s.wakeUp.notify_all();
    if (m_thread.joinable()) {
        // A task stopping its own worker cannot wait for itself; the thread
        // holds the shared state and ends after this task.
        if (m_thread.get_id() == std::this_thread::get_id())
            m_thread.detach();
        else
            m_thread.join();
    }
    std::deque<SttTask> dropped;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        dropped.swap(s.tasks);
        s.pending.fetch_sub(static_cast<int>(dropped.size()), std::memory_order_acq_rel);
    }
    // Dropped outside the mutex: a task's captures may post on destruction.
}

void CSttThreadingMsgQueue::Abandon()
{
    Shared &s = *m_shared;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.stop = true;
    }
    s.wakeUp.notify_all();
    // The thread owns the shared state; it ends after its running task.
    if (m_thread.joinable())
        m_thread.detach();
    std::deque<SttTask> dropped;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        dropped.swap(s.tasks);
        s.pending.fetch_sub(static_cast<int>(dropped.size()), std::memory_order_acq_rel);
    }
}

bool CSttThreadingMsgQueue::RunsOnCurrentThread() const
{
    return m_thread.joinable() && m_thread.get_id() == std::this_thread::get_id();
}

int CSttThreadingMsgQueue::PendingCount() const
{
    return m_shared->pending.load(std::memory_order_acquire);
}

void CSttThreadingMsgQueue::Run()
{
    // A copy of our own: a task may delete this object while the loop runs.
    const std::shared_ptr<Shared> shared = m_shared;
    runLoop(*shared);
}

void CSttThreadingMsgQueue::runLoop(Shared &s)
{
    for (;;) {
        SttTask task;
        {
            std::unique_lock<std::mutex> lock(s.mutex);
            s.wakeUp.wait(lock, [&s] { return s.stop || !s.tasks.empty(); });
            if (s.stop)
                return;
            task = std::move(s.tasks.front());
            s.tasks.pop_front();
        }
        SttRunTask(task, "CSttThreadingMsgQueue");
        task = nullptr;
        s.pending.fetch_sub(1, std::memory_order_acq_rel);
    }
}
