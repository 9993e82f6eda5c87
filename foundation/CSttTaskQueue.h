#pragma once

#include "SttTask.h"

#include <cstdint>
#include <deque>
#include <mutex>

// A task list without a thread of its own: any thread posts, the owner
// drains it on its own thread. Waiting tasks are dropped on destruction.
class CSttTaskQueue
{
public:
    CSttTaskQueue();
    ~CSttTaskQueue();

    CSttTaskQueue(const CSttTaskQueue &) = delete;
    CSttTaskQueue &operator=(const CSttTaskQueue &) = delete;

    // Appends the task and returns the new number of waiting tasks. The
    // three further values travel with the task for the caller's benefit
    // and are not used by the queue.
    int Post(const SttTask &task, std::intptr_t tag = 0, std::intptr_t detail = 0,
             std::int64_t userData = -1);

    int PendingCount() const;

    // Runs waiting tasks until the list is empty, including tasks posted
    // while the drain runs; returns how many ran.
    int RunAll();

    // Runs the first waiting task; false when there was none.
    bool RunOne();

    // Posts the task and blocks until the owner has run it, or until the
    // task was dropped unrun (the queue destroyed).
    void PostAndWait(const SttTask &task);

private:
    bool takeFirst(SttTask &task);

    std::deque<SttTask> m_tasks;
    int m_pendingCount = 0;
    mutable std::mutex m_mutex;
};
