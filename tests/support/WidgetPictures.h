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

} // namespace testsupport
