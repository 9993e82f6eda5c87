#include "PreviewMapping.h"

#include <climits>
#include <cmath>
#include <cstdint>

namespace {

// Truncation toward zero; values beyond int saturate instead of being
// undefined, and a division by a zero shown width gives 0.
int truncToInt(double v)
{
    if (!std::isfinite(v))
        return 0;
    if (v >= double(INT_MAX))
        return INT_MAX;
    if (v <= double(INT_MIN))
        return INT_MIN;
    return int(v);
}

int clampToInt(int64_t v)
{
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : int(v);
}

} // namespace

PreviewMapping::PreviewMapping(int previewWidth, int previewHeight, int canvasWidth, int canvasHeight, bool fit)
    : m_previewWidth(previewWidth)
    , m_previewHeight(previewHeight)
    , m_canvasWidth(canvasWidth)
    , m_canvasHeight(canvasHeight)
    , m_fit(fit)
{
}

bool PreviewMapping::hasSizes() const
{
    return m_previewWidth > 0 && m_previewHeight > 0 && m_canvasWidth > 0 && m_canvasHeight > 0;
}

double PreviewMapping::shownWidthExact() const
{
    return double(m_previewHeight) * m_canvasWidth / m_canvasHeight;
}

int PreviewMapping::shownWidth() const
{
    return hasSizes() ? truncToInt(shownWidthExact()) : 0;
}

int PreviewMapping::horizontalOffset() const
{
    return hasSizes() ? truncToInt((m_previewWidth - shownWidthExact()) / 2.0) : 0;
}

int PreviewMapping::previewToCanvasX(int x) const
{
    if (!hasSizes())
        return 0;
    if (!m_fit)
        return truncToInt(double(x) * m_canvasWidth / m_previewWidth);
    const int shown = shownWidth();
    if (shown == 0)
        return 0;
    return truncToInt((double(x) - horizontalOffset()) * m_canvasWidth / shown);
}

int PreviewMapping::previewToCanvasY(int y) const
{
    return hasSizes() ? truncToInt(double(y) * m_canvasHeight / m_previewHeight) : 0;
}

int PreviewMapping::canvasToPreviewX(int cx) const
{
    if (!hasSizes())
        return 0;
    if (!m_fit)
        return truncToInt(double(cx) * m_previewWidth / m_canvasWidth);
    return truncToInt(double(cx) * shownWidth() / m_canvasWidth + horizontalOffset());
}

int PreviewMapping::canvasToPreviewY(int cy) const
{
    return hasSizes() ? clampToInt(int64_t(cy) * m_previewHeight / m_canvasHeight) : 0;
}

int PreviewMapping::canvasToPreviewWidth(int cx) const
{
    return hasSizes() ? clampToInt(int64_t(cx) * m_previewWidth / m_canvasWidth) : 0;
}

int PreviewMapping::canvasToPreviewHeight(int cy) const
{
    return canvasToPreviewY(cy);
}

PreviewFrame PreviewMapping::frameOf(const QRect &canvasRect) const
{
    const int x = canvasRect.x(), y = canvasRect.y();
    PreviewFrame frame;
    frame.left = canvasToPreviewX(x);
    frame.top = canvasToPreviewY(y);
    frame.right = canvasToPreviewX(clampToInt(int64_t(x) + canvasRect.width()));
    frame.bottom = canvasToPreviewY(clampToInt(int64_t(y) + canvasRect.height()));
    return frame;
}

int PreviewMapping::margin() const
{
    return previewToCanvasY(16);
}
