#include "RuntimePictures.h"

#include "Logger.h"

#include <QFileInfo>
#include <QImageReader>

namespace runtimepictures {

QString pictureProblem(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("missing");
    // canRead() looks at the header only; a cut-off file fails on reading.
    QImageReader reader(path);
    if (!info.isFile() || !reader.canRead() || reader.read().isNull())
        return QStringLiteral("not a picture");
    return QString();
}

void logDrop(const char *what, const QString &path, const QString &reason)
{
    Logger::instance()->write(Logger::LOG_WARN, "drop %s: %s (%s)", what, path.toUtf8().constData(),
                              reason.toUtf8().constData());
}

void logDroppedPicture(const char *what, const QString &path)
{
    const QString problem = pictureProblem(path);
    logDrop(what, path, problem.isEmpty() ? QStringLiteral("refused") : problem);
}

} // namespace runtimepictures
