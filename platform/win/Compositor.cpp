#include "Compositor.h"

#include "World.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QJsonValue>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>

#include <dlfcn.h>

namespace mvplatform {

namespace {

// -1 not steered, 0 absent, 1 present.
std::atomic<int> g_steered{-1};

// libxcb is loaded at run time so that the layer neither links it nor needs
// it where no X server is used. The few declarations below follow the X
// protocol's own wire records.
struct XcbCookie
{
    unsigned int sequence;
};

struct XcbInternAtomReply
{
    uint8_t response_type;
    uint8_t pad0;
    uint16_t sequence;
    uint32_t length;
    uint32_t atom;
};

struct XcbGetSelectionOwnerReply
{
    uint8_t response_type;
    uint8_t pad0;
    uint16_t sequence;
    uint32_t length;
    uint32_t owner;
};

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
        if (!m_connection || m_hasError(m_connection))
            return false;
        if (m_atom == 0) {
            const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(m_screen);
            XcbCookie c = m_internAtom(m_connection, 0, uint16_t(name.size()), name.constData());
            auto *reply = static_cast<XcbInternAtomReply *>(m_internAtomReply(m_connection, c, nullptr));
            if (!reply)
                return false;
            m_atom = reply->atom;
            std::free(reply);
            if (m_atom == 0)
                return false;
        }
        XcbCookie c = m_getSelectionOwner(m_connection, m_atom);
        auto *reply = static_cast<XcbGetSelectionOwnerReply *>(m_getSelectionOwnerReply(m_connection, c, nullptr));
        if (!reply)
            return false;
        const bool owned = reply->owner != 0;
        std::free(reply);
        return owned;
    }

private:
    using ConnectFn = void *(*)(const char *, int *);
    using HasErrorFn = int (*)(void *);
    using DisconnectFn = void (*)(void *);
    using InternAtomFn = XcbCookie (*)(void *, uint8_t, uint16_t, const char *);
    using InternAtomReplyFn = void *(*)(void *, XcbCookie, void **);
    using GetSelectionOwnerFn = XcbCookie (*)(void *, uint32_t);
    using GetSelectionOwnerReplyFn = void *(*)(void *, XcbCookie, void **);

    XcbProbe()
    {
        m_lib = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!m_lib)
            return;
        auto connect = reinterpret_cast<ConnectFn>(dlsym(m_lib, "xcb_connect"));
        m_hasError = reinterpret_cast<HasErrorFn>(dlsym(m_lib, "xcb_connection_has_error"));
        m_disconnect = reinterpret_cast<DisconnectFn>(dlsym(m_lib, "xcb_disconnect"));
        m_internAtom = reinterpret_cast<InternAtomFn>(dlsym(m_lib, "xcb_intern_atom"));
        m_internAtomReply = reinterpret_cast<InternAtomReplyFn>(dlsym(m_lib, "xcb_intern_atom_reply"));
        m_getSelectionOwner = reinterpret_cast<GetSelectionOwnerFn>(dlsym(m_lib, "xcb_get_selection_owner"));
        m_getSelectionOwnerReply = reinterpret_cast<GetSelectionOwnerReplyFn>(dlsym(m_lib, "xcb_get_selection_owner_reply"));
        if (!connect || !m_hasError || !m_disconnect || !m_internAtom || !m_internAtomReply
            || !m_getSelectionOwner || !m_getSelectionOwnerReply)
            return;
        // The display Qt itself uses: DISPLAY, as xcb_connect reads it.
        m_connection = connect(nullptr, &m_screen);
    }

    ~XcbProbe()
    {
        if (m_connection)
            m_disconnect(m_connection);
        // The library stays loaded: other code in the process may use it.
    }

    std::mutex m_mutex;
    void *m_lib = nullptr;
    void *m_connection = nullptr;
    int m_screen = 0;
    uint32_t m_atom = 0;
    HasErrorFn m_hasError = nullptr;
    DisconnectFn m_disconnect = nullptr;
    InternAtomFn m_internAtom = nullptr;
    InternAtomReplyFn m_internAtomReply = nullptr;
    GetSelectionOwnerFn m_getSelectionOwner = nullptr;
    GetSelectionOwnerReplyFn m_getSelectionOwnerReply = nullptr;
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
