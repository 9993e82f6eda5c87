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
    const uint64_t pixels = uint64_t(format.width) * format.height;
    if (format.width > 16384 || format.height > 16384 || uint64_t(format.byteCount) != pixels * 4) {
        if (!m_refusedLogged)
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
