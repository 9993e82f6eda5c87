#include "MvDragTableWidget.h"

#include "MvImageLabel.h"
#include "PictureFile.h"

#include <QCursor>
#include <QDataStream>
#include <QDebug>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>

namespace {

// The picture part of a cell; a press on the caption below starts no drag.
const QSize kDragHandleSize(108, 64);

} // namespace

MvDragTableWidget::MvDragTableWidget(QWidget *parent)
    : QTableWidget(parent)
{
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
}

MvDragTableWidget::~MvDragTableWidget() = default;

QString MvDragTableWidget::PuzzleMimeType()
{
    return QStringLiteral("image/x-puzzle-piece");
}

QByteArray MvDragTableWidget::EncodePuzzlePayload(int index, int page)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << qint32(index) << qint32(page);
    return data;
}

bool MvDragTableWidget::DecodePuzzlePayload(const QByteArray &data, int *index, int *page)
{
    QDataStream in(data);
    qint32 readIndex = 0;
    qint32 readPage = 0;
    in >> readIndex >> readPage;
    if (in.status() != QDataStream::Ok)
        return false;
    *index = readIndex;
    *page = readPage;
    return true;
}

MvDragTableWidget::PageTurn MvDragTableWidget::PageTurnSide(const QPoint &pos, const QRect &contents)
{
    // Only a drag leaving through the left or right side turns a page.
    if (pos.y() <= 0 || pos.y() >= contents.height())
        return NoPageTurn;
    return pos.x() < contents.width() / 2 ? PageBack : PageForward;
}

QPoint MvDragTableWidget::cursorInTable() const
{
    return mapFromGlobal(QCursor::pos());
}

int MvDragTableWidget::DropTargetColumn(const QPoint &pos) const
{
    for (int column = 0; column < columnCount(); ++column) {
        const QWidget *cell = cellWidget(0, column);
        if (cell && QRect(cell->mapTo(this, QPoint(0, 0)), cell->size()).contains(pos))
            return column;
    }
    return -1;
}

QDrag *MvDragTableWidget::CreateCellDrag(const QPoint &pos)
{
    const int column = currentColumn();
    auto *cell = qobject_cast<MvImageLabel *>(cellWidget(0, column));
    if (!cell)
        return nullptr;
    if (!QRect(cell->mapTo(this, QPoint(0, 0)), kDragHandleSize).contains(pos))
        return nullptr;

    QString picturePath;
    QString caption;
    int shownWidth = 0;
    int shownHeight = 0;
    cell->GetCellData(picturePath, caption, shownWidth, shownHeight);

    const QSize shown(shownWidth, shownHeight);
    const QPixmap pixmap = MvImageLabel::IsSubtitleCaption(caption)
        ? MvImageLabel::SubtitleStrip(picturefile::pixmapAt(picturePath))
        : shown.isEmpty() ? QPixmap() : picturefile::pixmapAt(picturePath, shown);

    auto *mimeData = new QMimeData;
    mimeData->setData(PuzzleMimeType(), EncodePuzzlePayload(column, m_pageNumber));

    auto *drag = new QDrag(this);
    drag->setMimeData(mimeData);
    drag->setPixmap(pixmap);
    drag->setHotSpot(QPoint(pixmap.width() / 2, pixmap.height() / 2));
    return drag;
}

void MvDragTableWidget::startDrag(Qt::DropActions)
{
    if (QDrag *drag = CreateCellDrag(cursorInTable()))
        drag->exec(Qt::MoveAction);
}

void MvDragTableWidget::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasFormat(PuzzleMimeType()))
        event->accept();
    else
        event->ignore();
}

void MvDragTableWidget::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->mimeData()->hasFormat(PuzzleMimeType())) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void MvDragTableWidget::dragLeaveEvent(QDragLeaveEvent *event)
{
    const PageTurn turn = PageTurnSide(cursorInTable(), contentsRect());
    if (turn != NoPageTurn)
        emit sig_pageturning(m_pageNumber, turn == PageForward);
    event->accept();
}

void MvDragTableWidget::dropEvent(QDropEvent *event)
{
    if (!event->mimeData()->hasFormat(PuzzleMimeType())) {
        event->ignore();
        return;
    }
    // Where the drop happened, not where the global cursor is now: on X11
    // the two differ while a drag runs. Drops arrive at the viewport.
    const QPoint pos = viewport()->mapTo(this, event->pos());
    if (!contentsRect().contains(pos))
        return;

    const int target = DropTargetColumn(pos);
    int index = 0;
    int page = 0;
    if (!DecodePuzzlePayload(event->mimeData()->data(PuzzleMimeType()), &index, &page)) {
        qDebug() << "drop ignored: malformed cell payload";
        event->ignore();
        return;
    }
    qDebug() << "drop page" << page << "index" << index << "current page" << m_pageNumber
             << "target index" << target;
    emit changeindex(index, page, target, m_pageNumber);
}
