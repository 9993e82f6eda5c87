#pragma once

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <QTableWidget>

class QDrag;

// One-row table of picture cells (MvImageLabel). It never moves cells itself:
// a drop onto a cell is reported by changeindex(), a drag leaving through the
// left or right edge by sig_pageturning(), and the owner refills the page.
class MvDragTableWidget : public QTableWidget
{
    Q_OBJECT
public:
    enum PageTurn { NoPageTurn = -1, PageBack = 0, PageForward = 1 };

    explicit MvDragTableWidget(QWidget *parent = nullptr);
    ~MvDragTableWidget() override;

    // The page now shown, counted from 1; the owner sets it whenever it fills
    // a page, and it travels in the drag payload.
    int PageNumber() const { return m_pageNumber; }
    void SetPageNumber(int page) { m_pageNumber = page; }

    static QString PuzzleMimeType();
    // Payload: cell index then page, two big-endian 32-bit ints (QDataStream).
    static QByteArray EncodePuzzlePayload(int index, int page);
    // False (outputs untouched) when the data is too short to hold both.
    static bool DecodePuzzlePayload(const QByteArray &data, int *index, int *page);
    // Which way a drag leaving at pos (table coordinates) turns the page.
    static PageTurn PageTurnSide(const QPoint &pos, const QRect &contents);

    // Column of the row-0 cell whose rectangle holds pos (table coordinates),
    // -1 between or outside cells.
    int DropTargetColumn(const QPoint &pos) const;
    // The drag for the current column's cell with the cursor at pos (table
    // coordinates), owned by the table; null when no drag may start there.
    QDrag *CreateCellDrag(const QPoint &pos);

signals:
    void changeindex(int ipreindex, int iprepage, int icurrentIndex, int icurrentpage);
    void sig_pageturning(int pageindex, bool badd);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    QPoint cursorInTable() const;

    int m_pageNumber = 1;
};
