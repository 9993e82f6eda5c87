#include "CastCoreDevices.h"

#include "CastCoreScene.h"
#include "EngineCalls.h"
#include "MediaEngine.h"

#include <algorithm>

namespace castcore {

bool CastCoreRender::Setup(int mode)
{
    enter("Setup", {arg(mode)});
    return !scriptedRefusal("Setup");
}

bool CastCoreRender::IsDirectX10Usable()
{
    enter("IsDirectX10Usable");
    return control().bools().take("IsDirectX10Usable").value_or(control().world().directX10);
}

bool CastCoreRender::EnableFeature(int feature)
{
    enter("EnableFeature", {arg(feature)});
    return !scriptedRefusal("EnableFeature");
}

IRenderGraphics *CastCoreRender::GetGraphics()
{
    enter("GetGraphics");
    return this;
}

void *CastCoreRender::GetContextHandle()
{
    enter("GetContextHandle");
    return &m_contextToken;
}

void *CastCoreRender::GetDeviceHandle()
{
    enter("GetDeviceHandle");
    return &m_deviceToken;
}

bool CastCoreSettings::Set(const char *key, const char *value)
{
    enter("Set", {arg(key), arg(value)});
    if (!key || !value)
        return false;
    // The engine reads no setting: they are kept for tests only.
    if (!mvplatform::CallLog::recording())
        return true;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_history.emplace_back(key, value);
    return true;
}

std::vector<std::pair<std::string, std::string>> CastCoreSettings::history() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_history;
}

std::string CastCoreSettings::value(const std::string &key) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_history.rbegin(); it != m_history.rend(); ++it)
        if (it->first == key)
            return it->second;
    return {};
}

CastCoreRecorder::CastCoreRecorder(MediaEngine &media)
    : m_media(media)
{
}

bool CastCoreRecorder::Start(const char *path)
{
    enter("Start", {arg(path)});
    const std::optional<bool> scripted = control().bools().take("Start");
    // Held across the start, so an ended recording is told apart from the
    // one that replaces it.
    std::lock_guard<std::mutex> lock(m_mutex);
    bool ok = false;
    if (scripted)
        ok = *scripted;
    else if (path && *path)
        ok = m_media.startRecording(path);
    if (ok) {
        m_recording = true;
        m_path = path ? path : "";
    }
    return ok;
}

void CastCoreRecorder::Stop()
{
    enter("Stop");
    std::lock_guard<std::mutex> lock(m_mutex);
    m_media.stopRecording();
    m_recording = false;
}

bool CastCoreRecorder::endedByItself(std::string *path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // A recording running now is a newer one than the one that ended.
    if (!m_recording || m_media.recording())
        return false;
    m_recording = false;
    if (path)
        *path = m_path;
    return true;
}

bool CastCoreRecorder::isRecording() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_recording;
}

std::string CastCoreRecorder::path() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_path;
}

int CastCoreSystemInfo::GetDriveIndex()
{
    enter("GetDriveIndex");
    return control().ints().take("GetDriveIndex").value_or(control().world().driveIndex);
}

CastCorePluginHost::CastCorePluginHost(SceneState &state)
    : m_state(state)
{
}

void CastCorePluginHost::SetPluginDir(const char *dir)
{
    enter("SetPluginDir", {arg(dir)});
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pluginDir = dir ? dir : "";
}

const char16_t *const *CastCorePluginHost::ListPlugins(int *count)
{
    enter("ListPlugins");
    NameList list;
    list.names = control().pluginLists().take("ListPlugins").value_or(control().world().plugins);
    if (count)
        *count = int(list.names.size());
    if (list.names.empty())
        return nullptr;
    {
        std::lock_guard<std::mutex> lock(m_state.mutex);
        m_state.listedPlugins.insert(list.names.begin(), list.names.end());
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lists.push_back(std::move(list));
    NameList &kept = m_lists.back();
    for (const std::u16string &n : kept.names)
        kept.pointers.push_back(n.c_str());
    return kept.pointers.data();
}

int CastCorePluginHost::OpenPlugin(const char16_t *name, int a, int b, int c, int d, int e)
{
    enter("OpenPlugin", {arg(name), arg(a), arg(b), arg(c), arg(d), arg(e)});
    const std::optional<int> scripted = control().ints().take("OpenPlugin");
    if (scripted && *scripted <= 0)
        return *scripted;
    if (!name)
        return -1;
    const std::u16string n(name);
    const World world = control().world();
    SceneItem it;
    it.kind = KindPlugin;
    it.plugin = n;
    it.sources = {fromU16(n).toStdString()};
    it.sourceWidth = kPluginWidth;
    it.sourceHeight = kPluginHeight;
    it.width = kPluginWidth;
    it.height = kPluginHeight;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    if (scripted) // the scripted id stands for the plug-in, whatever its name
        return m_state.addItemAt(std::move(it), *scripted) ? *scripted : -1;
    if (!m_state.pluginKnown(n, world.plugins))
        return -1;
    return m_state.addItem(std::move(it));
}

bool CastCorePluginHost::ShowPluginConfig(int itemId, const PluginConfigInfo *info)
{
    enter("ShowPluginConfig", {arg(itemId), ptrArg(info ? info->parent : nullptr),
                               info ? arg(info->busy) : std::string("(null)")});
    const std::optional<bool> scripted = control().bools().take("ShowPluginConfig");
    const bool isPlugin = m_state.withItem(itemId, KindPlugin, [](SceneItem &) {});
    return scripted.value_or(isPlugin);
}

void CastCorePluginHost::OnChatMessage(int senderId, const char16_t *content, const char16_t *nick, int level)
{
    enter("OnChatMessage", {arg(senderId), arg(content), arg(nick), arg(level)});
}

void CastCorePluginHost::OnDonation(int senderId, const char16_t *nick, int price)
{
    enter("OnDonation", {arg(senderId), arg(nick), arg(price)});
}

void CastCorePluginHost::OnMonthlyTicket(int a, const char16_t *nick, int b, int level)
{
    enter("OnMonthlyTicket", {arg(a), arg(nick), arg(b), arg(level)});
}

void CastCorePluginHost::OnEffectMessage(const char16_t *text, int value)
{
    enter("OnEffectMessage", {arg(text), arg(value)});
}

void CastCorePluginHost::SetNetService(INetService *service)
{
    enter("SetNetService", {ptrArg(service)});
    std::lock_guard<std::mutex> lock(m_mutex);
    m_netService = service;
}

void CastCorePluginHost::OnGiftMessage(int giftId, const char16_t *nick, const char16_t *giftName, int value)
{
    enter("OnGiftMessage", {arg(giftId), arg(nick), arg(giftName), arg(value)});
}

void CastCorePluginHost::OnRawRoomMessage(const char16_t *text)
{
    enter("OnRawRoomMessage", {arg(text)});
}

std::intptr_t CastCorePluginHost::OnWindowMessage(WId window, uint32_t message, std::uintptr_t wParam,
                                                  std::intptr_t lParam)
{
    enter("OnWindowMessage", {arg(quint64(window)), arg(message), arg(quint64(wParam)), arg(qint64(lParam))});
    return control().ints().take("OnWindowMessage").value_or(0);
}

std::string CastCorePluginHost::pluginDir() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pluginDir;
}

INetService *CastCorePluginHost::netService() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_netService;
}

} // namespace castcore
