#include "LiveProxyVideoFilter.h"

#include "Logger.h"

#include <climits>
#include <cstdio>
#include <cstring>

LiveProxyVideoFilter::LiveProxyVideoFilter(VideoFilterOwner *owner)
    : m_owner(owner)
{
}

LiveProxyVideoFilter::~LiveProxyVideoFilter()
{
    std::lock_guard<std::mutex> lock(m_handleMutex);
    releaseHandleLocked();
}

bool LiveProxyVideoFilter::Filter(int itemId, std::uintptr_t frame0, std::uintptr_t frame1,
                                  std::uintptr_t frame2, PicturePlane *out)
{
    const int blur = m_blur.load();
    const int whitening = m_whitening.load();
    const int temperature = m_colourTemperature.load();
    if (blur == 0 && whitening == 0 && temperature == 0)
        return false;
    if (!out)
        return false;

    std::lock_guard<std::mutex> lock(m_handleMutex);
    if (m_attachedItem.load() == -1)
        return false;
    if (!m_handle) {
        m_handle = ImageFilterInit(m_owner->renderDeviceHandle(), m_owner->renderContextHandle());
        if (m_handle) {
            const int one = 1;
            ImageFilterSetValue(m_handle, 0, &one, int(sizeof one));
        }
    }
    if (!m_handle)
        return false; // the next frame tries again

    int x = 0, y = 0, width = 0, height = 0;
    m_owner->getItemSourceRect(itemId, &x, &y, &width, &height);
    PicturePlane source;
    source.format = 0;
    source.width = width;
    source.height = height;
    source.frame[0] = frame0;
    source.frame[1] = frame1;
    source.frame[2] = frame2;
    out->format = 4;
    out->width = width;
    out->height = height;

    const FilterParams params{0,
                              int(sizeof(FilterParams)),
                              float(blur) / 10.0f,
                              float(temperature) / 10.0f,
                              10.0f,
                              float(whitening) / 10.0f,
                              m_enabled};
    return ImageFilterFilterPicture(m_handle, &source, &params, out) != 0;
}

void LiveProxyVideoFilter::Free(std::uintptr_t a, std::uintptr_t b)
{
    (void)a;
    std::lock_guard<std::mutex> lock(m_handleMutex);
    if (m_handle)
        ImageFilterFree(m_handle, b);
}

void LiveProxyVideoFilter::DeviceLost(std::uintptr_t a)
{
    std::lock_guard<std::mutex> lock(m_handleMutex);
    ImageFilterHandleDeviceLost(m_handle, a);
}

void LiveProxyVideoFilter::setBlur(int level)
{
    m_blur.store(level);
}

void LiveProxyVideoFilter::setWhitening(int level)
{
    m_whitening.store(level);
}

void LiveProxyVideoFilter::setColourTemperature(int level)
{
    m_colourTemperature.store(level);
}

void LiveProxyVideoFilter::attach(int itemId)
{
    Logger::instance()->write(Logger::LOG_INFO, "live proxy video beauty filter attach item: %d .", itemId);
    {
        std::lock_guard<std::mutex> lock(m_handleMutex);
        m_attachedItem.store(itemId);
    }
    m_owner->setItemVideoFilter(itemId, this);
}

int LiveProxyVideoFilter::attachedItem() const
{
    return m_attachedItem.load();
}

void LiveProxyVideoFilter::detach()
{
    const int itemId = m_attachedItem.load();
    Logger::instance()->write(Logger::LOG_INFO, "live proxy video beauty filter unattach item: %d .", itemId);
    // Outside the mutex: the engine may wait for a frame that holds it.
    m_owner->setItemVideoFilter(itemId, nullptr);
    std::lock_guard<std::mutex> lock(m_handleMutex);
    m_attachedItem.store(-1);
    releaseHandleLocked();
}

void LiveProxyVideoFilter::releaseHandleLocked()
{
    if (m_handle) {
        ImageFilterUninit(m_handle);
        m_handle = nullptr;
    }
}

namespace {

void putU16(unsigned char *p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void putU32(unsigned char *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

} // namespace

int writeBmpFile(const char *path, const void *pixels, int width, int height)
{
    if (!path || !pixels || width <= 0 || height <= 0)
        return -1;
    const int64_t rowBytes = (int64_t(width) * 24 + 31) / 32 * 4;
    const int64_t imageSize64 = rowBytes * height;
    if (imageSize64 > INT_MAX - 54)
        return -1;
    const int imageSize = int(imageSize64);

    FILE *file = std::fopen(path, "wb");
    if (!file)
        return -1;
    Logger::instance()->write(Logger::LOG_DEBUG, "nImgSize: %d , %d, %d", imageSize, 14, 40);

    unsigned char header[54] = {};
    header[0] = 'B';
    header[1] = 'M';
    putU32(header + 2, uint32_t(54 + imageSize));
    putU32(header + 10, 54);
    putU32(header + 14, 40);
    putU32(header + 18, uint32_t(width));
    putU32(header + 22, uint32_t(-height)); // negative: rows run top-down
    putU16(header + 26, 1);
    putU16(header + 28, 24);
    putU32(header + 34, uint32_t(imageSize));
    const bool written = std::fwrite(header, 1, sizeof header, file) == sizeof header
                         && std::fwrite(pixels, 1, size_t(imageSize), file) == size_t(imageSize);
    std::fflush(file);
    std::fclose(file);
    return written ? 0 : -1;
}
