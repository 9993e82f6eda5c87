#include "CamAssist.h"

#include "CastCoreCameras.h"
#include "World.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <algorithm>

#include <map>
#include <mutex>

namespace camassist {
namespace {

const char *const kVideoProcAmpNames[kVideoProcAmpCount] = {
    "Brightness", "Contrast", "Hue", "Saturation", "Sharpness",
    "Gamma", "ColorEnable", "WhiteBalance", "BacklightCompensation", "Gain"};
const char *const kCameraControlNames[kCameraControlCount] = {
    "Pan", "Tilt", "Roll", "Zoom", "Exposure", "Iris", "Focus"};

constexpr int kAuto = 1;
constexpr int kManual = 2;

CameraProperty manual(int min, int max, int step, int def)
{
    return CameraProperty{min, max, step, def, kManual, def, kManual};
}

CameraProperty automatic(int min, int max, int step, int def)
{
    return CameraProperty{min, max, step, def, kAuto | kManual, def, kAuto};
}

struct State
{
    std::mutex mutex;
    std::optional<std::vector<CameraDevice>> chosen; // set by a test
    std::map<std::u16string, CameraDevice> tables;   // engine cameras, made on first use
    mvplatform::Countdown failCreates;
    int live = 0;
    mvplatform::CallLog log;
    mvplatform::Gates gates;
    mvplatform::Activity activity;
};

State &state()
{
    static State s;
    return s;
}

CameraDevice worldTable(const std::u16string &name);

// Callers hold the mutex.
CameraDevice *findCamera(State &s, const std::u16string &name)
{
    if (s.chosen) {
        for (auto &c : *s.chosen)
            if (c.name == name)
                return &c;
        return nullptr;
    }
    const std::vector<std::u16string> names = castcore::worldCameraNames();
    if (std::find(names.begin(), names.end(), name) == names.end())
        return nullptr;
    auto it = s.tables.find(name);
    if (it == s.tables.end())
        it = s.tables.emplace(name, worldTable(name)).first;
    return &it->second;
}

std::optional<CameraProperty> *findProperty(CameraDevice &c, PropertyKind kind, int index)
{
    if (kind == VideoProcAmp && index >= 0 && index < kVideoProcAmpCount)
        return &c.videoProcAmp[size_t(index)];
    if (kind == CameraControl && index >= 0 && index < kCameraControlCount)
        return &c.cameraControl[size_t(index)];
    return nullptr;
}

// The device's slot for a property; null for an unknown device or property.
// Callers hold the mutex.
std::optional<CameraProperty> *findProperty(State &s, const std::u16string &device, PropertyKind kind, int index)
{
    CameraDevice *cam = findCamera(s, device);
    return cam ? findProperty(*cam, kind, index) : nullptr;
}

std::optional<CameraProperty> propertyFromJson(const QJsonValue &v,
                                               const std::optional<CameraProperty> &base)
{
    if (v.isNull())
        return std::nullopt;
    if (!v.isObject())
        return base;
    const QJsonObject o = v.toObject();
    CameraProperty p = base.value_or(CameraProperty{});
    p.minimum = o.value(QStringLiteral("min")).toInt(p.minimum);
    p.maximum = o.value(QStringLiteral("max")).toInt(p.maximum);
    p.step = o.value(QStringLiteral("step")).toInt(p.step);
    p.defaultValue = o.value(QStringLiteral("default")).toInt(p.defaultValue);
    p.caps = o.value(QStringLiteral("caps")).toInt(p.caps);
    p.value = o.value(QStringLiteral("value")).toInt(p.defaultValue);
    p.flags = o.value(QStringLiteral("flags")).toInt(p.flags);
    return p;
}

std::u16string toU16(const QString &s)
{
    return std::u16string(reinterpret_cast<const char16_t *>(s.utf16()), size_t(s.size()));
}

CameraDevice worldTable(const std::u16string &name)
{
    CameraDevice c = defaultCamera(name);
    const QJsonValue list = mvplatform::loadWorld()
                                .value(QStringLiteral("engine"))
                                .toObject()
                                .value(QStringLiteral("cameras"));
    for (const QJsonValue &entry : list.toArray()) {
        const QJsonObject o = entry.toObject();
        if (toU16(o.value(QStringLiteral("name")).toString()) != name)
            continue;
        const QJsonObject vpa = o.value(QStringLiteral("videoProcAmp")).toObject();
        for (int i = 0; i < kVideoProcAmpCount; ++i) {
            const QString key = QString::fromLatin1(kVideoProcAmpNames[i]);
            if (vpa.contains(key))
                c.videoProcAmp[size_t(i)] = propertyFromJson(vpa.value(key), c.videoProcAmp[size_t(i)]);
        }
        const QJsonObject cc = o.value(QStringLiteral("cameraControl")).toObject();
        for (int i = 0; i < kCameraControlCount; ++i) {
            const QString key = QString::fromLatin1(kCameraControlNames[i]);
            if (cc.contains(key))
                c.cameraControl[size_t(i)] = propertyFromJson(cc.value(key), c.cameraControl[size_t(i)]);
        }
        break;
    }
    return c;
}

class Helper final : public IDShowHelper
{
public:
    void Release() override
    {
        State &s = state();
        const mvplatform::Activity::Call call(s.activity, s.gates, "Release");
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            --s.live;
        }
        s.log.record("Release");
        delete this;
    }

    int GetVideoProcAmp(const char16_t *device, int property, int *range, int *value,
                        int *flags) override
    {
        return get("GetVideoProcAmp", VideoProcAmp, device, property, range, value, flags);
    }
    int SetVideoProcAmp(const char16_t *device, int property, int value, int flags) override
    {
        return set("SetVideoProcAmp", VideoProcAmp, device, property, value, flags);
    }
    int GetCameraControl(const char16_t *device, int property, int *range, int *value,
                         int *flags) override
    {
        return get("GetCameraControl", CameraControl, device, property, range, value, flags);
    }
    int SetCameraControl(const char16_t *device, int property, int value, int flags) override
    {
        return set("SetCameraControl", CameraControl, device, property, value, flags);
    }

private:
    ~Helper() override = default;

    static std::string deviceArg(const char16_t *device)
    {
        return device ? mvplatform::toArg(std::u16string(device)) : std::string("(null)");
    }

    static int get(const char *op, PropertyKind kind, const char16_t *device, int index,
                   int *range, int *value, int *flags)
    {
        State &s = state();
        const mvplatform::Activity::Call call(s.activity, s.gates, op);
        int result = 0;
        if (device && range && value && flags) {
            std::lock_guard<std::mutex> lock(s.mutex);
            std::optional<CameraProperty> *p = findProperty(s, device, kind, index);
            if (p && *p) {
                const CameraProperty &v = **p;
                range[0] = v.minimum;
                range[1] = v.maximum;
                range[2] = v.step;
                range[3] = v.defaultValue;
                range[4] = v.caps;
                *value = v.value;
                *flags = v.flags;
                result = 1;
            }
        }
        s.log.record(op, {deviceArg(device), mvplatform::toArg(index), mvplatform::toArg(result)});
        return result;
    }

    // A camera refuses a value outside its range, an unknown mode and an
    // automatic mode it does not have; the stored state then stays as it was.
    static int set(const char *op, PropertyKind kind, const char16_t *device, int index,
                   int value, int flags)
    {
        State &s = state();
        const mvplatform::Activity::Call call(s.activity, s.gates, op);
        int result = 0;
        if (device) {
            std::lock_guard<std::mutex> lock(s.mutex);
            std::optional<CameraProperty> *p = findProperty(s, device, kind, index);
            if (p && *p) {
                CameraProperty &v = **p;
                const bool modeOk = flags == kManual || (flags == kAuto && (v.caps & kAuto));
                if (modeOk && value >= v.minimum && value <= v.maximum) {
                    v.value = value;
                    v.flags = flags;
                    result = 1;
                }
            }
        }
        s.log.record(op, {deviceArg(device), mvplatform::toArg(index), mvplatform::toArg(value),
                          mvplatform::toArg(flags), mvplatform::toArg(result)});
        return result;
    }
};

} // namespace

CameraDevice defaultCamera(const std::u16string &name)
{
    CameraDevice c;
    c.name = name;
    c.videoProcAmp = {
        manual(-64, 64, 1, 0),          // brightness
        manual(0, 95, 1, 32),           // contrast
        manual(-2000, 2000, 1, 0),      // hue
        manual(0, 100, 1, 64),          // saturation
        manual(0, 7, 1, 2),             // sharpness
        manual(100, 300, 1, 100),       // gamma
        manual(0, 1, 1, 1),             // colour enable
        automatic(2800, 6500, 10, 4600), // white balance
        manual(0, 2, 1, 1),             // backlight compensation
        manual(0, 100, 1, 0),           // gain
    };
    c.cameraControl[3] = manual(100, 500, 1, 100);  // zoom
    c.cameraControl[4] = automatic(-11, -2, 1, -6); // exposure
    c.cameraControl[6] = automatic(0, 250, 5, 0);   // focus
    return c;
}

void reset()
{
    State &s = state();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.chosen.reset();
        s.tables.clear();
        // Helpers still held by their owners stay counted.
    }
    s.failCreates.set(0);
    s.log.clear();
    s.gates.openAll();
}

void setCameras(std::vector<CameraDevice> cameras)
{
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.chosen = std::move(cameras);
}

std::vector<CameraDevice> cameras()
{
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.chosen)
        return *s.chosen;
    std::vector<CameraDevice> out;
    for (const std::u16string &name : castcore::worldCameraNames())
        if (CameraDevice *c = findCamera(s, name))
            out.push_back(*c);
    return out;
}

std::optional<CameraProperty> property(const std::u16string &device, PropertyKind kind, int index)
{
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    std::optional<CameraProperty> *p = findProperty(s, device, kind, index);
    return p ? *p : std::nullopt;
}

bool setProperty(const std::u16string &device, PropertyKind kind, int index,
                 std::optional<CameraProperty> value)
{
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    std::optional<CameraProperty> *p = findProperty(s, device, kind, index);
    if (!p)
        return false;
    *p = value;
    return true;
}

void failNextCreate(int n)
{
    state().failCreates.set(n);
}

int liveHelpers()
{
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.live;
}

const mvplatform::CallLog &callLog()
{
    return state().log;
}

mvplatform::Gates &gates()
{
    return state().gates;
}

bool waitIdle(int timeoutMs)
{
    return state().activity.waitIdle(timeoutMs);
}

} // namespace camassist

IDShowHelper *CreateDShowInstance()
{
    using namespace camassist;
    State &s = state();
    const mvplatform::Activity::Call call(s.activity, s.gates, "CreateDShowInstance");
    IDShowHelper *helper = nullptr;
    if (!s.failCreates.take()) {
        helper = new Helper;
        std::lock_guard<std::mutex> lock(s.mutex);
        ++s.live;
    }
    s.log.record("CreateDShowInstance", {helper ? "ok" : "null"});
    return helper;
}
