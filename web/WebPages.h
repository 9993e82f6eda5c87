#pragma once

#include <QString>

class WebPageFactory;

// The web page library, loaded the first time a page is asked for: the
// program does not carry a web engine until a user needs one.
class WebPages
{
public:
    // The library's factory; null when the library cannot be loaded, which
    // is logged once per path.
    static WebPageFactory *factory();

    // Why the last load failed; empty once one succeeded.
    static QString errorString();

    // What the user is told when no page can be shown.
    static QString unavailableText();

    // The library file to load, in place of the one beside the program.
    // Forgets a failed attempt.
    static void setLibraryPath(const QString &path);
    static QString libraryPath();
};
