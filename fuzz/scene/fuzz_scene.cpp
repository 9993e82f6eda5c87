// The engine layer's saved scene file, corrupt or hand-edited: every item is
// read, sized and placed as opening it would, and whatever loaded is written
// again and must read back with the same names.
#include "FuzzSupport.h"
#include "SceneState.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstdlib>

using namespace castcore;

namespace {

std::string scenePath()
{
    return QDir::temp().filePath(QStringLiteral("sceneList.zdb")).toStdString();
}

std::vector<std::string> names(const SceneState &state)
{
    std::vector<std::string> out;
    for (const StoreEntry &e : state.entries)
        out.push_back(e.name);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string path = scenePath();
    {
        QFile f(QString::fromStdString(path));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(fuzzsupport::bytes(data, size));
    }
    SceneState state;
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.load(path))
        return 0;
    state.canvasWidth = 1280;
    state.canvasHeight = 720;
    for (StoreEntry &e : state.entries) {
        SceneItem it = e.saved;
        if (it.kind == KindText)
            textSourceSize(it.text, &it.sourceWidth, &it.sourceHeight);
        state.applyRelativeRect(it);
        e.liveId = state.addItem(it);
    }
    state.applyRelativeRects();
    if (!state.save())
        return 0;

    SceneState again;
    std::lock_guard<std::mutex> lockAgain(again.mutex);
    if (!again.load(path) || names(again) != names(state)) {
        std::fprintf(stderr, "a scene that loaded did not read back after saving\n");
        std::abort();
    }
    return 0;
}
