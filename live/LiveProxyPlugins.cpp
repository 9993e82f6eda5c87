#include "LiveProxy.h"

#include "Logger.h"
#include "TextHelpers.h"

#include <algorithm>

// The engine's plug-ins and the room operations of the room tool.

void LiveProxy::pluginList(const PluginName **names, int *count)
{
    if (m_pluginNames.empty() && m_plugins) {
        int listed = 0;
        const char16_t *const *list = m_plugins->ListPlugins(&listed);
        for (int i = 0; list && i < listed; ++i) {
            const std::u16string name = list[i] ? std::u16string(list[i]) : std::u16string();
            // A cut name would open nothing: a name that does not fit is left out.
            if (name.size() >= sizeof(PluginName::text) / sizeof(char16_t)) {
                Logger::instance()->write(Logger::LOG_ERROR, "plugin name too long, left out: %s.",
                                          wstringToUtf8(name).c_str());
                continue;
            }
            PluginName entry;
            std::copy(name.begin(), name.end(), entry.text);
            m_pluginNames.push_back(entry);
        }
    }
    if (names)
        *names = m_pluginNames.empty() ? nullptr : m_pluginNames.data();
    if (count)
        *count = int(m_pluginNames.size());
}

int LiveProxy::openPlugin(const char16_t *name, int layer)
{
    if (!m_plugins || !name)
        return -1;
    const int id = m_plugins->OpenPlugin(name, 0, 0, 0, 0, 0);
    Logger::instance()->write(Logger::LOG_INFO, "open plugin %s.", wstringToUtf8(name).c_str());
    if (id > 0) {
        int z = 0;
        const std::string itemName = registerNewItem(id, "plugin", layer, true, &z);
        Logger::instance()->write(Logger::LOG_INFO, "open plugin %s success: z(%d).", itemName.c_str(), z);
    }
    return id;
}

bool LiveProxy::openPluginConfig(int itemId, QObject *parent)
{
    if (!m_plugins || itemType(itemId) != SceneItemPlugin)
        return false;
    static PluginConfigInfo record;
    record.parent = parent;
    record.busy = isLiving() ? 1 : 0;
    return m_plugins->ShowPluginConfig(itemId, &record);
}

std::intptr_t LiveProxy::pluginOp(WId window, uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
{
    return m_plugins ? m_plugins->OnWindowMessage(window, message, wParam, lParam) : 0;
}

bool LiveProxy::sendChatText(const char *text)
{
    if (!text || !*text || !m_netService)
        return false;
    m_netService->SendChat(text);
    return true;
}

int LiveProxy::fetchMuteList(std::string *reply)
{
    return m_netService ? m_netService->GetMuteList(reply) : -1;
}

int LiveProxy::unmuteUser(int userId, std::string *reply)
{
    return m_netService ? m_netService->Unmute(userId, reply) : -1;
}

int LiveProxy::muteUser(int userId, int type, int seconds)
{
    return m_netService ? m_netService->MuteUser(userId, type, seconds) : -1;
}
