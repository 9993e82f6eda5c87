#include "CastCoreScene.h"

#include "CastCoreSceneCalls.h"
#include "EngineCalls.h"

#include <QFileInfo>

#include <algorithm>

// The named items, kept in the scene file from one run to the next.

namespace castcore {

CastCoreSceneStore::CastCoreSceneStore(SceneState &state)
    : m_state(state)
{
}

bool CastCoreSceneStore::OpenFile(const char *name, const char *path)
{
    enter("OpenFile", {arg(name), arg(path)});
    if (!path || !*path)
        return false;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return m_state.load(path);
}

bool CastCoreSceneStore::IsNameFree(const char *name)
{
    enter("IsNameFree", {arg(name)});
    if (!name || !*name)
        return false;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return !m_state.nameHeld(name, 0);
}

bool CastCoreSceneStore::SetItemName(int id, const char *name)
{
    enter("SetItemName", {arg(id), arg(name)});
    if (scriptedRefusal("SetItemName") || !name || !*name)
        return false;
    const std::string n(name);
    if (!SceneState::nameFits(n))
        return false;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    SceneItem *it = m_state.item(id);
    if (!it || m_state.nameHeld(n, id))
        return false;
    if (StoreEntry *e = it->name.empty() ? nullptr : m_state.entry(it->name)) {
        e->name = n;
    } else {
        StoreEntry fresh;
        fresh.name = n;
        fresh.liveId = id;
        m_state.entries.push_back(std::move(fresh));
    }
    it->name = n;
    m_state.save();
    return true;
}

bool CastCoreSceneStore::Remove(const char *name)
{
    enter("Remove", {arg(name)});
    if (!name || !*name)
        return false;
    const std::string n(name);
    std::lock_guard<std::mutex> lock(m_state.mutex);
    bool removed = false;
    for (auto e = m_state.entries.begin(); e != m_state.entries.end(); ++e) {
        if (e->name != n)
            continue;
        if (e->liveId > 0)
            m_state.eraseItem(e->liveId);
        m_state.entries.erase(e);
        removed = true;
        break;
    }
    for (auto it = m_state.items.begin(); it != m_state.items.end();) {
        if (it->second.name == n) {
            it = m_state.items.erase(it);
            removed = true;
        } else {
            ++it;
        }
    }
    if (removed)
        m_state.save();
    return removed;
}

int CastCoreSceneStore::Count()
{
    enter("Count");
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return int(m_state.entries.size());
}

int CastCoreSceneStore::Fill(SceneItemRecord *records, int count)
{
    enter("Fill", {ptrArg(records), arg(count)});
    if (!records || count <= 0)
        return 0;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    const int n = std::min<int>(count, int(m_state.entries.size()));
    for (int i = 0; i < n; ++i) {
        const StoreEntry &e = m_state.entries[size_t(i)];
        const SceneItem it = m_state.snapshot(e);
        SceneItemRecord r;
        r.kind = it.kind;
        r.id = e.liveId;
        r.x = it.x;
        r.y = it.y;
        r.width = it.width;
        r.height = it.height;
        r.z = it.z;
        r.alpha = it.alpha;
        r.sourceWidth = it.sourceWidth;
        r.sourceHeight = it.sourceHeight;
        r.flag = it.flag;
        qstrncpy(r.name, e.name.c_str(), sizeof(r.name));
        if (!it.sources.empty())
            qstrncpy(r.source, it.sources.front().c_str(), sizeof(r.source));
        records[i] = r;
    }
    return n;
}

int CastCoreSceneStore::Open(const char *name)
{
    enter("Open", {arg(name)});
    if (!name || !*name)
        return -1;
    const std::string n(name);
    if (auto code = control().openFailure(n))
        return *code;
    if (auto f = scriptedFailure("Open"))
        return *f;
    const World world = control().world();
    std::unique_lock<std::mutex> lock(m_state.mutex);
    StoreEntry *e = m_state.entry(n);
    if (!e)
        return -1;
    if (e->liveId > 0 && m_state.item(e->liveId))
        return e->liveId;
    SceneItem it = e->saved;
    const bool pluginKnown = m_state.pluginKnown(it.plugin, world.plugins);
    lock.unlock();

    // The source must still be there.
    switch (it.kind) {
    case KindPicture:
        if (it.sources.empty() || !imageFileSize(it.sources.front(), &it.sourceWidth, &it.sourceHeight))
            return -2;
        break;
    case KindOverlayFile:
        if (it.sources.empty() || !QFileInfo(QString::fromStdString(it.sources.front())).isFile())
            return -2;
        break;
    case KindCamera:
        if (!findCamera(availableCameras(world), it.cameraDevice))
            return -3;
        break;
    case KindPlugin:
        if (!pluginKnown)
            return -4;
        break;
    case KindScreenCapture:
        if (it.display < 0 || it.display >= int(world.displays.size()))
            return -5;
        break;
    case KindText:
        textSourceSize(it.text, &it.sourceWidth, &it.sourceHeight);
        break;
    default: // a custom capture source belongs to the run that added it
        return -6;
    }

    lock.lock();
    e = m_state.entry(n);
    if (!e)
        return -1;
    if (e->liveId > 0 && m_state.item(e->liveId))
        return e->liveId;
    it.name = n;
    it.filter = nullptr;
    it.capture = nullptr;
    m_state.applyRelativeRect(it);
    const int id = m_state.addItem(std::move(it));
    e->liveId = id;
    return id;
}

bool CastCoreSceneStore::GetItemName(int id, char *buffer, int size)
{
    enter("GetItemName", {arg(id), arg(size)});
    if (scriptedRefusal("GetItemName") || !buffer || size <= 0)
        return false;
    return m_state.withItem(id, [&](SceneItem &it) {
        // A cut name would address another item later: refuse instead.
        if (it.name.empty() || int(it.name.size()) >= size)
            return false;
        qstrncpy(buffer, it.name.c_str(), uint(size));
        return true;
    });
}

int CastCoreSceneStore::Kind(int id)
{
    enter("Kind", {arg(id)});
    std::lock_guard<std::mutex> lock(m_state.mutex);
    const SceneItem *it = m_state.item(id);
    return it ? it->kind : -1;
}

} // namespace castcore
