#pragma once

#include "SttTask.h"

#include <memory>

class CSttTaskQueue;
class QTimer;

// Lets any thread hand a task to the GUI thread: a timer of the GUI thread
// drains the pump's queue once per period, so a task runs at the latest
// about one period after it was posted. Create and Destroy belong to the
// GUI thread; PostTask is safe from any thread, also after Destroy.
class UITaskQueueWnd
{
public:
    UITaskQueueWnd();
    ~UITaskQueueWnd();

    UITaskQueueWnd(const UITaskQueueWnd &) = delete;
    UITaskQueueWnd &operator=(const UITaskQueueWnd &) = delete;

    // Starts the pump with the given period in milliseconds. A second call
    // keeps the queue and only changes the period.
    bool Create(int periodMs);
    // The program's form, with its module instance: on Windows the handle
    // owns the pump's window class; here nothing needs it.
    bool Create(void *moduleInstance, int periodMs);

    // Queues the task for the GUI thread and returns the number of tasks now
    // waiting, or 0 (the task dropped) when the pump is not running.
    int PostTask(const SttTask &task, int tag = 0);

    // Stops the pump; waiting tasks are dropped unrun, also those of a
    // drain in progress.
    void Destroy();

    // The queue, or null when the pump is not running.
    CSttTaskQueue *TaskQueue() const;

private:
    struct State;
    static void drain(const std::shared_ptr<State> &state);

    // Shared with a drain in progress, so that a task may destroy the pump.
    std::shared_ptr<State> m_state;
    QTimer *m_timer = nullptr;
};
