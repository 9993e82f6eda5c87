#pragma once

// Puts whole frames into an X window over a private connection: the frame is
// drawn straight into a MIT-SHM segment the size of the window and put with
// one shm put-image (plain put-image in strips under the request limit when
// the server lacks MIT-SHM). The window's geometry is asked with each frame
// and answered by the next, so a resized window is followed without a
// round trip; that answer also tells that the server is done reading the
// segment before it is drawn again.

#include "ShmSegment.h"
#include "XcbConnection.h"

#include <QImage>

#include <memory>

namespace castcore::x11 {

class WindowPainter
{
public:
    // Null without X or when `window` does not exist (logged).
    static std::unique_ptr<WindowPainter> open(uint32_t window);
    ~WindowPainter();

    // The picture to draw the next frame into, window-sized,
    // ARGB32_Premultiplied; null when no frame can be drawn now (the window
    // is gone, or the server is still busy with the last frame).
    QImage *beginFrame();
    // Puts the picture drawn since beginFrame().
    void endFrame();
    bool gone() const { return m_gone; }

private:
    WindowPainter(std::unique_ptr<XcbConnection> x, uint32_t window, QSize size, int depth);
    void collectGeometry(int timeoutMs);
    bool preparePicture();
    void putStrips();
    void markGone(const char *why);
    void checkErrors();

    std::unique_ptr<XcbConnection> m_x;
    uint32_t m_window = 0;
    uint32_t m_gc = 0;
    QSize m_size;
    int m_depth = 0;
    bool m_useShm = false;
    bool m_gone = false;
    bool m_geometryPending = false;
    unsigned int m_geometrySequence = 0;
    ShmSegment m_shm;
    QImage m_picture;
};

} // namespace castcore::x11
