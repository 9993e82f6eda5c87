#pragma once

// Grabs an area of the X root window into a pooled QImage (RGB32): MIT-SHM
// get-image into one segment sized to the area, plain get-image when the
// server lacks it or refuses the segment. Each grab sends its requests (the
// image and the root's geometry) together and collects both replies, waiting
// a bounded time; a reply still out is collected by the next grab instead of
// asking again, so a slow server costs frames, never a blocked caller.

#include "ShmSegment.h"
#include "XcbConnection.h"

#include <QImage>
#include <QRect>
#include <QSize>

#include <array>
#include <memory>

namespace castcore::x11 {

class RootGrabber
{
public:
    // Null without X, or for a screen whose pixel layout we do not handle
    // (each logged).
    static std::unique_ptr<RootGrabber> open();
    ~RootGrabber();

    // The root window's size, as of the latest grab.
    QSize screenSize() const { return m_screenSize; }
    // Area in root coordinates, inside the screen; an empty one grabs nothing.
    void setArea(const QRect &area);
    QRect area() const { return m_area; }
    // True when picture() holds a new image of the area.
    bool grab(int timeoutMs);
    QImage picture() const { return m_picture; }

private:
    explicit RootGrabber(std::unique_ptr<XcbConnection> x);
    bool prepareArea();
    void send();
    bool collectImage(int timeoutMs);
    void collectGeometry();
    bool copyOut(const uint8_t *bits, int bytesPerLine);

    std::unique_ptr<XcbConnection> m_x;
    ShmSegment m_shm;
    bool m_useShm = false;
    QSize m_screenSize;
    QRect m_area;     // wanted
    QRect m_prepared; // what the segment and the requests are for
    bool m_imagePending = false;
    bool m_imageIsShm = false;
    unsigned int m_imageSequence = 0;
    bool m_geometryPending = false;
    unsigned int m_geometrySequence = 0;
    bool m_shmConfirmed = false;
    std::array<QImage, 3> m_pool;
    QImage m_picture;
};

} // namespace castcore::x11
