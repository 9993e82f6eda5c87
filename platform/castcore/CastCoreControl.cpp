#include "CastCoreControl.h"

#include "CastCoreEngine.h"

#include <algorithm>

namespace castcore {

CastCoreControl &CastCoreControl::instance()
{
    static CastCoreControl control;
    return control;
}

CastCoreControl::CastCoreControl()
    : m_world(World::load())
{
}

World CastCoreControl::world() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_world;
}

void CastCoreControl::setWorld(const World &world)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_world = world;
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
    const auto &refused = m_world.refusedPushUrls;
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
    return m_engines.empty() ? nullptr : m_engines.back();
}

bool CastCoreControl::waitIdle(int timeoutMs)
{
    CastCoreEngine *e = engine();
    return !e || e->waitIdle(timeoutMs);
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
    World world = World::load();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_world = std::move(world);
    m_pushOutcomes.clear();
    m_defaultPushOutcome.reset();
    m_openFailures.clear();
    m_inline = false;
}

void CastCoreControl::attach(CastCoreEngine *engine)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_engines.push_back(engine);
}

void CastCoreControl::detach(CastCoreEngine *engine)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_engines.erase(std::remove(m_engines.begin(), m_engines.end(), engine), m_engines.end());
}

} // namespace castcore
