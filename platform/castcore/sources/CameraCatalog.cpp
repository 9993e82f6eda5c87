#include "CameraCatalog.h"

#include "CameraEntries.h"
#include "V4l2Camera.h"

namespace castcore {

std::vector<CameraEntry> combineCameraEntries(std::vector<CameraEntry> real, const World &world,
                                              bool worldFromFile)
{
    if (!real.empty() && !worldFromFile)
        return real;
    for (const CameraDevice &cam : world.cameras)
        real.push_back(CameraEntry{cam, std::string()});
    return real;
}

std::vector<CameraEntry> listCameraEntries(const World &world, bool worldFromFile)
{
    return combineCameraEntries(listV4l2Cameras("/dev"), world, worldFromFile);
}

} // namespace castcore
