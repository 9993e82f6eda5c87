#pragma once

#include <QString>

namespace mvplatform {

// Hands a file or a web page to the desktop, as a double-click in the file
// manager or a link in a mail would: the file opens with its usual program,
// the page in the user's browser. Goes through QDesktopServices, so tests
// record what would have been opened (QDesktopServices::setUrlHandler).
class ShellOpen
{
public:
    // A local file, by path. False when the desktop refused it.
    static bool openFile(const QString &path);
    // A page, by its full address. False for a text that is no valid
    // address, or when the desktop refused it.
    static bool openPage(const QString &address);
};

} // namespace mvplatform
