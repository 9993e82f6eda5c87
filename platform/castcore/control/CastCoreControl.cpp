#include "CastCoreControl.h"

#include <algorithm>

namespace castcore {

CastCoreControl &CastCoreControl::instance()
{
    static CastCoreControl control;
    return control;
}

CastCoreControl::CastCoreControl()
{
    // The world file is read when the control face comes up, not later.
    currentWorld();
}

World CastCoreControl::world() const
{
    return currentWorld();
}

void CastCoreControl::setWorld(const World &world)
{
    setCurrentWorld(world);
}

void CastCoreControl::setPushOutcome(const std::string &url, bool connects)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pushOutcomes[url] = connects;
}

std::optional<bool> CastCoreControl::scriptedPushOutcome(const std::string &url) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_pushOutcomes.find(url);
    if (it != m_pushOutcomes.end())
        return it->second;
    const std::vector<std::string> refused = currentWorld().refusedPushUrls;
    if (std::find(refused.begin(), refused.end(), url) != refused.end())
        return false;
    return m_defaultPushOutcome;
}

void CastCoreControl::setDefaultPushOutcome(bool connects)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_defaultPushOutcome = connects;
}

void CastCoreControl::failOpen(const std::string &name, int code)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_openFailures[name] = code;
}

std::optional<int> CastCoreControl::openFailure(const std::string &name) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_openFailures.find(name);
    if (it == m_openFailures.end())
        return std::nullopt;
    return it->second;
}

void CastCoreControl::setInlineCallbacks(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inline = on;
}

bool CastCoreControl::inlineCallbacks() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_inline;
}

CastCoreEngine *CastCoreControl::engine() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_engines.empty() ? nullptr : m_engines.back().engine;
}

bool CastCoreControl::waitIdle(int timeoutMs)
{
    std::function<bool(int)> wait;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_engines.empty())
            wait = m_engines.back().waitIdle;
    }
    return !wait || wait(timeoutMs);
}

void CastCoreControl::reset()
{
    m_gates.openAll();
    m_log.clear();
    m_ints.clear();
    m_bools.clear();
    m_audioLists.clear();
    m_pluginLists.clear();
    m_currentDevices.clear();
    setCurrentWorld(World::load());
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pushOutcomes.clear();
    m_defaultPushOutcome.reset();
    m_openFailures.clear();
    m_inline = false;
}

void CastCoreControl::attach(CastCoreEngine *engine, std::function<bool(int timeoutMs)> waitIdle)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_engines.push_back({engine, std::move(waitIdle)});
}

void CastCoreControl::detach(CastCoreEngine *engine)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_engines.erase(std::remove_if(m_engines.begin(), m_engines.end(),
                                   [engine](const AttachedEngine &a) { return a.engine == engine; }),
                    m_engines.end());
}

} // namespace castcore
