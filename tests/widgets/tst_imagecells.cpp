// Image cells, the paging table's drag payload, drops and page turns.

#include "MvDragTableWidget.h"
#include "MvImageLabel.h"
#include "MvPageLineWidget.h"

#include "TempEnvironment.h"
#include "WidgetPictures.h"

#include <QCursor>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QImage>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using testsupport::renderOf;

namespace {

const QString kPuzzle = QStringLiteral("image/x-puzzle-piece");

// Drag handlers called directly: sending drag events through the application
// would involve the platform drag manager's notion of the current target.
class ProbeTable : public MvDragTableWidget
{
public:
    using MvDragTableWidget::dragEnterEvent;
    using MvDragTableWidget::dragLeaveEvent;
    using MvDragTableWidget::dragMoveEvent;
    using MvDragTableWidget::dropEvent;
};

} // namespace

class TestImageCells : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testsupport::TempEnvironment> m_env;

    QString solidPicture(const QString &name, const QSize &size, const QColor &color)
    {
        return testsupport::writeSolidPicture(m_env->root() + QLatin1Char('/') + name, size, color);
    }

    // The strip the scene item list builds: one row, seven 112-pixel columns,
    // cells in the first `cells` columns, no frame and no headers.
    std::unique_ptr<ProbeTable> makeStrip(int cells, const QString &picture)
    {
        auto table = std::make_unique<ProbeTable>();
        table->setFrameShape(QFrame::NoFrame);
        table->horizontalHeader()->setVisible(false);
        table->verticalHeader()->setVisible(false);
        table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        table->setRowCount(1);
        table->setColumnCount(7);
        table->setRowHeight(0, 90);
        for (int c = 0; c < 7; ++c)
            table->setColumnWidth(c, 112);
        for (int c = 0; c < cells; ++c) {
            auto *cell = new MvImageLabel(picture, c == 2 ? QStringLiteral("字幕") : QStringLiteral("图片%1").arg(c + 1),
                                          112, 90);
            cell->SetCell(0, c);
            table->setCellWidget(0, c, cell);
        }
        table->setGeometry(100, 100, 784, 90);
        table->show();
        if (!QTest::qWaitForWindowExposed(table.get()))
            return nullptr;
        QCoreApplication::processEvents();
        return table;
    }

    static QPoint cellCentre(const MvDragTableWidget &table, int column)
    {
        return QPoint(column * 112 + 56, 30) + table.viewport()->mapTo(&table, QPoint(0, 0));
    }

private slots:
    void init() { m_env = std::make_unique<testsupport::TempEnvironment>(); }
    void cleanup() { m_env.reset(); }

    void payloadBytes_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("page");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("first cell") << 0 << 1 << QByteArray::fromHex("0000000000000001");
        QTest::newRow("cell 3 page 2") << 3 << 2 << QByteArray::fromHex("0000000300000002");
        QTest::newRow("big page") << 6 << 0x01020304 << QByteArray::fromHex("0000000601020304");
        QTest::newRow("negative") << -1 << 1 << QByteArray::fromHex("ffffffff00000001");
    }
    void payloadBytes()
    {
        QFETCH(int, index);
        QFETCH(int, page);
        QFETCH(QByteArray, bytes);
        QCOMPARE(MvDragTableWidget::EncodePuzzlePayload(index, page), bytes);
        int readIndex = 99;
        int readPage = 99;
        QVERIFY(MvDragTableWidget::DecodePuzzlePayload(bytes, &readIndex, &readPage));
        QCOMPARE(readIndex, index);
        QCOMPARE(readPage, page);
    }

    void payloadTooShortIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("index only") << QByteArray::fromHex("00000003");
        QTest::newRow("seven bytes") << QByteArray::fromHex("00000003000000");
    }
    void payloadTooShortIsRefused()
    {
        QFETCH(QByteArray, bytes);
        int index = 99;
        int page = 99;
        QVERIFY(!MvDragTableWidget::DecodePuzzlePayload(bytes, &index, &page));
        QCOMPARE(index, 99);
        QCOMPARE(page, 99);
    }

    void pageTurnSide_data()
    {
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<int>("side");
        QTest::newRow("left edge") << QPoint(-3, 40) << int(MvDragTableWidget::PageBack);
        QTest::newRow("left half") << QPoint(391, 40) << int(MvDragTableWidget::PageBack);
        QTest::newRow("middle") << QPoint(392, 40) << int(MvDragTableWidget::PageForward);
        QTest::newRow("right edge") << QPoint(790, 40) << int(MvDragTableWidget::PageForward);
        QTest::newRow("top") << QPoint(100, 0) << int(MvDragTableWidget::NoPageTurn);
        QTest::newRow("above") << QPoint(100, -5) << int(MvDragTableWidget::NoPageTurn);
        QTest::newRow("bottom") << QPoint(700, 90) << int(MvDragTableWidget::NoPageTurn);
        QTest::newRow("last row inside") << QPoint(700, 89) << int(MvDragTableWidget::PageForward);
    }
    void pageTurnSide()
    {
        QFETCH(QPoint, pos);
        QFETCH(int, side);
        QCOMPARE(int(MvDragTableWidget::PageTurnSide(pos, QRect(0, 0, 784, 90))), side);
    }

    void imageLabelSignals()
    {
        MvImageLabel cell(QString(), QStringLiteral("图片1"), 112, 90);
        cell.resize(112, 90);
        QCOMPARE(cell.CancelButton()->geometry(), QRect(96, 0, 16, 16));
        QVERIFY(cell.CancelButton()->isHidden());
        cell.SetCell(3, 5);
        QSignalSpy click(&cell, &MvImageLabel::cellclick);
        QSignalSpy cancel(&cell, &MvImageLabel::cancelbtnclick);

        QTest::mousePress(&cell, Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(click.count(), 0);
        // The release counts wherever it happens and whatever the button.
        QTest::mouseRelease(&cell, Qt::LeftButton, {}, QPoint(400, 300));
        QCOMPARE(click.count(), 1);
        QCOMPARE(click.at(0), (QList<QVariant>{3, 5}));
        QTest::mouseClick(&cell, Qt::RightButton, {}, QPoint(20, 20));
        QCOMPARE(click.count(), 2);

        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(&cell, &enter);
        QVERIFY(cell.IsHover());
        QVERIFY(!cell.CancelButton()->isHidden());
        QTest::mouseClick(cell.CancelButton(), Qt::LeftButton);
        QCOMPARE(cancel.count(), 1);
        QCOMPARE(cancel.at(0), (QList<QVariant>{3, 5}));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&cell, &leave);
        QVERIFY(!cell.IsHover());
        QVERIFY(cell.CancelButton()->isHidden());

        cell.ShowCancel();
        QVERIFY(cell.IsHover());
        QVERIFY(!cell.CancelButton()->isHidden());
    }

    void shownSize_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("shown");
        QTest::newRow("small") << QSize(50, 30) << QSize(50, 30);
        QTest::newRow("wide") << QSize(208, 60) << QSize(104, 30);
        QTest::newRow("tall") << QSize(40, 120) << QSize(20, 60);
        // Fitting 104 x 31 again would give 102 x 31.
        QTest::newRow("wide, rounded") << QSize(1000, 301) << QSize(104, 31);
        QTest::newRow("exact width") << QSize(104, 10) << QSize(104, 10);
        QTest::newRow("exact height") << QSize(10, 60) << QSize(10, 60);
        QTest::newRow("just below") << QSize(103, 59) << QSize(103, 59);
        QTest::newRow("none") << QSize(0, 0) << QSize(0, 0);
    }
    void shownSize()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, shown);
        QCOMPARE(MvImageLabel::ShownSize(picture), shown);
        if (picture.isEmpty())
            return;

        // Painting records the same size for the table's drag.
        MvImageLabel cell(solidPicture(QStringLiteral("p.png"), picture, Qt::blue),
                          QStringLiteral("图片1"), 112, 90);
        cell.resize(112, 90);
        renderOf(cell);
        QString path, caption;
        int w = 0, h = 0;
        cell.GetCellData(path, caption, w, h);
        QCOMPARE(QSize(w, h), shown);
        QCOMPARE(caption, QStringLiteral("图片1"));
    }

    void subtitleCellAlwaysShowsStrip_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::newRow("small") << QSize(50, 20);
        QTest::newRow("large") << QSize(400, 200);
    }
    void subtitleCellAlwaysShowsStrip()
    {
        QFETCH(QSize, picture);
        const QString path = solidPicture(QStringLiteral("s.png"), picture, Qt::blue);
        QCOMPARE(MvImageLabel::SubtitleStrip(QPixmap(path)).size(), QSize(104, 60));
        QVERIFY(MvImageLabel::SubtitleStrip(QPixmap()).isNull());

        MvImageLabel cell(path, QStringLiteral("字幕"), 112, 90);
        cell.resize(112, 90);
        renderOf(cell);
        QString p, caption;
        int w = 0, h = 0;
        cell.GetCellData(p, caption, w, h);
        QCOMPARE(QSize(w, h), QSize(104, 60));
    }

    void imageLabelPaintsHoverFrame()
    {
        MvImageLabel cell(solidPicture(QStringLiteral("p.png"), QSize(20, 20), Qt::blue),
                          QStringLiteral("图片1"), 112, 90);
        cell.resize(112, 90);
        QImage image = renderOf(cell);
        QVERIFY(qAbs(qRed(image.pixel(54, 34)) - 0) < 8 && qBlue(image.pixel(54, 34)) > 240);
        QCOMPARE(QColor(image.pixel(10, 10)), QColor(0xf5, 0xf6, 0xf7));
        cell.ShowCancel();
        image = renderOf(cell);
        QCOMPARE(QColor(image.pixel(1, 30)), QColor(0xff, 0x55, 0x00));
    }

    void dragStartsOnPictureOnly()
    {
        const QString picture = solidPicture(QStringLiteral("p.png"), QSize(208, 60), Qt::blue);
        auto table = makeStrip(3, picture);
        QVERIFY(table);
        table->SetPageNumber(4);
        renderOf(*table); // cells record their shown size when painted

        table->setCurrentCell(0, 1);
        const QPoint cellOrigin = table->cellWidget(0, 1)->mapTo(table.get(), QPoint(0, 0));
        QVERIFY(!table->CreateCellDrag(cellOrigin + QPoint(30, 70))); // on the caption
        QVERIFY(!table->CreateCellDrag(cellOrigin + QPoint(108, 30))); // right of the picture part

        QDrag *drag = table->CreateCellDrag(cellOrigin + QPoint(107, 63));
        QVERIFY(drag);
        QCOMPARE(drag->parent(), table.get());
        QCOMPARE(drag->mimeData()->formats(), QStringList{kPuzzle});
        QCOMPARE(drag->mimeData()->data(kPuzzle), QByteArray::fromHex("0000000100000004"));
        QCOMPARE(drag->pixmap().size(), QSize(104, 30));
        QCOMPARE(drag->hotSpot(), QPoint(52, 15));

        table->setCurrentCell(0, 2); // subtitle cell
        drag = table->CreateCellDrag(table->cellWidget(0, 2)->mapTo(table.get(), QPoint(5, 5)));
        QVERIFY(drag);
        QCOMPARE(drag->pixmap().size(), QSize(104, 60));
        QCOMPARE(drag->mimeData()->data(kPuzzle), QByteArray::fromHex("0000000200000004"));

        table->setCurrentCell(0, 5); // no cell widget there
        QVERIFY(!table->CreateCellDrag(QPoint(5 * 112 + 10, 10)));
    }

    void dragEnterAndMoveWantThePayload()
    {
        ProbeTable table;
        QMimeData puzzle;
        puzzle.setData(kPuzzle, MvDragTableWidget::EncodePuzzlePayload(0, 1));
        QMimeData text;
        text.setText(QStringLiteral("x"));

        QDragEnterEvent enter(QPoint(5, 5), Qt::MoveAction | Qt::CopyAction, &puzzle, Qt::LeftButton, Qt::NoModifier);
        table.dragEnterEvent(&enter);
        QVERIFY(enter.isAccepted());
        QDragEnterEvent foreign(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        table.dragEnterEvent(&foreign);
        QVERIFY(!foreign.isAccepted());

        QDragMoveEvent move(QPoint(5, 5), Qt::MoveAction | Qt::CopyAction, &puzzle, Qt::LeftButton, Qt::NoModifier);
        table.dragMoveEvent(&move);
        QVERIFY(move.isAccepted());
        QCOMPARE(move.dropAction(), Qt::MoveAction);
        QDragMoveEvent foreignMove(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        table.dragMoveEvent(&foreignMove);
        QVERIFY(!foreignMove.isAccepted());
    }

    // The drop's own position decides, not the global cursor: on Linux the
    // two differ while a drag runs, so the cursor is put elsewhere on purpose.
    void dropReportsPayloadAndTarget_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("cursorColumn");
        QTest::addColumn<int>("target");
        QTest::newRow("onto cell 0") << 0 << 2 << 0;
        QTest::newRow("onto cell 2") << 2 << 0 << 2;
        QTest::newRow("beside the cells") << 5 << 1 << -1;
        QTest::newRow("onto cell 1, cursor beside the cells") << 1 << 6 << 1;
    }
    void dropReportsPayloadAndTarget()
    {
        QFETCH(int, column);
        QFETCH(int, cursorColumn);
        QFETCH(int, target);
        auto table = makeStrip(3, QString());
        QVERIFY(table);
        table->SetPageNumber(2);
        QSignalSpy spy(table.get(), &MvDragTableWidget::changeindex);

        QMimeData data;
        data.setData(kPuzzle, MvDragTableWidget::EncodePuzzlePayload(6, 1));
        const QPoint pos = cellCentre(*table, column);
        QCursor::setPos(table->mapToGlobal(cellCentre(*table, cursorColumn)));
        QCOMPARE(table->DropTargetColumn(pos), target);
        QDropEvent drop(table->viewport()->mapFrom(table.get(), pos), Qt::MoveAction, &data,
                        Qt::LeftButton, Qt::NoModifier);
        table->dropEvent(&drop);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0), (QList<QVariant>{6, 1, target, 2}));
    }

    void dropIgnoredCases()
    {
        auto table = makeStrip(3, QString());
        QVERIFY(table);
        QSignalSpy spy(table.get(), &MvDragTableWidget::changeindex);
        const QPoint pos = cellCentre(*table, 1);
        QCursor::setPos(table->mapToGlobal(pos));
        const QPoint local = table->viewport()->mapFrom(table.get(), pos);

        QMimeData text;
        text.setText(QStringLiteral("1"));
        QDropEvent foreign(local, Qt::MoveAction, &text, Qt::LeftButton, Qt::NoModifier);
        table->dropEvent(&foreign);
        QVERIFY(!foreign.isAccepted());

        QMimeData truncated;
        truncated.setData(kPuzzle, QByteArray::fromHex("0000"));
        QDropEvent broken(local, Qt::MoveAction, &truncated, Qt::LeftButton, Qt::NoModifier);
        table->dropEvent(&broken);

        // A drop below the table's contents, with the cursor still on a cell.
        QMimeData puzzle;
        puzzle.setData(kPuzzle, MvDragTableWidget::EncodePuzzlePayload(1, 1));
        QDropEvent outside(table->viewport()->mapFrom(table.get(), QPoint(10, 200)), Qt::MoveAction, &puzzle,
                           Qt::LeftButton, Qt::NoModifier);
        table->dropEvent(&outside);

        QCOMPARE(spy.count(), 0);
    }

    void leavingTurnsPages_data()
    {
        QTest::addColumn<QPoint>("exit");
        QTest::addColumn<int>("turns");
        QTest::addColumn<bool>("forward");
        QTest::newRow("left") << QPoint(-2, 45) << 1 << false;
        QTest::newRow("right") << QPoint(786, 45) << 1 << true;
        QTest::newRow("top") << QPoint(300, -2) << 0 << false;
        QTest::newRow("bottom") << QPoint(300, 92) << 0 << false;
    }
    void leavingTurnsPages()
    {
        QFETCH(QPoint, exit);
        QFETCH(int, turns);
        QFETCH(bool, forward);
        auto table = makeStrip(7, QString());
        QVERIFY(table);
        table->SetPageNumber(3);
        QSignalSpy spy(table.get(), &MvDragTableWidget::sig_pageturning);

        QCursor::setPos(table->mapToGlobal(exit));
        QDragLeaveEvent leave;
        table->dragLeaveEvent(&leave);
        QVERIFY(leave.isAccepted());
        QCOMPARE(spy.count(), turns);
        if (turns)
            QCOMPARE(spy.at(0), (QList<QVariant>{3, forward}));
    }

    void pageLinePaintsSeparator()
    {
        MvPageLineWidget panel;
        panel.resize(88, 40);
        const QImage image = renderOf(panel);
        QCOMPARE(QColor(image.pixel(40, 20)), QColor(0xfc, 0xfc, 0xfc));
        QCOMPARE(QColor(image.pixel(0, 20)), QColor(0xfc, 0xfc, 0xfc));
        const QColor edge(image.pixel(87, 20));
        QVERIFY(edge != QColor(0xfc, 0xfc, 0xfc));
        QVERIFY(edge.red() >= 0xf5 && edge.red() < 0xfc);
    }
};

QTEST_MAIN(TestImageCells)
#include "tst_imagecells.moc"
