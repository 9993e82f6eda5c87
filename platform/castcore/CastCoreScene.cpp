#include "CastCoreScene.h"

#include "EngineCalls.h"
#include "RegularFile.h"
#include "sources/CameraCatalog.h"
#include "sources/PictureDecoder.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>

namespace castcore {

namespace {

constexpr size_t kMaxWatermarkSettings = 16;

std::vector<std::string> configArgs(const LiveVideoConfig *c)
{
    if (!c)
        return {"(null)"};
    return {arg(c->mode), arg(c->width), arg(c->height), arg(c->bitRate),
            arg(c->frameRate), arg(c->flagA), arg(c->flagB), arg(c->flagC)};
}

// The record's text for the call log, read as merge() reads it.
std::string textArg(const TextInfo &info)
{
    if (!info.text)
        return "(null)";
    return arg(u16FromBuffer(info.text, kTextTextUnits).c_str());
}

template <class T>
void put(T *out, T value)
{
    if (out)
        *out = value;
}

void putRect(int *x, int *y, int *width, int *height, int rx, int ry, int rw, int rh)
{
    put(x, rx);
    put(y, ry);
    put(width, rw);
    put(height, rh);
}

// Lends a vector's storage to the caller until FreeBuffer.
template <class T>
T *lendVector(SceneState &state, std::vector<T> v)
{
    if (v.empty())
        return nullptr;
    auto owner = std::make_shared<std::vector<T>>(std::move(v));
    T *data = owner->data();
    state.lend(data, owner);
    return data;
}

// The cameras on offer: real ones when there are any, and the world's.
std::vector<CameraDevice> availableCameras(const World &world)
{
    std::vector<CameraDevice> cameras;
    for (CameraEntry &e : listCameraEntries(world, world.camerasFromFile))
        cameras.push_back(std::move(e.device));
    return cameras;
}

const CameraDevice *findCamera(const std::vector<CameraDevice> &cameras, const std::u16string &name)
{
    for (const CameraDevice &cam : cameras)
        if (cam.name == name)
            return &cam;
    return nullptr;
}

bool sameParams(const CameraFormat &f, const CameraParams &p)
{
    return f.colorFormat == p.colorFormat && f.width == p.width && f.height == p.height && f.fps == p.fps;
}

} // namespace

bool imageFileSize(const std::string &path, int *width, int *height)
{
    const QString name = QString::fromStdString(path);
    QFile file;
    QString error;
    if (!regularfile::open(name, file, &error)) {
        warnPictureUnreadable(name, error);
        return false;
    }
    QImageReader reader(&file);
    QSize size = reader.size();
    if (!size.isValid()) {
        if (!reader.canRead())
            return false;
        size = reader.read().size();
    }
    if (!size.isValid() || size.isEmpty())
        return false;
    *width = size.width();
    *height = size.height();
    return true;
}

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

int CastCoreScene::AddScreenCapture(int display, int x, int y, int width, int height)
{
    enter("AddScreenCapture", {arg(display), arg(x), arg(y), arg(width), arg(height)});
    if (auto f = scriptedFailure("AddScreenCapture"))
        return *f;
    const World world = control().world();
    if (display < 0 || display >= int(world.displays.size()) || width <= 0 || height <= 0)
        return -1;
    SceneItem it;
    it.kind = KindScreenCapture;
    it.display = display;
    // The captured region, kept apart from where the item later sits.
    it.openArgs = {x, y, width, height};
    it.sourceWidth = width;
    it.sourceHeight = height;
    it.x = x;
    it.y = y;
    it.width = width;
    it.height = height;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return m_state.addItem(std::move(it));
}

int CastCoreScene::CreateItem(const char *path, int x, int y, int widthPercent, int heightPercent)
{
    enter("CreateItem", {arg(path), arg(x), arg(y), arg(widthPercent), arg(heightPercent)});
    if (auto f = scriptedFailure("CreateItem"))
        return *f;
    if (!path)
        return -1;
    int w = 0;
    int h = 0;
    if (!imageFileSize(path, &w, &h))
        return -2;
    SceneItem it;
    it.kind = KindPicture;
    it.sources = {path};
    it.sourceWidth = w;
    it.sourceHeight = h;
    it.x = x;
    it.y = y;
    it.width = int(qint64(w) * widthPercent / 100);
    it.height = int(qint64(h) * heightPercent / 100);
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return m_state.addItem(std::move(it));
}

bool CastCoreScene::SetItemAlpha(int id, int alpha)
{
    enter("SetItemAlpha", {arg(id), arg(alpha)});
    return m_state.withItem(id, [&](SceneItem &it) { it.alpha = alpha; });
}

int CastCoreScene::CreateTextItem(const TextInfo *info, int a, int b)
{
    enter("CreateTextItem", {info ? textArg(*info) : std::string("(null)"), arg(a), arg(b)});
    if (auto f = scriptedFailure("CreateTextItem"))
        return *f;
    if (!info)
        return -1;
    SceneItem it;
    it.kind = KindText;
    it.hasText = true;
    it.text.merge(*info, TextAllFields);
    it.openArgs = {a, b, 0, 0};
    textSourceSize(it.text, &it.sourceWidth, &it.sourceHeight);
    it.width = it.sourceWidth;
    it.height = it.sourceHeight;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return m_state.addItem(std::move(it));
}

bool CastCoreScene::SetItemRect2(int id, int x, int y, int width, int height)
{
    enter("SetItemRect2", {arg(id), arg(x), arg(y), arg(width), arg(height)});
    return placeItem(id, x, y, width, height);
}

bool CastCoreScene::SetItemRect(int id, int x, int y, int width, int height)
{
    enter("SetItemRect", {arg(id), arg(x), arg(y), arg(width), arg(height)});
    return placeItem(id, x, y, width, height);
}

bool CastCoreScene::placeItem(int id, int x, int y, int width, int height)
{
    return m_state.withItem(id, [&](SceneItem &it) {
        it.x = x;
        it.y = y;
        it.width = width;
        it.height = height;
        it.hasRelativeRect = false;
    });
}

bool CastCoreScene::GetItemSourceRect(int id, int *x, int *y, int *width, int *height)
{
    enter("GetItemSourceRect", {arg(id)});
    if (scriptedRefusal("GetItemSourceRect"))
        return false;
    return m_state.withItem(
        id, [&](SceneItem &it) { putRect(x, y, width, height, 0, 0, it.sourceWidth, it.sourceHeight); });
}

bool CastCoreScene::GetItemRect(int id, int *x, int *y, int *width, int *height)
{
    enter("GetItemRect", {arg(id)});
    if (scriptedRefusal("GetItemRect"))
        return false;
    return m_state.withItem(id, [&](SceneItem &it) { putRect(x, y, width, height, it.x, it.y, it.width, it.height); });
}

bool CastCoreScene::SetItemZ(int id, int z)
{
    enter("SetItemZ", {arg(id), arg(z)});
    return m_state.withItem(id, [&](SceneItem &it) { it.z = z; });
}

int CastCoreScene::GetItemZ(int id)
{
    enter("GetItemZ", {arg(id)});
    std::lock_guard<std::mutex> lock(m_state.mutex);
    const SceneItem *it = m_state.item(id);
    return it ? it->z : -1;
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

std::vector<AudioDevice> CastCoreScene::knownAudioDevices(const World &world) const
{
    std::vector<AudioDevice> all = m_listedAudio;
    all.insert(all.end(), world.audioDevices.begin(), world.audioDevices.end());
    return all;
}

AudioDeviceRecord *CastCoreScene::ListAudioDevices(int *count)
{
    enter("ListAudioDevices");
    std::optional<std::vector<AudioDevice>> scripted = control().audioLists().take("ListAudioDevices");
    const std::vector<AudioDevice> devices = scripted ? std::move(*scripted) : m_media.audio().devices(control().world());
    std::vector<AudioDeviceRecord> records(devices.size());
    for (size_t i = 0; i < devices.size(); ++i) {
        copyU16(devices[i].key, records[i].key, 255);
        copyU16(devices[i].name, records[i].name, 255);
        records[i].kind = devices[i].kind;
    }
    std::lock_guard<std::mutex> lock(m_state.mutex);
    m_listedAudio = devices;
    put(count, int(records.size()));
    return lendVector(m_state, std::move(records));
}

int CastCoreScene::OpenAudioDevice(const char16_t *key)
{
    enter("OpenAudioDevice", {arg(key)});
    const std::optional<int> scripted = control().ints().take("OpenAudioDevice");
    if (!key)
        return scripted.value_or(-1);
    const std::u16string k(key);
    const World world = control().world();
    std::optional<AudioDevice> found;
    {
        std::lock_guard<std::mutex> lock(m_state.mutex);
        for (const AudioDevice &d : knownAudioDevices(world)) {
            if (d.key == k) {
                found = d;
                break;
            }
        }
    }
    if (!found)
        return scripted.value_or(-1);
    if (scripted && *scripted < 0)
        return *scripted;
    // A scripted answer opens nothing; otherwise the device really opens.
    if (!scripted && !m_media.audio().open(*found))
        return -1;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    openedDevice(found->kind) = k;
    return scripted.value_or(0);
}

std::u16string &CastCoreScene::openedDevice(int kind)
{
    return kind == AudioSystemSound ? m_status.currentSystem : m_status.currentMic;
}

bool CastCoreScene::GetCurrentMicDevice(char16_t *key, int size, int reserved)
{
    return currentDevice("GetCurrentMicDevice", AudioMicrophone, key, size, reserved);
}

bool CastCoreScene::GetCurrentSystemDevice(char16_t *key, int size, int reserved)
{
    return currentDevice("GetCurrentSystemDevice", AudioSystemSound, key, size, reserved);
}

bool CastCoreScene::currentDevice(const char *op, int kind, char16_t *key, int size, int reserved)
{
    enter(op, {arg(size), arg(reserved)});
    std::u16string current;
    if (auto s = control().currentDevices().take(op)) {
        if (!s->found)
            return false;
        current = s->key;
    } else {
        // The device opened last, else the first one of its kind.
        const World world = control().world();
        std::lock_guard<std::mutex> lock(m_state.mutex);
        current = openedDevice(kind);
        if (current.empty())
            for (const AudioDevice &d : knownAudioDevices(world))
                if (d.kind == kind) {
                    current = d.key;
                    break;
                }
    }
    if (current.empty() || !key || size <= 0)
        return false;
    copyU16(current, key, size);
    return true;
}

void CastCoreScene::SetVolume(int channel, int value)
{
    enter("SetVolume", {arg(channel), arg(value)});
    {
        std::lock_guard<std::mutex> lock(m_state.mutex);
        m_status.volumes[channel] = value;
    }
    m_media.audio().setVolume(channel, value);
}

CameraDeviceRecord *CastCoreScene::ListCameras(int *count)
{
    enter("ListCameras");
    const std::vector<CameraDevice> cameras = availableCameras(control().world());
    std::vector<CameraDeviceRecord> records(cameras.size());
    for (size_t i = 0; i < cameras.size(); ++i) {
        records[i].index = int(i);
        copyU16(cameras[i].name, records[i].name, 256);
    }
    std::lock_guard<std::mutex> lock(m_state.mutex);
    put(count, int(records.size()));
    return lendVector(m_state, std::move(records));
}

int CastCoreScene::OpenCamera(const char16_t *device, int a, int b, int c, int d)
{
    enter("OpenCamera", {arg(device), arg(a), arg(b), arg(c), arg(d)});
    if (auto f = scriptedFailure("OpenCamera"))
        return *f;
    if (!device)
        return -1;
    const World world = control().world();
    const std::vector<CameraDevice> cameras = availableCameras(world);
    const CameraDevice *cam = findCamera(cameras, device);
    if (!cam)
        return -1;
    SceneItem it;
    it.kind = KindCamera;
    it.cameraDevice = cam->name;
    it.openArgs = {a, b, c, d};
    if (!cam->formats.empty()) {
        const CameraFormat &f = cam->formats.front();
        it.cameraParams = {f.colorFormat, f.width, f.height, f.fps};
    }
    it.sourceWidth = it.cameraParams.width > 0 ? it.cameraParams.width : kCameraFallbackWidth;
    it.sourceHeight = it.cameraParams.height > 0 ? it.cameraParams.height : kCameraFallbackHeight;
    it.width = it.sourceWidth;
    it.height = it.sourceHeight;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return m_state.addItem(std::move(it));
}

bool CastCoreScene::GetDisplayCount(int *count)
{
    enter("GetDisplayCount");
    if (scriptedRefusal("GetDisplayCount"))
        return false;
    put(count, int(control().world().displays.size()));
    return true;
}

bool CastCoreScene::GetDisplayRect(int display, int *x, int *y, int *width, int *height)
{
    enter("GetDisplayRect", {arg(display)});
    if (scriptedRefusal("GetDisplayRect"))
        return false;
    const World world = control().world();
    if (display < 0 || display >= int(world.displays.size()))
        return false;
    const DisplayRect &r = world.displays[size_t(display)];
    putRect(x, y, width, height, r.x, r.y, r.width, r.height);
    return true;
}

bool CastCoreScene::SetItemRotation(int id, float radians, int axis)
{
    enter("SetItemRotation", {arg(id), arg(radians), arg(axis)});
    if (axis < 0 || axis > 2)
        return false;
    return m_state.withItem(id, [&](SceneItem &it) { it.rotation[size_t(axis)] = radians; });
}

bool CastCoreScene::SetItemColorEffect(int id, uint32_t rgb)
{
    enter("SetItemColorEffect", {arg(id), arg(rgb)});
    return m_state.withItem(id, [&](SceneItem &it) { it.colorEffect = rgb; });
}

bool CastCoreScene::GetItemRotation(int id, float *radians, int axis)
{
    enter("GetItemRotation", {arg(id), arg(axis)});
    if (axis < 0 || axis > 2 || scriptedRefusal("GetItemRotation"))
        return false;
    return m_state.withItem(id, [&](SceneItem &it) { put(radians, it.rotation[size_t(axis)]); });
}

bool CastCoreScene::GetCameraDeviceName(int id, char16_t *name, int size)
{
    enter("GetCameraDeviceName", {arg(id), arg(size)});
    if (scriptedRefusal("GetCameraDeviceName") || !name || size <= 0)
        return false;
    return m_state.withItem(id, KindCamera, [&](SceneItem &it) { copyU16(it.cameraDevice, name, size); });
}

bool CastCoreScene::GetItemColorEffect(int id, uint32_t *rgb)
{
    enter("GetItemColorEffect", {arg(id)});
    if (scriptedRefusal("GetItemColorEffect"))
        return false;
    return m_state.withItem(id, [&](SceneItem &it) { put(rgb, it.colorEffect); });
}

void CastCoreScene::SetMicOption(int value)
{
    enter("SetMicOption", {arg(value)});
    std::lock_guard<std::mutex> lock(m_state.mutex);
    m_status.micOption = value;
}

bool CastCoreScene::GetItemAlpha(int id, int *alpha)
{
    enter("GetItemAlpha", {arg(id)});
    if (scriptedRefusal("GetItemAlpha"))
        return false;
    return m_state.withItem(id, [&](SceneItem &it) { put(alpha, it.alpha); });
}

const char *const *CastCoreScene::GetItemSourceFiles(int id, int *count)
{
    enter("GetItemSourceFiles", {arg(id)});
    put(count, 0);
    if (scriptedRefusal("GetItemSourceFiles"))
        return nullptr;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    const SceneItem *it = m_state.item(id);
    if (!it || it->sources.empty())
        return nullptr;
    struct List
    {
        std::vector<std::string> files;
        std::vector<const char *> pointers;
    };
    auto list = std::make_shared<List>();
    list->files = it->sources;
    for (const std::string &f : list->files)
        list->pointers.push_back(f.c_str());
    const char *const *data = list->pointers.data();
    m_state.lend(data, list);
    put(count, int(list->files.size()));
    return data;
}

bool CastCoreScene::SetItemSourceFiles(int id, const char *const *files, int count)
{
    std::vector<std::string> args{arg(id), arg(count)};
    std::vector<std::string> list;
    bool valid = count > 0 && files;
    for (int i = 0; valid && i < count; ++i) {
        if (!files[i]) {
            valid = false;
            break;
        }
        list.push_back(files[i]);
        args.push_back(files[i]);
    }
    enter("SetItemSourceFiles", std::move(args));
    if (scriptedRefusal("SetItemSourceFiles") || !valid)
        return false;
    int kind = -1;
    if (!m_state.withItem(id, [&](SceneItem &it) { kind = it.kind; }))
        return false;
    int w = 0;
    int h = 0;
    if (kind == KindPicture && !imageFileSize(list.front(), &w, &h))
        return false;
    if (kind == KindOverlayFile && !QFileInfo::exists(QString::fromStdString(list.front())))
        return false;
    return m_state.withItem(id, [&](SceneItem &it) {
        it.sources = list;
        m_state.touch(it);
        if (kind == KindPicture) {
            it.sourceWidth = w;
            it.sourceHeight = h;
        }
    });
}

bool CastCoreScene::ListCameraFormats(const char16_t *device, int *count, CameraFormat **list)
{
    enter("ListCameraFormats", {arg(device)});
    put(count, 0);
    if (scriptedRefusal("ListCameraFormats") || !device)
        return false;
    const World world = control().world();
    const std::vector<CameraDevice> cameras = availableCameras(world);
    const CameraDevice *cam = findCamera(cameras, device);
    if (!cam || cam->formats.empty())
        return false;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    put(count, int(cam->formats.size()));
    CameraFormat *data = lendVector(m_state, cam->formats);
    if (list)
        *list = data;
    else
        m_state.release(data);
    return true;
}

bool CastCoreScene::SetCameraParams(int id, const CameraParams *params)
{
    std::vector<std::string> args{arg(id)};
    if (params) {
        for (int v : {params->colorFormat, params->width, params->height, params->fps})
            args.push_back(arg(v));
    }
    enter("SetCameraParams", std::move(args));
    const std::optional<bool> scripted = control().bools().take("SetCameraParams");
    if (!params)
        return false;
    const World world = control().world();
    const std::vector<CameraDevice> cameras = availableCameras(world);
    return m_state.withItem(id, KindCamera, [&](SceneItem &it) {
        bool ok = false;
        if (scripted) {
            ok = *scripted;
        } else if (const CameraDevice *cam = findCamera(cameras, it.cameraDevice)) {
            ok = std::any_of(cam->formats.begin(), cam->formats.end(),
                             [&](const CameraFormat &f) { return sameParams(f, *params); });
        }
        if (!ok)
            return false;
        it.cameraParams = *params;
        m_state.touch(it);
        if (params->width > 0 && params->height > 0) {
            it.sourceWidth = params->width;
            it.sourceHeight = params->height;
        }
        return true;
    });
}

bool CastCoreScene::GetCameraParams(int id, CameraParams *params)
{
    enter("GetCameraParams", {arg(id)});
    if (scriptedRefusal("GetCameraParams") || !params)
        return false;
    return m_state.withItem(id, KindCamera, [&](SceneItem &it) { *params = it.cameraParams; });
}

bool CastCoreScene::SetTextProperties(int id, TextInfo info)
{
    enter("SetTextProperties", {arg(id), arg(info.mask), textArg(info)});
    if (scriptedRefusal("SetTextProperties"))
        return false;
    return m_state.withItem(id, KindText, [&](SceneItem &it) {
        it.text.merge(info, info.mask);
        m_state.touch(it);
        textSourceSize(it.text, &it.sourceWidth, &it.sourceHeight);
    });
}

bool CastCoreScene::GetTextProperties(int id, TextInfo *info)
{
    enter("GetTextProperties", {arg(id)});
    if (scriptedRefusal("GetTextProperties") || !info)
        return false;
    return m_state.withItem(id, KindText, [&](SceneItem &it) { it.text.fill(info); });
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

bool CastCoreScene::SetItemWatermark(int id, int value)
{
    enter("SetItemWatermark", {arg(id), arg(value)});
    return m_state.withItem(id, [&](SceneItem &it) {
        if (it.watermark.size() >= kMaxWatermarkSettings)
            it.watermark.erase(it.watermark.begin());
        it.watermark.push_back(value);
    });
}

bool CastCoreScene::SetItemRelativeRect(int id, float x, float y, float width, float height)
{
    enter("SetItemRelativeRect", {arg(id), arg(x), arg(y), arg(width), arg(height)});
    return m_state.withItem(id, [&](SceneItem &it) {
        const bool had = it.hasRelativeRect;
        it.hasRelativeRect = true;
        it.relX = x;
        it.relY = y;
        // No size (0 or below) keeps the size the item has.
        it.relWidth = width > 0 ? width : (had ? it.relWidth : -1.0f);
        it.relHeight = height > 0 ? height : (had ? it.relHeight : -1.0f);
        m_state.applyRelativeRect(it);
    });
}

bool CastCoreScene::SetItemFlag(int id, bool flag)
{
    enter("SetItemFlag", {arg(id), arg(flag)});
    return m_state.withItem(id, [&](SceneItem &it) { it.flag = flag; });
}

bool CastCoreScene::SetItemAspect(int id, float ratio, int mode)
{
    enter("SetItemAspect", {arg(id), arg(ratio), arg(mode)});
    return m_state.withItem(id, [&](SceneItem &it) {
        it.aspect = ratio;
        it.aspectMode = mode;
    });
}

int CastCoreScene::AddOverlayFile(const char16_t *path)
{
    enter("AddOverlayFile", {arg(path)});
    if (auto f = scriptedFailure("AddOverlayFile"))
        return *f;
    if (!path)
        return -1;
    const QString file = QString::fromUtf16(path);
    if (!QFileInfo(file).isFile())
        return -2;
    SceneItem it;
    it.kind = KindOverlayFile;
    it.sources = {file.toStdString()};
    it.sourceWidth = kOverlayWidth;
    it.sourceHeight = kOverlayHeight;
    it.width = kOverlayWidth;
    it.height = kOverlayHeight;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return m_state.addItem(std::move(it));
}

bool CastCoreScene::SetItemVideoFilter(int id, IVideoFilter *filter)
{
    enter("SetItemVideoFilter", {arg(id), ptrArg(filter)});
    const bool set = m_state.withItem(id, [&](SceneItem &it) { it.filter = filter; });
    // The filter that was replaced may go once this returns: no frame in
    // the making may still hold it.
    if (set)
        m_media.quiesce();
    return set;
}

int CastCoreScene::AddCustomCapture(ICustomCapture *capture)
{
    enter("AddCustomCapture", {ptrArg(capture)});
    if (auto f = scriptedFailure("AddCustomCapture"))
        return *f;
    if (!capture)
        return -1;
    // Asked here, not on the library thread: a callback held there (by a
    // test, or a slow listener) must not hold up the caller, often the GUI.
    CaptureFormat format;
    const bool ok = capture->GetFormat(&format);
    SceneItem it;
    it.kind = KindCustomCapture;
    it.capture = capture;
    if (ok) {
        it.sourceWidth = int(format.width);
        it.sourceHeight = int(format.height);
    }
    it.width = it.sourceWidth;
    it.height = it.sourceHeight;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return m_state.addItem(std::move(it));
}

bool CastCoreScene::SetEffectiveText(int id, const char16_t *text)
{
    enter("SetEffectiveText", {arg(id), arg(text)});
    if (scriptedRefusal("SetEffectiveText") || !text)
        return false;
    std::u16string s(text);
    if (s.size() >= size_t(kEffectiveTextUnits)) {
        std::vector<char16_t> cut(kEffectiveTextUnits);
        const int n = copyU16(s, cut.data(), kEffectiveTextUnits);
        s.assign(cut.data(), size_t(n));
    }
    return m_state.withItem(id, [&](SceneItem &it) {
        it.hasEffectiveText = true;
        it.effectiveText = s;
        m_state.touch(it);
    });
}

bool CastCoreScene::GetEffectiveText(int id, char16_t *buffer, int capacity, int *length)
{
    enter("GetEffectiveText", {arg(id), arg(capacity)});
    if (scriptedRefusal("GetEffectiveText") || !buffer || capacity <= 0)
        return false;
    return m_state.withItem(id, [&](SceneItem &it) {
        if (!it.hasEffectiveText)
            return false;
        put(length, copyU16(it.effectiveText, buffer, capacity));
        return true;
    });
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

// ---------------------------------------------------------------------------

CastCoreSceneStore::CastCoreSceneStore(SceneState &state)
    : m_state(state)
{
}

bool CastCoreSceneStore::OpenFile(const char *name, const char *path)
{
    enter("OpenFile", {arg(name), arg(path)});
    if (!path || !*path)
        return false;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return m_state.load(path);
}

bool CastCoreSceneStore::IsNameFree(const char *name)
{
    enter("IsNameFree", {arg(name)});
    if (!name || !*name)
        return false;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return !m_state.nameHeld(name, 0);
}

bool CastCoreSceneStore::SetItemName(int id, const char *name)
{
    enter("SetItemName", {arg(id), arg(name)});
    if (scriptedRefusal("SetItemName") || !name || !*name)
        return false;
    const std::string n(name);
    if (!SceneState::nameFits(n))
        return false;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    SceneItem *it = m_state.item(id);
    if (!it || m_state.nameHeld(n, id))
        return false;
    if (StoreEntry *e = it->name.empty() ? nullptr : m_state.entry(it->name)) {
        e->name = n;
    } else {
        StoreEntry fresh;
        fresh.name = n;
        fresh.liveId = id;
        m_state.entries.push_back(std::move(fresh));
    }
    it->name = n;
    m_state.save();
    return true;
}

bool CastCoreSceneStore::Remove(const char *name)
{
    enter("Remove", {arg(name)});
    if (!name || !*name)
        return false;
    const std::string n(name);
    std::lock_guard<std::mutex> lock(m_state.mutex);
    bool removed = false;
    for (auto e = m_state.entries.begin(); e != m_state.entries.end(); ++e) {
        if (e->name != n)
            continue;
        if (e->liveId > 0)
            m_state.eraseItem(e->liveId);
        m_state.entries.erase(e);
        removed = true;
        break;
    }
    for (auto it = m_state.items.begin(); it != m_state.items.end();) {
        if (it->second.name == n) {
            it = m_state.items.erase(it);
            removed = true;
        } else {
            ++it;
        }
    }
    if (removed)
        m_state.save();
    return removed;
}

int CastCoreSceneStore::Count()
{
    enter("Count");
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return int(m_state.entries.size());
}

int CastCoreSceneStore::Fill(SceneItemRecord *records, int count)
{
    enter("Fill", {ptrArg(records), arg(count)});
    if (!records || count <= 0)
        return 0;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    const int n = std::min<int>(count, int(m_state.entries.size()));
    for (int i = 0; i < n; ++i) {
        const StoreEntry &e = m_state.entries[size_t(i)];
        const SceneItem it = m_state.snapshot(e);
        SceneItemRecord r;
        r.kind = it.kind;
        r.id = e.liveId;
        r.x = it.x;
        r.y = it.y;
        r.width = it.width;
        r.height = it.height;
        r.z = it.z;
        r.alpha = it.alpha;
        r.sourceWidth = it.sourceWidth;
        r.sourceHeight = it.sourceHeight;
        r.flag = it.flag;
        qstrncpy(r.name, e.name.c_str(), sizeof(r.name));
        if (!it.sources.empty())
            qstrncpy(r.source, it.sources.front().c_str(), sizeof(r.source));
        records[i] = r;
    }
    return n;
}

int CastCoreSceneStore::Open(const char *name)
{
    enter("Open", {arg(name)});
    if (!name || !*name)
        return -1;
    const std::string n(name);
    if (auto code = control().openFailure(n))
        return *code;
    if (auto f = scriptedFailure("Open"))
        return *f;
    const World world = control().world();
    std::unique_lock<std::mutex> lock(m_state.mutex);
    StoreEntry *e = m_state.entry(n);
    if (!e)
        return -1;
    if (e->liveId > 0 && m_state.item(e->liveId))
        return e->liveId;
    SceneItem it = e->saved;
    const bool pluginKnown = m_state.pluginKnown(it.plugin, world.plugins);
    lock.unlock();

    // The source must still be there.
    switch (it.kind) {
    case KindPicture:
        if (it.sources.empty() || !imageFileSize(it.sources.front(), &it.sourceWidth, &it.sourceHeight))
            return -2;
        break;
    case KindOverlayFile:
        if (it.sources.empty() || !QFileInfo(QString::fromStdString(it.sources.front())).isFile())
            return -2;
        break;
    case KindCamera:
        if (!findCamera(availableCameras(world), it.cameraDevice))
            return -3;
        break;
    case KindPlugin:
        if (!pluginKnown)
            return -4;
        break;
    case KindScreenCapture:
        if (it.display < 0 || it.display >= int(world.displays.size()))
            return -5;
        break;
    case KindText:
        textSourceSize(it.text, &it.sourceWidth, &it.sourceHeight);
        break;
    default: // a custom capture source belongs to the run that added it
        return -6;
    }

    lock.lock();
    e = m_state.entry(n);
    if (!e)
        return -1;
    if (e->liveId > 0 && m_state.item(e->liveId))
        return e->liveId;
    it.name = n;
    it.filter = nullptr;
    it.capture = nullptr;
    m_state.applyRelativeRect(it);
    const int id = m_state.addItem(std::move(it));
    e->liveId = id;
    return id;
}

bool CastCoreSceneStore::GetItemName(int id, char *buffer, int size)
{
    enter("GetItemName", {arg(id), arg(size)});
    if (scriptedRefusal("GetItemName") || !buffer || size <= 0)
        return false;
    return m_state.withItem(id, [&](SceneItem &it) {
        // A cut name would address another item later: refuse instead.
        if (it.name.empty() || int(it.name.size()) >= size)
            return false;
        qstrncpy(buffer, it.name.c_str(), uint(size));
        return true;
    });
}

int CastCoreSceneStore::Kind(int id)
{
    enter("Kind", {arg(id)});
    std::lock_guard<std::mutex> lock(m_state.mutex);
    const SceneItem *it = m_state.item(id);
    return it ? it->kind : -1;
}

} // namespace castcore
