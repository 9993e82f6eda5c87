#include "PreviewOverlayState.h"

#include <QFont>
#include <QPainter>
#include <QPen>

namespace {

const QRect kFiguresArea(0, 0, 260, 22);
const QPoint kFiguresAt(12, 8);

QImage layOutFigures(const QString &line)
{
    QImage picture(kFiguresArea.size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter text(&picture);
    QFont font(QStringLiteral("微软雅黑"));
    font.setPixelSize(12);
    text.setFont(font);
    text.setPen(Qt::white);
    text.drawText(kFiguresArea, 0, line);
    return picture;
}

} // namespace

void PreviewOverlay::paint(QPainter *painter) const
{
    painter->drawImage(kFiguresAt, figuresPicture);
    if (!frame)
        return;
    const int x = frame->x(), y = frame->y(), w = frame->width(), h = frame->height();
    painter->setPen(QPen(Qt::white, 1));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(x, y, w, h);
    if (!resizable)
        return;
    const QPoint points[] = {{x, y},         {x + w, y},         {x, y + h},     {x + w, y + h},
                             {x + w / 2, y}, {x + w / 2, y + h}, {x, y + h / 2}, {x + w, y + h / 2}};
    for (const QPoint &p : points)
        painter->fillRect(p.x() - 2, p.y() - 2, 5, 5, Qt::white);
}

PreviewOverlayState::PreviewOverlayState()
{
    std::lock_guard<std::mutex> lock(m_inputs);
    publishLocked();
}

QString PreviewOverlayState::figuresLine(int cpu, int memory, int fps, int quality)
{
    static const char *const kClarity[] = {"普清", "高清", "超清"};
    QString text = QStringLiteral("CPU：%1%    内存：%2%    FPS：%3").arg(cpu).arg(memory).arg(fps);
    if (quality >= 0 && quality < 3)
        text += QStringLiteral("    ") + QString::fromUtf8(kClarity[quality]);
    return text;
}

void PreviewOverlayState::setSelection(const PreviewMapping &mapping, const std::optional<QRect> &canvasRect,
                                       bool resizable)
{
    std::lock_guard<std::mutex> lock(m_inputs);
    m_mapping = mapping;
    m_canvasRect = canvasRect;
    m_resizable = canvasRect && resizable;
    publishLocked();
}

void PreviewOverlayState::setQuality(int quality)
{
    std::lock_guard<std::mutex> lock(m_inputs);
    m_quality = quality;
    publishLocked();
}

void PreviewOverlayState::setPerformance(int cpu, int memory)
{
    std::lock_guard<std::mutex> lock(m_inputs);
    m_cpu = cpu;
    m_memory = memory;
    publishLocked();
}

void PreviewOverlayState::setFps(int fps)
{
    std::lock_guard<std::mutex> lock(m_inputs);
    m_fps = fps;
    publishLocked();
}

std::shared_ptr<const PreviewOverlay> PreviewOverlayState::current() const
{
    std::lock_guard<std::mutex> lock(m_published);
    return m_current;
}

void PreviewOverlayState::publishLocked()
{
    auto next = std::make_shared<PreviewOverlay>();
    if (m_canvasRect) {
        // Origin and size both scale as widths and heights do, as the frame
        // has always been drawn.
        const QRect &r = *m_canvasRect;
        next->frame = QRect(m_mapping.canvasToPreviewWidth(r.x()), m_mapping.canvasToPreviewHeight(r.y()),
                            m_mapping.canvasToPreviewWidth(r.width()), m_mapping.canvasToPreviewHeight(r.height()));
        next->resizable = m_resizable;
    }
    next->figures = figuresLine(m_cpu, m_memory, m_fps, m_quality);
    // Only publishers write m_current, each holding m_inputs: read as is.
    const PreviewOverlay *last = m_current.get();
    if (last && last->frame == next->frame && last->resizable == next->resizable && last->figures == next->figures)
        return;
    // The same picture for the same line keeps the preview's digest steady.
    next->figuresPicture = last && last->figures == next->figures ? last->figuresPicture : layOutFigures(next->figures);
    std::lock_guard<std::mutex> lock(m_published);
    m_current = std::move(next);
}
