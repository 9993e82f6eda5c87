#pragma once

// Our scene and scene store over the shared item table. The scene's calls
// are spread by concern over CastCoreScene*.cpp: the session, items, files,
// rectangles and devices; the store has its own.

#include "EngineThreads.h"
#include "CastCoreWorld.h"
#include "LiveEngine.h"
#include "MediaEngine.h"
#include "SceneState.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace castcore {

class CastCoreScene : public ILiveScene
{
public:
    CastCoreScene(SceneState &state, EngineThreads &threads, MediaEngine &media, ILiveListener *listener);

    int Init(const LiveVideoConfig *config, WId window) override;
    void SetPushUrl(const char *url, int a, int b) override;
    void Shutdown() override;
    int AddScreenCapture(int display, int x, int y, int width, int height) override;
    int CreateItem(const char *path, int x, int y, int widthPercent, int heightPercent) override;
    bool SetItemAlpha(int id, int alpha) override;
    int CreateTextItem(const TextInfo *info, int a, int b) override;
    bool SetItemRect2(int id, int x, int y, int width, int height) override;
    bool SetItemRect(int id, int x, int y, int width, int height) override;
    bool GetItemSourceRect(int id, int *x, int *y, int *width, int *height) override;
    bool GetItemRect(int id, int *x, int *y, int *width, int *height) override;
    bool SetItemZ(int id, int z) override;
    int GetItemZ(int id) override;
    void FreeBuffer(const void *buffer) override;
    void SetLive(bool live) override;
    AudioDeviceRecord *ListAudioDevices(int *count) override;
    int OpenAudioDevice(const char16_t *key) override;
    bool GetCurrentMicDevice(char16_t *key, int size, int reserved) override;
    bool GetCurrentSystemDevice(char16_t *key, int size, int reserved) override;
    void SetVolume(int channel, int value) override;
    CameraDeviceRecord *ListCameras(int *count) override;
    int OpenCamera(const char16_t *device, int a, int b, int c, int d) override;
    bool GetDisplayCount(int *count) override;
    bool GetDisplayRect(int display, int *x, int *y, int *width, int *height) override;
    bool SetItemRotation(int id, float radians, int axis) override;
    bool SetItemColorEffect(int id, uint32_t rgb) override;
    bool GetItemRotation(int id, float *radians, int axis) override;
    bool GetCameraDeviceName(int id, char16_t *name, int size) override;
    bool GetItemColorEffect(int id, uint32_t *rgb) override;
    void SetMicOption(int value) override;
    bool GetItemAlpha(int id, int *alpha) override;
    const char *const *GetItemSourceFiles(int id, int *count) override;
    bool SetItemSourceFiles(int id, const char *const *files, int count) override;
    bool ListCameraFormats(const char16_t *device, int *count, CameraFormat **list) override;
    bool SetCameraParams(int id, const CameraParams *params) override;
    bool GetCameraParams(int id, CameraParams *params) override;
    bool SetTextProperties(int id, TextInfo info) override;
    bool GetTextProperties(int id, TextInfo *info) override;
    void BeginConfig() override;
    bool SetVideoConfig(const LiveVideoConfig *config) override;
    void EndConfig() override;
    bool SetItemWatermark(int id, int value) override;
    bool SetItemRelativeRect(int id, float x, float y, float width, float height) override;
    bool SetItemFlag(int id, bool flag) override;
    bool SetItemAspect(int id, float ratio, int mode) override;
    int AddOverlayFile(const char16_t *path) override;
    bool SetItemVideoFilter(int id, IVideoFilter *filter) override;
    int AddCustomCapture(ICustomCapture *capture) override;
    bool SetEffectiveText(int id, const char16_t *text) override;
    bool GetEffectiveText(int id, char16_t *buffer, int capacity, int *length) override;
    void SetCallbacks(const SceneCallbacks *callbacks, void *context) override;
    bool GetVideoConfig(LiveVideoConfig *config) override;

    // What the scene was told, for tests.
    struct Status
    {
        bool initialised = false;
        WId window = 0;
        bool hasConfig = false;
        LiveVideoConfig config;
        int configDepth = 0; // BeginConfig minus EndConfig
        std::string pushUrl;
        bool live = false;
        std::map<int, int> volumes; // channel -> value
        std::optional<int> micOption;
        std::u16string currentMic; // opened through OpenAudioDevice
        std::u16string currentSystem;
        bool hasCallbacks = false;
        SceneCallbacks callbacks;
        void *callbackContext = nullptr;
        int unknownFrees = 0; // FreeBuffer of something never lent
    };
    Status status() const;

private:
    // Callers hold the table's lock.
    std::vector<AudioDevice> knownAudioDevices(const World &world) const;
    std::u16string &openedDevice(int kind); // opened through OpenAudioDevice
    void takeConfigLocked(const LiveVideoConfig &config);
    // These take the lock themselves.
    bool placeItem(int id, int x, int y, int width, int height);
    bool currentDevice(const char *op, int kind, char16_t *key, int size, int reserved);

    SceneState &m_state;
    EngineThreads &m_threads;
    MediaEngine &m_media;
    ILiveListener *m_listener;
    Status m_status;                        // guarded by m_state.mutex
    std::vector<AudioDevice> m_listedAudio; // last list handed out
};

class CastCoreSceneStore : public ISceneStore
{
public:
    explicit CastCoreSceneStore(SceneState &state);

    bool OpenFile(const char *name, const char *path) override;
    bool IsNameFree(const char *name) override;
    bool SetItemName(int id, const char *name) override;
    bool Remove(const char *name) override;
    int Count() override;
    int Fill(SceneItemRecord *records, int count) override;
    int Open(const char *name) override;
    bool GetItemName(int id, char *buffer, int size) override;
    int Kind(int id) override;

private:
    SceneState &m_state;
};

// Size of a picture from its file header; false when it cannot be read.
bool imageFileSize(const std::string &path, int *width, int *height);

// Placeholder size of sources that have no picture of their own.
constexpr int kOverlayWidth = 400;
constexpr int kOverlayHeight = 300;
constexpr int kPluginWidth = 320;
constexpr int kPluginHeight = 240;
constexpr int kCameraFallbackWidth = 640;
constexpr int kCameraFallbackHeight = 480;

} // namespace castcore
