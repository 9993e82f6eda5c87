#include "CSttThreadPool.h"

#include "CSttThreadingMsgQueue.h"
#include "Logger.h"

CSttThreadPool::CSttThreadPool()
{
    Grow(4);
}

CSttThreadPool::~CSttThreadPool()
{
    std::vector<std::unique_ptr<CSttThreadingMsgQueue>> workers;
    {
        // Released before any wait: a running task that dispatches meanwhile
        // finds the pool closed instead of waiting for this lock for ever.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
        workers.swap(m_workers);
    }
    bool fromOwnTask = false;
    for (const auto &worker : workers)
        fromOwnTask = fromOwnTask || worker->RunsOnCurrentThread();
    if (fromOwnTask) {
        // Waiting here for another worker's task could wait for ever (that
        // task may wait for this one); the workers end on their own.
        Logger::instance()->write(Logger::LOG_WARN,
                                  "CSttThreadPool deleted from one of its own tasks: its workers are stopped, "
                                  "not waited for");
        for (const auto &worker : workers)
            worker->Abandon();
    }
    workers.clear(); // each worker stops and joins its thread, unless abandoned
}

void CSttThreadPool::SetMaxCount(int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_maxCount = count;
}

int CSttThreadPool::MaxCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_maxCount;
}

void CSttThreadPool::Grow(int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    growLocked(count);
}

void CSttThreadPool::growLocked(int count)
{
    if (m_closed || count < static_cast<int>(m_workers.size()))
        return;
    m_workers.reserve(count);
    while (static_cast<int>(m_workers.size()) < count)
        m_workers.push_back(std::make_unique<CSttThreadingMsgQueue>());
}

void CSttThreadPool::Dispatch(const SttTask &task)
{
    // Lock order: pool mutex, then the chosen worker's own mutex.
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_closed)
        return;
    const int count = static_cast<int>(m_workers.size());
    int least = 0;
    int leastPending = 0;
    for (int i = 0; i < count; ++i) {
        const int pending = m_workers[i]->PendingCount();
        if (pending == 0) {
            m_workers[i]->PostTask(task);
            return;
        }
        if (i == 0 || pending < leastPending) {
            least = i;
            leastPending = pending;
        }
    }
    if (count < m_maxCount) {
        // Steps of four, even past a maximum that is not a multiple of four.
        growLocked(count + 4);
        m_workers[count]->PostTask(task);
        return;
    }
    if (count > 0)
        m_workers[least]->PostTask(task);
}

int CSttThreadPool::WorkerCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_workers.size());
}

int CSttThreadPool::PendingCount(int index) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (index < 0 || index >= static_cast<int>(m_workers.size()))
        return -1;
    return m_workers[index]->PendingCount();
}
