#include "UITaskQueueWnd.h"

#include "CSttTaskQueue.h"

#include <QThread>
#include <QTimer>

#include <mutex>

struct UITaskQueueWnd::State
{
    std::mutex guard; // guards stopped and queue
    bool stopped = true;
    std::shared_ptr<CSttTaskQueue> queue;
    bool draining = false; // GUI thread only
};

UITaskQueueWnd::UITaskQueueWnd()
    : m_state(std::make_shared<State>())
{
}

UITaskQueueWnd::~UITaskQueueWnd()
{
    Destroy();
}

bool UITaskQueueWnd::Create(int periodMs)
{
    if (periodMs < 0)
        return false;
    {
        std::lock_guard<std::mutex> lock(m_state->guard);
        if (!m_state->queue)
            m_state->queue = std::make_shared<CSttTaskQueue>();
        m_state->stopped = false;
    }
    if (!m_timer) {
        m_timer = new QTimer;
        // A coarse timer may tick up to 5% late, past the promised period.
        m_timer->setTimerType(Qt::PreciseTimer);
        std::shared_ptr<State> state = m_state;
        QObject::connect(m_timer, &QTimer::timeout, m_timer, [state] { drain(state); });
    }
    m_timer->start(periodMs);
    return true;
}

bool UITaskQueueWnd::Create(void *moduleInstance, int periodMs)
{
    Q_UNUSED(moduleInstance);
    return Create(periodMs);
}

int UITaskQueueWnd::PostTask(const SttTask &task, int tag)
{
    std::lock_guard<std::mutex> lock(m_state->guard);
    if (m_state->stopped || !m_state->queue)
        return 0;
    return m_state->queue->Post(task, tag, 0, -1);
}

void UITaskQueueWnd::Destroy()
{
    std::shared_ptr<CSttTaskQueue> queue;
    {
        std::lock_guard<std::mutex> lock(m_state->guard);
        m_state->stopped = true;
        queue.swap(m_state->queue);
    }
    if (m_timer) {
        // The timer is deleted on its own thread, and never under its own
        // timeout (a task of the drain may be the one destroying the pump).
        if (m_timer->thread() != QThread::currentThread()) {
            m_timer->deleteLater();
        } else if (m_state->draining) {
            m_timer->stop();
            m_timer->deleteLater();
        } else {
            delete m_timer;
        }
        m_timer = nullptr;
    }
    // Releasing our share drops the waiting tasks, unless a drain still
    // holds the queue; that drain stops before its next task.
    queue.reset();
}

CSttTaskQueue *UITaskQueueWnd::TaskQueue() const
{
    std::lock_guard<std::mutex> lock(m_state->guard);
    return m_state->queue.get();
}

void UITaskQueueWnd::drain(const std::shared_ptr<State> &state)
{
    std::shared_ptr<CSttTaskQueue> queue;
    {
        std::lock_guard<std::mutex> lock(state->guard);
        queue = state->queue;
    }
    if (!queue)
        return;
    state->draining = true;
    // One task at a time, so that a task destroying the pump ends the drain;
    // tasks posted meanwhile still run in this drain.
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(state->guard);
            if (state->stopped)
                break;
        }
        if (!queue->RunOne())
            break;
    }
    state->draining = false;
}
