#pragma once

#include <QString>

namespace mvplatform {

// Starting a program when the user logs in: an autostart entry
// $XDG_CONFIG_HOME/autostart/<name>.desktop, which desktop sessions run at
// login (the freedesktop.org autostart convention).
class StartWithLogin
{
public:
    // Where the entry of that name lives. Empty for a name that cannot be a
    // file name of its own (empty, ".", "..", or holding '/' or a control
    // character).
    static QString entryPath(const QString &name);

    // on: writes (or replaces) the entry that starts the program file;
    // off: removes the entry, which is no failure when there is none.
    // False, with a warning, when the name or program cannot be written or
    // the file system refuses; an earlier entry is then left as it was.
    static bool set(const QString &name, const QString &programPath, bool on);

    static bool isSet(const QString &name);

    // The entry's Exec value for a program path: the path as one quoted
    // argument, escaped for the desktop-entry format.
    static QString execValue(const QString &programPath);
};

} // namespace mvplatform
