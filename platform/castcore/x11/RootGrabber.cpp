#include "RootGrabber.h"

#include <QtGlobal>

#include <cstdlib>
#include <cstring>

namespace castcore::x11 {

std::unique_ptr<RootGrabber> RootGrabber::open()
{
    std::unique_ptr<XcbConnection> x = XcbConnection::open();
    if (!x) {
        qWarning("engine: screen capture needs an X display (DISPLAY); nothing is captured");
        return nullptr;
    }
    if (!x->handlesDepth(x->screen()->root_depth)) {
        qWarning("engine: screen capture does not handle the X screen's pixel layout (depth %d); nothing is captured",
                 int(x->screen()->root_depth));
        return nullptr;
    }
    return std::unique_ptr<RootGrabber>(new RootGrabber(std::move(x)));
}

RootGrabber::RootGrabber(std::unique_ptr<XcbConnection> x)
    : m_x(std::move(x))
    , m_screenSize(m_x->screen()->width_in_pixels, m_x->screen()->height_in_pixels)
{
    m_useShm = m_x->hasShm("screen capture");
    qInfo("engine: screen capture on a %dx%d X screen, %s", m_screenSize.width(), m_screenSize.height(),
          m_useShm ? "through MIT-SHM" : "through plain get-image");
}

RootGrabber::~RootGrabber()
{
    // A reply still out may write into the segment: let it land first.
    if (m_imagePending) {
        void *reply = nullptr;
        if (awaitReply(m_x->get(), m_imageSequence, 100, &reply, nullptr) == ReplyState::Ready)
            free(reply);
    }
    m_shm.release();
}

void RootGrabber::setArea(const QRect &area)
{
    m_area = area;
}

bool RootGrabber::prepareArea()
{
    if (m_prepared == m_area)
        return !m_area.isEmpty();
    m_prepared = m_area;
    if (m_area.isEmpty()) {
        m_shm.release();
        return false;
    }
    if (m_useShm) {
        const size_t bytes = size_t(m_area.width()) * size_t(m_area.height()) * 4;
        if (m_shm.size() != bytes && !m_shm.create(m_x->get(), bytes)) {
            qWarning("engine: screen capture falls back to plain get-image");
            m_useShm = false;
        }
    }
    return true;
}

void RootGrabber::send()
{
    xcb_connection_t *c = m_x->get();
    const xcb_window_t root = m_x->screen()->root;
    if (!m_imagePending && prepareArea()) {
        const QRect &a = m_prepared;
        m_imageIsShm = m_useShm;
        m_imageSequence = m_useShm ? xcb_shm_get_image(c, root, int16_t(a.x()), int16_t(a.y()), uint16_t(a.width()),
                                                       uint16_t(a.height()), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP,
                                                       m_shm.id(), 0)
                                         .sequence
                                   : xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, int16_t(a.x()),
                                                   int16_t(a.y()), uint16_t(a.width()), uint16_t(a.height()), ~0u)
                                         .sequence;
        m_imagePending = true;
    }
    if (!m_geometryPending) {
        m_geometrySequence = xcb_get_geometry(c, root).sequence;
        m_geometryPending = true;
    }
}

bool RootGrabber::grab(int timeoutMs)
{
    if (m_x->broken())
        return false;
    send();
    const bool got = m_imagePending && collectImage(timeoutMs);
    collectGeometry();
    // Errors of the unchecked requests (the segment's attach and detach)
    // show again on the replies that matter; the queue must not grow.
    m_x->drainEvents([](const xcb_generic_error_t *) {});
    return got;
}

bool RootGrabber::collectImage(int timeoutMs)
{
    void *reply = nullptr;
    xcb_generic_error_t *error = nullptr;
    const ReplyState state = awaitReply(m_x->get(), m_imageSequence, timeoutMs, &reply, &error);
    if (state == ReplyState::Pending)
        return false;
    m_imagePending = false;
    if (state == ReplyState::Failed) {
        // A segment the server cannot attach (another host, another IPC
        // namespace) fails every shared get-image: do without it.
        if (m_imageIsShm && !m_shmConfirmed && error && error->major_code != XCB_GET_IMAGE) {
            qWarning("engine: the X server refused the shared memory segment (error %d); screen capture falls back "
                     "to plain get-image",
                     int(error->error_code));
            m_useShm = false;
            m_shm.release();
        }
        free(error);
        return false;
    }
    bool copied = false;
    if (m_imageIsShm) {
        auto *r = static_cast<xcb_shm_get_image_reply_t *>(reply);
        if (!m_shmConfirmed) {
            m_shmConfirmed = true;
            m_shm.forgetId();
        }
        if (r->size >= uint32_t(m_prepared.width()) * uint32_t(m_prepared.height()) * 4)
            copied = copyOut(m_shm.data(), m_prepared.width() * 4);
    } else {
        auto *r = static_cast<xcb_get_image_reply_t *>(reply);
        if (xcb_get_image_data_length(r) >= m_prepared.width() * m_prepared.height() * 4)
            copied = copyOut(xcb_get_image_data(r), m_prepared.width() * 4);
    }
    free(reply);
    return copied;
}

void RootGrabber::collectGeometry()
{
    if (!m_geometryPending)
        return;
    void *reply = nullptr;
    const ReplyState state = awaitReply(m_x->get(), m_geometrySequence, 0, &reply, nullptr);
    if (state == ReplyState::Pending)
        return;
    m_geometryPending = false;
    if (state == ReplyState::Ready) {
        auto *g = static_cast<xcb_get_geometry_reply_t *>(reply);
        m_screenSize = QSize(g->width, g->height);
        free(reply);
    }
}

bool RootGrabber::copyOut(const uint8_t *bits, int bytesPerLine)
{
    // Only a buffer nobody else holds is written; the current picture (held
    // by m_picture at least) never is.
    QImage *target = nullptr;
    for (QImage &image : m_pool) {
        if (!image.isNull() && image.size() == m_prepared.size() && image.isDetached()) {
            target = &image;
            break;
        }
    }
    if (!target) {
        for (QImage &image : m_pool) {
            if (image.isNull() || image.constBits() != m_picture.constBits()) {
                image = QImage(m_prepared.size(), QImage::Format_RGB32);
                target = &image;
                break;
            }
        }
    }
    // X leaves the pad byte undefined; RGB32 wants it 0xff.
    const int w = m_prepared.width();
    for (int y = 0; y < m_prepared.height(); ++y) {
        const auto *src = reinterpret_cast<const uint32_t *>(bits + size_t(y) * size_t(bytesPerLine));
        auto *dst = reinterpret_cast<uint32_t *>(target->scanLine(y));
        for (int x = 0; x < w; ++x)
            dst[x] = src[x] | 0xff000000u;
    }
    m_picture = *target;
    return true;
}

} // namespace castcore::x11
