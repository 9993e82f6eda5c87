#include "ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

namespace mvplatform {

bool ShellOpen::openFile(const QString &path)
{
    if (path.isEmpty())
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool ShellOpen::openPage(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return false;
    return QDesktopServices::openUrl(url);
}

} // namespace mvplatform
