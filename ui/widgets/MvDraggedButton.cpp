#include "MvDraggedButton.h"

#include "PictureFile.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFont>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

MvDraggedButton::MvDraggedButton(QWidget *parent)
    : QPushButton(parent)
{
    setAcceptDrops(true);
}

MvDraggedButton::~MvDraggedButton() = default;

bool MvDraggedButton::HasImageSuffix(const QMimeData *data)
{
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty())
        return false;
    const QString suffix = urls.first().toLocalFile().right(4);
    return suffix == QLatin1String(".jpg") || suffix == QLatin1String(".bmp")
        || suffix == QLatin1String(".png") || suffix == QLatin1String(".gif");
}

void MvDraggedButton::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->urls().isEmpty())
        return;
    if (HasImageSuffix(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void MvDraggedButton::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty())
        return;
    const QString path = urls.first().toLocalFile();
    // The header is enough here: the picture page judges the picture.
    if (!picturefile::headerSize(path).isValid())
        return;
    emit signal_draggedpicture(path);
}

void MvDraggedButton::paintEvent(QPaintEvent *)
{
    const int w = width();
    const int h = height();
    QPainter painter(this);

    painter.setPen(QPen(QColor(0xeb, 0xec, 0xf0), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect().adjusted(1, 1, -1, -1), 2, 2, Qt::AbsoluteSize);

    QFont font(QStringLiteral("微软雅黑"));
    font.setPixelSize(12);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0x26, 0x29, 0x38));
    painter.drawText(QRect(0, 0, w, h / 2), Qt::AlignHCenter | Qt::AlignBottom,
                     QStringLiteral("点击添加图片"));

    font.setBold(false);
    painter.setFont(font);
    painter.setPen(QColor(0x7f, 0x8b, 0x99));
    painter.drawText(QRect(0, h / 2, w, h), Qt::AlignHCenter | Qt::AlignTop,
                     QStringLiteral("或拖拽至这里"));
}
