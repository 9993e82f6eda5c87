#pragma once

#include "SttTask.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// One worker thread with its own task list, run one at a time in the order
// posted.
class CSttThreadingMsgQueue
{
public:
    CSttThreadingMsgQueue();
    virtual ~CSttThreadingMsgQueue();

    CSttThreadingMsgQueue(const CSttThreadingMsgQueue &) = delete;
    CSttThreadingMsgQueue &operator=(const CSttThreadingMsgQueue &) = delete;

    // Appends the task and wakes the worker. After Stop the task is dropped.
    virtual void PostTask(const SttTask &task);

    // Lets a running task finish, ends the thread and drops the tasks still
    // waiting. Later calls do nothing.
    virtual void Stop();

    // Tasks posted and not yet finished (waiting plus the running one). Read
    // without the list's mutex, so it may be stale by the time it is used.
    int PendingCount() const { return m_pending.load(std::memory_order_acquire); }

protected:
    // The worker loop.
    virtual void Run();

private:
    std::deque<SttTask> m_tasks;
    std::mutex m_mutex;
    std::condition_variable m_wakeUp;
    std::thread m_thread;
    bool m_stop = false;
    std::atomic<int> m_pending{0};
};
