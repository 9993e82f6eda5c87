#pragma once

#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>

#include <functional>

// Pictures the user chooses are judged by the size their header claims and
// decoded no larger than they are shown: a small file may claim a huge
// picture, and decoding it whole would stall the GUI thread. Only a regular
// file is read (regularfile::open), so a FIFO, a device or a folder is
// refused at once instead of holding the GUI thread; the program's built-in
// pictures (":/...") are read as they are.
namespace picturefile {

constexpr int kMaxWidth = 1920;
constexpr int kMaxHeight = 1080;

// The size the file's header claims; invalid when no reader knows the file.
QSize headerSize(const QString &path);

// At most kMaxWidth x kMaxHeight.
bool withinLimit(const QSize &size);

// What a page that adds the picture at `path` tells the user when it
// refuses it: "图片读取失败!" when no header is read, "图片尺寸不能超过1920*1080！"
// beyond the limit; empty when the picture may be added. A refusal is
// logged with its reason and that text. `*size` gets the header's size.
QString refusal(const QString &path, QSize *size = nullptr);

// `size` fitted into `box` (aspect kept) when it reaches `reach` in either
// direction, else unchanged.
QSize fittedSize(const QSize &size, const QSize &box, const QSize &reach);

// The picture decoded at `size` (its own size when invalid). Null when the
// header is unreadable or beyond the limit, or the data is broken.
QImage read(const QString &path, const QSize &size = QSize());

// read() as a pixmap, kept in the pixmap cache so that painting does not
// decode it again.
QPixmap pixmapAt(const QString &path, const QSize &size = QSize());

// pixmapAt the header size fitted into `box` once it reaches `reach`
// (default `box`).
QPixmap fittedPixmap(const QString &path, const QSize &box, const QSize &reach = QSize());

// Sees every decode (path, decoded size) before it runs; empty to stop.
using DecodeObserver = std::function<void(const QString &path, const QSize &size)>;
void setDecodeObserver(DecodeObserver observer);

} // namespace picturefile
