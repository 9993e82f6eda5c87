#pragma once

// The camera devices of the engine layer's world, for the camera helper
// layer, which must know the same devices by the same names.

#include <string>
#include <vector>

namespace castcore {

// Names of the cameras the engine lists now (the world file's "engine"
// section, the built-in default world, or what a test has set), in order.
std::vector<std::u16string> worldCameraNames();

} // namespace castcore
