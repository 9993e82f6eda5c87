#include "ScreenPictures.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

namespace mediax11 {

const QColor kQuadrantColors[4] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255), QColor(255, 255, 0)};

QuadrantWindow::QuadrantWindow(const QRect &geometry)
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setGeometry(geometry);
}

void QuadrantWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const int w = width() / 2;
    const int h = height() / 2;
    p.fillRect(0, 0, w, h, kQuadrantColors[0]);
    p.fillRect(w, 0, width() - w, h, kQuadrantColors[1]);
    p.fillRect(0, h, w, height() - h, kQuadrantColors[2]);
    p.fillRect(w, h, width() - w, height() - h, kQuadrantColors[3]);
}

std::unique_ptr<QWidget> solidWindow(const QRect &geometry, const QColor &color)
{
    auto w = std::make_unique<QWidget>();
    w->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, color);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
    w->setGeometry(geometry);
    return w;
}

QImage grabScreen(const QRect &rect)
{
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

QImage grabWindow(WId window)
{
    return QGuiApplication::primaryScreen()->grabWindow(window).toImage().convertToFormat(QImage::Format_RGB32);
}

bool sameColor(QRgb a, const QColor &b, int tolerance)
{
    return qAbs(qRed(a) - b.red()) <= tolerance && qAbs(qGreen(a) - b.green()) <= tolerance
           && qAbs(qBlue(a) - b.blue()) <= tolerance;
}

QString colorMismatch(const QImage &image, const QPoint &p, const QColor &expected, int tolerance)
{
    if (!image.rect().contains(p))
        return QStringLiteral("(%1,%2) outside the %3x%4 picture").arg(p.x()).arg(p.y()).arg(image.width()).arg(image.height());
    const QRgb got = image.pixel(p);
    if (sameColor(got, expected, tolerance))
        return QString();
    return QStringLiteral("(%1,%2) is %3, not %4")
        .arg(p.x())
        .arg(p.y())
        .arg(QColor(got).name(), expected.name());
}

QString quadrantMismatch(const QImage &image, const QRect &quadrants, int inset)
{
    const int w = quadrants.width() / 2;
    const int h = quadrants.height() / 2;
    for (int q = 0; q < 4; ++q) {
        const QRect r(quadrants.x() + (q % 2) * w, quadrants.y() + (q / 2) * h, w, h);
        const QRect in = r.adjusted(inset, inset, -inset - 1, -inset - 1);
        for (const QPoint &p : {in.topLeft(), in.topRight(), in.bottomLeft(), in.bottomRight(), in.center()}) {
            if (!image.rect().contains(p))
                continue; // a part cut off
            const QString m = colorMismatch(image, p, kQuadrantColors[q]);
            if (!m.isEmpty())
                return QStringLiteral("quadrant %1: %2").arg(q).arg(m);
        }
    }
    return QString();
}

} // namespace mediax11
