#include "CastCoreWorld.h"

#include "CastCoreCameras.h"
#include "SceneItem.h"
#include "World.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QScreen>
#include <QJsonValue>

#include <mutex>

namespace castcore {

namespace {

const char *const kColorFormatNames[] = {"YUY2", "YVYU", "UYVY", "I420", "RGB32", "RGB24", "MJPG"};

CameraFormat format(int colorFormat, int width, int height, int fps)
{
    CameraFormat f;
    f.colorFormat = colorFormat;
    f.width = width;
    f.height = height;
    f.fps = fps;
    return f;
}

CameraFormat formatFromJson(const QJsonValue &v)
{
    const QJsonObject o = v.toObject();
    const QJsonValue cf = o.value(QStringLiteral("format"));
    CameraFormat f;
    f.colorFormat = cf.isString() ? colorFormatNumber(cf.toString()) : cf.toInt(7);
    f.width = o.value(QStringLiteral("width")).toInt();
    f.height = o.value(QStringLiteral("height")).toInt();
    f.fps = o.value(QStringLiteral("fps")).toInt();
    f.extra = o.value(QStringLiteral("extra")).toInt();
    return f;
}

struct WorldStore
{
    std::mutex mutex;
    World world = World::load();
};

WorldStore &store()
{
    static WorldStore s;
    return s;
}

} // namespace

World currentWorld()
{
    WorldStore &s = store();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.world;
}

void setCurrentWorld(const World &world)
{
    WorldStore &s = store();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.world = world;
}

int colorFormatNumber(const QString &name)
{
    for (int i = 0; i < 7; ++i)
        if (name == QLatin1String(kColorFormatNames[i]))
            return i;
    return 7;
}

World World::builtIn()
{
    World w;
    CameraDevice cam;
    cam.name = u"USB2.0 HD Camera";
    cam.formats = {format(0, 640, 480, 30), format(0, 1280, 720, 10), format(6, 640, 480, 30),
                   format(6, 1280, 720, 30), format(6, 1920, 1080, 30), format(3, 320, 240, 30)};
    w.cameras.push_back(cam);
    w.audioDevices.push_back({u"{0.0.1.00000000}.{mic-usb-0}", u"麦克风 (USB Audio Device)", AudioMicrophone});
    w.audioDevices.push_back({u"{0.0.0.00000000}.{spk-usb-0}", u"扬声器 (USB Audio Device)", AudioSystemSound});
    w.displays.push_back({0, 0, 1920, 1080});
    w.plugins = {u"弹幕助手", u"歌名插件"};
    return w;
}

World World::fromJson(const QJsonObject &engine)
{
    World w = builtIn();
    if (engine.value(QStringLiteral("cameras")).isArray()) {
        w.cameras.clear();
        w.camerasFromFile = true;
        for (const QJsonValue &v : engine.value(QStringLiteral("cameras")).toArray()) {
            const QJsonObject o = v.toObject();
            CameraDevice cam;
            cam.name = toU16(o.value(QStringLiteral("name")).toString());
            for (const QJsonValue &f : o.value(QStringLiteral("formats")).toArray())
                cam.formats.push_back(formatFromJson(f));
            if (!cam.name.empty())
                w.cameras.push_back(cam);
        }
    }
    if (engine.value(QStringLiteral("audioDevices")).isArray()) {
        w.audioDevices.clear();
        for (const QJsonValue &v : engine.value(QStringLiteral("audioDevices")).toArray()) {
            const QJsonObject o = v.toObject();
            w.audioDevices.push_back({toU16(o.value(QStringLiteral("key")).toString()),
                                      toU16(o.value(QStringLiteral("name")).toString()),
                                      o.value(QStringLiteral("kind")).toInt(AudioMicrophone),
                                      qMax(0.0, o.value(QStringLiteral("tone")).toDouble())});
        }
    }
    if (engine.value(QStringLiteral("displays")).isArray()) {
        w.displays.clear();
        for (const QJsonValue &v : engine.value(QStringLiteral("displays")).toArray()) {
            const QJsonObject o = v.toObject();
            w.displays.push_back({o.value(QStringLiteral("x")).toInt(), o.value(QStringLiteral("y")).toInt(),
                                  o.value(QStringLiteral("width")).toInt(),
                                  o.value(QStringLiteral("height")).toInt()});
        }
    }
    if (engine.value(QStringLiteral("plugins")).isArray()) {
        w.plugins.clear();
        for (const QJsonValue &v : engine.value(QStringLiteral("plugins")).toArray())
            if (!v.toString().isEmpty())
                w.plugins.push_back(toU16(v.toString()));
    }
    if (engine.value(QStringLiteral("refusedPushUrls")).isArray()) {
        for (const QJsonValue &v : engine.value(QStringLiteral("refusedPushUrls")).toArray())
            w.refusedPushUrls.push_back(v.toString().toStdString());
    }
    if (engine.value(QStringLiteral("driveIndex")).isDouble())
        w.driveIndex = engine.value(QStringLiteral("driveIndex")).toInt();
    if (engine.value(QStringLiteral("initResult")).isDouble())
        w.initResult = engine.value(QStringLiteral("initResult")).toInt();
    if (engine.value(QStringLiteral("directX10")).isBool())
        w.directX10 = engine.value(QStringLiteral("directX10")).toBool();
    return w;
}

World World::load()
{
    const QJsonObject all = mvplatform::loadWorld();
    const QJsonValue engine = all.value(QStringLiteral("engine"));
    return engine.isObject() ? fromJson(engine.toObject()) : builtIn();
}

void mirrorRealScreens()
{
    const QJsonValue engine = mvplatform::loadWorld().value(QStringLiteral("engine"));
    if (engine.toObject().value(QStringLiteral("displays")).isArray())
        return;
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    std::vector<DisplayRect> displays;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        displays.push_back({g.x(), g.y(), g.width(), g.height()});
    }
    if (displays.empty())
        return;
    World w = currentWorld();
    w.displays = displays;
    setCurrentWorld(w);
}

std::vector<std::u16string> worldCameraNames()
{
    std::vector<std::u16string> names;
    for (const CameraDevice &cam : currentWorld().cameras)
        names.push_back(cam.name);
    return names;
}

} // namespace castcore
