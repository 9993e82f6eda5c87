#pragma once

// What the compositor needs of one item for one frame: plain values copied
// from the item table under its lock, so that drawing never holds it.

#include "LiveEngine.h"

#include <array>
#include <cstdint>

namespace castcore {

struct SceneItem;

struct ItemView
{
    int id = 0;
    int kind = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int z = 0;
    int alpha = 255;
    bool flag = false;
    float aspect = 0.0f;
    int aspectMode = 0;
    std::array<float, 3> rotation = {0.0f, 0.0f, 0.0f};
    uint32_t colorEffect = 0;
    uint64_t revision = 0;
    IVideoFilter *filter = nullptr;
    ICustomCapture *capture = nullptr;

    static ItemView of(const SceneItem &item);
    bool operator==(const ItemView &o) const;
    bool operator!=(const ItemView &o) const { return !(*this == o); }
};

} // namespace castcore
