#include "SttTimerTask.h"

#include "CSttTaskQueue.h"
#include "CSttThreadPool.h"
#include "SttUtils.h"
#include "ThreadSignalStack.h"

namespace {

const std::size_t FieldBytes = 1023;

// Cut to the field, never inside a UTF-8 sequence.
std::string fieldText(const char *text)
{
    if (!text)
        return std::string();
    std::string s(text);
    if (s.size() <= FieldBytes)
        return s;
    std::size_t cut = FieldBytes;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80)
        --cut;
    s.resize(cut);
    return s;
}

} // namespace

SttTimerTask::SttTimerTask(CSttThreadPool *pool, ClockSource clock)
    : m_pool(pool)
    , m_clock(std::move(clock))
{
    m_thread = std::thread([this] { Run(); });
}

SttTimerTask::~SttTimerTask()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    m_entries.clear();
}

SttTimerTask::Clock::time_point SttTimerTask::now() const
{
    return m_clock ? m_clock() : Clock::now();
}

int SttTimerTask::AddTask(const SttTask &task, unsigned int intervalMs, unsigned int repeatCount,
                          bool fireNow, CSttTaskQueue *target, const char *name,
                          const char *detail, int userData)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto entry = std::make_unique<Entry>();
    entry->id = ++m_lastId;
    entry->interval = intervalMs;
    entry->remaining = repeatCount;
    entry->task = task;
    entry->target = target;
    entry->userData = userData;
    entry->name = fieldText(name);
    entry->detail = fieldText(detail);
    entry->start = now();
    Entry &added = *entry;
    m_entries.push_back(std::move(entry));
    if (fireNow)
        FireTask(added, added.start);
    m_wake.notify_all();
    return added.id;
}

bool SttTimerTask::RemoveTask(int id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if ((*it)->id == id) {
            m_entries.erase(it);
            return true;
        }
    }
    return false;
}

void SttTimerTask::Run()
{
    const mvplatform::ThreadSignalStack signalStack;
    for (;;) {
        {
            // With nothing to time the thread sleeps until a task comes, so
            // an idle program does not wake every pass.
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_entries.empty(); });
            if (m_stop)
                return;
            const Clock::time_point passTime = now();
            for (auto it = m_entries.begin(); it != m_entries.end();) {
                Entry &entry = **it;
                if (entry.remaining != 0) {
                    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                        passTime - entry.start).count();
                    if (elapsed > static_cast<long long>(entry.interval))
                        FireTask(entry, passTime);
                }
                if (entry.remaining == 0)
                    it = m_entries.erase(it);
                else
                    ++it;
            }
        }
        SttSleep(PassMs);
    }
}

void SttTimerTask::FireTask(Entry &entry, Clock::time_point firedAt)
{
    // Only hands the task on: it runs later on the queue's owner or a worker.
    if (entry.task) {
        if (entry.target) {
            entry.target->Post(entry.task, reinterpret_cast<std::intptr_t>(entry.name.c_str()),
                               reinterpret_cast<std::intptr_t>(entry.detail.c_str()),
                               entry.userData);
        } else if (m_pool) {
            m_pool->Dispatch(entry.task);
        }
    }
    if (entry.remaining != 0 && entry.remaining != Endless)
        --entry.remaining;
    // The next period counts from the time the firing was judged on, not
    // from a second reading after the hand-over: that would add the posting
    // time to every period.
    entry.start = firedAt;
}
