#include "CSttThreadPool.h"

#include "CSttThreadingMsgQueue.h"

CSttThreadPool::CSttThreadPool()
{
    Grow(4);
}

CSttThreadPool::~CSttThreadPool()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_workers.clear(); // each worker stops and joins its thread
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
    if (count < static_cast<int>(m_workers.size()))
        return;
    m_workers.reserve(count);
    while (static_cast<int>(m_workers.size()) < count)
        m_workers.push_back(std::make_unique<CSttThreadingMsgQueue>());
}

void CSttThreadPool::Dispatch(const SttTask &task)
{
    // Lock order: pool mutex, then the chosen worker's own mutex.
    std::lock_guard<std::mutex> lock(m_mutex);
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
