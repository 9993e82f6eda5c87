#include "PictureFile.h"

#include <QFileInfo>
#include <QImageReader>
#include <QPixmapCache>

namespace picturefile {

namespace {

DecodeObserver &observer()
{
    static DecodeObserver o;
    return o;
}

} // namespace

QSize headerSize(const QString &path)
{
    if (path.isEmpty())
        return QSize();
    QImageReader reader(path);
    const QSize size = reader.size();
    return size.isValid() && !size.isEmpty() ? size : QSize();
}

bool withinLimit(const QSize &size)
{
    return size.width() <= kMaxWidth && size.height() <= kMaxHeight;
}

QSize fittedSize(const QSize &size, const QSize &box, const QSize &reach)
{
    if (size.width() >= reach.width() || size.height() >= reach.height())
        return size.scaled(box, Qt::KeepAspectRatio);
    return size;
}

QImage read(const QString &path, const QSize &size)
{
    QImageReader reader(path);
    const QSize claimed = reader.size();
    if (!claimed.isValid() || claimed.isEmpty() || !withinLimit(claimed))
        return QImage();
    const QSize target = size.isValid() && !size.isEmpty() ? size : claimed;
    if (target != claimed)
        reader.setScaledSize(target);
    if (observer())
        observer()(path, target);
    return reader.read();
}

QPixmap pixmapAt(const QString &path, const QSize &size)
{
    const QFileInfo info(path);
    const QString key = QStringLiteral("picturefile:%1:%2x%3:%4:%5")
                            .arg(info.absoluteFilePath())
                            .arg(size.width())
                            .arg(size.height())
                            .arg(info.lastModified().toMSecsSinceEpoch())
                            .arg(info.size());
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    pixmap = QPixmap::fromImage(read(path, size));
    if (!pixmap.isNull())
        QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QPixmap fittedPixmap(const QString &path, const QSize &box, const QSize &reach)
{
    const QSize claimed = headerSize(path);
    if (!claimed.isValid() || !withinLimit(claimed))
        return QPixmap();
    return pixmapAt(path, fittedSize(claimed, box, reach.isValid() ? reach : box));
}

void setDecodeObserver(DecodeObserver o)
{
    observer() = std::move(o);
}

} // namespace picturefile
