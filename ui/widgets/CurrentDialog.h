#pragma once

#include <QDialog>
#include <QPointer>

// The dialog that now runs modally, as far as the dialogs maintain it: one
// process-wide pointer, not a stack. A dialog sets it to itself when it starts
// running and clears it only while it still points to that dialog. The main
// window hides it before quitting; the title bar rejects it on a forced
// relogin. Guarded, so a dialog deleted without clearing it reads as null.
// GUI thread only.
extern QPointer<QDialog> currentDialog;
