#include "WorkspaceRestore.h"

#include "CameraSettings.h"

#include <QFileInfo>

namespace workspace {

int qualityRow(int index)
{
    return index < 0 || index >= kClarityPresetCount ? 1 : index;
}

QString stickerDescription(const QString &path)
{
    const QString base = QFileInfo(path).baseName();
    const int dash = base.indexOf(QLatin1Char('-'));
    return dash < 0 ? base : base.left(dash);
}

} // namespace workspace
