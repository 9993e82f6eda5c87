#include "WindowPainter.h"

#include <QtGlobal>

#include <algorithm>
#include <cstdlib>

namespace castcore::x11 {

namespace {

// Waits for the last frame's answer; past it the frame is skipped.
constexpr int kFrameWaitMs = 20;
// The window check when attaching.
constexpr int kAttachWaitMs = 2000;
// A plain put-image strip stays under this, whatever the server allows.
constexpr size_t kStripBytes = 256 * 1024;

} // namespace

std::unique_ptr<WindowPainter> WindowPainter::open(uint32_t window)
{
    std::unique_ptr<XcbConnection> x = XcbConnection::open();
    if (!x) {
        qWarning("engine: the preview needs an X display (DISPLAY); nothing is drawn");
        return nullptr;
    }
    void *reply = nullptr;
    const unsigned int seq = xcb_get_geometry(x->get(), window).sequence;
    if (awaitReply(x->get(), seq, kAttachWaitMs, &reply, nullptr) != ReplyState::Ready) {
        qWarning("engine: the preview window 0x%x does not exist; nothing is drawn", window);
        return nullptr;
    }
    auto *g = static_cast<xcb_get_geometry_reply_t *>(reply);
    const QSize size(g->width, g->height);
    const int depth = g->depth;
    free(reply);
    if (!x->handlesDepth(depth)) {
        qWarning("engine: the preview does not handle the window's pixel layout (depth %d); nothing is drawn", depth);
        return nullptr;
    }
    return std::unique_ptr<WindowPainter>(new WindowPainter(std::move(x), window, size, depth));
}

WindowPainter::WindowPainter(std::unique_ptr<XcbConnection> x, uint32_t window, QSize size, int depth)
    : m_x(std::move(x))
    , m_window(window)
    , m_size(size)
    , m_depth(depth)
{
    m_useShm = m_x->hasShm("the preview");
    m_gc = xcb_generate_id(m_x->get());
    // No GraphicsExpose events: they would only fill our queue.
    const uint32_t values[] = {0};
    xcb_create_gc(m_x->get(), m_gc, m_window, XCB_GC_GRAPHICS_EXPOSURES, values);
    // Our own selection on the window, beside Qt's: exposures, size changes
    // and its destruction reach this connection too.
    const uint32_t events[] = {XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_change_window_attributes(m_x->get(), m_window, XCB_CW_EVENT_MASK, events);
    xcb_flush(m_x->get());
    qInfo("engine: preview into window 0x%x (%dx%d), %s", window, size.width(), size.height(),
          m_useShm ? "through MIT-SHM" : "through plain put-image");
}

WindowPainter::~WindowPainter()
{
    if (m_geometryPending)
        collectGeometry(100);
    m_picture = QImage();
    m_shm.release();
    xcb_free_gc(m_x->get(), m_gc);
    xcb_flush(m_x->get());
}

void WindowPainter::markGone(const char *why)
{
    if (m_gone)
        return;
    m_gone = true;
    qWarning("engine: the preview window 0x%x %s; the preview stops", m_window, why);
}

void WindowPainter::readEvents()
{
    while (xcb_generic_event_t *e = xcb_poll_for_event(m_x->get())) {
        switch (e->response_type & 0x7f) {
        case 0: {
            const auto *error = reinterpret_cast<const xcb_generic_error_t *>(e);
            if (error->error_code == XCB_WINDOW || error->error_code == XCB_DRAWABLE) {
                markGone("is gone");
            } else if (m_useShm && error->major_code != XCB_GET_GEOMETRY) {
                // A segment the server cannot attach (another host, another
                // IPC namespace) fails every shared put-image.
                qWarning("engine: the X server refused the preview's shared memory (error %d); the preview falls "
                         "back to plain put-image",
                         int(error->error_code));
                m_useShm = false;
                m_damaged = true;
            }
            break;
        }
        case XCB_EXPOSE:
            m_damaged = true;
            break;
        case XCB_CONFIGURE_NOTIFY: {
            const auto *c = reinterpret_cast<const xcb_configure_notify_event_t *>(e);
            if (c->window == m_window && QSize(c->width, c->height) != m_size) {
                m_resized = true;
                m_damaged = true;
            }
            break;
        }
        case XCB_DESTROY_NOTIFY:
            if (reinterpret_cast<const xcb_destroy_notify_event_t *>(e)->window == m_window)
                markGone("is gone");
            break;
        default:
            break;
        }
        free(e);
    }
    if (m_x->broken())
        markGone("lost its X connection");
}

bool WindowPainter::damaged()
{
    if (m_gone)
        return false;
    readEvents();
    // The size asked after the last put may already be in: a window resized
    // since is damaged, whether or not its configure event reached us.
    if (m_geometryPending)
        collectGeometry(0);
    return m_damaged && !m_gone;
}

void WindowPainter::collectGeometry(int timeoutMs)
{
    void *reply = nullptr;
    xcb_generic_error_t *error = nullptr;
    const ReplyState state = awaitReply(m_x->get(), m_geometrySequence, timeoutMs, &reply, &error);
    if (state == ReplyState::Pending)
        return;
    m_geometryPending = false;
    if (state == ReplyState::Failed) {
        markGone(error ? "is gone" : "lost its X connection");
        free(error);
        return;
    }
    auto *g = static_cast<xcb_get_geometry_reply_t *>(reply);
    const QSize size(g->width, g->height);
    // A size learnt here before its configure event is read still needs a
    // new put: that event, compared with this size, will not ask for one.
    if (size != m_size)
        m_damaged = true;
    m_size = size;
    free(reply);
    // The server has seen the attach by now and keeps its own mapping.
    m_shm.forgetId();
}

bool WindowPainter::preparePicture()
{
    if (m_picture.size() == m_size && (m_useShm == (m_shm.valid() && m_picture.constBits() == m_shm.data())))
        return true;
    m_picture = QImage();
    if (m_useShm) {
        const size_t bytes = size_t(m_size.width()) * size_t(m_size.height()) * 4;
        // Grown only: a window shrinking and growing back keeps its segment.
        if (m_shm.size() < bytes && !m_shm.create(m_x->get(), bytes)) {
            qWarning("engine: the preview falls back to plain put-image");
            m_useShm = false;
        }
    }
    if (m_useShm) {
        m_picture = QImage(m_shm.data(), m_size.width(), m_size.height(), m_size.width() * 4,
                           QImage::Format_ARGB32_Premultiplied);
    } else {
        m_shm.release();
        m_picture = QImage(m_size, QImage::Format_ARGB32_Premultiplied);
    }
    return !m_picture.isNull();
}

QImage *WindowPainter::beginFrame()
{
    if (m_gone)
        return nullptr;
    readEvents();
    if (m_geometryPending)
        collectGeometry(kFrameWaitMs);
    if (m_resized && !m_gone && !m_geometryPending) {
        // The answer to the last frame may predate the change: ask anew.
        m_resized = false;
        m_geometrySequence = xcb_get_geometry(m_x->get(), m_window).sequence;
        m_geometryPending = true;
        collectGeometry(kFrameWaitMs);
    }
    if (m_gone || m_geometryPending || m_size.isEmpty())
        return nullptr;
    if (!preparePicture())
        return nullptr;
    return &m_picture;
}

void WindowPainter::endFrame()
{
    if (m_gone || m_picture.isNull())
        return;
    xcb_connection_t *c = m_x->get();
    if (m_useShm) {
        xcb_shm_put_image(c, m_window, m_gc, uint16_t(m_size.width()), uint16_t(m_size.height()), 0, 0,
                          uint16_t(m_size.width()), uint16_t(m_size.height()), 0, 0, uint8_t(m_depth),
                          XCB_IMAGE_FORMAT_Z_PIXMAP, 0, m_shm.id(), 0);
    } else {
        putStrips();
    }
    // Answered only after the put is done: the next frame waits for it.
    m_geometrySequence = xcb_get_geometry(c, m_window).sequence;
    m_geometryPending = true;
    xcb_flush(c);
    // Whatever was exposed before this put is whole again.
    m_damaged = false;
}

void WindowPainter::putStrips()
{
    const int bpl = int(m_picture.bytesPerLine());
    // The request header takes 24 bytes.
    const size_t limit = std::min(m_x->maxRequestBytes(), kStripBytes) - 24;
    const int rows = std::max(1, int(limit / size_t(bpl)));
    for (int y = 0; y < m_size.height(); y += rows) {
        const int n = std::min(rows, m_size.height() - y);
        xcb_put_image(m_x->get(), XCB_IMAGE_FORMAT_Z_PIXMAP, m_window, m_gc, uint16_t(m_size.width()), uint16_t(n),
                      0, int16_t(y), 0, uint8_t(m_depth), uint32_t(n * bpl), m_picture.constScanLine(y));
    }
}

} // namespace castcore::x11
