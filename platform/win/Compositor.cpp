#include "Compositor.h"

#include "World.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QJsonValue>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>

#include <xcb/xcb.h>

namespace mvplatform {

namespace {

// -1 not steered, 0 absent, 1 present.
std::atomic<int> g_steered{-1};

// One connection for the process's life: the question is asked whenever a
// shadow is made, and the atom needs asking only once.
class XcbProbe
{
public:
    static XcbProbe &instance()
    {
        static XcbProbe probe;
        return probe;
    }

    bool compositorPresent()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_connection || xcb_connection_has_error(m_connection))
            return false;
        if (m_atom == XCB_ATOM_NONE) {
            const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(m_screen);
            xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
                m_connection, xcb_intern_atom(m_connection, 0, uint16_t(name.size()), name.constData()), nullptr);
            if (!reply)
                return false;
            m_atom = reply->atom;
            std::free(reply);
            if (m_atom == XCB_ATOM_NONE)
                return false;
        }
        xcb_get_selection_owner_reply_t *reply = xcb_get_selection_owner_reply(
            m_connection, xcb_get_selection_owner(m_connection, m_atom), nullptr);
        if (!reply)
            return false;
        const bool owned = reply->owner != XCB_WINDOW_NONE;
        std::free(reply);
        return owned;
    }

private:
    // The display Qt itself uses: DISPLAY, as xcb_connect reads it.
    XcbProbe() { m_connection = xcb_connect(nullptr, &m_screen); }
    ~XcbProbe() { xcb_disconnect(m_connection); }

    std::mutex m_mutex;
    xcb_connection_t *m_connection = nullptr;
    int m_screen = 0;
    xcb_atom_t m_atom = XCB_ATOM_NONE;
};

bool worldCompositor()
{
    const QJsonValue v = loadWorld().value(QStringLiteral("compositor"));
    return v.isBool() && v.toBool();
}

} // namespace

bool Compositor::isPresent()
{
    const int steered = g_steered.load();
    if (steered >= 0)
        return steered == 1;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb"))
        return XcbProbe::instance().compositorPresent();
    if (platform.startsWith(QLatin1String("wayland")))
        return true;
    if (platform == QLatin1String("offscreen"))
        return worldCompositor();
    return false;
}

void Compositor::steer(bool present)
{
    g_steered.store(present ? 1 : 0);
}

void Compositor::reset()
{
    g_steered.store(-1);
}

} // namespace mvplatform
