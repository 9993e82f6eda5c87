#pragma once

// Real cameras through V4L2 (libv4l2, which also offers converted formats for
// devices with vendor formats): listing the capture devices with their
// formats, and capturing from one with memory-mapped streaming. Frames come
// out as RGB32 through CameraConverter; MJPG is decoded with libavcodec
// first, through the encoding library (EncodeLibrary).

#include "CameraEntry.h"
#include "LiveEngine.h"

#include <QImage>

#include <memory>
#include <string>
#include <vector>

namespace castcore {

class CameraFramePool;

// The video capture devices "video<N>" in `dir` (normally "/dev"), in number
// order, with the formats we can convert (colour formats 0-6) at each size and
// its highest rate. Entries that are not capture devices are left out.
std::vector<CameraEntry> listV4l2Cameras(const std::string &dir);

class V4l2Camera
{
public:
    enum class Read { Frame, Waiting, Lost };

    V4l2Camera();
    ~V4l2Camera(); // stops streaming and closes the device

    V4l2Camera(const V4l2Camera &) = delete;
    V4l2Camera &operator=(const V4l2Camera &) = delete;

    // Opens `path` and starts streaming in the format nearest to `params`
    // (the device may adjust size and rate). False, with one log line, when
    // it is no capture device or refuses every step.
    bool open(const std::string &path, const CameraParams &params);
    // Waits at most timeoutMs for the next frame and converts it into a pool
    // picture. Lost (with one log line) once the device fails or is gone.
    Read read(CameraFramePool &pool, QImage *frame, int timeoutMs);

private:
    struct Device;
    std::unique_ptr<Device> m_device;
};

} // namespace castcore
