#pragma once

// The arithmetic of the scene's bookkeeping, free of the engine: item types,
// z-order layers, lock words in item names, first free names and the
// z-order moves of the item list. The facade reads the engine into these
// records, lets them decide, and sends the outcome back to the engine.

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Item type codes as LiveProxy::itemType answers them.
enum SceneItemType {
    SceneItemOther = 0,
    SceneItemCustomCapture = 1,
    SceneItemCamera = 2,
    SceneItemText = 3,
    SceneItemEffectiveText = 4,
    SceneItemPicture = 5,
    SceneItemPlugin = 6,
    SceneItemShadow = 7,
    SceneItemEdge = 8,
    SceneItemPendant = 9,
    SceneItemScreenCapture = 10
};

namespace scenereg {

// Z-orders of the fixed layers and the bounds of the active layer, the only
// range whose items the user moves, resizes, restacks or picks.
constexpr int kZBottomPicture = 1;
constexpr int kZFullScreenCapture = 20;
constexpr int kZCamera = 50;
constexpr int kZShadow = 3000000;
constexpr int kZEdge = 4000000;
constexpr int kZWatermark = 5000000;
constexpr int kActiveZMin = 100;
constexpr int kActiveZMax = 2000000;
constexpr int kRenumberBase = 1000000;

enum Layer { LayerBottom = 0, LayerFullScreen = 1, LayerCamera = 2, LayerActive = 3,
             LayerShadow = 4, LayerEdge = 5, LayerWatermark = 6 };

// Most names tried before a search for a free name gives up.
constexpr int kNameSearchLimit = 10000;

bool isActiveZ(int z);
// The z-order of a fixed layer; nullopt for the active layer and any layer
// outside 0..6, whose items take the next active z-order.
std::optional<int> fixedLayerZ(int layer);
// Class of a z-order: -1 gives 7, 1 gives 0, 50 gives 2, the active range 3,
// 3000000 gives 4, 4000000 gives 5, anything else 7.
int itemLayer(int z);

// Type of an engine item of `kind`; `name` (may be null) decides between a
// plain picture or overlay and a shadow, edge or pendant.
int typeOfKind(int kind, const char *name);
// Pictures, texts, plug-ins, pendants and screen captures may be moved and
// resized; effective texts may only be restacked besides.
bool isMovableType(int type);
bool isShiftableType(int type);

// Lock words kept inside the item name.
constexpr char kLockUnmove[] = "unmove";
constexpr char kLockUnresize[] = "unresize";
constexpr char kLockUnshift[] = "unshift";
bool hasLockWord(const std::string &name, const std::string &word);
// name + "_" + word, unless the word is already there.
std::string withLockWord(const std::string &name, const std::string &word);
// The name without the word and the character before it.
std::string withoutLockWord(const std::string &name, const std::string &word);

// "word_start", "word_start+1", ... : the first that `isFree` accepts, at
// most `limit` tries; empty when none is free.
std::string firstFreeName(const std::string &word, int start, const std::function<bool(const std::string &)> &isFree,
                          int limit = kNameSearchLimit);

// One registered item as the z-order moves see it. A pair (effective text)
// stands on two z-orders: its picture at z and its text at textZ.
struct ZItem
{
    int id = 0;
    int z = -1;
    int textZ = -1; // equals z for a single item
    bool pair = false;
};

// A z-order to send to the engine. For a pair, z is the picture's z-order
// and the text takes textZ.
struct ZAssign
{
    int id = 0;
    int z = 0;
    int textZ = 0;
    bool pair = false;
};

// One swap of neighbours, as the log reports it and the engine gets it.
struct ZSwap
{
    int id = 0;
    int z = 0;
    int neighbour = 0;
    int neighbourZ = 0;
    std::vector<ZAssign> assigns;
};

// The registered items in list order, with their z-orders. Items that share
// a z-order are all kept, in list order.
class ZOrderBoard
{
public:
    ZOrderBoard() = default;
    // Ids of 0 or below are left out.
    explicit ZOrderBoard(std::vector<ZItem> items);

    const std::vector<ZItem> &items() const { return m_items; }
    const ZItem *find(int id) const;
    // Ascending z-order; equal z-orders in list order.
    std::vector<ZItem> ordered() const;
    // " [id z:z]" for every item in ascending z-order.
    std::string describe() const;

    // Swaps the item with the next active item above (below); nullopt when
    // it has no z-order or no such neighbour. The board follows the swap.
    std::optional<ZSwap> shiftUp(int id);
    std::optional<ZSwap> shiftDown(int id);

    // Gives the active items the z-orders from kRenumberBase upwards in
    // their order (a pair takes two); returns the assignments and sets
    // `maxActive` and `minActive`. Nothing changes for an empty board.
    std::vector<ZAssign> renumber(int *maxActive, int *minActive);

    // The counters as they stand after a restore: the lowest z-order of at
    // least kActiveZMin below kRenumberBase, the highest (a pair's text)
    // of at most kActiveZMax above it.
    int lowestActive() const;
    int highestActive() const;

private:
    int indexOf(int id) const;
    // Index of the nearest active item above (below) the item at `self`; -1 when none.
    int neighbourOf(int self, bool above) const;
    void apply(const ZAssign &a);

    std::vector<ZItem> m_items;
};

// The assignment that puts an item at z (a pair's picture at z, text z + 1).
ZAssign placeAt(const ZItem &item, int z);
// The assignment that puts an item with its top at z (a pair's picture at
// z - 1, text at z).
ZAssign placeBelow(const ZItem &item, int z);

} // namespace scenereg
