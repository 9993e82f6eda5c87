#include "PictureFile.h"

#include "Logger.h"
#include "RegularFile.h"

#include <QFile>
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

// The program's own pictures are built in; only a file on disk can be a
// FIFO or a device.
bool openPicture(const QString &path, QFile &file, QString *why)
{
    if (path.isEmpty()) {
        *why = QStringLiteral("no file");
        return false;
    }
    if (!path.startsWith(QLatin1Char(':')))
        return regularfile::open(path, file, why);
    file.setFileName(path);
    if (file.open(QIODevice::ReadOnly))
        return true;
    *why = file.errorString();
    return false;
}

QSize claimedSize(QImageReader &reader)
{
    const QSize size = reader.size();
    return size.isValid() && !size.isEmpty() ? size : QSize();
}

QSize readHeader(const QString &path, QString *why)
{
    QFile file;
    if (!openPicture(path, file, why))
        return QSize();
    QImageReader reader(&file);
    const QSize size = claimedSize(reader);
    if (!size.isValid())
        *why = QStringLiteral("not a picture");
    return size;
}

} // namespace

QSize headerSize(const QString &path)
{
    QString why;
    return readHeader(path, &why);
}

bool withinLimit(const QSize &size)
{
    return size.width() <= kMaxWidth && size.height() <= kMaxHeight;
}

QString refusal(const QString &path, QSize *size)
{
    QString why;
    const QSize claimed = readHeader(path, &why);
    if (size)
        *size = claimed;
    QString shown;
    if (!claimed.isValid()) {
        shown = QStringLiteral("图片读取失败!");
    } else if (!withinLimit(claimed)) {
        why = QStringLiteral("%1x%2").arg(claimed.width()).arg(claimed.height());
        shown = QStringLiteral("图片尺寸不能超过1920*1080！");
    } else {
        return QString();
    }
    Logger::instance()->write(Logger::LOG_WARN, "picture refused: %s (%s: %s)", path.toUtf8().constData(),
                              why.toUtf8().constData(), shown.toUtf8().constData());
    return shown;
}

QSize fittedSize(const QSize &size, const QSize &box, const QSize &reach)
{
    if (size.width() >= reach.width() || size.height() >= reach.height())
        return size.scaled(box, Qt::KeepAspectRatio);
    return size;
}

QImage read(const QString &path, const QSize &size)
{
    QFile file;
    QString why;
    if (!openPicture(path, file, &why))
        return QImage();
    QImageReader reader(&file);
    const QSize claimed = claimedSize(reader);
    if (!claimed.isValid() || !withinLimit(claimed))
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
