#pragma once

// One private connection to the X server named by DISPLAY, for a thread of
// the engine that talks to X on its own (a screen capture, the preview). The
// connection never shares Qt's: its requests and errors stay ours.

#include <xcb/xcb.h>

#include <cstdlib>

#include <memory>

namespace castcore::x11 {

class XcbConnection
{
public:
    ~XcbConnection();
    XcbConnection(const XcbConnection &) = delete;
    XcbConnection &operator=(const XcbConnection &) = delete;

    // Null without DISPLAY or when the server cannot be reached.
    static std::unique_ptr<XcbConnection> open();

    xcb_connection_t *get() const { return m_connection; }
    const xcb_screen_t *screen() const { return m_screen; }
    bool broken() const;

    // Whether the server offers MIT-SHM; asked once per connection. `whom`
    // names the user in the one log line given when it does not.
    bool hasShm(const char *whom);
    // True when pictures of this depth are 32 bits a pixel, least
    // significant byte first (BGRX in memory), the only layout we handle.
    bool handlesDepth(int depth) const;
    // The largest request in bytes, BIG-REQUESTS included.
    size_t maxRequestBytes() const;
    // Reads and frees every queued event and error; `onError` sees the
    // errors of unchecked requests.
    template<typename F>
    void drainEvents(F onError)
    {
        while (xcb_generic_event_t *e = xcb_poll_for_event(m_connection)) {
            if (e->response_type == 0)
                onError(reinterpret_cast<const xcb_generic_error_t *>(e));
            free(e);
        }
    }

private:
    explicit XcbConnection(xcb_connection_t *connection, const xcb_screen_t *screen);

    xcb_connection_t *m_connection = nullptr;
    const xcb_screen_t *m_screen = nullptr;
    int m_shm = -1; // unknown until asked
};

enum class ReplyState { Ready, Failed, Pending };

// Collects the reply to request `sequence`, waiting at most `timeoutMs` for
// it. Ready: `*reply` is set (free it). Failed: an X error (in `*error` when
// given, free it) or a broken connection. Pending: not yet; ask again later.
ReplyState awaitReply(xcb_connection_t *c, unsigned int sequence, int timeoutMs, void **reply,
                      xcb_generic_error_t **error);

} // namespace castcore::x11
