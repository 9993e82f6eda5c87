#pragma once

// The preview: the composed canvas fitted to the native preview window
// (scaled to the window height, centred), with the listener's overlay
// painted on top, drawn through XCB (MIT-SHM put-image) from the engine's
// thread. The overlay never touches the canvas.

#include <QImage>
#include <QtGui/qwindowdefs.h>

#include <functional>
#include <memory>
#include <mutex>

class QPainter;

namespace castcore {

class PreviewOutput
{
public:
    PreviewOutput();
    ~PreviewOutput();

    // Window 0, no X display, or a platform other than xcb: nothing is
    // drawn, and show() returns at once. False when the window cannot be used.
    bool attach(WId window);
    void detach();
    bool attached() const;

    // Draws one preview frame; `overlay` paints in preview pixels (the
    // window's own size, origin at its top left). Follows the window's size
    // as it changes; a covered and uncovered window is whole again here.
    void show(const QImage &canvas, const std::function<void(QPainter *)> &overlay);
    // The last preview picture drawn (tests, benchmarks).
    QImage lastPicture() const;

private:
    struct Surface;

    mutable std::mutex m_mutex;
    std::unique_ptr<Surface> m_surface;
    QImage m_last;
    // The canvas fitted to the window, kept while neither changes: an idle
    // scene then costs a copy per frame, not a scaling.
    QImage m_fitted;
    qint64 m_fittedCanvas = 0;
};

} // namespace castcore
