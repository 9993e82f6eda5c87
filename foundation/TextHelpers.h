#pragma once

#include <cstddef>
#include <string>

class QWidget;

// Text conversions. Wide text is UTF-16 in std::u16string; the local 8-bit
// and "ANSI" code pages are UTF-8 on this platform.
std::u16string utf8ToWstring(const std::string &utf8);
std::string wstringToUtf8(const std::u16string &wide);
std::string wstringToAnsi(const std::u16string &wide);
std::u16string ansiToWstring(const std::string &ansi);
std::string local8BitToUtf8(const std::string &local);

// True exactly when 3 * width == 4 * height (resp. 9 * width == 16 * height).
// A width or height of 0 or below answers false.
bool isAspect4x3(int width, int height);
bool isAspect16x9(int width, int height);

// Closes every visible standard dialog box (file, colour or font dialog) whose
// parent widget lies in `window`'s window (its owner, as the window system sees
// it); every other window is left alone. Standard dialogs owned by such a
// dialog are closed first. Takes the widget, not a native handle: dialogs are
// found among QApplication's top-level widgets. Each closed dialog is reported
// on Qt's debug output. Must run on the GUI thread.
void closeOwnedDialogs(QWidget *window);

// Length of the longest prefix of the first `length` bytes of `text` that does
// not end inside a UTF-8 character.
int utf8CompletePrefixLength(const char *text, int length);
// True when the bytes are well-formed UTF-8.
bool isValidUtf8(const char *text, size_t length);
