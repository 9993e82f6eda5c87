#pragma once

// What the parts of CastCoreScene and CastCoreSceneStore share: writing
// out-parameters, lending buffers until FreeBuffer, and the cameras on offer.

#include "CastCoreWorld.h"
#include "SceneState.h"
#include "sources/CameraCatalog.h"

#include <memory>
#include <string>
#include <vector>

namespace castcore {

template <class T>
void put(T *out, T value)
{
    if (out)
        *out = value;
}

inline void putRect(int *x, int *y, int *width, int *height, int rx, int ry, int rw, int rh)
{
    put(x, rx);
    put(y, ry);
    put(width, rw);
    put(height, rh);
}

// Lends a vector's storage to the caller until FreeBuffer.
template <class T>
T *lendVector(SceneState &state, std::vector<T> v)
{
    if (v.empty())
        return nullptr;
    auto owner = std::make_shared<std::vector<T>>(std::move(v));
    T *data = owner->data();
    state.lend(data, owner);
    return data;
}

// The cameras on offer: real ones when there are any, and the world's.
inline std::vector<CameraDevice> availableCameras(const World &world)
{
    std::vector<CameraDevice> cameras;
    for (CameraEntry &e : listCameraEntries(world, world.camerasFromFile))
        cameras.push_back(std::move(e.device));
    return cameras;
}

inline const CameraDevice *findCamera(const std::vector<CameraDevice> &cameras, const std::u16string &name)
{
    for (const CameraDevice &cam : cameras)
        if (cam.name == name)
            return &cam;
    return nullptr;
}

} // namespace castcore
