#pragma once

// The engine's item table and saved scene, shared by the scene, the store
// and the plug-in host. Every member is guarded by `mutex`; the helpers
// expect the caller to hold it.

#include "SceneItem.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
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

    SceneItem *item(int id);
    // Gives the item the next id (1, 2, 3 ..., never reused) and keeps it.
    int addItem(SceneItem item);
    void eraseItem(int id);
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
    int m_nextId = 1;
    std::map<const void *, std::shared_ptr<void>> m_lent;
};

} // namespace castcore
