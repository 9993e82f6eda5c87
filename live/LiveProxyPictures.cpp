#include "LiveProxy.h"

#include "CamAssist.h"
#include "Logger.h"

#include <QFileInfo>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kCameraTableSize = 10;
constexpr int kFormatTableSize = 60;
constexpr int kDeviceNameUnits = 256;

// Shared by every caller and overwritten by the next call.
CameraDeviceRecord g_cameraTable[kCameraTableSize];
CameraFormat g_formatTable[kFormatTableSize];

// Half a turn as the engine takes it (bit pattern 0x40490FDB).
constexpr float kHalfTurn = 3.14159274f;
constexpr int kMirrorAxis = 1;
constexpr int kFlipAxis = 0;

constexpr uint32_t kColorEffects[] = {0x38465C, 0x4C3C32, 0x32322A, 0x202E50,
                                      0x1E3E3E, 0x341032, 0x661EF6, 0xDC3C48};
constexpr int kColorEffectCount = int(sizeof(kColorEffects) / sizeof(kColorEffects[0]));

Logger *logger()
{
    return Logger::instance();
}

std::u16string toU16(const std::string &utf8)
{
    return QString::fromUtf8(utf8.c_str()).toStdU16String();
}

} // namespace

int LiveProxy::createItem(const std::string &path, bool flag, int alpha)
{
    if (!m_scene)
        return -1;
    const int id = m_scene->CreateItem(path.c_str(), 0, 0, 100, 100);
    if (id > 0) {
        setItemAlpha(id, alpha);
        m_scene->SetItemFlag(id, flag);
    }
    return id;
}

int LiveProxy::addImage(const std::string &path, int alpha, int layer)
{
    logger()->write(Logger::LOG_INFO, "add image.");
    const int id = createItem(path, true, alpha);
    if (id > 0) {
        int z = 0;
        const std::string name = registerNewItem(id, "image", layer, false, &z);
        logger()->write(Logger::LOG_INFO, "add image %s success: id(%d) z(%d).", name.c_str(), id, z);
    }
    return id;
}

int LiveProxy::addBottomImage(const std::string &path, int alpha, int layer)
{
    const int id = createItem(path, false, alpha);
    if (id > 0) {
        int z = 0;
        const std::string name = registerNewItem(id, "image", layer, false, &z);
        logger()->write(Logger::LOG_INFO, "add bottom item %s success: id(%d) z(%d).", name.c_str(), id, z);
    }
    return id;
}

int LiveProxy::addOverlay(const char *word, const std::string &path, int alpha, int layer, bool pendant)
{
    const bool flash = isFlashFile(QString::fromUtf8(path.c_str()));
    logger()->write(Logger::LOG_INFO, "add %s, falsh file? %d.", word, flash ? 1 : 0);
    int id = -1;
    if (!flash)
        id = createItem(path, false, alpha);
    else if (m_scene)
        id = m_scene->AddOverlayFile(toU16(path).c_str());
    if (id > 0) {
        int z = 0;
        const std::string name = registerNewItem(id, word, layer, pendant, &z);
        logger()->write(Logger::LOG_INFO, "add %s %s success: id(%d) z(%d).", word, name.c_str(), id, z);
    }
    return id;
}

int LiveProxy::addShadow(const std::string &path, int alpha, int layer)
{
    return addOverlay("shadow", path, alpha, layer, false);
}

int LiveProxy::addEdge(const std::string &path, int alpha, int layer)
{
    return addOverlay("edge", path, alpha, layer, false);
}

int LiveProxy::addPendant(const std::string &path, int alpha, int layer)
{
    return addOverlay("pendant", path, alpha, layer, true);
}

bool LiveProxy::isFlashFile(const QString &path)
{
    return QFileInfo(path).suffix() == QLatin1String("swf");
}

void LiveProxy::cameraDeviceList(CameraDeviceRecord **table, int *count)
{
    int n = 0;
    const CameraDeviceRecord *list = m_scene ? m_scene->ListCameras(&n) : nullptr;
    if (n > kCameraTableSize)
        logger()->write(Logger::LOG_WARN, "camera device count too many.");
    const int copied = list ? std::clamp(n, 0, kCameraTableSize) : 0;
    std::copy(list, list + copied, g_cameraTable);
    if (m_scene)
        m_scene->FreeBuffer(list);
    if (table)
        *table = g_cameraTable;
    if (count)
        *count = copied;
}

void LiveProxy::cameraFormatList(const std::u16string &device, CameraFormat **list, int *count)
{
    int n = 0;
    CameraFormat *formats = nullptr;
    const bool ok = m_scene && m_scene->ListCameraFormats(device.c_str(), &n, &formats);
    if (!ok || n < 1 || !formats) {
        if (count)
            *count = 0;
        return;
    }
    const int copied = std::min(n, kFormatTableSize);
    std::copy(formats, formats + copied, g_formatTable);
    m_scene->FreeBuffer(formats);
    if (list)
        *list = g_formatTable;
    if (count)
        *count = copied;
}

int LiveProxy::openCamera(const std::u16string &device, int layer)
{
    const QByteArray deviceName = QString::fromStdU16String(device).toUtf8();
    logger()->write(Logger::LOG_INFO, "open camera device: %s.", deviceName.constData());
    const int id = m_scene ? m_scene->OpenCamera(device.c_str(), 0, 0, 0, 0) : -1;
    if (id > 0) {
        int z = 0;
        const std::string name = registerNewItem(id, "camera", layer, false, &z);
        logger()->write(Logger::LOG_INFO, "open camera device %s success: id(%d) z(%d).", name.c_str(), id, z);
        attachFilterToCamera(id);
    }
    return id;
}

std::u16string LiveProxy::cameraDeviceOf(int id)
{
    char16_t buffer[kDeviceNameUnits] = {};
    if (!m_scene || !m_scene->GetCameraDeviceName(id, buffer, kDeviceNameUnits))
        return std::u16string();
    buffer[kDeviceNameUnits - 1] = 0;
    return std::u16string(buffer);
}

void LiveProxy::getCameraDeviceName(int id, QString &name)
{
    if (itemType(id) == SceneItemCamera)
        name = QString::fromStdU16String(cameraDeviceOf(id));
}

void LiveProxy::setCameraParam(int id, const CameraParams *params)
{
    if (!params || !m_scene)
        return;
    const bool ok = m_scene->SetCameraParams(id, params);
    CameraParams shown = *params;
    // A refused request is not the camera's state: after a refusal only a
    // successful read-back may describe the camera.
    if (ok || m_scene->GetCameraParams(id, &shown)) {
        char text[128];
        std::snprintf(text, sizeof(text), "%s %d*%d %d", colorFormatName(shown.colorFormat).c_str(), shown.width,
                      shown.height, shown.fps);
        m_settings->Set("camerareinfo", text);
    } else {
        logger()->write(Logger::LOG_ERROR, "get camera param fail.");
    }
    if (!ok)
        logger()->write(Logger::LOG_ERROR, "set camera param fail.");
}

void LiveProxy::getCameraParam(int id, CameraParams *params)
{
    if (!params || !m_scene || !m_scene->GetCameraParams(id, params))
        logger()->write(Logger::LOG_ERROR, "get camera param fail.");
}

void LiveProxy::setSlim(int id, int slim)
{
    if (!m_scene || m_outputHeight <= 0)
        return;
    const float ratio = float(double(m_outputWidth) / m_outputHeight) - float(slim / 200.0 * 0.6);
    m_scene->SetItemFlag(id, true);
    m_scene->SetItemAspect(id, ratio, 1);
}

void LiveProxy::setItemMirrored(int id, bool mirror)
{
    if (m_scene)
        m_scene->SetItemRotation(id, mirror ? kHalfTurn : 0.0f, kMirrorAxis);
}

void LiveProxy::setItemFlipped(int id, bool flip)
{
    if (m_scene)
        m_scene->SetItemRotation(id, flip ? kHalfTurn : 0.0f, kFlipAxis);
}

bool LiveProxy::isItemMirrored(int id)
{
    float radians = 0.0f;
    return m_scene && m_scene->GetItemRotation(id, &radians, kMirrorAxis) && int(radians) != 0;
}

bool LiveProxy::isItemFlipped(int id)
{
    float radians = 0.0f;
    return m_scene && m_scene->GetItemRotation(id, &radians, kFlipAxis) && int(radians) != 0;
}

void LiveProxy::setItemColorEffect(int id, int effect)
{
    if (m_scene)
        m_scene->SetItemColorEffect(id, effect >= 0 && effect < kColorEffectCount ? kColorEffects[effect] : 0);
}

void LiveProxy::getItemColorEffect(int id, int *effect)
{
    uint32_t rgb = 0;
    if (!effect || !m_scene || !m_scene->GetItemColorEffect(id, &rgb))
        return;
    for (int i = 0; i < kColorEffectCount; ++i) {
        if (kColorEffects[i] == rgb) {
            *effect = i;
            return;
        }
    }
}

int LiveProxy::getCameraImageProperty(int id, int property, int *range, int *value, int *flags)
{
    return m_cameraHelper ? m_cameraHelper->GetVideoProcAmp(cameraDeviceOf(id).c_str(), property, range, value, flags)
                          : 0;
}

int LiveProxy::setCameraImageProperty(int id, int property, int value, int flags)
{
    return m_cameraHelper ? m_cameraHelper->SetVideoProcAmp(cameraDeviceOf(id).c_str(), property, value, flags) : 0;
}

int LiveProxy::getCameraControlProperty(int id, int property, int *range, int *value, int *flags)
{
    return m_cameraHelper ? m_cameraHelper->GetCameraControl(cameraDeviceOf(id).c_str(), property, range, value, flags)
                          : 0;
}

int LiveProxy::setCameraControlProperty(int id, int property, int value, int flags)
{
    return m_cameraHelper ? m_cameraHelper->SetCameraControl(cameraDeviceOf(id).c_str(), property, value, flags) : 0;
}
