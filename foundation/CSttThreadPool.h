#pragma once

#include "SttTask.h"

#include <memory>
#include <mutex>
#include <vector>

class CSttThreadingMsgQueue;

// A set of workers. A task goes to the first idle worker; when none is idle
// the pool grows by four workers while below its maximum, and otherwise the
// task goes to the worker with the fewest pending tasks (lowest index on a
// tie).
//
// Deleting the pool waits for the running tasks, except from one of its own
// tasks: that is logged and the workers end on their own once their running
// tasks return (no task may use the pool after that).
class CSttThreadPool
{
public:
    CSttThreadPool();
    ~CSttThreadPool();

    CSttThreadPool(const CSttThreadPool &) = delete;
    CSttThreadPool &operator=(const CSttThreadPool &) = delete;

    // Bounds later growth; creates and removes nothing.
    void SetMaxCount(int count);
    int MaxCount() const;

    // Never blocks on a busy worker and never fails. While the pool is being
    // deleted the task is dropped.
    void Dispatch(const SttTask &task);

    // Grows the pool to count workers; a smaller count does nothing.
    void Grow(int count);

    int WorkerCount() const;
    // Pending tasks of the worker at that index, -1 for no such worker.
    int PendingCount(int index) const;

private:
    void growLocked(int count);

    std::vector<std::unique_ptr<CSttThreadingMsgQueue>> m_workers;
    mutable std::mutex m_mutex;
    int m_maxCount = 64;
    bool m_closed = false; // set by the destructor
};
