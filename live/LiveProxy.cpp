#include "LiveProxy.h"

#include "CSttThreadPool.h"
#include "CamAssist.h"
#include "Logger.h"
#include "SttTimerTask.h"
#include "UITaskQueueWnd.h"
#include "WebRequester.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <cstring>

namespace {

const char kClientVersion[] = "2.3.0.0";
constexpr int kSceneCallbacksSize = 80;
constexpr int kPumpPeriodMs = 100;
constexpr int kPoolWorkers = 2;

LiveProxy *g_instance = nullptr;

Logger *logger()
{
    return Logger::instance();
}

// The logger writes an empty line for an empty format.
const char *emptyLine()
{
    return "";
}

LiveVideoConfig videoConfigOf(const LiveParams &params)
{
    LiveVideoConfig config;
    config.mode = -1;
    config.width = params.outputWidth;
    config.height = params.outputHeight;
    config.bitRate = params.bitRate * 1000;
    config.frameRate = params.frameRate;
    config.flagA = 1;
    config.flagB = 0;
    config.flagC = 1;
    return config;
}

int scaled(int value, int to, int from)
{
    return int(qint64(value) * to / from);
}

} // namespace

LiveProxy *LiveProxy::GetInstance()
{
    if (!g_instance) {
        g_instance = new LiveProxy;
        // Network objects and the engine's threads must end while the
        // application object still exists.
        qAddPostRoutine([] {
            delete g_instance;
            g_instance = nullptr;
        });
    }
    return g_instance;
}

LiveProxy::LiveProxy()
    : QObject(nullptr)
    , m_loginManager(nullptr)
    , m_pointing(QString::fromLatin1(kClientVersion))
{
    m_videoFilter = std::make_unique<LiveProxyVideoFilter>(this);
    m_cameraHelper = CreateDShowInstance();
    openLibraries();
}

LiveProxy::~LiveProxy()
{
    finishJobsAndCallbacks();
    m_taskThread.finish();
    // Nothing may call back into a facade that is going away.
    m_engine.reset();
    m_scene = nullptr;
    m_store = nullptr;
    m_render = nullptr;
    m_settings = nullptr;
    m_recorder = nullptr;
    m_systemInfo = nullptr;
    m_plugins = nullptr;
    m_netService.reset();
    m_timer.reset();
    m_pool.reset();
    if (m_uiTasks)
        m_uiTasks->Destroy();
    m_uiTasks.reset();
    if (m_cameraHelper)
        m_cameraHelper->Release();
}

void LiveProxy::openLibraries()
{
    m_engine.reset(CreateLiveInstance(this, 3, 0, 0, 0, 2));
    if (m_engine) {
        m_scene = m_engine->GetScene();
        m_store = m_engine->GetSceneStore();
        m_render = m_engine->GetRenderDevice();
        m_settings = m_engine->GetSettings();
        m_recorder = m_engine->GetRecorder();
        m_systemInfo = m_engine->GetSystemInfo();
        m_plugins = m_engine->GetPluginHost();
    }
    m_netService.reset(CreateNetService(this));
    if (m_netService)
        m_netService->SetClientInfo(LoginManager::getMacAddress().toUtf8().toStdString(), kClientVersion);
    if (m_plugins)
        m_plugins->SetNetService(m_netService.get());
}

int LiveProxy::init(LiveParams *params)
{
    logger()->write(Logger::LOG_INFO, emptyLine());
    logger()->write(Logger::LOG_INFO, "live init.");
    if (!params || !m_scene) {
        logger()->write(Logger::LOG_FATAL, "live encoder init fail: %d.", -1);
        return -1;
    }
    m_plugins->SetPluginDir("plugins");
    const QString scenePath =
        QStandardPaths::writableLocation(QStandardPaths::DataLocation) + QStringLiteral("/sceneList.zdb");
    m_store->OpenFile("scene", scenePath.toUtf8().constData());

    m_settings->Set("videodevice", "MorvaShowBroadcaster");
    m_settings->Set("MorvaShowBroadcasterVersion", kClientVersion);
    m_settings->Set("hasWatermark", "1");
    m_settings->Set("d_cate", "3");
    m_settings->Set("d_client", "3");

    m_previewWidth = params->previewWidth;
    m_previewHeight = params->previewHeight;
    m_outputWidth = params->outputWidth;
    m_outputHeight = params->outputHeight;
    const LiveVideoConfig config = videoConfigOf(*params);
    m_qualityIndex = params->quality;
    // Before the engine's video thread first paints the overlay.
    m_overlay.setQuality(m_qualityIndex);
    publishOverlay();

    const int r = m_scene->Init(&config, params->previewWindow);
    if (r < 0) {
        logger()->write(Logger::LOG_FATAL, "live encoder init fail: %d.", r);
        return r;
    }
    m_render->EnableFeature(1);
    m_render->Setup(0);

    restoreSavedItems();
    addWatermark(scenereg::LayerWatermark);
    m_minActiveZ = minActiveZorder();
    m_maxActiveZ = maxActiveZorder();

    connectSignals();

    m_sceneCallbacks = SceneCallbacks();
    m_sceneCallbacks.size = kSceneCallbacksSize;
    m_sceneCallbacks.onItemEvent = &LiveProxy::onCameraTurn;
    m_scene->SetCallbacks(&m_sceneCallbacks, this);

    m_uiTasks = std::make_unique<UITaskQueueWnd>();
    m_uiTasks->Create(kPumpPeriodMs);
    m_pool = std::make_unique<CSttThreadPool>();
    m_pool->SetMaxCount(kPoolWorkers);
    m_timer = std::make_unique<SttTimerTask>(m_pool.get());

    logger()->write(Logger::LOG_INFO, "live init success.");
    return 0;
}

void LiveProxy::restoreSavedItems()
{
    const int n = m_store->Count();
    std::vector<SceneItemRecord> records;
    if (n > 0) {
        records.resize(size_t(n));
        records.resize(size_t(std::max(0, m_store->Fill(records.data(), n))));
    }
    int camera = -1;
    std::vector<std::string> effectiveNames;
    for (const SceneItemRecord &record : records) {
        const std::string name(record.name, strnlen(record.name, sizeof(record.name)));
        const int id = m_store->Open(name.c_str());
        if (id < 1) {
            m_store->Remove(name.c_str());
            logger()->write(Logger::LOG_INFO, "remove item: %s because open fail.", name.c_str());
            continue;
        }
        if (name.rfind("effectivetxt", 0) == 0) {
            effectiveNames.push_back(name);
            continue;
        }
        if (m_store->Kind(id) == KindCamera) {
            if (camera > 0) {
                m_store->Remove(name.c_str());
                logger()->write(Logger::LOG_INFO, "remove item: %s because can have only one camera.", name.c_str());
                continue;
            }
            camera = id;
            setItemZorder(id, scenereg::kZCamera);
        }
        m_itemIds.push_back(id);
        logger()->write(Logger::LOG_INFO, "add item: %s, id: %d, z(%d).", name.c_str(), id, getItemZorder(id));
    }
    restoreEffectiveTexts(effectiveNames);
    if (camera > 0)
        attachFilterToCamera(camera);
}

void LiveProxy::connectSignals()
{
    connect(this, SIGNAL(OpenRoom(QString)), this, SLOT(on_login_room(QString)), Qt::QueuedConnection);
    connect(this, SIGNAL(OpenLive()), this, SLOT(on_open_live()), Qt::QueuedConnection);
    connect(this, SIGNAL(CloseLive()), this, SLOT(on_close_live()), Qt::QueuedConnection);
    connect(this, SIGNAL(LoginResult(bool)), this, SLOT(on_login_result(bool)), Qt::QueuedConnection);
    connect(&m_loginManager, SIGNAL(loginSucceed(QString)), this, SLOT(slot_thirdpartyLoginSucceed(QString)),
            Qt::QueuedConnection);
    connect(&m_loginManager, SIGNAL(loginFailed(int, QString)), this, SLOT(slot_thirdpartyLoginFailed(int, QString)),
            Qt::DirectConnection);
    connect(WebRequester::instance(), SIGNAL(signal_notifyWebResponse(QString, QByteArray)), this,
            SLOT(onWebResponse(QString, QByteArray)), Qt::QueuedConnection);
}

void LiveProxy::setListener(IListener *listener)
{
    m_listener = listener;
}

void *LiveProxy::renderDeviceHandle()
{
    IRenderGraphics *graphics = m_render ? m_render->GetGraphics() : nullptr;
    return graphics ? graphics->GetDeviceHandle() : nullptr;
}

void *LiveProxy::renderContextHandle()
{
    IRenderGraphics *graphics = m_render ? m_render->GetGraphics() : nullptr;
    return graphics ? graphics->GetContextHandle() : nullptr;
}

void LiveProxy::setItemVideoFilter(int itemId, IVideoFilter *filter)
{
    if (m_scene)
        m_scene->SetItemVideoFilter(itemId, filter);
}

void LiveProxy::getLiveVideoConfig(LiveParams *params)
{
    LiveVideoConfig config;
    if (!params || !m_scene || !m_scene->GetVideoConfig(&config))
        return;
    params->outputWidth = config.width;
    params->outputHeight = config.height;
    params->bitRate = config.bitRate;
    params->frameRate = config.frameRate;
}

bool LiveProxy::changeLiveResolution(LiveParams *params)
{
    if (!params)
        return false;
    logger()->write(Logger::LOG_INFO, "change live resolution: original: %d,%d, now:%d,%d.", m_outputWidth,
                    m_outputHeight, params->outputWidth, params->outputHeight);
    // A canvas without area would divide every later conversion by zero.
    if (isLiving() || isRecording() || !m_scene || params->outputWidth <= 0 || params->outputHeight <= 0)
        return false;
    const LiveVideoConfig config = videoConfigOf(*params);
    m_qualityIndex = params->quality;
    m_overlay.setQuality(m_qualityIndex);
    m_scene->BeginConfig();
    m_scene->SetVideoConfig(&config);
    m_scene->EndConfig();

    const int oldW = m_outputWidth;
    const int oldH = m_outputHeight;
    const int newW = params->outputWidth;
    const int newH = params->outputHeight;
    if ((oldW != newW || oldH != newH) && oldW > 0 && oldH > 0) {
        const std::vector<int> ids = m_itemIds;
        for (int id : ids) {
            const int type = id > 0 ? itemType(id) : SceneItemOther;
            if (id <= 0 || type == SceneItemOther || type == SceneItemCustomCapture)
                continue;
            int x = 0, y = 0, w = 0, h = 0;
            getItemRect(id, &x, &y, &w, &h);
            const QRect rect(scaled(x, newW, oldW), scaled(y, newH, oldH), scaled(w, newW, oldW),
                             scaled(h, newH, oldH));
            EffectiveTxtItem *pair = nullptr;
            if (findEffectiveText(id, &pair))
                pair->relayout(rect);
            else
                setItemRect(id, rect.x(), rect.y(), rect.width(), rect.height());
        }
    }
    m_outputWidth = newW;
    m_outputHeight = newH;
    publishOverlay();
    logger()->write(Logger::LOG_INFO, "change live resolution success.");
    return true;
}

void LiveProxy::destroy()
{
    finishJobsAndCallbacks();
    m_ended = true;
    stopRecording();
    if (isLiving()) {
        if (m_netService)
            m_netService->CloseLive();
        endLive();
    }
    logout();
    if (m_scene)
        m_scene->Shutdown();
    logger()->write(Logger::LOG_INFO, "live destroy.");
}
