#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

class QWidget;

namespace testsupport {

// What the widget and its children paint, on a transparent image of the
// widget's size.
QImage renderOf(QWidget &widget);

// Writes a picture of one colour to `path` (format from its suffix, GIF
// included) and returns the path.
QString writeSolidPicture(const QString &path, const QSize &size, const QColor &color);

// A black PNG of 1-bit grey whose header claims `size`: a few kilobytes on
// disk (48 KB for 20000 x 20000) that would take seconds and gigabytes to
// decode. With `truncated`, the picture data breaks off after a few bytes,
// so a decode would fail. Returns the path.
QString writeHugeClaimPng(const QString &path, const QSize &size, bool truncated = false);

} // namespace testsupport
