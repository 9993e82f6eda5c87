#include "SceneRegistry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace scenereg {

bool isActiveZ(int z)
{
    return z >= kActiveZMin && z <= kActiveZMax;
}

std::optional<int> fixedLayerZ(int layer)
{
    switch (layer) {
    case LayerBottom: return kZBottomPicture;
    case LayerFullScreen: return kZFullScreenCapture;
    case LayerCamera: return kZCamera;
    case LayerShadow: return kZShadow;
    case LayerEdge: return kZEdge;
    case LayerWatermark: return kZWatermark;
    default: return std::nullopt;
    }
}

int itemLayer(int z)
{
    if (z == kZBottomPicture)
        return LayerBottom;
    if (z == kZCamera)
        return LayerCamera;
    if (isActiveZ(z))
        return LayerActive;
    if (z == kZShadow)
        return LayerShadow;
    if (z == kZEdge)
        return LayerEdge;
    return 7;
}

namespace {

bool startsWith(const char *name, const char *prefix)
{
    return std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

} // namespace

int typeOfKind(int kind, const char *name)
{
    switch (kind) {
    case 0: return SceneItemCustomCapture;
    case 1: return SceneItemCamera;
    case 2: return SceneItemScreenCapture;
    case 4: return SceneItemText;
    case 14: return SceneItemPlugin;
    case 7:
    case 15:
        if (name && startsWith(name, "shadow"))
            return SceneItemShadow;
        if (name && startsWith(name, "edge"))
            return SceneItemEdge;
        if (name && startsWith(name, "pendant"))
            return SceneItemPendant;
        return kind == 7 ? SceneItemPicture : SceneItemOther;
    default: return SceneItemOther;
    }
}

bool isMovableType(int type)
{
    switch (type) {
    case SceneItemText:
    case SceneItemPicture:
    case SceneItemPlugin:
    case SceneItemPendant:
    case SceneItemScreenCapture:
        return true;
    default:
        return false;
    }
}

bool isShiftableType(int type)
{
    return type == SceneItemEffectiveText || isMovableType(type);
}

bool hasLockWord(const std::string &name, const std::string &word)
{
    return name.find(word) != std::string::npos;
}

std::string withLockWord(const std::string &name, const std::string &word)
{
    return hasLockWord(name, word) ? name : name + "_" + word;
}

std::string withoutLockWord(const std::string &name, const std::string &word)
{
    const size_t p = name.find(word);
    if (p == std::string::npos)
        return name;
    std::string out = name;
    if (p == 0)
        out.erase(0, word.size());
    else
        out.erase(p - 1, word.size() + 1);
    return out;
}

std::string firstFreeName(const std::string &word, int start, const std::function<bool(const std::string &)> &isFree,
                          int limit)
{
    for (int n = 0; n < limit; ++n) {
        const std::string candidate = word + "_" + std::to_string(static_cast<long long>(start) + n);
        if (isFree(candidate))
            return candidate;
    }
    return std::string();
}

ZAssign placeAt(const ZItem &item, int z)
{
    return ZAssign{item.id, z, item.pair ? z + 1 : z, item.pair};
}

ZAssign placeBelow(const ZItem &item, int z)
{
    return item.pair ? ZAssign{item.id, z - 1, z, true} : ZAssign{item.id, z, z, false};
}

ZOrderBoard::ZOrderBoard(std::vector<ZItem> items)
{
    m_items.reserve(items.size());
    for (ZItem &it : items) {
        if (it.id <= 0)
            continue;
        if (!it.pair)
            it.textZ = it.z;
        m_items.push_back(it);
    }
}

int ZOrderBoard::indexOf(int id) const
{
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].id == id)
            return int(i);
    return -1;
}

const ZItem *ZOrderBoard::find(int id) const
{
    const int i = indexOf(id);
    return i < 0 ? nullptr : &m_items[size_t(i)];
}

std::vector<ZItem> ZOrderBoard::ordered() const
{
    std::vector<ZItem> out = m_items;
    std::stable_sort(out.begin(), out.end(), [](const ZItem &a, const ZItem &b) { return a.z < b.z; });
    return out;
}

std::string ZOrderBoard::describe() const
{
    std::string text;
    text.reserve(m_items.size() * 20);
    char entry[40];
    for (const ZItem &it : ordered()) {
        const int n = std::snprintf(entry, sizeof(entry), " [%d z:%d]", it.id, it.z);
        text.append(entry, size_t(n));
    }
    return text;
}

void ZOrderBoard::apply(const ZAssign &a)
{
    const int i = indexOf(a.id);
    if (i < 0)
        return;
    ZItem &it = m_items[size_t(i)];
    it.z = a.z;
    it.textZ = it.pair ? a.textZ : a.z;
}

int ZOrderBoard::neighbourOf(int self, bool above) const
{
    const int myZ = m_items[size_t(self)].z;
    int best = -1;
    for (size_t j = 0; j < m_items.size(); ++j) {
        const ZItem &o = m_items[j];
        if (int(j) == self || !isActiveZ(o.z) || (above ? o.z <= myZ : o.z >= myZ))
            continue;
        // Strictly nearer only: on equal z-orders the earlier item stays chosen.
        if (best < 0 || (above ? o.z < m_items[size_t(best)].z : o.z > m_items[size_t(best)].z))
            best = int(j);
    }
    return best;
}

std::optional<ZSwap> ZOrderBoard::shiftUp(int id)
{
    const int self = indexOf(id);
    const int best = self < 0 || m_items[size_t(self)].z == -1 ? -1 : neighbourOf(self, true);
    if (best < 0)
        return std::nullopt;
    const ZItem me = m_items[size_t(self)];
    const ZItem nb = m_items[size_t(best)];
    const int myZ = me.z;
    const int nz = nb.pair ? nb.textZ : nb.z;
    ZSwap swap{id, myZ, nb.id, nz, {placeBelow(me, nz), placeAt(nb, myZ)}};
    for (const ZAssign &a : swap.assigns)
        apply(a);
    return swap;
}

std::optional<ZSwap> ZOrderBoard::shiftDown(int id)
{
    const int self = indexOf(id);
    const int best = self < 0 || m_items[size_t(self)].z == -1 ? -1 : neighbourOf(self, false);
    if (best < 0)
        return std::nullopt;
    const ZItem me = m_items[size_t(self)];
    const ZItem nb = m_items[size_t(best)];
    const int myZ = me.pair ? me.textZ : me.z;
    const int nz = nb.z;
    ZSwap swap{id, myZ, nb.id, nz, {placeAt(me, nz), placeBelow(nb, myZ)}};
    for (const ZAssign &a : swap.assigns)
        apply(a);
    return swap;
}

std::vector<ZAssign> ZOrderBoard::renumber(int *maxActive, int *minActive)
{
    std::vector<ZAssign> assigns;
    if (m_items.empty())
        return assigns;
    int n = 0;
    for (const ZItem &it : ordered()) {
        if (!isActiveZ(it.z))
            continue;
        assigns.push_back(placeAt(it, kRenumberBase + n));
        n += it.pair ? 2 : 1;
    }
    for (const ZAssign &a : assigns)
        apply(a);
    if (maxActive)
        *maxActive = n + kRenumberBase - 1;
    if (minActive)
        *minActive = kRenumberBase;
    return assigns;
}

int ZOrderBoard::lowestActive() const
{
    int low = kRenumberBase;
    for (const ZItem &it : m_items)
        if (it.z >= kActiveZMin && it.z < low)
            low = it.z;
    return low;
}

int ZOrderBoard::highestActive() const
{
    int high = kRenumberBase;
    for (const ZItem &it : m_items) {
        const int top = it.pair ? it.textZ : it.z;
        if (top <= kActiveZMax && top > high)
            high = top;
    }
    return high;
}

} // namespace scenereg
