// The scene item list on a real facade: numbering, paging seven to a page,
// top-most item first, drag reordering through the facade's z-order,
// removal, and what a rebuild keeps.

#include "FacadeFixture.h"
#include "LogCapture.h"
#include "MvDragTableWidget.h"
#include "MvImageLabel.h"
#include "SceneRegistry.h"
#include "ScreenItemRecord.h"
#include "UiScreenItemControlWidget.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <vector>

using testsupport::LogCapture;

namespace {

class ListFixture : public testsupport::FacadeFixture
{
public:
    ListFixture()
    {
        started = init() == 0;
        list = std::make_unique<UiScreenItemControlWidget>();
        list->setLiveProxy(proxy.get());
        picturePath = picture(QStringLiteral("cell.png"), 40, 30);
    }
    ~ListFixture() { list.reset(); }

    // Adds n pictures to the scene and to the list, as the picture page does.
    std::vector<int> addPictures(int n)
    {
        std::vector<int> ids;
        for (int i = 0; i < n; ++i) {
            const int id = proxy->addImage(picturePath, 255, scenereg::LayerActive);
            list->addScreenItem(picturePath.c_str(), "图片", id);
            ids.push_back(id);
        }
        return ids;
    }
    int addRegionCapture()
    {
        const int id = proxy->addScreenCapture(QRect(0, 0, 200, 100), 0, scenereg::LayerActive);
        list->addScreenItem(picturePath.c_str(), "手动截取", id);
        return id;
    }
    int addFullScreen()
    {
        const int id = proxy->addFullScreenCapture(0, scenereg::LayerFullScreen);
        list->addScreenItem(picturePath.c_str(), "全屏截取", id);
        return id;
    }

    MvDragTableWidget *table() const
    {
        return list->findChild<MvDragTableWidget *>(QStringLiteral("tableWidget_ScreenItem"));
    }
    QPushButton *button(const char *name) const { return list->findChild<QPushButton *>(QString::fromLatin1(name)); }
    MvImageLabel *cell(int column) const { return qobject_cast<MvImageLabel *>(table()->cellWidget(0, column)); }

    // Captions of the cells of the page shown, left to right.
    QStringList captions() const
    {
        QStringList out;
        for (int c = 0; c < 7; ++c) {
            if (MvImageLabel *label = cell(c)) {
                QString path, caption;
                int w = 0, h = 0;
                label->GetCellData(path, caption, w, h);
                out << caption;
            }
        }
        return out;
    }
    // Ids of the records, first to last.
    std::vector<int> order() const
    {
        std::vector<int> out;
        for (int i = 0; i < list->recordCount(); ++i)
            out.push_back(list->recordAt(i).itemId);
        return out;
    }
    bool pageButtonsShown() const
    {
        return button("pushButton_pagefront")->isVisibleTo(list.get()) &&
               button("pushButton_pageback")->isVisibleTo(list.get());
    }
    bool pageButtonsHidden() const
    {
        return !button("pushButton_pagefront")->isVisibleTo(list.get()) &&
               !button("pushButton_pageback")->isVisibleTo(list.get());
    }
    // The scene's ids from the top-most down, as the list should show them.
    std::vector<int> sceneTopFirst(const std::vector<int> &among)
    {
        std::vector<int> ids;
        proxy->sortedItemIds(ids);
        std::vector<int> out;
        for (auto it = ids.rbegin(); it != ids.rend(); ++it)
            if (std::find(among.begin(), among.end(), *it) != among.end())
                out.push_back(*it);
        return out;
    }
    void drop(int fromColumn, int fromPage, int toColumn, int toPage)
    {
        emit table()->changeindex(fromColumn, fromPage, toColumn, toPage);
    }
    static int reorderPoints()
    {
        return LogCapture::texts().filter(QStringLiteral("action:click_home_imgset")).size();
    }

    bool started = false;
    std::unique_ptr<UiScreenItemControlWidget> list;
    std::string picturePath;
};

std::vector<int> reversed(std::vector<int> v)
{
    std::reverse(v.begin(), v.end());
    return v;
}

} // namespace

class ItemListTest : public QObject
{
    Q_OBJECT

private slots:
    void formAtRest();
    void picturesNumberedLowestFirst();
    void capturesNumberedFullScreenKept();
    void paging_data();
    void paging();
    void pageTurning();
    void deletingTheOnlyEntryOfTheLastPage();
    void deletingInTheMiddleShowsTheNextCancel();
    void removalsByKind();
    void reorderFollowsTheScene();
    void dragReorders();
    void dropOnItselfDoesNothing();
    void fullScreenCaptureStaysLast_data();
    void fullScreenCaptureStaysLast();
    void onlyUnmatchedRecordsDropped();
    void changeItemPath();
    void minusOneIgnored();
    void fieldsCutOnWholeCharacters_data();
    void fieldsCutOnWholeCharacters();
};

void ItemListTest::formAtRest()
{
    ListFixture f;
    QVERIFY(f.started);
    QCOMPARE(f.table()->geometry(), QRect(42, 22, 784, 90));
    QCOMPARE(f.table()->columnCount(), 7);
    QCOMPARE(f.table()->rowCount(), 1);
    QCOMPARE(f.table()->rowHeight(0), 90);
    QVERIFY(f.pageButtonsHidden());
    QCOMPARE(f.list->currentPage(), 1);
    QCOMPARE(f.list->findChild<QLabel *>(QStringLiteral("label_2"))->text(),
             QStringLiteral("画面管理（拖拽可调整画面优先级顺序）"));
}

void ItemListTest::picturesNumberedLowestFirst()
{
    ListFixture f;
    const std::vector<int> ids = f.addPictures(3);
    QCOMPARE(f.order(), reversed(ids));
    QCOMPARE(f.captions(), (QStringList{"图片3", "图片2", "图片1"}));
    // Moving the lowest to the top and adding a fourth renumbers all four
    // by their z-order, whatever their earlier numbers.
    f.proxy->moveItemToTop(ids[0]);
    f.addPictures(1);
    QCOMPARE(f.captions(), (QStringList{"图片4", "图片3", "图片2", "图片1"}));
    QCOMPARE(f.order().at(1), ids[0]);
}

void ItemListTest::capturesNumberedFullScreenKept()
{
    ListFixture f;
    const int full = f.addFullScreen();
    const int a = f.addRegionCapture();
    const std::vector<int> pics = f.addPictures(1);
    const int b = f.addRegionCapture();
    QCOMPARE(f.order(), (std::vector<int>{b, pics[0], a, full}));
    QCOMPARE(f.captions(), (QStringList{"手动截取2", "图片1", "手动截取1", "全屏截取"}));
    f.list->removeCaptureItem(a);
    f.proxy->removeItem(a);
    QCOMPARE(f.captions(), (QStringList{"手动截取1", "图片1", "全屏截取"}));
}

void ItemListTest::paging_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("lastPageCells");
    QTest::newRow("one") << 1 << 1 << 1;
    QTest::newRow("seven") << 7 << 1 << 7;
    QTest::newRow("eight") << 8 << 2 << 1;
    QTest::newRow("fifteen") << 15 << 3 << 1;
}

void ItemListTest::paging()
{
    QFETCH(int, entries);
    QFETCH(int, pages);
    QFETCH(int, lastPageCells);
    ListFixture f;
    const std::vector<int> ids = f.addPictures(entries);
    QCOMPARE(f.list->pageCount(), pages);
    QCOMPARE(pages > 1 ? f.pageButtonsShown() : f.pageButtonsHidden(), true);
    QCOMPARE(f.list->currentPage(), 1);
    QCOMPARE(f.captions().size(), qMin(entries, 7));
    QCOMPARE(f.captions().first(), QStringLiteral("图片%1").arg(entries));
    for (int p = 1; p < pages; ++p)
        f.button("pushButton_pageback")->click();
    QCOMPARE(f.list->currentPage(), pages);
    QCOMPARE(f.table()->PageNumber(), pages);
    QCOMPARE(f.captions().size(), lastPageCells);
    QCOMPARE(f.captions().last(), QStringLiteral("图片1"));
}

void ItemListTest::pageTurning()
{
    ListFixture f;
    f.addPictures(15);
    f.button("pushButton_pagefront")->click(); // at the first page: nothing
    QCOMPARE(f.list->currentPage(), 1);
    emit f.table()->sig_pageturning(1, true); // a drag off the right half
    QCOMPARE(f.list->currentPage(), 2);
    QCOMPARE(f.captions().first(), QStringLiteral("图片8"));
    f.button("pushButton_pageback")->click();
    f.button("pushButton_pageback")->click(); // at the last page: nothing
    QCOMPARE(f.list->currentPage(), 3);
    emit f.table()->sig_pageturning(3, false);
    f.button("pushButton_pagefront")->click();
    QCOMPARE(f.list->currentPage(), 1);
}

void ItemListTest::deletingTheOnlyEntryOfTheLastPage()
{
    ListFixture f;
    const std::vector<int> ids = f.addPictures(15);
    f.button("pushButton_pageback")->click();
    f.button("pushButton_pageback")->click();
    QSignalSpy deleted(f.list.get(), SIGNAL(screenitem_sampleDel(int)));
    f.cell(0)->CancelButton()->click();
    QCOMPARE(deleted.size(), 1);
    QCOMPARE(deleted.at(0).at(0).toInt(), ids[0]); // the lowest picture
    QCOMPARE(f.list->recordCount(), 14);
    QCOMPARE(f.list->currentPage(), 2);
    QCOMPARE(f.captions().size(), 7);
    // Renumbered: the lowest one left is number 1.
    QCOMPARE(f.captions().last(), QStringLiteral("图片1"));
    QVERIFY(f.pageButtonsShown());
}

void ItemListTest::deletingInTheMiddleShowsTheNextCancel()
{
    ListFixture f;
    const std::vector<int> ids = f.addPictures(5);
    QSignalSpy deleted(f.list.get(), SIGNAL(screenitem_sampleDel(int)));
    // The workspace removes the scene item while the signal is delivered.
    connect(f.list.get(), &UiScreenItemControlWidget::screenitem_sampleDel, f.list.get(),
            [&](int id) { f.proxy->removeItem(id); });
    f.cell(2)->CancelButton()->click();
    QCOMPARE(deleted.size(), 1);
    QCOMPARE(deleted.at(0).at(0).toInt(), ids[2]);
    QCOMPARE(f.order(), (std::vector<int>{ids[4], ids[3], ids[1], ids[0]}));
    QCOMPARE(f.captions(), (QStringList{"图片4", "图片3", "图片2", "图片1"}));
    QVERIFY(f.cell(2)->CancelButton()->isVisibleTo(f.cell(2)));
    QVERIFY(!f.cell(1)->CancelButton()->isVisibleTo(f.cell(1)));
    // The last cell deleted: nothing moves in.
    f.cell(3)->CancelButton()->click();
    QCOMPARE(f.captions().size(), 3);
}

void ItemListTest::removalsByKind()
{
    ListFixture f;
    const std::vector<int> pics = f.addPictures(3);
    const int a = f.addRegionCapture();
    const int b = f.addRegionCapture();
    f.list->removeImageItem(pics[0]);
    QCOMPARE(f.captions(), (QStringList{"手动截取2", "手动截取1", "图片2", "图片1"}));
    f.list->removeCaptureItem(a);
    QCOMPARE(f.captions(), (QStringList{"手动截取1", "图片2", "图片1"}));
    // removeScreenItem renumbers nothing.
    f.list->removeScreenItem(pics[1]);
    QCOMPARE(f.captions(), (QStringList{"手动截取1", "图片2"}));
    QCOMPARE(f.order(), (std::vector<int>{b, pics[2]}));
    // Ids the list does not hold are ignored.
    f.list->removeScreenItem(9999);
    f.list->removeImageItem(9999);
    f.list->removeCaptureItem(-1);
    QCOMPARE(f.list->recordCount(), 2);
}

void ItemListTest::reorderFollowsTheScene()
{
    ListFixture f;
    const std::vector<int> ids = f.addPictures(4);
    f.proxy->moveItemToBottom(ids[3]);
    f.proxy->moveItemToTop(ids[0]);
    f.list->reorderItems();
    QCOMPARE(f.order(), f.sceneTopFirst(ids));
    QCOMPARE(f.order(), (std::vector<int>{ids[0], ids[2], ids[1], ids[3]}));
    // Numbers stay until the next renumbering.
    QCOMPARE(f.captions(), (QStringList{"图片1", "图片3", "图片2", "图片4"}));
}

void ItemListTest::dragReorders()
{
    ListFixture f;
    const std::vector<int> ids = f.addPictures(9); // page 1: ids 8..2, page 2: ids 1, 0
    const int points = ListFixture::reorderPoints();
    // The top-most entry dropped on the third cell takes that item's place.
    f.drop(0, 1, 2, 1);
    QCOMPARE(f.order(), f.sceneTopFirst(ids));
    QCOMPARE(f.order().at(2), ids[8]);
    QCOMPARE(f.order().at(0), ids[7]);
    QCOMPARE(ListFixture::reorderPoints(), points + 1);
    // Across pages: the first entry of page 2 dropped on the first of page 1.
    f.drop(0, 2, 0, 1);
    QCOMPARE(f.order().at(0), ids[1]);
    QCOMPARE(f.order(), f.sceneTopFirst(ids));
    // Dropped on the last entry or beyond every cell: it goes to the bottom.
    f.drop(0, 1, 1, 2);
    QCOMPARE(f.order().back(), ids[1]);
    f.drop(0, 1, -1, 1);
    QCOMPARE(f.order().back(), ids[7]);
    QCOMPARE(f.order(), f.sceneTopFirst(ids));
    QCOMPARE(ListFixture::reorderPoints(), points + 4);
}

void ItemListTest::dropOnItselfDoesNothing()
{
    ListFixture f;
    const std::vector<int> ids = f.addPictures(3);
    const int points = ListFixture::reorderPoints();
    f.calls().clear();
    f.drop(1, 1, 1, 1);
    f.drop(5, 1, 0, 1); // from an empty cell
    f.drop(0, 1, 6, 1); // onto an empty cell
    f.drop(2, 1, -1, 1); // the last one dropped beyond the cells
    QCOMPARE(f.ops({"SetItemZ"}).size(), size_t(0));
    QCOMPARE(ListFixture::reorderPoints(), points);
    QCOMPARE(f.order(), reversed(ids));
}

void ItemListTest::fullScreenCaptureStaysLast_data()
{
    QTest::addColumn<int>("toColumn");
    QTest::newRow("on the last cell") << 3;
    QTest::newRow("beyond the cells") << -1;
}

void ItemListTest::fullScreenCaptureStaysLast()
{
    QFETCH(int, toColumn);
    ListFixture f;
    const int full = f.addFullScreen();
    const std::vector<int> pics = f.addPictures(3);
    QCOMPARE(f.order(), (std::vector<int>{pics[2], pics[1], pics[0], full}));
    f.drop(0, 1, toColumn, 1);
    QCOMPARE(f.order(), (std::vector<int>{pics[1], pics[0], pics[2], full}));
    QCOMPARE(f.captions().last(), QStringLiteral("全屏截取"));
    // It cannot be dragged itself.
    const int points = ListFixture::reorderPoints();
    f.drop(3, 1, 0, 1);
    QCOMPARE(f.order().back(), full);
    QCOMPARE(ListFixture::reorderPoints(), points);
}

void ItemListTest::onlyUnmatchedRecordsDropped()
{
    ListFixture f;
    const std::vector<int> ids = f.addPictures(3);
    const int logBefore = ListFixture::logSize();
    // Removed from the scene behind the list's back.
    f.proxy->removeItem(ids[1]);
    const std::vector<int> more = f.addPictures(1);
    QCOMPARE(f.order(), (std::vector<int>{more[0], ids[2], ids[0]}));
    QCOMPARE(f.captions(), (QStringList{"图片3", "图片2", "图片1"}));
    QVERIFY(ListFixture::logSince(logBefore).contains(
        QStringLiteral("item list drops entry of item %1: not in the scene.").arg(ids[1])));
    // An entry whose item the scene does not list goes, the others stay.
    f.list->addScreenItem(f.picturePath.c_str(), "图片", 4242);
    QCOMPARE(f.order(), (std::vector<int>{more[0], ids[2], ids[0]}));
}

void ItemListTest::changeItemPath()
{
    ListFixture f;
    const std::vector<int> ids = f.addPictures(2);
    const std::string other = f.picture(QStringLiteral("other.png"), 20, 20);
    f.list->changeItemPath(ids[0], other.c_str());
    QCOMPARE(QString::fromUtf8(f.list->recordAt(1).picturePath), QString::fromStdString(other));
    QString path, caption;
    int w = 0, h = 0;
    f.cell(1)->GetCellData(path, caption, w, h);
    QCOMPARE(path, QString::fromStdString(other));
    f.list->changeItemPath(9999, "nothing.png");
    QCOMPARE(QString::fromUtf8(f.list->recordAt(0).picturePath), QString::fromStdString(f.picturePath));
}

void ItemListTest::minusOneIgnored()
{
    ListFixture f;
    f.addPictures(1);
    f.list->addScreenItem(f.picturePath.c_str(), "图片", -1);
    QCOMPARE(f.list->recordCount(), 1);
}

void ItemListTest::fieldsCutOnWholeCharacters_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("kept");
    const QByteArray ascii(300, 'a');
    QTest::newRow("fits") << QByteArray("图片1") << QByteArray("图片1");
    QTest::newRow("255 bytes fit") << ascii.left(255) << ascii.left(255);
    QTest::newRow("ascii cut at 255") << ascii << ascii.left(255);
    // 85 three-byte characters are 255 bytes; the 86th is left out whole.
    const QByteArray han = QStringLiteral("图").repeated(86).toUtf8();
    QTest::newRow("three-byte characters") << han << han.left(255);
    // 254 + a three-byte character: the character does not fit and goes.
    QTest::newRow("character across the end") << ascii.left(254) + QStringLiteral("图").toUtf8() << ascii.left(254);
    QTest::newRow("two-byte character across the end")
        << ascii.left(254) + QStringLiteral("é").toUtf8() << ascii.left(254);
}

void ItemListTest::fieldsCutOnWholeCharacters()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, kept);
    ScreenItemRecord record;
    std::memset(record.description, 'x', sizeof record.description);
    record.setDescription(text.constData());
    QCOMPARE(QByteArray(record.description), kept);
    QCOMPARE(record.description[255], '\0');
    QCOMPARE(record.itemId, 0);
    // The picture path has room for 1023 bytes.
    const QByteArray longPath = QByteArray("/") + QByteArray(1100, 'p');
    record.setPicturePath(longPath.constData());
    QCOMPARE(QByteArray(record.picturePath), longPath.left(1023));
}

QTEST_MAIN(ItemListTest)
#include "tst_itemlist.moc"
