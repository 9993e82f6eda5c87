#include "CastCoreEngine.h"

#include "EngineCalls.h"

#include <cstring>

namespace castcore {

CastCoreEngine::CastCoreEngine(ILiveListener *listener)
    : m_listener(listener)
    , m_media(m_state, m_threads, mediaEvents())
    , m_scene(m_state, m_threads, m_media, listener)
    , m_store(m_state)
    , m_recorder(m_media)
    , m_pluginHost(m_state)
{
    control().attach(this, [this](int timeoutMs) { return waitIdle(timeoutMs); });
}

CastCoreEngine::~CastCoreEngine()
{
    control().detach(this);
    m_media.shutdown();
    // Nothing may call back once the parts below are gone.
    m_threads.stop();
}

MediaEvents CastCoreEngine::mediaEvents()
{
    MediaEvents e;
    e.videoFps = [this](int fps) { fireVideoFps(fps); };
    e.performance = [this](int cpu, int memory) { fireSystemPerformance(cpu, memory); };
    // Painted on the video thread itself: the preview frame waits for it.
    e.overlay = [this](QPainter *painter) {
        if (m_listener)
            m_listener->OnPaintOverlay(painter);
    };
    e.pushState = [this](const std::string &url, bool connected) { firePushState(url, connected); };
    e.kbps = [this](float kbps) { fireKbps(kbps); };
    e.framesDropped = [this](int64_t total, float percent) { fireFrameDropped(total, 0, percent); };
    e.audioLevel = [this](int type, int level) { fireAudioLevel(type, level); };
    // The encoder has logged the file and why; the listener is told of the
    // recording it asked for.
    e.recordingEnded = [this](const std::string &, int error, const std::string &) { fireRecordingEnded(error); };
    return e;
}

ILiveScene *CastCoreEngine::GetScene()
{
    enter("GetScene");
    return &m_scene;
}

ISceneStore *CastCoreEngine::GetSceneStore()
{
    enter("GetSceneStore");
    return &m_store;
}

IRenderDevice *CastCoreEngine::GetRenderDevice()
{
    enter("GetRenderDevice");
    return &m_render;
}

ILiveSettings *CastCoreEngine::GetSettings()
{
    enter("GetSettings");
    return &m_settings;
}

ILiveRecorder *CastCoreEngine::GetRecorder()
{
    enter("GetRecorder");
    return &m_recorder;
}

ILiveSystemInfo *CastCoreEngine::GetSystemInfo()
{
    enter("GetSystemInfo");
    return &m_systemInfo;
}

IPluginHost *CastCoreEngine::GetPluginHost()
{
    enter("GetPluginHost");
    return &m_pluginHost;
}

void CastCoreEngine::postToListener(const char *op, std::function<void(ILiveListener *)> call)
{
    ILiveListener *listener = m_listener;
    const std::string gate(op);
    m_threads.post([listener, gate, call] {
        control().gates().pass(gate);
        if (listener)
            call(listener);
    });
}

void CastCoreEngine::fireVideoFps(int fps)
{
    postToListener("OnVideoFps", [fps](ILiveListener *l) { l->OnVideoFps(fps); });
}

void CastCoreEngine::fireAudioLevel(int type, int level)
{
    postToListener("OnAudioLevel", [type, level](ILiveListener *l) { l->OnAudioLevel(type, level); });
}

void CastCoreEngine::fireKbps(float kbps)
{
    postToListener("OnKbps", [kbps](ILiveListener *l) { l->OnKbps(kbps); });
}

void CastCoreEngine::fireSystemPerformance(int cpu, int mem)
{
    postToListener("OnSystemPerformance", [cpu, mem](ILiveListener *l) { l->OnSystemPerformance(cpu, mem); });
}

void CastCoreEngine::fireFrameDropped(int64_t total, int middle, float percent)
{
    postToListener("OnFrameDropped",
                   [total, middle, percent](ILiveListener *l) { l->OnFrameDropped(total, middle, percent); });
}

void CastCoreEngine::firePushState(const std::string &url, bool connected)
{
    postToListener("OnPushState", [url, connected](ILiveListener *l) { l->OnPushState(url.c_str(), connected, 0); });
}

void CastCoreEngine::fireRecordingEnded(int error)
{
    ILiveListener *listener = m_listener;
    m_threads.post([this, listener, error] {
        control().gates().pass("OnRecordingEnded");
        // Checked here, not on the writing thread, which a Start may be
        // waiting for while it holds the recorder.
        std::string path;
        if (m_recorder.endedByItself(&path) && listener)
            listener->OnRecordingEnded(path.c_str(), error);
    });
}

std::string CastCoreEngine::requestPushUrl(int size)
{
    if (size <= 0 || !m_listener)
        return {};
    std::vector<char> buffer(size_t(size) + 1, '\0');
    m_threads.runOnLibrary([&] { m_listener->GetPushUrl(buffer.data(), size, 0); });
    buffer[size_t(size)] = '\0'; // whatever the listener wrote, stay inside
    return std::string(buffer.data());
}

void CastCoreEngine::firePaintOverlay(QPainter *painter)
{
    if (!m_listener)
        return;
    m_threads.runOnLibrary([&] { m_listener->OnPaintOverlay(painter); });
}

bool CastCoreEngine::fireItemEvent(int event, int itemId)
{
    const CastCoreScene::Status s = m_scene.status();
    if (!s.hasCallbacks || !s.callbacks.onItemEvent)
        return false;
    const SceneItemEventFn fn = s.callbacks.onItemEvent;
    void *context = s.callbackContext;
    m_threads.post([fn, event, itemId, context] {
        control().gates().pass("OnItemEvent");
        fn(event, itemId, context);
    });
    return true;
}

IVideoFilter *CastCoreEngine::filterOf(int itemId)
{
    IVideoFilter *filter = nullptr;
    m_state.withItem(itemId, [&](SceneItem &it) { filter = it.filter; });
    return filter;
}

bool CastCoreEngine::deliverFrame(int itemId, std::uintptr_t frame0, std::uintptr_t frame1,
                                  std::uintptr_t frame2, PicturePlane *out)
{
    IVideoFilter *filter = filterOf(itemId);
    if (!filter)
        return false;
    PicturePlane local;
    PicturePlane *plane = out ? out : &local;
    bool filtered = false;
    m_threads.runOnVideo([&] { filtered = filter->Filter(itemId, frame0, frame1, frame2, plane); });
    return filtered;
}

bool CastCoreEngine::fireFilterFree(int itemId, std::uintptr_t a, std::uintptr_t b)
{
    IVideoFilter *filter = filterOf(itemId);
    if (!filter)
        return false;
    m_threads.runOnVideo([&] { filter->Free(a, b); });
    return true;
}

bool CastCoreEngine::fireFilterDeviceLost(int itemId, std::uintptr_t a)
{
    IVideoFilter *filter = filterOf(itemId);
    if (!filter)
        return false;
    m_threads.runOnVideo([&] { filter->DeviceLost(a); });
    return true;
}

bool CastCoreEngine::pullCaptureFrame(int itemId, std::vector<uint8_t> *frame)
{
    ICustomCapture *capture = nullptr;
    m_state.withItem(itemId, [&](SceneItem &it) { capture = it.capture; });
    if (!capture || !frame)
        return false;
    bool ok = false;
    m_threads.runOnVideo([&] {
        CaptureFormat format;
        if (!capture->GetFormat(&format))
            return;
        frame->assign(format.byteCount, 0);
        ok = capture->GetFrame(frame->data(), format.byteCount);
    });
    return ok;
}

bool CastCoreEngine::waitIdle(int timeoutMs)
{
    return m_threads.waitIdle(timeoutMs);
}

std::optional<SceneItem> CastCoreEngine::item(int id)
{
    std::lock_guard<std::mutex> lock(m_state.mutex);
    const SceneItem *it = m_state.item(id);
    if (!it)
        return std::nullopt;
    return *it;
}

std::vector<int> CastCoreEngine::itemIds()
{
    std::lock_guard<std::mutex> lock(m_state.mutex);
    std::vector<int> ids;
    for (const auto &kv : m_state.items)
        ids.push_back(kv.first);
    return ids;
}

bool CastCoreEngine::setItemSourceSize(int id, int width, int height)
{
    return m_state.withItem(id, [&](SceneItem &it) {
        it.sourceWidth = width;
        it.sourceHeight = height;
    });
}

int CastCoreEngine::outstandingBuffers()
{
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return m_state.outstandingBuffers();
}

int CastCoreEngine::canvasWidth()
{
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return m_state.canvasWidth;
}

int CastCoreEngine::canvasHeight()
{
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return m_state.canvasHeight;
}

QImage CastCoreEngine::lastCanvas()
{
    return m_media.lastCanvas();
}

std::string CastCoreEngine::scenePath()
{
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return m_state.path;
}

} // namespace castcore

ILiveEngine *CreateLiveInstance(ILiveListener *listener, int a, int b, int c, int d, int e)
{
    using namespace castcore;
    enter("CreateLiveInstance", {ptrArg(listener), arg(a), arg(b), arg(c), arg(d), arg(e)});
    if (scriptedRefusal("CreateLiveInstance"))
        return nullptr;
    return new CastCoreEngine(listener);
}
