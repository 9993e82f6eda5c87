#pragma once

#include "CastCoreWorld.h"

#include <string>

namespace castcore {

// One camera the engine offers: a V4L2 device or a world camera.
struct CameraEntry
{
    CameraDevice device;    // name as listed, formats as the device reports them
    std::string devicePath; // "/dev/videoN"; empty for a world camera
};

} // namespace castcore
