#include "LiveProxy.h"

#include "Logger.h"

#include <algorithm>

// The facade's bookkeeping of scene items. The engine holds placements,
// z-orders and names; the facade reads them, lets scenereg decide and sends
// the outcome back at once.

namespace {

constexpr int kNameBufferSize = 256;
using scenereg::kLockUnmove;
using scenereg::kLockUnresize;
using scenereg::kLockUnshift;

Logger *logger()
{
    return Logger::instance();
}

} // namespace

std::string LiveProxy::makeItemName(const std::string &word, int start)
{
    if (!m_store)
        return std::string();
    const std::string name = scenereg::firstFreeName(
        word, start, [this](const std::string &candidate) { return m_store->IsNameFree(candidate.c_str()); });
    if (name.empty())
        logger()->write(Logger::LOG_ERROR, "no free item name for %s.", word.c_str());
    return name;
}

bool LiveProxy::registerItem(int id, const std::string &name)
{
    const bool named = m_store && !name.empty() && m_store->SetItemName(id, name.c_str());
    // The name carries the item's kind and its locks.
    publishOverlayFor(id);
    return named;
}

std::string LiveProxy::storedNameOf(int id, bool *ok)
{
    char buffer[kNameBufferSize] = {};
    const bool read = m_store && m_store->GetItemName(id, buffer, kNameBufferSize);
    if (ok)
        *ok = read;
    return read ? std::string(buffer) : std::string();
}

int LiveProxy::itemType(int id)
{
    if (isEffectiveText(id))
        return SceneItemEffectiveText;
    if (!m_store)
        return SceneItemOther;
    const int kind = m_store->Kind(id);
    if (kind != KindPicture && kind != KindOverlayFile)
        return scenereg::typeOfKind(kind, nullptr);
    bool named = false;
    const std::string name = storedNameOf(id, &named);
    return scenereg::typeOfKind(kind, named ? name.c_str() : nullptr);
}

bool LiveProxy::firstOfTypeInZOrder(int type, int *id)
{
    std::vector<int> ids;
    sortedItemIds(ids);
    for (int candidate : ids) {
        if (itemType(candidate) == type) {
            if (id)
                *id = candidate;
            return true;
        }
    }
    return false;
}

bool LiveProxy::firstAtZInList(int z, int *id)
{
    for (int candidate : m_itemIds) {
        if (candidate > 0 && getItemZorder(candidate) == z) {
            if (id)
                *id = candidate;
            return true;
        }
    }
    return false;
}

bool LiveProxy::findItem(int *id)
{
    return firstOfTypeInZOrder(SceneItemCamera, id);
}

bool LiveProxy::hasCameraItem()
{
    return findItem(nullptr);
}

bool LiveProxy::findEdgeItem(int *id)
{
    return firstOfTypeInZOrder(SceneItemEdge, id);
}

bool LiveProxy::findShadowItem(int *id)
{
    return firstOfTypeInZOrder(SceneItemShadow, id);
}

bool LiveProxy::findFullScreenCaptureItem(int *id)
{
    return firstAtZInList(scenereg::kZFullScreenCapture, id);
}

bool LiveProxy::findBottomImageItem(int *id)
{
    return firstAtZInList(scenereg::kZBottomPicture, id);
}

bool LiveProxy::findEffectiveText(int pictureId, EffectiveTxtItem **item)
{
    for (EffectiveTxtItem &pair : m_effectiveTexts) {
        if (pair.pictureId() == pictureId) {
            if (item)
                *item = &pair;
            return true;
        }
    }
    return false;
}

bool LiveProxy::isEffectiveText(int id)
{
    return findEffectiveText(id, nullptr);
}

int LiveProxy::countNonPluginItems()
{
    int n = 0;
    for (int id : m_itemIds)
        if (itemType(id) != SceneItemPlugin)
            ++n;
    return n;
}

void LiveProxy::setItemFullWindow(int id)
{
    setItemGeometry(id, 0, 0, m_outputWidth, m_outputHeight);
    logger()->write(Logger::LOG_INFO, "set item %d full win.", id);
}

bool LiveProxy::removeItemFromScene(int id)
{
    bool named = false;
    const std::string name = storedNameOf(id, &named);
    return named && m_store->Remove(name.c_str());
}

void LiveProxy::removeItem(int id)
{
    detachFilterFrom(id);
    const auto paired = std::find_if(m_effectiveTexts.begin(), m_effectiveTexts.end(),
                                     [id](const EffectiveTxtItem &p) { return p.pictureId() == id; });
    if (paired != m_effectiveTexts.end())
        paired->remove();
    else
        removeItemFromScene(id);
    logger()->write(Logger::LOG_INFO, "remove item: %d.", id);
    m_previewEditor.forgetItem(id);
    const auto listed = std::find(m_itemIds.begin(), m_itemIds.end(), id);
    if (listed != m_itemIds.end())
        m_itemIds.erase(listed);
    if (paired != m_effectiveTexts.end())
        m_effectiveTexts.erase(paired);
    publishOverlay();
}

void LiveProxy::getItemRect(int id, int *x, int *y, int *w, int *h)
{
    if (m_scene)
        m_scene->GetItemRect(id, x, y, w, h);
}

void LiveProxy::getItemSourceRect(int id, int *x, int *y, int *w, int *h)
{
    if (m_scene)
        m_scene->GetItemSourceRect(id, x, y, w, h);
}

void LiveProxy::setItemGeometry(int id, int x, int y, int w, int h)
{
    // An item without area could never be picked or resized again.
    if (w <= 0 || h <= 0) {
        logger()->write(Logger::LOG_WARN, "item %d keeps its place: size %d*%d refused.", id, w, h);
        return;
    }
    if (m_scene)
        m_scene->SetItemRect(id, x, y, w, h);
    publishOverlayFor(id);
}

void LiveProxy::setItemRect(int id, int x, int y, int w, int h)
{
    EffectiveTxtItem *pair = nullptr;
    if (findEffectiveText(id, &pair))
        pair->move(x, y);
    else
        setItemGeometry(id, x, y, w, h);
}

void LiveProxy::setItemRectAlt(int id, int x, int y, int w, int h)
{
    EffectiveTxtItem *pair = nullptr;
    if (findEffectiveText(id, &pair)) {
        // The picture's new place publishes itself.
        pair->move(x, y);
        return;
    }
    if (m_scene && w > 0 && h > 0)
        m_scene->SetItemRect2(id, x, y, w, h);
    publishOverlayFor(id);
}

void LiveProxy::adjustItemRect(int id, int previousWidth, int previousHeight)
{
    // Without a previous size there is no scale to keep.
    if (id <= 0 || previousWidth <= 0 || previousHeight <= 0)
        return;
    int sx = 0, sy = 0, sw = 0, sh = 0;
    int x = 0, y = 0, w = 0, h = 0;
    getItemSourceRect(id, &sx, &sy, &sw, &sh);
    getItemRect(id, &x, &y, &w, &h);
    const int newW = int(double(w) * sw / previousWidth + 0.5);
    const int newH = int(double(h) * sh / previousHeight + 0.5);
    setItemGeometry(id, x, y, newW, newH);
}

void LiveProxy::setItemAlpha(int id, int alpha)
{
    if (m_scene)
        m_scene->SetItemAlpha(id, alpha);
}

void LiveProxy::getItemAlpha(int id, int *alpha)
{
    if (m_scene)
        m_scene->GetItemAlpha(id, alpha);
}

bool LiveProxy::setItemSource(int id, const std::string &path)
{
    const char *files[] = {path.c_str()};
    return m_scene && m_scene->SetItemSourceFiles(id, files, 1);
}

void LiveProxy::getItemSource(int id, std::string *path)
{
    if (!m_scene)
        return;
    int count = 0;
    const char *const *files = m_scene->GetItemSourceFiles(id, &count);
    if (count > 0 && files && files[0] && path)
        *path = files[0];
    m_scene->FreeBuffer(files);
}

bool LiveProxy::lockFree(int id, const char *word)
{
    bool named = false;
    const std::string name = storedNameOf(id, &named);
    return !named || !scenereg::hasLockWord(name, word);
}

bool LiveProxy::canMoveItem(int id)
{
    return scenereg::isMovableType(itemType(id)) && scenereg::isActiveZ(getItemZorder(id)) && lockFree(id, kLockUnmove);
}

bool LiveProxy::canResizeItem(int id)
{
    return scenereg::isMovableType(itemType(id)) && scenereg::isActiveZ(getItemZorder(id)) &&
           lockFree(id, kLockUnresize);
}

bool LiveProxy::canShiftItem(int id)
{
    return scenereg::isShiftableType(itemType(id)) && scenereg::isActiveZ(getItemZorder(id)) &&
           lockFree(id, kLockUnshift);
}

bool LiveProxy::isItemSelectable(int id)
{
    return scenereg::isMovableType(itemType(id)) && scenereg::isActiveZ(getItemZorder(id));
}

void LiveProxy::setLockWord(int id, const char *word)
{
    bool named = false;
    const std::string name = storedNameOf(id, &named);
    if (named && !scenereg::hasLockWord(name, word))
        registerItem(id, scenereg::withLockWord(name, word));
}

void LiveProxy::clearLockWord(int id, const char *word)
{
    bool named = false;
    const std::string name = storedNameOf(id, &named);
    if (named && scenereg::hasLockWord(name, word))
        registerItem(id, scenereg::withoutLockWord(name, word));
}

void LiveProxy::setItemUnmove(int id) { setLockWord(id, kLockUnmove); }
void LiveProxy::setItemUnresize(int id) { setLockWord(id, kLockUnresize); }
void LiveProxy::setItemUnshift(int id) { setLockWord(id, kLockUnshift); }
void LiveProxy::clearItemUnmove(int id) { clearLockWord(id, kLockUnmove); }
void LiveProxy::clearItemUnresize(int id) { clearLockWord(id, kLockUnresize); }
void LiveProxy::clearItemUnshift(int id) { clearLockWord(id, kLockUnshift); }

std::string LiveProxy::registerNewItem(int id, const std::string &word, int layer, bool flagBeforeListing, int *z)
{
    const std::string name = makeItemName(word, id);
    registerItem(id, name);
    const int placed = autoSetItemZorder(id, layer);
    if (flagBeforeListing && m_scene)
        m_scene->SetItemFlag(id, true);
    m_itemIds.push_back(id);
    if (z)
        *z = placed;
    return name;
}
