#include "CastCoreScene.h"

#include "CastCoreSceneCalls.h"
#include "EngineCalls.h"

// Where items sit on the canvas: rectangles, relative rectangles, aspect.

namespace castcore {

bool CastCoreScene::SetItemRect2(int id, int x, int y, int width, int height)
{
    enter("SetItemRect2", {arg(id), arg(x), arg(y), arg(width), arg(height)});
    return placeItem(id, x, y, width, height);
}

bool CastCoreScene::SetItemRect(int id, int x, int y, int width, int height)
{
    enter("SetItemRect", {arg(id), arg(x), arg(y), arg(width), arg(height)});
    return placeItem(id, x, y, width, height);
}

bool CastCoreScene::placeItem(int id, int x, int y, int width, int height)
{
    return m_state.withItem(id, [&](SceneItem &it) {
        it.x = x;
        it.y = y;
        it.width = width;
        it.height = height;
        it.hasRelativeRect = false;
    });
}

bool CastCoreScene::GetItemSourceRect(int id, int *x, int *y, int *width, int *height)
{
    enter("GetItemSourceRect", {arg(id)});
    if (scriptedRefusal("GetItemSourceRect"))
        return false;
    return m_state.withItem(
        id, [&](SceneItem &it) { putRect(x, y, width, height, 0, 0, it.sourceWidth, it.sourceHeight); });
}

bool CastCoreScene::GetItemRect(int id, int *x, int *y, int *width, int *height)
{
    enter("GetItemRect", {arg(id)});
    if (scriptedRefusal("GetItemRect"))
        return false;
    return m_state.withItem(id, [&](SceneItem &it) { putRect(x, y, width, height, it.x, it.y, it.width, it.height); });
}

bool CastCoreScene::SetItemRelativeRect(int id, float x, float y, float width, float height)
{
    enter("SetItemRelativeRect", {arg(id), arg(x), arg(y), arg(width), arg(height)});
    return m_state.withItem(id, [&](SceneItem &it) {
        const bool had = it.hasRelativeRect;
        it.hasRelativeRect = true;
        it.relX = x;
        it.relY = y;
        // No size (0 or below) keeps the size the item has.
        it.relWidth = width > 0 ? width : (had ? it.relWidth : -1.0f);
        it.relHeight = height > 0 ? height : (had ? it.relHeight : -1.0f);
        m_state.applyRelativeRect(it);
    });
}

bool CastCoreScene::SetItemAspect(int id, float ratio, int mode)
{
    enter("SetItemAspect", {arg(id), arg(ratio), arg(mode)});
    return m_state.withItem(id, [&](SceneItem &it) {
        it.aspect = ratio;
        it.aspectMode = mode;
    });
}

} // namespace castcore
