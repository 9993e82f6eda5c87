#include "RecordFolder.h"

#include <QDir>
#include <QStandardPaths>

namespace mvplatform {

QString RecordFolder::defaultPath()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (base.isEmpty())
        base = QDir::homePath();
    return base + QStringLiteral("/摩瓦视频");
}

} // namespace mvplatform
