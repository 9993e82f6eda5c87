#include "CastCoreScene.h"

#include "EngineCalls.h"

// The scene's session: set-up, video settings, the push address, live and
// the callbacks. Its items, their rectangles and files, and the devices are
// in the CastCoreScene*.cpp files beside this one.

namespace castcore {

namespace {

std::vector<std::string> configArgs(const LiveVideoConfig *c)
{
    if (!c)
        return {"(null)"};
    return {arg(c->mode), arg(c->width), arg(c->height), arg(c->bitRate),
            arg(c->frameRate), arg(c->flagA), arg(c->flagB), arg(c->flagC)};
}

} // namespace

CastCoreScene::CastCoreScene(SceneState &state, EngineThreads &threads, MediaEngine &media, ILiveListener *listener)
    : m_state(state)
    , m_threads(threads)
    , m_media(media)
    , m_listener(listener)
{
}

CastCoreScene::Status CastCoreScene::status() const
{
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return m_status;
}

int CastCoreScene::Init(const LiveVideoConfig *config, WId window)
{
    auto args = configArgs(config);
    args.push_back(arg(quint64(window)));
    enter("Init", std::move(args));
    const std::optional<int> scripted = control().ints().take("Init");
    if (scripted && *scripted < 0)
        return *scripted;
    if (!config)
        return -1;
    if (const int worldResult = control().world().initResult; worldResult < 0)
        return worldResult;
    {
        std::lock_guard<std::mutex> lock(m_state.mutex);
        m_status.initialised = true;
        m_status.window = window;
        takeConfigLocked(*config);
    }
    m_media.start(*config, window);
    return 0;
}

void CastCoreScene::takeConfigLocked(const LiveVideoConfig &config)
{
    m_status.hasConfig = true;
    m_status.config = config;
    m_state.canvasWidth = config.width;
    m_state.canvasHeight = config.height;
    m_state.applyRelativeRects();
}

void CastCoreScene::SetPushUrl(const char *url, int a, int b)
{
    enter("SetPushUrl", {arg(url), arg(a), arg(b)});
    if (!url)
        return;
    const std::string u(url);
    {
        std::lock_guard<std::mutex> lock(m_state.mutex);
        m_status.pushUrl = u;
    }
    // A scripted or world-refused address is answered without a connection;
    // any other one is really connected to.
    const std::optional<bool> scripted = control().scriptedPushOutcome(u);
    if (!scripted && !u.empty()) {
        m_media.connectPush(u);
        return;
    }
    const bool connects = !u.empty() && scripted.value_or(false);
    ILiveListener *listener = m_listener;
    m_threads.post([listener, u, connects] {
        control().gates().pass("OnPushState");
        if (listener)
            listener->OnPushState(u.c_str(), connects, 0);
    });
}

void CastCoreScene::Shutdown()
{
    enter("Shutdown");
    m_media.shutdown();
    std::lock_guard<std::mutex> lock(m_state.mutex);
    m_state.save();
    m_status.initialised = false;
    m_status.live = false;
}

void CastCoreScene::FreeBuffer(const void *buffer)
{
    enter("FreeBuffer", {ptrArg(buffer)});
    if (!buffer)
        return;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    if (!m_state.release(buffer))
        ++m_status.unknownFrees;
}

void CastCoreScene::SetLive(bool live)
{
    enter("SetLive", {arg(live)});
    {
        std::lock_guard<std::mutex> lock(m_state.mutex);
        m_status.live = live;
    }
    m_media.setLive(live);
}

void CastCoreScene::BeginConfig()
{
    enter("BeginConfig");
    std::lock_guard<std::mutex> lock(m_state.mutex);
    ++m_status.configDepth;
}

bool CastCoreScene::SetVideoConfig(const LiveVideoConfig *config)
{
    enter("SetVideoConfig", configArgs(config));
    if (scriptedRefusal("SetVideoConfig") || !config)
        return false;
    {
        std::lock_guard<std::mutex> lock(m_state.mutex);
        takeConfigLocked(*config);
    }
    m_media.reconfigure(*config);
    return true;
}

void CastCoreScene::EndConfig()
{
    enter("EndConfig");
    std::lock_guard<std::mutex> lock(m_state.mutex);
    if (m_status.configDepth > 0)
        --m_status.configDepth;
}

void CastCoreScene::SetCallbacks(const SceneCallbacks *callbacks, void *context)
{
    enter("SetCallbacks", {callbacks ? arg(callbacks->size) : std::string("(null)"),
                           ptrArg(callbacks ? reinterpret_cast<const void *>(callbacks->onItemEvent) : nullptr),
                           ptrArg(context)});
    std::lock_guard<std::mutex> lock(m_state.mutex);
    m_status.hasCallbacks = callbacks != nullptr;
    m_status.callbacks = callbacks ? *callbacks : SceneCallbacks();
    m_status.callbackContext = context;
}

bool CastCoreScene::GetVideoConfig(LiveVideoConfig *config)
{
    enter("GetVideoConfig");
    if (scriptedRefusal("GetVideoConfig") || !config)
        return false;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    if (!m_status.hasConfig)
        return false;
    *config = m_status.config;
    return true;
}

} // namespace castcore
