#include "LayeredShadowWindow.h"

#include "Compositor.h"

#include <QEvent>
#include <QPainter>

#include <cmath>
#include <limits>

namespace {

// Alpha of a shadow pixel whose centre lies `distance` pixels outside the
// target's edge: linear from the inner alpha at the edge to 0 at the band's
// outer end.
int falloff(double distance)
{
    const double w = LayeredShadowWindow::kWidth;
    if (distance >= w)
        return 0;
    return qRound(LayeredShadowWindow::kInnerAlpha * (1.0 - distance / w));
}

} // namespace

LayeredShadowWindow *LayeredShadowWindow::Attach(WId target)
{
    QWidget *widget = target ? QWidget::find(target) : nullptr;
    if (!widget || !widget->isWindow())
        return nullptr;
    // One shadow per target: a second one would only stack another band on
    // the first and double every update.
    if (auto *existing = widget->findChild<LayeredShadowWindow *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new LayeredShadowWindow(widget);
}

LayeredShadowWindow::LayeredShadowWindow(QWidget *target)
    : QWidget(target, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowTransparentForInput
                          | Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint)
    , m_target(target)
{
    setObjectName(QStringLiteral("LayeredShadowWindow"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_QuitOnClose, false);
    setFocusPolicy(Qt::NoFocus);
    target->installEventFilter(this);
    followGeometry();
    // Not shown here: a dialog attaches its shadow while still hidden, and
    // the shadow appears with the dialog.
    updateVisibility();
}

QImage LayeredShadowWindow::renderShadow(const QSize &targetSize)
{
    const int b = kWidth;
    const int w = qMax(0, targetSize.width());
    const int h = qMax(0, targetSize.height());
    // Beyond this the picture's size would not fit an int.
    const int largest = std::numeric_limits<int>::max() - 2 * b;
    if (w > largest || h > largest)
        return QImage();
    const int W = w + 2 * b;
    const int H = h + 2 * b;
    QImage image(W, H, QImage::Format_ARGB32_Premultiplied);
    // Qt refuses sizes it cannot draw, and memory may run out: no picture.
    if (image.isNull())
        return image;
    image.fill(Qt::transparent);

    for (int y = 0; y < H; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        // Distance of the pixel centre outside the target, per axis.
        const double dy = y < b ? b - (y + 0.5) : (y >= b + h ? (y + 0.5) - (b + h) : 0.0);
        for (int x = 0; x < W; ++x) {
            const double dx = x < b ? b - (x + 0.5) : (x >= b + w ? (x + 0.5) - (b + w) : 0.0);
            if (dx == 0.0 && dy == 0.0)
                continue; // under the target
            const double d = (dx > 0.0 && dy > 0.0) ? std::hypot(dx, dy) : dx + dy;
            const int a = falloff(d);
            if (a > 0)
                line[x] = qPremultiply(qRgba(0, 0, 0, a));
        }
    }
    return image;
}

bool LayeredShadowWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_target) {
        switch (event->type()) {
        case QEvent::Move:
            followGeometry();
            break;
        case QEvent::Resize:
            followGeometry();
            updateVisibility();
            break;
        case QEvent::Hide:
            // Also the spontaneous hide of an iconified window, which keeps
            // the widget itself "visible".
            hide();
            break;
        case QEvent::Show:
        case QEvent::WindowStateChange:
            updateVisibility();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LayeredShadowWindow::paintEvent(QPaintEvent *)
{
    // Made on the first paint rather than when attached: without a compositor
    // the shadow never shows, and the picture is as large as the window.
    const QSize targetSize = m_target->frameGeometry().size();
    // Kept by the size it was made for: a picture that could not be made is
    // not tried again on every paint.
    if (targetSize != m_pictureFor) {
        m_pictureFor = targetSize;
        m_picture = renderShadow(targetSize);
    }
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, m_picture);
}

void LayeredShadowWindow::followGeometry()
{
    const QRect frame = m_target->frameGeometry();
    const QRect band = frame.adjusted(-kWidth, -kWidth, kWidth, kWidth);
    if (frame.size() != m_pictureFor)
        update();
    setGeometry(band);
}

bool LayeredShadowWindow::wanted() const
{
    return m_target->isVisible()
        && !(m_target->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized))
        && mvplatform::Compositor::isPresent();
}

void LayeredShadowWindow::updateVisibility()
{
    if (wanted()) {
        followGeometry();
        show();
    } else if (isVisible()) {
        hide();
    }
}
