#pragma once

// What the X server shows, read back for the checks, and windows of known
// colours to show it.

#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>

#include <memory>

namespace mediax11 {

// Four quadrants: red top left, green top right, blue bottom left, yellow
// bottom right.
extern const QColor kQuadrantColors[4];

// A top-level window painted in the four quadrants.
class QuadrantWindow : public QWidget
{
public:
    explicit QuadrantWindow(const QRect &geometry);

protected:
    void paintEvent(QPaintEvent *) override;
};

// A window of one colour.
std::unique_ptr<QWidget> solidWindow(const QRect &geometry, const QColor &color);

// The root window's pixels in `rect`, from the server (RGB32).
QImage grabScreen(const QRect &rect);
// A window's pixels, from the server (RGB32).
QImage grabWindow(WId window);

bool sameColor(QRgb a, const QColor &b, int tolerance = 3);
// Empty when `image` at `p` is `expected`, else what differs.
QString colorMismatch(const QImage &image, const QPoint &p, const QColor &expected, int tolerance = 3);
// Empty when the quadrants of `image` starting at `origin` with the
// quadrant size are in kQuadrantColors, checking each quadrant's corners and
// centre, `inset` pixels in.
QString quadrantMismatch(const QImage &image, const QRect &quadrants, int inset);

} // namespace mediax11
