#include "ScreenSource.h"

#include "CastCoreControl.h"
#include "x11/RootGrabber.h"

#include <QtGlobal>

namespace castcore {

namespace {

// The longest a tick waits for the server; a reply later than this is
// collected by the next tick.
constexpr int kReplyWaitMs = 12;

} // namespace

ScreenSource::ScreenSource() = default;
ScreenSource::~ScreenSource() = default;

ScreenSource::RegionKey ScreenSource::keyOf(const SceneItem &item) const
{
    // The scene moves the item about the canvas after adding it, so its rect
    // names the captured region only as first seen. A region kept in the
    // open arguments (x, y, width, height) wins.
    RegionKey key;
    key.display = item.display;
    if (item.openArgs[2] > 0 && item.openArgs[3] > 0) {
        key.x = item.openArgs[0];
        key.y = item.openArgs[1];
        key.width = item.openArgs[2];
        key.height = item.openArgs[3];
        return key;
    }
    key.width = item.sourceWidth;
    key.height = item.sourceHeight;
    const bool sameRegion = m_hasKey && m_key.display == key.display && m_key.width == key.width
                            && m_key.height == key.height;
    key.x = sameRegion ? m_key.x : item.x;
    key.y = sameRegion ? m_key.y : item.y;
    return key;
}

void ScreenSource::update(const SceneItem &item)
{
    const RegionKey key = keyOf(item);
    if (m_hasKey && key == m_key)
        return;
    m_hasKey = true;
    m_key = key;
    m_outsideLogged = false;

    const World world = control().world();
    if (key.display < 0 || key.display >= int(world.displays.size())) {
        qWarning("engine: screen capture of display %d, which does not exist; nothing is captured", key.display);
        m_wanted = QRect();
    } else {
        const DisplayRect &d = world.displays[size_t(key.display)];
        // x, y are relative to the display, as the region picker gives them.
        m_wanted = QRect(d.x + key.x, d.y + key.y, key.width, key.height);
    }
    if (!m_triedX) {
        m_triedX = true;
        m_grabber = x11::RootGrabber::open();
    }
    applyRegion();
}

void ScreenSource::applyRegion()
{
    if (!m_grabber) {
        m_picture = QImage();
        return;
    }
    const QRect clipped = m_wanted.intersected(QRect(QPoint(0, 0), m_grabber->screenSize()));
    if (m_wanted.isValid() && clipped.isEmpty() && !m_outsideLogged) {
        m_outsideLogged = true;
        qWarning("engine: screen capture region %d,%d %dx%d lies wholly outside the %dx%d screen; nothing is captured",
                 m_wanted.x(), m_wanted.y(), m_wanted.width(), m_wanted.height(), m_grabber->screenSize().width(),
                 m_grabber->screenSize().height());
    }
    if (clipped == m_grabber->area())
        return;
    m_grabber->setArea(clipped);
    m_picture = QImage();
    if (!clipped.isEmpty())
        qInfo("engine: screen capture of %d,%d %dx%d", clipped.x(), clipped.y(), clipped.width(), clipped.height());
}

bool ScreenSource::tick(MediaClock::time_point now)
{
    (void)now;
    if (!m_grabber)
        return false;
    const QSize screen = m_grabber->screenSize();
    const bool got = m_grabber->grab(kReplyWaitMs);
    if (m_grabber->screenSize() != screen) {
        applyRegion();
        return true;
    }
    // A reply for an area given up since does not count.
    if (!got || m_grabber->picture().size() != m_grabber->area().size())
        return false;
    m_picture = m_grabber->picture();
    return true;
}

QImage ScreenSource::picture() const
{
    return m_picture;
}

} // namespace castcore
