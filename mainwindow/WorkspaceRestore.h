#pragma once

#include <QString>

// The plain rules the workspace applies when it starts the scene and lists
// the restored items.
namespace workspace {

// Row of the quality table for a saved quality index; row 1 for an index
// outside the table (or none saved).
int qualityRow(int index);

// A sticker is listed under its file's base name (without folder and without
// everything from the first dot), cut before its first '-': "heart-01.png"
// is "heart".
QString stickerDescription(const QString &path);

} // namespace workspace
