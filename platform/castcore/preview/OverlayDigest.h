#pragma once

// Tells whether the listener's overlay would paint the same as the last time
// without painting a pixel: the overlay paints onto a device whose engine
// only writes down each command and the painter state it used (texts,
// shapes, pictures by their cache keys, pens, fonts, transforms), and the
// record is compared with the previous one. The preview puts a frame whose
// canvas is unchanged only when this record changed.

#include <QSize>

#include <functional>
#include <memory>

class QPainter;

namespace castcore {

class OverlayDigest
{
public:
    OverlayDigest();
    ~OverlayDigest();
    OverlayDigest(const OverlayDigest &) = delete;
    OverlayDigest &operator=(const OverlayDigest &) = delete;

    // Lets `overlay` (may be empty) paint on a `size` device; true when what
    // it painted differs from the record kept, which it then replaces.
    bool changed(const QSize &size, const std::function<void(QPainter *)> &overlay);
    // The next changed() answers true, whatever is painted.
    void forget();

private:
    class Recorder;
    std::unique_ptr<Recorder> m_recorder;
};

} // namespace castcore
