#pragma once

#include <QRect>

// An item's selection frame in preview pixels. Right and bottom are the
// converted far edges (x + width, y + height), not QRect's inclusive ones.
struct PreviewFrame
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// How the canvas (W x H) is shown on the preview (P x Q pixels). Fitted, the
// canvas is scaled to the preview height and centred horizontally; otherwise
// it is stretched over the whole preview. The conversions truncate toward
// zero, some after a double-precision computation and some in integer
// arithmetic, each exactly as the editing and the overlay expect. While a
// size is 0 or below (no scene yet) every conversion answers 0.
class PreviewMapping
{
public:
    PreviewMapping() = default;
    PreviewMapping(int previewWidth, int previewHeight, int canvasWidth, int canvasHeight, bool fit = true);

    int previewWidth() const { return m_previewWidth; }
    int previewHeight() const { return m_previewHeight; }
    int canvasWidth() const { return m_canvasWidth; }
    int canvasHeight() const { return m_canvasHeight; }
    bool fit() const { return m_fit; }

    // Fitted: the shown canvas width trunc(Q * W / H) and the left margin
    // trunc((P - Q * W / H) / 2).
    int shownWidth() const;
    int horizontalOffset() const;

    // Fitted: trunc((x - offset) * W / shown width); else trunc(x * W / P).
    int previewToCanvasX(int x) const;
    // trunc(y * H / Q)
    int previewToCanvasY(int y) const;
    // Fitted: trunc(cx * shown width / W + offset); else trunc(cx * P / W).
    int canvasToPreviewX(int cx) const;
    // cy * Q / H in integers.
    int canvasToPreviewY(int cy) const;
    // cx * P / W in integers (the performance overlay's widths).
    int canvasToPreviewWidth(int cx) const;
    // As canvasToPreviewY.
    int canvasToPreviewHeight(int cy) const;

    // The frame drawn around an item placed at `canvasRect`.
    PreviewFrame frameOf(const QRect &canvasRect) const;
    // Sixteen preview pixels in canvas units, the least part of an item
    // that moving and resizing keep on the canvas.
    int margin() const;

private:
    bool hasSizes() const;
    double shownWidthExact() const;

    int m_previewWidth = 0;
    int m_previewHeight = 0;
    int m_canvasWidth = 0;
    int m_canvasHeight = 0;
    bool m_fit = true;
};
