#pragma once

#include "SttTask.h"

#include <memory>
#include <thread>

// One worker thread with its own task list, run one at a time in the order
// posted. A task may stop or delete its own worker (or the pool that owns
// it): the thread then ends after that task, without touching the object.
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
    // waiting. Later calls do nothing. Called from the worker's own task it
    // returns at once; the thread ends when that task returns.
    virtual void Stop();
    // Stop without waiting for a running task: the thread ends on its own
    // once that task returns. For an owner that must not wait.
    void Abandon();
    // True on the worker's own thread (inside one of its tasks).
    bool RunsOnCurrentThread() const;

    // Tasks posted and not yet finished (waiting plus the running one). Read
    // without the list's mutex, so it may be stale by the time it is used.
    int PendingCount() const;

protected:
    // The worker loop, on the shared state.
    virtual void Run();

private:
    struct Shared;
    static void runLoop(Shared &shared);

    // Shared with the thread, which keeps it alive for as long as it runs.
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};
