#include "CameraFramePool.h"

namespace castcore {

QImage *CameraFramePool::take(const QSize &size)
{
    QImage *vacant = nullptr;
    for (QImage &frame : m_frames) {
        if (frame.size() == size && frame.isDetached()) {
            // isDetached() reads the count without ordering; taking and
            // dropping a reference orders the last holder's reads before our
            // writes.
            QImage(frame).size();
            return &frame;
        }
        if (!vacant && (frame.isNull() || frame.size() != size))
            vacant = &frame;
    }
    // Every slot busy with a frame someone holds: that holder keeps its copy.
    if (!vacant) {
        vacant = &m_frames[m_next];
        m_next = (m_next + 1) % m_frames.size();
    }
    *vacant = QImage(size, QImage::Format_RGB32);
    return vacant->isNull() ? nullptr : vacant;
}

} // namespace castcore
