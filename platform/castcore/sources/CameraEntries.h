#pragma once

// How the camera list is put together, apart from asking the devices.

#include "CameraEntry.h"
#include "CastCoreWorld.h"

#include <vector>

namespace castcore {

// `real` (the V4L2 devices) first; then the world's cameras when there is no
// real one or when the world came from a file.
std::vector<CameraEntry> combineCameraEntries(std::vector<CameraEntry> real, const World &world,
                                              bool worldFromFile);

} // namespace castcore
