#pragma once

// Custom captures (the watermark): one frame pulled from the caller's
// capture source per composed frame. The source hands 32-bit pixels in
// memory order blue, green, red, alpha, rows packed; any other byte count,
// or a picture larger than a canvas can be, shows nothing (logged once).

#include "MediaSource.h"

namespace castcore {

class CustomCaptureSource : public MediaSource
{
public:
    void update(const SceneItem &item) override;
    bool tick(MediaClock::time_point now) override;
    QImage picture() const override { return m_picture; }

private:
    ICustomCapture *m_capture = nullptr;
    int m_itemId = 0;
    QImage m_raw;      // as the capture source writes it
    QImage m_previous; // the frame before, to see whether anything changed
    QImage m_picture;  // premultiplied, for drawing
    bool m_refusedLogged = false;
};

// Plug-in items without a plug-in picture: transparent.
class EmptySource : public MediaSource
{
public:
    void update(const SceneItem &) override {}
    bool tick(MediaClock::time_point) override { return false; }
    QImage picture() const override { return {}; }
};

} // namespace castcore
