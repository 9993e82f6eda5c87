#include "CastCoreScene.h"

#include "CastCoreSceneCalls.h"
#include "EngineCalls.h"
#include "RegularFile.h"
#include "sources/PictureDecoder.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

// Items made from files (pictures, overlays) and the files of an item.

namespace castcore {

bool imageFileSize(const std::string &path, int *width, int *height)
{
    const QString name = QString::fromStdString(path);
    QFile file;
    QString error;
    if (!regularfile::open(name, file, &error)) {
        warnPictureUnreadable(name, error);
        return false;
    }
    QImageReader reader(&file);
    QSize size = reader.size();
    if (!size.isValid()) {
        if (!reader.canRead())
            return false;
        size = reader.read().size();
    }
    if (!size.isValid() || size.isEmpty())
        return false;
    *width = size.width();
    *height = size.height();
    return true;
}

int CastCoreScene::CreateItem(const char *path, int x, int y, int widthPercent, int heightPercent)
{
    enter("CreateItem", {arg(path), arg(x), arg(y), arg(widthPercent), arg(heightPercent)});
    if (auto f = scriptedFailure("CreateItem"))
        return *f;
    if (!path)
        return -1;
    int w = 0;
    int h = 0;
    if (!imageFileSize(path, &w, &h))
        return -2;
    SceneItem it;
    it.kind = KindPicture;
    it.sources = {path};
    it.sourceWidth = w;
    it.sourceHeight = h;
    it.x = x;
    it.y = y;
    it.width = int(qint64(w) * widthPercent / 100);
    it.height = int(qint64(h) * heightPercent / 100);
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return m_state.addItem(std::move(it));
}

const char *const *CastCoreScene::GetItemSourceFiles(int id, int *count)
{
    enter("GetItemSourceFiles", {arg(id)});
    put(count, 0);
    if (scriptedRefusal("GetItemSourceFiles"))
        return nullptr;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    const SceneItem *it = m_state.item(id);
    if (!it || it->sources.empty())
        return nullptr;
    struct List
    {
        std::vector<std::string> files;
        std::vector<const char *> pointers;
    };
    auto list = std::make_shared<List>();
    list->files = it->sources;
    for (const std::string &f : list->files)
        list->pointers.push_back(f.c_str());
    const char *const *data = list->pointers.data();
    m_state.lend(data, list);
    put(count, int(list->files.size()));
    return data;
}

bool CastCoreScene::SetItemSourceFiles(int id, const char *const *files, int count)
{
    std::vector<std::string> args{arg(id), arg(count)};
    std::vector<std::string> list;
    bool valid = count > 0 && files;
    for (int i = 0; valid && i < count; ++i) {
        if (!files[i]) {
            valid = false;
            break;
        }
        list.push_back(files[i]);
        args.push_back(files[i]);
    }
    enter("SetItemSourceFiles", std::move(args));
    if (scriptedRefusal("SetItemSourceFiles") || !valid)
        return false;
    int kind = -1;
    if (!m_state.withItem(id, [&](SceneItem &it) { kind = it.kind; }))
        return false;
    int w = 0;
    int h = 0;
    if (kind == KindPicture && !imageFileSize(list.front(), &w, &h))
        return false;
    if (kind == KindOverlayFile && !QFileInfo::exists(QString::fromStdString(list.front())))
        return false;
    return m_state.withItem(id, [&](SceneItem &it) {
        it.sources = list;
        m_state.touch(it);
        if (kind == KindPicture) {
            it.sourceWidth = w;
            it.sourceHeight = h;
        }
    });
}

int CastCoreScene::AddOverlayFile(const char16_t *path)
{
    enter("AddOverlayFile", {arg(path)});
    if (auto f = scriptedFailure("AddOverlayFile"))
        return *f;
    if (!path)
        return -1;
    const QString file = QString::fromUtf16(path);
    if (!QFileInfo(file).isFile())
        return -2;
    SceneItem it;
    it.kind = KindOverlayFile;
    it.sources = {file.toStdString()};
    it.sourceWidth = kOverlayWidth;
    it.sourceHeight = kOverlayHeight;
    it.width = kOverlayWidth;
    it.height = kOverlayHeight;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return m_state.addItem(std::move(it));
}

} // namespace castcore
