#pragma once

#include <QString>

namespace mvplatform {

// The message box of the crash path.
//
// A box cannot be built inside a signal handler: the crashed process may hold
// any lock (the allocator's, Qt's) and its GUI state may be what broke. So
// the handler starts a fresh process, the box program, that shows the box;
// the crashed process waits until the user has closed it (as a system-modal
// box holds the process) and only then ends. The box program is a plain Qt
// program beside the program file (see boxProgramName). The text also goes
// to the standard error output, so it is never lost when no box can be shown
// (no display, box program missing).
class CrashMessage
{
public:
    // The box program's file name beside the program.
    static const char *boxProgramName();

    // Chooses the box program, before any crash: the handler cannot look
    // anything up. An empty path shows no box (standard error only).
    static void setBoxProgram(const QString &path);

    // From the signal handler (async-signal-safe): shows title and text
    // (UTF-8) and returns once the box is closed or could not be shown.
    static void show(const char *title, const char *text);

    // The box itself, for the box program: a modal box with the title, the
    // text and an OK button, above every other window. Returns when closed.
    static void runBox(const QString &title, const QString &text);
};

} // namespace mvplatform
