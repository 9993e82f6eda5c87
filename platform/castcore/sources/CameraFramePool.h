#pragma once

// Camera frames without an allocation per frame: a few RGB32 pictures that
// are written again once nobody else holds them (QImage is shared on copy, so
// a picture is free when only the pool still has it).

#include <QImage>
#include <QSize>

#include <array>

namespace castcore {

class CameraFramePool
{
public:
    // A picture of `size` that no one else holds, to be written whole through
    // this pointer (writing through a copy would copy it first), then handed
    // on by copying it. Valid until the next take. Makes a new picture only
    // while every kept one is still in use; null when none can be made.
    QImage *take(const QSize &size);

private:
    std::array<QImage, 4> m_frames;
    size_t m_next = 0; // the slot given up when every picture is in use
};

} // namespace castcore
