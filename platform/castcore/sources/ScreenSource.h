#pragma once

// Screen captures: a region of the X screen, grabbed through XCB with
// MIT-SHM (plain get-image when the server lacks it) at the frame rate. The
// region is clipped to the screen; a region wholly outside shows nothing.

#include "MediaSource.h"

#include <QRect>

#include <memory>

namespace castcore {

namespace x11 {
class RootGrabber;
}

class ScreenSource : public MediaSource
{
public:
    ScreenSource();
    ~ScreenSource() override;

    // Region in root-window coordinates from item.display and its display
    // rect (see the item's fields) ; reconnects only when it changes.
    void update(const SceneItem &item) override;
    bool tick(MediaClock::time_point now) override;
    QImage picture() const override;

private:
    // What the region is derived from; a change re-derives it.
    struct RegionKey
    {
        int display = -1;
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
        bool operator==(const RegionKey &o) const
        {
            return display == o.display && x == o.x && y == o.y && width == o.width && height == o.height;
        }
    };
    RegionKey keyOf(const SceneItem &item) const;
    void applyRegion();

    std::unique_ptr<x11::RootGrabber> m_grabber;
    bool m_triedX = false;
    bool m_hasKey = false;
    RegionKey m_key;
    QRect m_wanted; // root coordinates, before clipping
    bool m_outsideLogged = false;
    QImage m_picture;
};

} // namespace castcore
