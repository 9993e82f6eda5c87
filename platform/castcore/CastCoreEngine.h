#pragma once

// Our live engine: the object CreateLiveInstance hands out, plus the hooks a
// test or a whole-program run uses to make the engine call back.

#include "EngineThreads.h"
#include "CastCoreDevices.h"
#include "CastCoreScene.h"
#include "LiveEngine.h"
#include "MediaEngine.h"
#include "SceneState.h"

#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace castcore {

class CastCoreEngine : public ILiveEngine
{
public:
    explicit CastCoreEngine(ILiveListener *listener);
    ~CastCoreEngine() override;

    ILiveScene *GetScene() override;
    ISceneStore *GetSceneStore() override;
    IRenderDevice *GetRenderDevice() override;
    ILiveSettings *GetSettings() override;
    ILiveRecorder *GetRecorder() override;
    ILiveSystemInfo *GetSystemInfo() override;
    IPluginHost *GetPluginHost() override;

    // Listener callbacks, posted to the library thread (each held while the
    // gate of its name is closed).
    void fireVideoFps(int fps);
    void fireAudioLevel(int type, int level);
    void fireKbps(float kbps);
    void fireSystemPerformance(int cpu, int mem);
    void fireFrameDropped(int64_t total, int middle, float percent);
    // The push's outcome for `url`, as the media engine reports it (gate
    // "OnPushState").
    void firePushState(const std::string &url, bool connected);
    // The running recording ended by itself, as the media engine reports it
    // (gate "OnRecordingEnded"): on the library thread the recorder learns
    // it, and the listener hears of it only when it was the recorder's.
    void fireRecordingEnded(int error);
    // GetPushUrl on the library thread; returns what the listener wrote.
    std::string requestPushUrl(int size = 1024);
    // OnPaintOverlay on the library thread; returns when painting is done.
    void firePaintOverlay(QPainter *painter);
    // The item-event callback of SceneCallbacks, posted to the library
    // thread; false when no callback is set.
    bool fireItemEvent(int event, int itemId);

    // The item's video filter on the video thread: Filter(id, frame words,
    // out). False when the item has no filter or the filter declines.
    bool deliverFrame(int itemId, std::uintptr_t frame0, std::uintptr_t frame1, std::uintptr_t frame2,
                      PicturePlane *out = nullptr);
    bool fireFilterFree(int itemId, std::uintptr_t a, std::uintptr_t b);
    bool fireFilterDeviceLost(int itemId, std::uintptr_t a);
    // One frame of a custom capture item, asked for on the video thread.
    bool pullCaptureFrame(int itemId, std::vector<uint8_t> *frame);

    bool waitIdle(int timeoutMs = 5000);
    std::thread::id libraryThread() const { return m_threads.libraryId(); }
    std::thread::id videoThread() const { return m_threads.videoId(); }

    // Inspection and steering.
    std::optional<SceneItem> item(int id);
    std::vector<int> itemIds();
    // Makes GetItemSourceRect report this size (the placement is unchanged).
    bool setItemSourceSize(int id, int width, int height);
    int outstandingBuffers();
    int canvasWidth();
    int canvasHeight();
    std::string scenePath();
    // The canvas composed last (null before the first frame).
    QImage lastCanvas();
    MediaEngine &media() { return m_media; }

    CastCoreScene &scene() { return m_scene; }
    CastCoreSceneStore &store() { return m_store; }
    CastCoreRender &render() { return m_render; }
    CastCoreSettings &settings() { return m_settings; }
    CastCoreRecorder &recorder() { return m_recorder; }
    CastCorePluginHost &pluginHost() { return m_pluginHost; }
    ILiveListener *listener() const { return m_listener; }

private:
    void postToListener(const char *op, std::function<void(ILiveListener *)> call);
    IVideoFilter *filterOf(int itemId);
    MediaEvents mediaEvents();

    ILiveListener *m_listener;
    SceneState m_state;
    EngineThreads m_threads;
    MediaEngine m_media;
    CastCoreScene m_scene;
    CastCoreSceneStore m_store;
    CastCoreRender m_render;
    CastCoreSettings m_settings;
    CastCoreRecorder m_recorder;
    CastCoreSystemInfo m_systemInfo;
    CastCorePluginHost m_pluginHost;
};

} // namespace castcore
