#include "CSttTaskQueue.h"

#include <condition_variable>
#include <memory>

CSttTaskQueue::CSttTaskQueue() = default;

CSttTaskQueue::~CSttTaskQueue() = default;

int CSttTaskQueue::Post(const SttTask &task, std::intptr_t, std::intptr_t, std::int64_t)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_tasks.push_back(task);
    return ++m_pendingCount;
}

int CSttTaskQueue::PendingCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pendingCount;
}

bool CSttTaskQueue::takeFirst(SttTask &task)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_tasks.empty())
        return false;
    task = std::move(m_tasks.front());
    m_tasks.pop_front();
    --m_pendingCount;
    return true;
}

int CSttTaskQueue::RunAll()
{
    int ran = 0;
    SttTask task;
    // The mutex is released around each task so that a task may post to
    // this queue; such tasks run in the same drain.
    while (takeFirst(task)) {
        SttRunTask(task, "CSttTaskQueue");
        task = nullptr;
        ++ran;
    }
    return ran;
}

bool CSttTaskQueue::RunOne()
{
    SttTask task;
    if (!takeFirst(task))
        return false;
    SttRunTask(task, "CSttTaskQueue");
    return true;
}

void CSttTaskQueue::PostAndWait(const SttTask &task)
{
    struct Signal
    {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
    };
    // Owned by the posted task alone: it wakes the waiter when the task's
    // last copy goes, after it ran or when the queue dropped it unrun, so a
    // dropped task never leaves its poster waiting for ever.
    struct Release
    {
        std::shared_ptr<Signal> signal;
        ~Release()
        {
            std::lock_guard<std::mutex> lock(signal->mutex);
            signal->finished = true;
            signal->done.notify_all();
        }
    };
    auto signal = std::make_shared<Signal>();
    auto release = std::make_shared<Release>();
    release->signal = signal;
    Post([task, release] { SttRunTask(task, "CSttTaskQueue"); });
    release.reset();
    std::unique_lock<std::mutex> lock(signal->mutex);
    signal->done.wait(lock, [&] { return signal->finished; });
}
