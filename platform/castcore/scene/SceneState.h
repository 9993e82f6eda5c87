#pragma once

// The engine's item table and saved scene, shared by the scene, the store
// and the plug-in host. Every member is guarded by `mutex`; the helpers
// expect the caller to hold it, except withItem(), which takes it.

#include "SceneItem.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

namespace castcore {

// One saved item. An open entry follows its live item; a closed one keeps
// what the scene file or the last close held.
struct StoreEntry
{
    std::string name;
    int liveId = 0;
    SceneItem saved;
};

class SceneState
{
public:
    std::mutex mutex;

    std::map<int, SceneItem> items;
    std::vector<StoreEntry> entries; // in the order the names were given
    int canvasWidth = 0;
    int canvasHeight = 0;
    std::string path; // scene file; empty: nothing is written
    // Plug-in names ListPlugins handed out in this run, besides the world's.
    std::set<std::u16string> listedPlugins;

    // Whether a store name fits a scene record whole: a longer one would be
    // listed cut and could then be neither opened nor removed.
    static bool nameFits(const std::string &name);
    bool pluginKnown(const std::u16string &name, const std::vector<std::u16string> &worldPlugins) const;

    SceneItem *item(int id);
    // Runs use(item) with the table locked. False for an unknown id (or an
    // item of another kind); else what `use` answers, true if it answers
    // nothing.
    template <class Use>
    bool withItem(int id, Use use);
    template <class Use>
    bool withItem(int id, int kind, Use use);
    // Gives the item the next id (1, 2, 3 ..., never reused) and keeps it.
    int addItem(SceneItem item);
    // Keeps the item under `id` when that id was never handed out (later ids
    // follow it); false, keeping nothing, otherwise.
    bool addItemAt(SceneItem item, int id);
    void eraseItem(int id);
    // Marks the item's source settings as changed (the compositor re-reads them).
    void touch(SceneItem &item) { item.revision = ++m_revisions; }
    // Places an item with a relative rect on the canvas.
    void applyRelativeRect(SceneItem &item) const;
    void applyRelativeRects();

    StoreEntry *entry(const std::string &name);
    // Whether a live item (other than `exceptId`) or a saved entry holds the name.
    bool nameHeld(const std::string &name, int exceptId) const;
    // What the store would save for the entry now.
    SceneItem snapshot(const StoreEntry &entry) const;

    // Reads the scene file at `path` and keeps it as the file to write. A
    // missing file is an empty scene; an unreadable one is kept aside as
    // "<path>.bad" and read as empty (false).
    bool load(const std::string &path);
    // Writes every entry to the scene file, atomically.
    bool save();

    // Lists lent to the caller until FreeBuffer.
    void lend(const void *buffer, std::shared_ptr<void> owner);
    bool release(const void *buffer);
    int outstandingBuffers() const { return int(m_lent.size()); }

private:
    template <class Use>
    static bool answer(Use &use, SceneItem &item);

    int m_nextId = 1;
    uint64_t m_revisions = 0;
    std::map<const void *, std::shared_ptr<void>> m_lent;
};

template <class Use>
bool SceneState::withItem(int id, Use use)
{
    std::lock_guard<std::mutex> lock(mutex);
    SceneItem *it = item(id);
    return it && answer(use, *it);
}

template <class Use>
bool SceneState::withItem(int id, int kind, Use use)
{
    std::lock_guard<std::mutex> lock(mutex);
    SceneItem *it = item(id);
    return it && it->kind == kind && answer(use, *it);
}

template <class Use>
bool SceneState::answer(Use &use, SceneItem &item)
{
    if constexpr (std::is_void_v<decltype(use(item))>) {
        use(item);
        return true;
    } else {
        return use(item);
    }
}

} // namespace castcore
