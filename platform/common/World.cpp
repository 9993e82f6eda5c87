#include "World.h"

#include <QFile>
#include <QJsonDocument>

namespace mvplatform {

QJsonObject loadWorld()
{
    const QString path = qEnvironmentVariable("MORVASHOW_WORLD");
    if (path.isEmpty())
        return {};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll());
    return doc.isObject() ? doc.object() : QJsonObject();
}

} // namespace mvplatform
