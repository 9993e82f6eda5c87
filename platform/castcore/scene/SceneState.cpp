#include "SceneState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace castcore {

namespace {
const char kFormatTag[] = "castcore-scene";
}

SceneItem *SceneState::item(int id)
{
    auto it = items.find(id);
    return it == items.end() ? nullptr : &it->second;
}

int SceneState::addItem(SceneItem item)
{
    item.id = m_nextId++;
    touch(item);
    const int id = item.id;
    items[id] = std::move(item);
    return id;
}

bool SceneState::addItemAt(SceneItem item, int id)
{
    if (id < m_nextId)
        return false;
    m_nextId = id + 1;
    item.id = id;
    touch(item);
    items[id] = std::move(item);
    return true;
}

bool SceneState::nameFits(const std::string &name)
{
    return name.size() < sizeof(SceneItemRecord::name);
}

bool SceneState::pluginKnown(const std::u16string &name, const std::vector<std::u16string> &worldPlugins) const
{
    return listedPlugins.count(name) > 0
        || std::find(worldPlugins.begin(), worldPlugins.end(), name) != worldPlugins.end();
}

void SceneState::eraseItem(int id)
{
    items.erase(id);
}

void SceneState::applyRelativeRect(SceneItem &it) const
{
    if (!it.hasRelativeRect || canvasWidth <= 0 || canvasHeight <= 0)
        return;
    it.x = int(std::lround(double(it.relX) * canvasWidth));
    it.y = int(std::lround(double(it.relY) * canvasHeight));
    if (it.relWidth > 0)
        it.width = int(std::lround(double(it.relWidth) * canvasWidth));
    if (it.relHeight > 0)
        it.height = int(std::lround(double(it.relHeight) * canvasHeight));
}

void SceneState::applyRelativeRects()
{
    for (auto &kv : items)
        applyRelativeRect(kv.second);
}

StoreEntry *SceneState::entry(const std::string &name)
{
    for (StoreEntry &e : entries)
        if (e.name == name)
            return &e;
    return nullptr;
}

bool SceneState::nameHeld(const std::string &name, int exceptId) const
{
    for (const StoreEntry &e : entries)
        if (e.name == name && (e.liveId == 0 || e.liveId != exceptId))
            return true;
    for (const auto &kv : items)
        if (kv.first != exceptId && kv.second.name == name)
            return true;
    return false;
}

SceneItem SceneState::snapshot(const StoreEntry &e) const
{
    if (e.liveId > 0) {
        auto it = items.find(e.liveId);
        if (it != items.end())
            return it->second;
    }
    return e.saved;
}

bool SceneState::load(const std::string &p)
{
    path = p;
    const QString file = QString::fromStdString(p);
    QFile f(file);
    if (!f.exists())
        return true;
    QJsonParseError error{};
    QJsonDocument doc;
    if (f.open(QIODevice::ReadOnly))
        doc = QJsonDocument::fromJson(f.readAll(), &error);
    f.close();
    const QJsonObject root = doc.object();
    if (error.error != QJsonParseError::NoError || !doc.isObject()
        || root.value(QStringLiteral("format")).toString() != QLatin1String(kFormatTag)
        || !root.value(QStringLiteral("items")).isArray()) {
        // Keep what cannot be read; the next save would overwrite it.
        const QString aside = file + QStringLiteral(".bad");
        QFile::remove(aside);
        QFile::copy(file, aside);
        return false;
    }
    for (const QJsonValue &v : root.value(QStringLiteral("items")).toArray()) {
        SceneItem it = SceneItem::fromJson(v.toObject());
        if (it.name.empty() || !nameFits(it.name) || it.kind < 0 || entry(it.name))
            continue;
        StoreEntry e;
        e.name = it.name;
        e.saved = std::move(it);
        entries.push_back(std::move(e));
    }
    return true;
}

bool SceneState::save()
{
    if (path.empty())
        return false;
    QJsonArray list;
    for (const StoreEntry &e : entries) {
        SceneItem it = snapshot(e);
        it.name = e.name;
        list.append(it.toJson());
    }
    QJsonObject root;
    root[QStringLiteral("format")] = QLatin1String(kFormatTag);
    root[QStringLiteral("version")] = 1;
    root[QStringLiteral("items")] = list;
    const QString file = QString::fromStdString(path);
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(QJsonDocument(root).toJson(QJsonDocument::Indented));
    return out.commit();
}

void SceneState::lend(const void *buffer, std::shared_ptr<void> owner)
{
    if (buffer)
        m_lent[buffer] = std::move(owner);
}

bool SceneState::release(const void *buffer)
{
    return m_lent.erase(buffer) > 0;
}

} // namespace castcore
