#include "WidgetPictures.h"

#include <QPoint>
#include <QRegion>
#include <QWidget>

namespace testsupport {

QImage renderOf(QWidget &widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

QString writeSolidPicture(const QString &path, const QSize &size, const QColor &color)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    image.save(path);
    return path;
}

} // namespace testsupport
