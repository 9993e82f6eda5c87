#pragma once

#include <QString>

class QFile;

// The one way a file the user names is opened for reading: only a regular
// file (a link to one is fine), and never by blocking. A FIFO would hold the
// reader in open() until some writer came, and a device or a folder never
// holds a picture or a document: each is refused at once, and so is one
// swapped in between the check and the open. Safe on the GUI thread.
namespace regularfile {

// The reason given for anything but a regular file.
QString notRegularReason();

// Opens `path` read-only into `file`, which then reads that descriptor;
// nothing opens the path again. False with the reason in `*error` (when
// given): notRegularReason(), or the system's words for a missing or
// unreadable file.
bool open(const QString &path, QFile &file, QString *error = nullptr);

} // namespace regularfile
