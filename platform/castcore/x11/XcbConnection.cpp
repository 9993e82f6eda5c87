#include "XcbConnection.h"

#include <QtGlobal>

#include <xcb/shm.h>
#include <xcb/xcbext.h>

#include <chrono>
#include <cstdlib>
#include <poll.h>

namespace castcore::x11 {

XcbConnection::XcbConnection(xcb_connection_t *connection, const xcb_screen_t *screen)
    : m_connection(connection)
    , m_screen(screen)
{
}

XcbConnection::~XcbConnection()
{
    xcb_disconnect(m_connection);
}

std::unique_ptr<XcbConnection> XcbConnection::open()
{
    const char *display = std::getenv("DISPLAY");
    if (!display || !*display)
        return nullptr;
    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(display, &screenNumber);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return nullptr;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem) {
        xcb_disconnect(c);
        return nullptr;
    }
    // Asked now so that the answer is there when a strip size is needed.
    xcb_prefetch_maximum_request_length(c);
    return std::unique_ptr<XcbConnection>(new XcbConnection(c, it.data));
}

bool XcbConnection::broken() const
{
    return xcb_connection_has_error(m_connection) != 0;
}

bool XcbConnection::hasShm(const char *whom)
{
    if (m_shm < 0) {
        const xcb_query_extension_reply_t *ext = xcb_get_extension_data(m_connection, &xcb_shm_id);
        m_shm = ext && ext->present ? 1 : 0;
        if (!m_shm)
            qWarning("engine: the X server offers no MIT-SHM; %s falls back to plain image transfers", whom);
    }
    return m_shm == 1;
}

bool XcbConnection::handlesDepth(int depth) const
{
    const xcb_setup_t *setup = xcb_get_setup(m_connection);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return false;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it)) {
        if (it.data->depth == depth)
            return it.data->bits_per_pixel == 32 && it.data->scanline_pad == 32;
    }
    return false;
}

size_t XcbConnection::maxRequestBytes() const
{
    return size_t(xcb_get_maximum_request_length(m_connection)) * 4;
}

ReplyState awaitReply(xcb_connection_t *c, unsigned int sequence, int timeoutMs, void **reply,
                      xcb_generic_error_t **error)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    *reply = nullptr;
    if (error)
        *error = nullptr;
    xcb_flush(c);
    for (;;) {
        xcb_generic_error_t *e = nullptr;
        // Reads what the socket holds without blocking.
        if (xcb_poll_for_reply(c, sequence, reply, &e)) {
            if (*reply)
                return ReplyState::Ready;
            if (error)
                *error = e;
            else
                free(e);
            return ReplyState::Failed;
        }
        if (xcb_connection_has_error(c))
            return ReplyState::Failed;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return ReplyState::Pending;
        pollfd fd = {xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&fd, 1, int(left));
    }
}

} // namespace castcore::x11
