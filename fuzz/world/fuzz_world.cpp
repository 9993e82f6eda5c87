// The world file (MORVASHOW_WORLD) as each platform layer reads it: the
// account service's accounts, rooms and messages, the engine's devices, and
// the camera helper's property tables of every camera the engine lists.
#include "AuthWorld.h"
#include "CamAssist.h"
#include "CastCoreCameras.h"
#include "CastCoreControl.h"
#include "CastCoreWorld.h"
#include "FuzzSupport.h"
#include "World.h"

#include <QDir>
#include <QFile>

namespace {

QString worldPath()
{
    return QDir::temp().filePath(QStringLiteral("world.json"));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::startApplication();
    qputenv("MORVASHOW_WORLD", QFile::encodeName(worldPath()));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        QFile f(worldPath());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(fuzzsupport::bytes(data, size));
    }
    const authport::World accounts = authport::worldFromJson(mvplatform::loadWorld());
    (void)accounts;

    castcore::control().setWorld(castcore::World::load());
    camassist::reset();
    for (const std::u16string &camera : castcore::worldCameraNames()) {
        for (int i = 0; i < camassist::kVideoProcAmpCount; ++i)
            camassist::property(camera, camassist::VideoProcAmp, i);
        for (int i = 0; i < camassist::kCameraControlCount; ++i)
            camassist::property(camera, camassist::CameraControl, i);
    }
    return 0;
}
