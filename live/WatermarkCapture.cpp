#include "WatermarkCapture.h"

#include <QImage>

#include <cstring>

const QString WatermarkCapture::kResource = QStringLiteral(":/image/skin/watermark.png");

WatermarkCapture::WatermarkCapture()
    : WatermarkCapture(kResource)
{
}

WatermarkCapture::WatermarkCapture(const QString &resource)
{
    loadImage(resource);
}

WatermarkCapture::~WatermarkCapture() = default;

void WatermarkCapture::loadImage(const QString &resource)
{
    const QImage image(resource);
    m_height = uint32_t(image.height());
    m_width = uint32_t(image.width());
    m_byteCount = uint32_t(image.sizeInBytes());
    // A picture that did not load still gets its (empty) buffer: the engine
    // then asks for 0 bytes and gets them.
    if (!m_picture)
        m_picture.reset(new uint8_t[m_byteCount]);
    if (m_byteCount > 0)
        std::memcpy(m_picture.get(), image.constBits(), m_byteCount);
}

bool WatermarkCapture::GetFormat(CaptureFormat *format)
{
    if (!format)
        return false;
    format->width = m_width;
    format->height = m_height;
    format->byteCount = m_byteCount;
    format->reserved = 0;
    return true;
}

bool WatermarkCapture::GetFrame(void *destination, uint32_t size)
{
    if (!m_picture || size != m_byteCount)
        return false;
    if (size > 0) {
        if (!destination)
            return false;
        std::memcpy(destination, m_picture.get(), size);
    }
    return true;
}

bool WatermarkCapture::QueryA(uint32_t)
{
    return false;
}

bool WatermarkCapture::QueryB(uint32_t, uint32_t)
{
    return false;
}
