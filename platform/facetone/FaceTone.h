#pragma once

#include "ControlFace.h"

#include <cstdint>
#include <optional>

// The engine's picture record (LiveEngine.h). The filter reads its pixel
// formats 0 (source) and 4 (destination) both as 32-bit pixels in memory
// order blue, green, red, alpha (QImage::Format_RGB32 / ARGB32 on
// little-endian machines), and its three frame words as:
//   frame[0] the address of the top row, or 0 in a destination: filter in place
//   frame[1] the pitch, bytes from one row to the next, at least width * 4
//   frame[2] the bytes in the buffer, at least pitch * (height - 1) + width * 4
struct PicturePlane;

// The levels for one picture. Each level divided by range is its strength
// from 0 (off) to 1 (full).
struct FilterParams
{
    int reserved;            // 0
    int size;                // sizeof(FilterParams)
    float smoothing;
    float colourTemperature; // warmer skin tone
    float range;
    float whitening;
    int enabled;             // 0: the picture passes unchanged
};
static_assert(sizeof(FilterParams) == 28, "FilterParams is a 28-byte record");

struct FaceToneFilter;
using ImageFilterHandle = FaceToneFilter *;

// A new filter bound to the render device and context tokens, or null.
ImageFilterHandle ImageFilterInit(void *device, void *context);
// Keeps an option of the filter; value points to size bytes (4 for an int).
// Non-zero when kept.
int ImageFilterSetValue(ImageFilterHandle filter, int id, const void *value, int size);
// Filters source into destination (same width and height), or in place when
// the destination has no buffer. Non-zero when the filtered picture was
// written, so the engine may use it; 0 when nothing was written (unknown
// filter, missing or inconsistent planes or parameters) and the engine keeps
// the unfiltered picture.
int ImageFilterFilterPicture(ImageFilterHandle filter, const PicturePlane *source,
                             const FilterParams *params, PicturePlane *destination);
// Drops the filter's per-frame buffers; the filter stays usable.
void ImageFilterFree(ImageFilterHandle filter, std::uintptr_t b);
// The render device was lost: drops what was bound to it. Null is allowed.
void ImageFilterHandleDeviceLost(ImageFilterHandle filter, std::uintptr_t a);
// Ends the filter. Null and unknown handles are ignored.
void ImageFilterUninit(ImageFilterHandle filter);

// Test face of the beauty filter.
namespace facetone {

// Forgets scripts and the call log and opens every gate. Filters still held
// by their owners stay alive and counted.
void reset();
// The next n calls of ImageFilterInit return null.
void failNextInits(int n);
// The next call of ImageFilterFilterPicture returns result without touching
// any picture (queued, one per call).
void scriptFilterResult(int result);
// Filters made and not yet ended.
int liveHandles();
// The value an option id was last set to on a live filter.
std::optional<int> value(ImageFilterHandle filter, int id);
// How the call log names a filter: "#<n>" by order of creation, "null", or
// "unknown" for a handle that is not (or no longer) live.
std::string handleArg(ImageFilterHandle filter);

// A closed gate holds every call of its op (the names below).
mvplatform::Gates &gates();
// True once no call is in the filter (held ones included); false on timeout.
bool waitIdle(int timeoutMs = 5000);

// Ops and their args:
//   "ImageFilterInit": device, context (as hex), result handle
//   "ImageFilterSetValue": handle, id, value (or "-"), size, result
//   "ImageFilterFilterPicture": handle, source format, width, height, pitch,
//      params reserved, size, smoothing, colour temperature, range,
//      whitening, enabled, destination format, width, height, result
//   "ImageFilterFree": handle, b; "ImageFilterHandleDeviceLost": handle, a;
//   "ImageFilterUninit": handle
const mvplatform::CallLog &callLog();

} // namespace facetone
