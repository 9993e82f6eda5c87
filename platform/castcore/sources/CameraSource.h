#pragma once

// Camera items: a V4L2 device when the item's device is a real camera, else
// the world's synthetic camera (colour bars, a moving block, a running
// clock) at the chosen format's size and rate. Frames are captured on the
// source's own thread; tick() takes the newest one.

#include "MediaSource.h"

#include <cstdint>
#include <memory>

namespace castcore {

class CameraSource : public MediaSource
{
public:
    CameraSource();
    ~CameraSource() override; // stops the capture thread

    // item.cameraDevice names the device (a listed name, or a device path
    // such as "/dev/video2"), item.cameraParams the format. Opening happens
    // on the capture thread; a device that fails logs one line and shows
    // nothing, one lost mid-stream keeps its last frame.
    void update(const SceneItem &item) override;
    bool tick(MediaClock::time_point now) override;
    // RGB32 (memory order blue, green, red, 0xff), tightly packed rows, so
    // the compositor can hand it to the item's video filter.
    QImage picture() const override;
    // The pixels of picture(), for the item's filter to write in place (null
    // without a frame): nobody else reads them, since the capture thread
    // writes a frame of its pool only once no one holds it any more. Writing
    // changes picture() and no other frame; valid until the next tick.
    uchar *filterablePixels();
    // A copy of the newest frame, detached from every copy the source keeps,
    // so writing to it changes no other frame.
    QImage takeWritable();

private:
    class Capture;        // the capture thread and the frames it hands over
    struct WritableBuffer; // pixels handed out by takeWritable, reused once let go
    std::unique_ptr<Capture> m_capture;
    QImage m_current;
    uint64_t m_shownSerial = 0;
    WritableBuffer *m_writable = nullptr; // freed by whichever lets go last
};

} // namespace castcore
