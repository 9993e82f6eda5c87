#include "LiveProxy.h"

#include "Logger.h"

// Z-order moves of the registered items. Each reads the z-orders from the
// engine into a ZOrderBoard, lets it decide and sends the changes back.

namespace {

Logger *logger()
{
    return Logger::instance();
}

} // namespace


scenereg::ZOrderBoard LiveProxy::readBoard()
{
    std::vector<scenereg::ZItem> items;
    items.reserve(m_itemIds.size());
    for (int id : m_itemIds) {
        if (id <= 0)
            continue;
        scenereg::ZItem item;
        item.id = id;
        item.z = getItemZorder(id);
        EffectiveTxtItem *pair = nullptr;
        if (findEffectiveText(id, &pair)) {
            item.pair = true;
            item.textZ = pair->textZ();
        }
        items.push_back(item);
    }
    return scenereg::ZOrderBoard(std::move(items));
}

void LiveProxy::applyZ(const scenereg::ZAssign &assign)
{
    EffectiveTxtItem *pair = nullptr;
    if (assign.pair && findEffectiveText(assign.id, &pair))
        pair->setZ(assign.z);
    else
        setItemZorder(assign.id, assign.z);
}

void LiveProxy::sortedItemIds(std::vector<int> &ids)
{
    ids.clear();
    for (const scenereg::ZItem &item : readBoard().ordered())
        ids.push_back(item.id);
}

void LiveProxy::activeItemIds(std::vector<int> &ids)
{
    ids.clear();
    for (const scenereg::ZItem &item : readBoard().ordered())
        if (scenereg::isActiveZ(item.z))
            ids.push_back(item.id);
}

int LiveProxy::getItemZorder(int id)
{
    return m_scene ? m_scene->GetItemZ(id) : -1;
}

void LiveProxy::setItemZorder(int id, int z)
{
    if (m_scene)
        m_scene->SetItemZ(id, z);
    // Outside the active range an item has no handles.
    publishOverlayFor(id);
}

int LiveProxy::zorderForLayer(int layer)
{
    if (const std::optional<int> z = scenereg::fixedLayerZ(layer))
        return *z;
    return ++m_maxActiveZ;
}

int LiveProxy::autoSetItemZorder(int id, int layer)
{
    int z = zorderForLayer(layer);
    if (layer == scenereg::LayerActive && z > scenereg::kActiveZMax - 1) {
        renumberActiveZorders();
        z = zorderForLayer(scenereg::LayerActive);
    }
    setItemZorder(id, z);
    logger()->write(Logger::LOG_INFO, "autoSetItemZorder: id(%d) z(%d).", id, z);
    return z;
}

void LiveProxy::renumberActiveZorders()
{
    scenereg::ZOrderBoard board = readBoard();
    for (const scenereg::ZAssign &assign : board.renumber(&m_maxActiveZ, &m_minActiveZ))
        applyZ(assign);
}

int LiveProxy::minActiveZorder()
{
    return readBoard().lowestActive();
}

int LiveProxy::maxActiveZorder()
{
    return readBoard().highestActive();
}

void LiveProxy::applySwap(const char *what, const scenereg::ZSwap &swap, const scenereg::ZOrderBoard &board)
{
    for (const scenereg::ZAssign &assign : swap.assigns)
        applyZ(assign);
    logger()->write(Logger::LOG_INFO, "%s %d z(%d) <-> %d z(%d).", what, swap.id, swap.z, swap.neighbour,
                    swap.neighbourZ);
    logger()->write(Logger::LOG_INFO, "all items %s.", board.describe().c_str());
}

void LiveProxy::shiftUpItem(int id)
{
    if (!canShiftItem(id))
        return;
    scenereg::ZOrderBoard board = readBoard();
    if (const std::optional<scenereg::ZSwap> swap = board.shiftUp(id))
        applySwap("shift_up_item", *swap, board);
}

void LiveProxy::shiftDownItem(int id)
{
    if (!canShiftItem(id))
        return;
    scenereg::ZOrderBoard board = readBoard();
    if (const std::optional<scenereg::ZSwap> swap = board.shiftDown(id))
        applySwap("shift_down_item", *swap, board);
}

void LiveProxy::moveItemToTop(int id)
{
    if (!canShiftItem(id) || getItemZorder(id) == -1)
        return;
    EffectiveTxtItem *pair = nullptr;
    const bool isPair = findEffectiveText(id, &pair);
    const int z = isPair ? pair->textZ() : getItemZorder(id);
    const int step = isPair ? 2 : 1;
    if (z == m_maxActiveZ)
        return;
    if (m_maxActiveZ + step > scenereg::kActiveZMax - 1) {
        renumberActiveZorders();
        findEffectiveText(id, &pair);
    }
    m_maxActiveZ += step;
    if (isPair)
        pair->setZBelow(m_maxActiveZ);
    else
        setItemZorder(id, m_maxActiveZ);
    logger()->write(Logger::LOG_INFO, "max active item z-order: %d.", m_maxActiveZ);
}

void LiveProxy::moveItemToBottom(int id)
{
    if (!canShiftItem(id) || getItemZorder(id) == -1)
        return;
    EffectiveTxtItem *pair = nullptr;
    const bool isPair = findEffectiveText(id, &pair);
    const int z = isPair ? pair->pictureZ() : getItemZorder(id);
    const int step = isPair ? 2 : 1;
    if (z == m_minActiveZ)
        return;
    if (m_minActiveZ - step < scenereg::kActiveZMin + 1) {
        renumberActiveZorders();
        findEffectiveText(id, &pair);
    }
    m_minActiveZ -= step;
    if (isPair)
        pair->setZ(m_minActiveZ);
    else
        setItemZorder(id, m_minActiveZ);
    logger()->write(Logger::LOG_INFO, "min active item z-order: %d.", m_minActiveZ);
}

void LiveProxy::shiftItem(int id, int target)
{
    if (!canShiftItem(id) || !canShiftItem(target))
        return;
    int myZ = getItemZorder(id);
    int targetZ = getItemZorder(target);
    if (myZ == -1 || targetZ == -1)
        return;
    logger()->write(Logger::LOG_INFO, "shift_item %d z(%d) <-> %d z(%d).", id, myZ, target, targetZ);
    logAllItems();
    // One reading of the scene serves every step: each step is the same swap
    // that shiftUpItem or shiftDownItem would make, sent to the engine at once.
    scenereg::ZOrderBoard board = readBoard();
    const bool down = targetZ < myZ;
    const size_t limit = m_itemIds.size() + 1;
    for (size_t step = 0; step < limit; ++step) {
        const scenereg::ZItem *me = board.find(id);
        const scenereg::ZItem *other = board.find(target);
        if (!me || !other || (down ? me->z <= other->z : me->z >= other->z))
            break;
        const std::optional<scenereg::ZSwap> swap = down ? board.shiftDown(id) : board.shiftUp(id);
        if (!swap)
            break;
        applySwap(down ? "shift_down_item" : "shift_up_item", *swap, board);
    }
    logAllItems();
    logger()->write(Logger::LOG_INFO, "shift_item end.");
}

void LiveProxy::logAllItems()
{
    logger()->write(Logger::LOG_INFO, "all items %s.", readBoard().describe().c_str());
}
