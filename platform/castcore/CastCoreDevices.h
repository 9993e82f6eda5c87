#pragma once

// The engine's smaller sub-objects: render device, settings, recorder,
// system information and plug-in host.

#include "LiveEngine.h"
#include "SceneState.h"

#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace castcore {

class CastCoreRender : public IRenderDevice, public IRenderGraphics
{
public:
    bool Setup(int mode) override;
    bool IsDirectX10Usable() override;
    bool EnableFeature(int feature) override;
    IRenderGraphics *GetGraphics() override;
    void *GetContextHandle() override;
    void *GetDeviceHandle() override;

private:
    // Tokens only: nothing dereferences them.
    int m_deviceToken = 0;
    int m_contextToken = 0;
};

class CastCoreSettings : public ILiveSettings
{
public:
    bool Set(const char *key, const char *value) override;

    // Every Set in order, and the last value per key; kept only while call
    // logs record.
    std::vector<std::pair<std::string, std::string>> history() const;
    std::string value(const std::string &key) const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<std::string, std::string>> m_history;
};

class MediaEngine;

class CastCoreRecorder : public ILiveRecorder
{
public:
    explicit CastCoreRecorder(MediaEngine &media);
    // Records the composed picture and the sound to `path` (a scripted
    // answer records nothing).
    bool Start(const char *path) override;
    void Stop() override;

    bool isRecording() const;
    std::string path() const;

    // The media engine reported that a recording ended by itself: true, with
    // the path given to Start, when that was this recorder's recording, which
    // then no longer runs. False when the recorder was stopped or records
    // anew since. Never on the writing thread: a Start waits for that thread.
    bool endedByItself(std::string *path);

private:
    MediaEngine &m_media;
    mutable std::mutex m_mutex;
    bool m_recording = false;
    std::string m_path;
};

class CastCoreSystemInfo : public ILiveSystemInfo
{
public:
    int GetDriveIndex() override;
};

class CastCorePluginHost : public IPluginHost
{
public:
    explicit CastCorePluginHost(SceneState &state);

    void SetPluginDir(const char *dir) override;
    const char16_t *const *ListPlugins(int *count) override;
    int OpenPlugin(const char16_t *name, int a, int b, int c, int d, int e) override;
    bool ShowPluginConfig(int itemId, const PluginConfigInfo *info) override;
    void OnChatMessage(int senderId, const char16_t *content, const char16_t *nick, int level) override;
    void OnDonation(int senderId, const char16_t *nick, int price) override;
    void OnMonthlyTicket(int a, const char16_t *nick, int b, int level) override;
    void OnEffectMessage(const char16_t *text, int value) override;
    void SetNetService(INetService *service) override;
    void OnGiftMessage(int giftId, const char16_t *nick, const char16_t *giftName, int value) override;
    void OnRawRoomMessage(const char16_t *text) override;
    std::intptr_t OnWindowMessage(WId window, uint32_t message, std::uintptr_t wParam,
                                  std::intptr_t lParam) override;

    std::string pluginDir() const;
    INetService *netService() const;

private:
    struct NameList
    {
        std::vector<std::u16string> names;
        std::vector<const char16_t *> pointers;
    };

    SceneState &m_state;
    mutable std::mutex m_mutex;
    std::string m_pluginDir;
    INetService *m_netService = nullptr;
    std::deque<NameList> m_lists; // every list handed out stays valid
};

} // namespace castcore
