#pragma once

#include <QString>

// The pictures the program reads from its folder (effect/...) may be
// missing or damaged on a user's machine. The program goes on without
// each one, and the daily log names what it went without, one line each:
//   drop <what>: <path> (<reason>)
namespace runtimepictures {

// "missing" when nothing is there, "not a picture" when the file does not
// read as one; empty when it reads as a picture.
QString pictureProblem(const QString &path);

// Logs the drop of a picture or folder for the reason given.
void logDrop(const char *what, const QString &path, const QString &reason);

// Logs the drop of the picture at `path`, giving pictureProblem's reason or
// "refused" when the file itself reads well.
void logDroppedPicture(const char *what, const QString &path);

} // namespace runtimepictures
