#include "PreviewOutput.h"

#include "CanvasFitter.h"
#include "x11/WindowPainter.h"

#include <QGuiApplication>
#include <QPainter>

namespace castcore {

struct PreviewOutput::Surface
{
    std::unique_ptr<x11::WindowPainter> painter;
};

PreviewOutput::PreviewOutput() = default;

PreviewOutput::~PreviewOutput()
{
    detach();
}

bool PreviewOutput::attach(WId window)
{
    detach();
    if (!window)
        return false;
    // qGuiApp would downcast a plain QCoreApplication.
    const bool gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
    if (!gui || QGuiApplication::platformName() != QLatin1String("xcb")) {
        qInfo("engine: the preview draws only on X (platform \"%s\"); nothing is drawn",
              gui ? qPrintable(QGuiApplication::platformName()) : "none");
        return false;
    }
    std::unique_ptr<x11::WindowPainter> painter = x11::WindowPainter::open(uint32_t(window));
    if (!painter)
        return false;
    auto surface = std::make_unique<Surface>();
    surface->painter = std::move(painter);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_surface = std::move(surface);
    return true;
}

void PreviewOutput::detach()
{
    std::unique_ptr<Surface> old;
    std::lock_guard<std::mutex> lock(m_mutex);
    old = std::move(m_surface);
    m_shownCanvas = 0;
    m_owed = true;
    m_canvasMoving = false;
    m_puts = 0;
}

bool PreviewOutput::attached() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_surface != nullptr;
}

void PreviewOutput::show(const QImage &canvas, const std::function<void(QPainter *)> &overlay)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_surface)
        return;
    x11::WindowPainter &window = *m_surface->painter;
    const bool newCanvas = canvas.cacheKey() != m_shownCanvas;
    const bool mustPut = m_owed || window.damaged() || newCanvas;
    const Clock::time_point now = Clock::now();
    if (!mustPut) {
        // Only the overlay may have changed: ask it, without painting, now
        // and then (its text alone costs more than the rest of an idle tick).
        if (now < m_nextOverlayCheck)
            return;
        m_nextOverlayCheck = now + kOverlayCheckInterval;
        if (!m_overlay.changed(window.picture().size(), overlay))
            return;
    }

    QImage *picture = window.beginFrame();
    if (!picture) {
        m_owed = true; // the next frame goes out, whatever it is
        return;
    }
    if (mustPut) {
        // What goes out now, for comparing with the next frames; not worth
        // it while new canvases follow one another (a camera), where one
        // frame more is put once they stop.
        if (newCanvas && m_canvasMoving)
            m_overlay.forget();
        else
            m_overlay.changed(picture->size(), overlay);
        m_nextOverlayCheck = now + kOverlayCheckInterval;
    }
    m_canvasMoving = newCanvas;
    // Fitted afresh even for an old canvas: that is rare (an overlay change,
    // an exposure) and cheaper than keeping a fitted copy.
    CanvasFitter::fit(canvas, picture);
    if (overlay) {
        QPainter p(picture);
        overlay(&p);
    }
    window.endFrame();
    m_shownCanvas = canvas.cacheKey();
    m_owed = false;
    ++m_puts;
}

QImage PreviewOutput::lastPicture() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_surface && m_puts > 0 ? m_surface->painter->picture().copy() : QImage();
}

int64_t PreviewOutput::framesPut() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_puts;
}

} // namespace castcore
