#pragma once

#include "ControlFace.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

// Reads and sets the image (VideoProcAmp) and control (CameraControl)
// properties of a capture device found by its name. Property numbers:
// VideoProcAmp 0 brightness, 1 contrast, 2 hue, 3 saturation, 4 sharpness,
// 5 gamma, 6 colour enable, 7 white balance, 8 backlight compensation,
// 9 gain; CameraControl 0 pan, 1 tilt, 2 roll, 3 zoom, 4 exposure, 5 iris,
// 6 focus. Values are in the camera's own units; flags 1 automatic, 2 manual.
class IDShowHelper
{
public:
    // Ends the helper; the pointer is invalid afterwards.
    virtual void Release() = 0;

    // range receives five ints: minimum, maximum, step, default, capability
    // flags (bit 0: an automatic mode exists); value and flags the present
    // state. Above 0: supported and every output written. 0: unknown device,
    // unsupported property or bad arguments, with no output touched.
    virtual int GetVideoProcAmp(const char16_t *device, int property, int *range, int *value,
                                int *flags) = 0;
    // Above 0 when the camera took the value and mode.
    virtual int SetVideoProcAmp(const char16_t *device, int property, int value, int flags) = 0;
    virtual int GetCameraControl(const char16_t *device, int property, int *range, int *value,
                                 int *flags) = 0;
    virtual int SetCameraControl(const char16_t *device, int property, int value, int flags) = 0;

protected:
    virtual ~IDShowHelper() = default;
};

// A new helper, or null when none can be made.
IDShowHelper *CreateDShowInstance();

// Test face and camera world of the helper. Every helper sees the same
// cameras, so what one sets the next one reads, as with real devices.
namespace camassist {

enum PropertyKind { VideoProcAmp = 0, CameraControl = 1 };
constexpr int kVideoProcAmpCount = 10;
constexpr int kCameraControlCount = 7;

struct CameraProperty
{
    int minimum = 0;
    int maximum = 0;
    int step = 1;
    int defaultValue = 0;
    int caps = 2;  // bit 0: automatic mode available; bit 1: manual
    int value = 0;
    int flags = 2; // 1 automatic, 2 manual
};

struct CameraDevice
{
    std::u16string name;
    // An empty entry is a property the camera does not support.
    std::array<std::optional<CameraProperty>, kVideoProcAmpCount> videoProcAmp;
    std::array<std::optional<CameraProperty>, kCameraControlCount> cameraControl;
};

// The table of a typical USB webcam: every image property, zoom, exposure
// and focus of the control set (white balance, exposure and focus
// automatic), no pan, tilt, roll or iris.
CameraDevice defaultCamera(const std::u16string &name);

// The cameras are the engine layer's camera list, by the same names, so the
// scene's camera is always one the helper knows. A camera's table is the
// default one, changed by the world file where its entry in "engine" /
// "cameras" has "videoProcAmp" or "cameraControl" objects keyed by property
// name ("Brightness", ..., "Focus"; fields min, max, step, default, caps,
// value, flags; null for unsupported). Tables are made on first use and keep
// what was set until reset().

// Forgets the tables, cameras set by a test, scripts and the call log, and
// opens every gate.
void reset();
// Serves exactly these cameras, independent of the engine's list, until reset().
void setCameras(std::vector<CameraDevice> cameras);
// The cameras served now, with their present state.
std::vector<CameraDevice> cameras();
// The stored state of one property; empty for an unknown camera or an
// unsupported property.
std::optional<CameraProperty> property(const std::u16string &device, PropertyKind kind, int index);
// Replaces (or, with an empty value, removes) one property of a known camera.
bool setProperty(const std::u16string &device, PropertyKind kind, int index,
                 std::optional<CameraProperty> value);

// The next n calls of CreateDShowInstance return null.
void failNextCreate(int n = 1);
// Helpers created and not yet released.
int liveHelpers();

// Ops: "CreateDShowInstance" (ok / null), "Release", "GetVideoProcAmp" and
// "GetCameraControl" (device, property, result), "SetVideoProcAmp" and
// "SetCameraControl" (device, property, value, flags, result).
const mvplatform::CallLog &callLog();

// A closed gate holds every call of its op (the names above).
mvplatform::Gates &gates();
// True once no call is in the helper (held ones included); false on timeout.
bool waitIdle(int timeoutMs = 5000);

} // namespace camassist
