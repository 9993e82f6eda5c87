#pragma once

#include "LiveEngine.h"

#include <QString>

#include <cstdint>
#include <memory>

// The watermark as a capture source of the engine: one fixed picture from
// the resources, handed out raw (the image loader's pixel format, rows as
// stored). The picture is written only while constructing, so the engine's
// threads read it without a lock. The facade owns it once it is added.
class WatermarkCapture : public ICustomCapture
{
public:
    // ":/image/skin/watermark.png"
    static const QString kResource;

    WatermarkCapture();
    // Another picture in place of the skin's (tests use a missing one).
    explicit WatermarkCapture(const QString &resource);
    ~WatermarkCapture() override;

    WatermarkCapture(const WatermarkCapture &) = delete;
    WatermarkCapture &operator=(const WatermarkCapture &) = delete;

    // {width, height, byte count, 0}; all 0 when the picture did not load.
    bool GetFormat(CaptureFormat *format) override;
    // Copies the picture when `size` is exactly its byte count; otherwise
    // false and nothing is written.
    bool GetFrame(void *destination, uint32_t size) override;
    // Not used by this source: false.
    bool QueryA(uint32_t a) override;
    bool QueryB(uint32_t a, uint32_t b) override;

private:
    void loadImage(const QString &resource);

    std::unique_ptr<uint8_t[]> m_picture;
    uint32_t m_byteCount = 0;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
};
