#pragma once

// The cameras the engine offers: the real V4L2 devices (/dev/video*) with
// their real formats when any exist, else the world's cameras. A world file
// that names cameras always lists them too (after the real ones).

#include "CameraEntry.h"
#include "CastCoreWorld.h"

#include <vector>

namespace castcore {

// `worldFromFile`: whether the world's cameras came from a world file (then
// they are listed beside real ones) or from the built-in world (then only
// when no real camera exists).
std::vector<CameraEntry> listCameraEntries(const World &world, bool worldFromFile);

} // namespace castcore
