#include "CustomCaptureSource.h"

#include <QtGlobal>

#include <cstring>

namespace castcore {

void CustomCaptureSource::update(const SceneItem &item)
{
    m_capture = item.capture;
    m_itemId = item.id;
}

bool CustomCaptureSource::tick(MediaClock::time_point)
{
    if (!m_capture)
        return false;
    CaptureFormat format;
    if (!m_capture->GetFormat(&format) || format.width == 0 || format.height == 0)
        return false;
    const bool tooLarge = format.width > uint32_t(kMaxCanvasSide) || format.height > uint32_t(kMaxCanvasSide);
    if (tooLarge || uint64_t(format.byteCount) != uint64_t(format.width) * format.height * 4) {
        if (m_refusedLogged)
            return false;
        if (tooLarge)
            qWarning("engine: custom capture %d: %ux%u is more than %d a side; not shown", m_itemId, format.width,
                     format.height, kMaxCanvasSide);
        else
            qWarning("engine: custom capture %d: %ux%u with %u bytes is no 32-bit picture; not shown", m_itemId,
                     format.width, format.height, format.byteCount);
        m_refusedLogged = true;
        return false;
    }
    const QSize size(int(format.width), int(format.height));
    // Two buffers take turns, so the one before stays for the comparison.
    std::swap(m_raw, m_previous);
    if (m_raw.size() != size || !m_raw.isDetached())
        m_raw = QImage(size, QImage::Format_ARGB32);
    if (!m_capture->GetFrame(m_raw.bits(), format.byteCount))
        return false;
    if (m_previous.size() == size && std::memcmp(m_previous.constBits(), m_raw.constBits(), format.byteCount) == 0
        && !m_picture.isNull())
        return false;
    m_picture = m_raw.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return true;
}

} // namespace castcore
