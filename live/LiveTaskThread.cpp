#include "LiveTaskThread.h"

#include "ThreadSignalStack.h"

#include <QMutexLocker>

LiveTaskThread::LiveTaskThread(std::function<void(int)> body, QObject *parent)
    : QThread(parent)
    , m_body(std::move(body))
{
    start();
}

LiveTaskThread::~LiveTaskThread()
{
    finish();
}

bool LiveTaskThread::startTask(int job, const std::function<void()> &accept)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_busy || m_finishing)
            return false;
        m_busy = true;
    }
    // Busy already: no other start gets here and the worker waits, so the
    // inputs can be written without the lock.
    if (accept)
        accept();
    QMutexLocker lock(&m_mutex);
    m_job = job;
    m_pending = true;
    m_changed.wakeAll();
    return true;
}

bool LiveTaskThread::isBusy() const
{
    QMutexLocker lock(&m_mutex);
    return m_busy;
}

int LiveTaskThread::jobNumber() const
{
    QMutexLocker lock(&m_mutex);
    return m_job;
}

void LiveTaskThread::waitIdle()
{
    QMutexLocker lock(&m_mutex);
    while (m_busy)
        m_changed.wait(&m_mutex);
}

void LiveTaskThread::finish()
{
    {
        QMutexLocker lock(&m_mutex);
        m_finishing = true;
        m_changed.wakeAll();
    }
    wait();
}

void LiveTaskThread::run()
{
    const mvplatform::ThreadSignalStack signalStack;
    QMutexLocker lock(&m_mutex);
    for (;;) {
        // A start accepted before finish() still runs its job: its caller
        // was told so.
        while (!m_pending && !(m_finishing && !m_busy))
            m_changed.wait(&m_mutex);
        if (!m_pending)
            return;
        m_pending = false;
        const int job = m_job;
        lock.unlock();
        if (m_body && job >= JobLogin && job <= JobQrCode)
            m_body(job);
        lock.relock();
        m_busy = false;
        m_changed.wakeAll();
    }
}
