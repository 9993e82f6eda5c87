#pragma once

// Loads libmvencode.so (the FFmpeg encoders, muxers and the MJPG decoder)
// the first time something needs it, and keeps it loaded for the life of
// the program. Looked for beside the program only (the build tree links it
// beside its tests and benchmarks). A failure gives one log line per path and null objects; callers
// then fail as an encoder that cannot open does. Any thread.

#include "Encoder.h"

#include <memory>
#include <string>

namespace castcore {
namespace EncodeLibrary {

std::unique_ptr<Encoder> createEncoder(const EncodeEvents &events);
std::unique_ptr<JpegDecoder> createJpegDecoder();
// Where the library is looked for; an empty path restores the default.
// Objects made afterwards come from there; those made before stay valid.
void setPath(const std::string &path);
std::string path();

} // namespace EncodeLibrary
} // namespace castcore
