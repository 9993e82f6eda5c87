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
    m_last = QImage();
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
    QImage *picture = m_surface->painter->beginFrame();
    if (!picture)
        return;
    if (m_fitted.size() != picture->size() || m_fitted.format() != picture->format()) {
        m_fitted = QImage(picture->size(), picture->format());
        m_fittedCanvas = 0;
    }
    if (m_fittedCanvas != canvas.cacheKey()) {
        QPainter fitter(&m_fitted);
        CanvasFitter::fit(canvas, &fitter, m_fitted.size());
        m_fittedCanvas = canvas.cacheKey();
    }
    {
        QPainter p(picture);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(0, 0, m_fitted);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        if (overlay)
            overlay(&p);
    }
    m_surface->painter->endFrame();
    // Shares the surface's buffer; lastPicture() copies when asked.
    m_last = *picture;
}

QImage PreviewOutput::lastPicture() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_last.copy();
}

} // namespace castcore
