#pragma once

// What every kind of source offers the compositor: settings in, a tick that
// takes the newest content, and the current picture. One class per kind; the
// compositor knows only this interface. Every call comes from the video
// thread; a source that needs its own thread (a camera, a decoder) keeps it
// inside and hands over its newest picture.

#include "SceneItem.h"

#include <QImage>
#include <QSize>

#include <chrono>

namespace castcore {

using MediaClock = std::chrono::steady_clock;

// The largest canvas side. Larger canvases are refused: nothing sane asks
// for them, and a hand-edited config must not make the video thread
// allocate gigabytes. No source's picture needs to be larger either.
constexpr int kMaxCanvasSide = 8192;

class MediaSource
{
public:
    virtual ~MediaSource() = default;

    // The item's source settings (files, text, camera format ...) changed;
    // called once right after creation and again after each change. Must not
    // block: slow work (decoding, opening a device) goes elsewhere.
    virtual void update(const SceneItem &item) = 0;
    // The item's rect on the canvas now has this size; a source may keep its
    // picture prepared at that size.
    virtual void resize(const QSize &itemSize) { (void)itemSize; }
    // Once per composed frame, before drawing. True when picture() changed
    // since the previous tick.
    virtual bool tick(MediaClock::time_point now) = 0;
    // The current picture (ARGB32_Premultiplied or RGB32), drawn scaled into
    // the item's rect; a null picture draws nothing.
    virtual QImage picture() const = 0;
};

} // namespace castcore
