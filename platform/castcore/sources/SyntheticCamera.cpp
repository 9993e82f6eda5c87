#include "SyntheticCamera.h"

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cstring>

namespace castcore {

namespace {

constexpr uint32_t kBars[8] = {0xffffffff, 0xffffff00, 0xff00ffff, 0xff00ff00,
                               0xffff00ff, 0xffff0000, 0xff0000ff, 0xff000000};
constexpr uint32_t kBand = 0xff202020;
constexpr uint32_t kBlock = 0xffffffff;

void fillRows(QImage &frame, int top, int bottom, uint32_t colour)
{
    for (int y = top; y < bottom; ++y) {
        auto *row = reinterpret_cast<uint32_t *>(frame.scanLine(y));
        std::fill(row, row + frame.width(), colour);
    }
}

} // namespace

void SyntheticCamera::prepare(const QSize &size)
{
    if (size == m_size)
        return;
    m_size = size;
    m_barRow.resize(size_t(size.width()));
    for (int x = 0; x < size.width(); ++x)
        m_barRow[size_t(x)] = kBars[size_t(x) * 8 / size_t(size.width())];
    m_clock = QImage();
    m_clockText.clear();
    // Fonts need the GUI application; painting text without one aborts.
    m_fonts = qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
}

void SyntheticCamera::render(QImage &frame, std::chrono::milliseconds elapsed)
{
    const int w = frame.width(), h = frame.height();
    if (w <= 0 || h <= 0)
        return;
    prepare(frame.size());

    const int barsEnd = h * 2 / 3, bandEnd = h * 5 / 6;
    for (int y = 0; y < barsEnd; ++y)
        std::memcpy(frame.scanLine(y), m_barRow.data(), size_t(w) * 4);
    fillRows(frame, barsEnd, bandEnd, kBand);

    // The block is as high as its band and square; its left edge moves from 0
    // to w - side over one crossing.
    const int side = std::max(1, std::min(bandEnd - barsEnd, w));
    const int64_t phase = elapsed.count() % kCrossingMs;
    const int left = int(phase * (w - side) / kCrossingMs);
    for (int y = barsEnd; y < bandEnd; ++y) {
        auto *row = reinterpret_cast<uint32_t *>(frame.scanLine(y));
        std::fill(row + left, row + left + side, kBlock);
    }
    drawClock(frame, bandEnd, elapsed);
}

void SyntheticCamera::drawClock(QImage &frame, int top, std::chrono::milliseconds elapsed)
{
    const int w = frame.width(), height = frame.height() - top;
    if (height <= 0)
        return;
    if (!m_fonts) {
        fillRows(frame, top, frame.height(), kBand);
        return;
    }
    const int64_t tenths = elapsed.count() / 100;
    const QString text = QStringLiteral("%1:%2.%3")
                             .arg(tenths / 600, 2, 10, QLatin1Char('0'))
                             .arg(tenths / 10 % 60, 2, 10, QLatin1Char('0'))
                             .arg(tenths % 10);
    // Drawn once per tenth of a second, copied into the other frames.
    if (text != m_clockText || m_clock.size() != QSize(w, height)) {
        m_clockText = text;
        if (m_clock.size() != QSize(w, height))
            m_clock = QImage(w, height, QImage::Format_RGB32);
        m_clock.fill(kBand);
        QPainter painter(&m_clock);
        QFont font = painter.font();
        font.setPixelSize(std::max(6, height * 3 / 4));
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(m_clock.rect(), Qt::AlignCenter, text);
    }
    for (int y = 0; y < height; ++y)
        std::memcpy(frame.scanLine(top + y), m_clock.constScanLine(y), size_t(w) * 4);
}

} // namespace castcore
