#pragma once

// The preview: the composed canvas fitted to the native preview window
// (scaled to the window height, centred), with the listener's overlay
// painted on top, drawn through XCB (MIT-SHM put-image) from the engine's
// thread. The overlay never touches the canvas. A frame goes to the window
// only when it would differ from the one there: a new canvas, a window
// exposed or resized since, or an overlay that paints something else; while
// the canvas stands still the overlay is asked every kOverlayCheckInterval.

#include "OverlayDigest.h"

#include <QImage>
#include <QtGui/qwindowdefs.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class QPainter;

namespace castcore {

class PreviewOutput
{
public:
    using Clock = std::chrono::steady_clock;
    // A change of the overlay alone shows within this.
    static constexpr std::chrono::milliseconds kOverlayCheckInterval{100};

    PreviewOutput();
    ~PreviewOutput();

    // Window 0, no X display, or a platform other than xcb: nothing is
    // drawn, and show() returns at once. False when the window cannot be used.
    bool attach(WId window);
    void detach();
    bool attached() const;

    // One preview frame; `overlay` paints in preview pixels (the window's own
    // size, origin at its top left). Follows the window's size as it
    // changes; a covered and uncovered window is whole again here. The
    // overlay paints once to be compared, and once more when a frame is put.
    void show(const QImage &canvas, const std::function<void(QPainter *)> &overlay);
    // The last preview picture put (tests, benchmarks).
    QImage lastPicture() const;
    // Frames put into the window since attach().
    int64_t framesPut() const;

private:
    struct Surface;

    mutable std::mutex m_mutex;
    std::unique_ptr<Surface> m_surface;
    OverlayDigest m_overlay;
    qint64 m_shownCanvas = 0; // cache key of the canvas put last
    bool m_owed = true;       // the window lacks the last frame asked for
    bool m_canvasMoving = false; // the last frame put had a new canvas too
    Clock::time_point m_nextOverlayCheck;
    int64_t m_puts = 0;
};

} // namespace castcore
