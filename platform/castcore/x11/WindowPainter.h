#pragma once

// Puts whole frames into an X window over a private connection: the frame is
// drawn straight into a MIT-SHM segment the size of the window and put with
// one shm put-image (plain put-image in strips under the request limit when
// the server lacks MIT-SHM). The window's geometry is asked with each frame
// and answered by the next; that answer also tells that the server is done
// reading the segment before it is drawn again. The connection also hears
// the window's exposures and size changes (any number of clients may), so a
// frame that did not change need not be put again until the window lost it.

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
    // Reads what the server said so far: true while the window lacks part of
    // the last frame put (exposed or resized since), until the next put.
    // False once the window is gone (logged then).
    bool damaged();
    bool gone() const { return m_gone; }
    // The picture put last (null before the first frame).
    const QImage &picture() const { return m_picture; }

private:
    WindowPainter(std::unique_ptr<XcbConnection> x, uint32_t window, QSize size, int depth);
    void collectGeometry(int timeoutMs);
    bool preparePicture();
    void putStrips();
    void markGone(const char *why);
    void readEvents();

    std::unique_ptr<XcbConnection> m_x;
    uint32_t m_window = 0;
    uint32_t m_gc = 0;
    QSize m_size;
    int m_depth = 0;
    bool m_useShm = false;
    bool m_gone = false;
    bool m_geometryPending = false;
    unsigned int m_geometrySequence = 0;
    bool m_damaged = false;
    bool m_resized = false; // a size change heard that no geometry answer has told yet
    ShmSegment m_shm;
    QImage m_picture;
};

} // namespace castcore::x11
