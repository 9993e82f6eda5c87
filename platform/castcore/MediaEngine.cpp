#include "MediaEngine.h"

#include "EngineThreads.h"
#include "SceneState.h"

namespace castcore {

MediaEngine::MediaEngine(SceneState &state, EngineThreads &threads, MediaEvents events)
    : m_events(std::move(events))
    , m_loader("castcore-load")
    , m_preview(std::make_unique<PreviewOutput>())
{
    EncodeEvents encode;
    encode.pushState = m_events.pushState;
    encode.kbps = m_events.kbps;
    encode.framesDropped = m_events.framesDropped;
    encode.recordingEnded = m_events.recordingEnded;
    m_encoder = std::make_unique<EncodeLibraryClient>(std::move(encode));
    m_audio = std::make_unique<AudioEngine>(m_encoder.get(), m_events.audioLevel);
    CompositorEvents compose;
    compose.fps = m_events.videoFps;
    compose.performance = m_events.performance;
    compose.overlay = m_events.overlay;
    m_compositor = std::make_unique<Compositor>(state, threads.video(), m_loader, std::move(compose));
    m_compositor->setSink(m_encoder.get());
}

MediaEngine::~MediaEngine()
{
    shutdown();
    m_loader.stop(mvplatform::CallbackThread::Pending::Drop);
}

void MediaEngine::start(const LiveVideoConfig &config, WId window)
{
    m_encoder->configure(config.width, config.height, config.frameRate, config.bitRate);
    m_compositor->setPreview(nullptr);
    if (window && m_preview->attach(window))
        m_compositor->setPreview(m_preview.get());
    m_compositor->start(config.frameRate);
    m_audio->start();
}

void MediaEngine::reconfigure(const LiveVideoConfig &config)
{
    m_encoder->configure(config.width, config.height, config.frameRate, config.bitRate);
    if (m_compositor->running())
        m_compositor->start(config.frameRate);
}

void MediaEngine::shutdown()
{
    m_compositor->stop();
    m_compositor->setPreview(nullptr);
    m_preview->detach();
    m_audio->stop();
    m_encoder->setLive(false);
    m_encoder->stopRecording();
}

void MediaEngine::connectPush(const std::string &url)
{
    m_encoder->connect(url);
}

void MediaEngine::setLive(bool live)
{
    m_encoder->setLive(live);
}

bool MediaEngine::startRecording(const std::string &path)
{
    return m_encoder->startRecording(path);
}

void MediaEngine::stopRecording()
{
    m_encoder->stopRecording();
}

bool MediaEngine::recording() const
{
    return m_encoder->recording();
}

} // namespace castcore
