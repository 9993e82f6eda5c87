#pragma once

// The media engine behind the scene: one flow, one way,
//   sources -> compositor -> (preview | encoders -> push and recording),
// with the sound mixed beside it into the same encoders. The scene and the
// recorder call it; it reports through MediaEvents from its own threads.

#include "CallbackThread.h"
#include "LiveEngine.h"
#include "audio/AudioEngine.h"
#include "compose/Compositor.h"
#include "output/EncodeLibraryClient.h"
#include "preview/PreviewOutput.h"

#include <QImage>

#include <functional>
#include <memory>
#include <string>

namespace castcore {

class EngineThreads;
class SceneState;

struct MediaEvents
{
    std::function<void(int fps)> videoFps;
    std::function<void(int cpu, int memory)> performance;
    std::function<void(QPainter *painter)> overlay;
    std::function<void(const std::string &url, bool connected)> pushState;
    std::function<void(float kbps)> kbps;
    std::function<void(int64_t total, float percent)> framesDropped;
    std::function<void(int type, int level)> audioLevel;
    // From the writing thread: see EncodeEvents::recordingEnded.
    std::function<void(const std::string &path, int error, const std::string &why)> recordingEnded;
};

class MediaEngine
{
public:
    MediaEngine(SceneState &state, EngineThreads &threads, MediaEvents events);
    ~MediaEngine();

    // Starts composing at the config's size and rate, previewing into
    // `window` (0: no preview), and the sound.
    void start(const LiveVideoConfig &config, WId window);
    // A new size or rate, without a restart of anything else.
    void reconfigure(const LiveVideoConfig &config);
    // Stops everything; the preview window is no longer touched.
    void shutdown();

    void connectPush(const std::string &url);
    void setLive(bool live);
    bool startRecording(const std::string &path);
    void stopRecording();
    bool recording() const;

    AudioEngine &audio() { return *m_audio; }
    // See Compositor::quiesce.
    void quiesce() { m_compositor->quiesce(); }
    QImage lastCanvas() const { return m_compositor->lastCanvas(); }
    Compositor &compositor() { return *m_compositor; }
    EncodeLibraryClient &encoder() { return *m_encoder; }
    PreviewOutput &preview() { return *m_preview; }

private:
    void updateSink();

    MediaEvents m_events;
    mvplatform::CallbackThread m_loader;
    std::unique_ptr<PreviewOutput> m_preview;
    std::unique_ptr<EncodeLibraryClient> m_encoder;
    std::unique_ptr<AudioEngine> m_audio;
    std::unique_ptr<Compositor> m_compositor;
};

} // namespace castcore
