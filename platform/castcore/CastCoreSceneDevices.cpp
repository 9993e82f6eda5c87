#include "CastCoreScene.h"

#include "CastCoreSceneCalls.h"
#include "EngineCalls.h"

#include <algorithm>

// Sound devices, cameras and displays, as the scene lists and opens them.

namespace castcore {

namespace {

bool sameParams(const CameraFormat &f, const CameraParams &p)
{
    return f.colorFormat == p.colorFormat && f.width == p.width && f.height == p.height && f.fps == p.fps;
}

} // namespace

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

bool CastCoreScene::GetCameraDeviceName(int id, char16_t *name, int size)
{
    enter("GetCameraDeviceName", {arg(id), arg(size)});
    if (scriptedRefusal("GetCameraDeviceName") || !name || size <= 0)
        return false;
    return m_state.withItem(id, KindCamera, [&](SceneItem &it) { copyU16(it.cameraDevice, name, size); });
}

void CastCoreScene::SetMicOption(int value)
{
    enter("SetMicOption", {arg(value)});
    std::lock_guard<std::mutex> lock(m_state.mutex);
    m_status.micOption = value;
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

} // namespace castcore
