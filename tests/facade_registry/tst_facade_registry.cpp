// The scene item registry: its plain arithmetic, then the facade driving it
// on the engine layer.

#include "FacadeFixture.h"
#include "SceneRegistry.h"

#include <QTest>

using testsupport::FacadeFixture;
using testsupport::LogCapture;
using namespace scenereg;

Q_DECLARE_METATYPE(std::vector<int>)

namespace {

std::vector<int> idsOf(const std::vector<ZItem> &items)
{
    std::vector<int> ids;
    for (const ZItem &i : items)
        ids.push_back(i.id);
    return ids;
}

ZItem single(int id, int z)
{
    return ZItem{id, z, z, false};
}

ZItem pair(int id, int z)
{
    return ZItem{id, z, z + 1, true};
}

} // namespace

class FacadeRegistryTest : public QObject
{
    Q_OBJECT

private slots:
    // plain arithmetic
    void lockWords_data();
    void lockWords();
    void typesOfKinds_data();
    void typesOfKinds();
    void layersOfZOrders_data();
    void layersOfZOrders();
    void nameSearchIsBounded();
    void equalZOrdersAreAllKept();
    void shiftSwapsWithPairs_data();
    void shiftSwapsWithPairs();
    void renumberGivesPairsTwoSlots();
    void countersAfterRestore();

    // on the engine
    void namesTakeTheFirstFreeNumber();
    void layersGiveTheirZOrders();
    void addingAtTheTopOfTheActiveRangeRenumbersFirst();
    void shiftUpAndDownSwapNeighbours();
    void moveToTopAndBottom();
    void moveToBottomRenumbersOnlyBelowTheFloor_data();
    void moveToBottomRenumbersOnlyBelowTheFloor();
    void equalNeighboursGoToTheEarlierOne_data();
    void equalNeighboursGoToTheEarlierOne();
    void shiftItemStepsPastOthers();
    void effectiveTextTakesTwoSlots();
    void itemsSharingAZOrderAreAllListed();
    void lockWordsInNamesDecideWhatMayChange();
    void fixedLayersNeverMove();
    void adjustItemRectKeepsTheScale_data();
    void adjustItemRectKeepsTheScale();
    void removeItemClearsSelectionAndLists();
    void unknownIdsChangeNothing_data();
    void unknownIdsChangeNothing();
};

void FacadeRegistryTest::lockWords_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("has");
    QTest::addColumn<QString>("locked");
    QTest::addColumn<QString>("unlocked");
    QTest::newRow("plain") << "image_12" << "unmove" << false << "image_12_unmove" << "image_12";
    QTest::newRow("already") << "image_12_unmove" << "unmove" << true << "image_12_unmove" << "image_12";
    QTest::newRow("middle") << "image_12_unmove_unshift" << "unmove" << true << "image_12_unmove_unshift"
                            << "image_12_unshift";
    QTest::newRow("other word") << "image_12_unshift" << "unresize" << false << "image_12_unshift_unresize"
                                << "image_12_unshift";
}

void FacadeRegistryTest::lockWords()
{
    QFETCH(QString, name);
    QFETCH(QString, word);
    QFETCH(bool, has);
    QFETCH(QString, locked);
    QFETCH(QString, unlocked);
    QCOMPARE(hasLockWord(name.toStdString(), word.toStdString()), has);
    QCOMPARE(QString::fromStdString(withLockWord(name.toStdString(), word.toStdString())), locked);
    QCOMPARE(QString::fromStdString(withoutLockWord(name.toStdString(), word.toStdString())), unlocked);
}

void FacadeRegistryTest::typesOfKinds_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::newRow("custom capture") << 0 << "" << 1;
    QTest::newRow("camera") << 1 << "camera_3" << 2;
    QTest::newRow("screen capture") << 2 << "" << 10;
    QTest::newRow("text") << 4 << "" << 3;
    QTest::newRow("picture") << 7 << "image_4" << 5;
    QTest::newRow("unnamed picture") << 7 << "" << 5;
    QTest::newRow("shadow picture") << 7 << "shadow_5" << 7;
    QTest::newRow("edge picture") << 7 << "edge_5" << 8;
    QTest::newRow("pendant picture") << 7 << "pendant_5" << 9;
    QTest::newRow("flash overlay") << 15 << "image_6" << 0;
    QTest::newRow("flash pendant") << 15 << "pendant_6" << 9;
    QTest::newRow("plug-in") << 14 << "plugin_2" << 6;
    QTest::newRow("unknown") << 9 << "" << 0;
    QTest::newRow("no item") << -1 << "" << 0;
}

void FacadeRegistryTest::typesOfKinds()
{
    QFETCH(int, kind);
    QFETCH(QString, name);
    QFETCH(int, type);
    const QByteArray n = name.toUtf8();
    QCOMPARE(typeOfKind(kind, name.isEmpty() ? nullptr : n.constData()), type);
}

void FacadeRegistryTest::layersOfZOrders_data()
{
    QTest::addColumn<int>("z");
    QTest::addColumn<int>("layer");
    QTest::newRow("unknown") << -1 << 7;
    QTest::newRow("bottom") << 1 << 0;
    QTest::newRow("full screen") << 20 << 7;
    QTest::newRow("camera") << 50 << 2;
    QTest::newRow("below active") << 99 << 7;
    QTest::newRow("active low") << 100 << 3;
    QTest::newRow("active high") << 2000000 << 3;
    QTest::newRow("above active") << 2000001 << 7;
    QTest::newRow("shadow") << 3000000 << 4;
    QTest::newRow("edge") << 4000000 << 5;
    QTest::newRow("watermark") << 5000000 << 7;
}

void FacadeRegistryTest::layersOfZOrders()
{
    QFETCH(int, z);
    QFETCH(int, layer);
    QCOMPARE(itemLayer(z), layer);
    QCOMPARE(LiveProxy::itemLayer(z), layer);
}

void FacadeRegistryTest::nameSearchIsBounded()
{
    int asked = 0;
    const std::string none = firstFreeName("image", 7, [&](const std::string &) { return ++asked, false; }, 50);
    QCOMPARE(none, std::string());
    QCOMPARE(asked, 50);

    std::vector<std::string> seen;
    const std::string third = firstFreeName("image", 7, [&](const std::string &n) {
        seen.push_back(n);
        return n == "image_9";
    });
    QCOMPARE(third, std::string("image_9"));
    QCOMPARE(seen, (std::vector<std::string>{"image_7", "image_8", "image_9"}));
}

void FacadeRegistryTest::equalZOrdersAreAllKept()
{
    const ZOrderBoard board({single(4, 1000003), single(0, 10), single(2, 1000001), single(7, 1000003),
                             single(3, 1000001)});
    QCOMPARE(idsOf(board.ordered()), (std::vector<int>{2, 3, 4, 7}));
    QCOMPARE(board.describe(), std::string(" [2 z:1000001] [3 z:1000001] [4 z:1000003] [7 z:1000003]"));
}

void FacadeRegistryTest::shiftSwapsWithPairs_data()
{
    QTest::addColumn<bool>("up");
    QTest::addColumn<bool>("mePair");
    QTest::addColumn<bool>("otherPair");
    QTest::addColumn<int>("loggedZ");
    QTest::addColumn<int>("loggedOtherZ");
    QTest::addColumn<int>("meZ");
    QTest::addColumn<int>("otherZ");
    QTest::newRow("up single past single") << true << false << false << 1000001 << 1000002 << 1000002 << 1000001;
    QTest::newRow("up single past pair") << true << false << true << 1000001 << 1000003 << 1000003 << 1000001;
    QTest::newRow("up pair past single") << true << true << false << 1000001 << 1000003 << 1000002 << 1000001;
    QTest::newRow("down single past single") << false << false << false << 1000002 << 1000001 << 1000001 << 1000002;
    QTest::newRow("down single past pair") << false << false << true << 1000003 << 1000001 << 1000001 << 1000002;
    QTest::newRow("down pair past single") << false << true << false << 1000003 << 1000001 << 1000001 << 1000003;
}

void FacadeRegistryTest::shiftSwapsWithPairs()
{
    QFETCH(bool, up);
    QFETCH(bool, mePair);
    QFETCH(bool, otherPair);
    QFETCH(int, loggedZ);
    QFETCH(int, loggedOtherZ);
    QFETCH(int, meZ);
    QFETCH(int, otherZ);
    // Item 1 moves; it stands below item 2 when shifting up, above it when shifting down.
    const bool lowerPair = up ? mePair : otherPair;
    const bool upperPair = up ? otherPair : mePair;
    const int upperZ = lowerPair ? 1000003 : 1000002;
    const ZItem lower = lowerPair ? pair(up ? 1 : 2, 1000001) : single(up ? 1 : 2, 1000001);
    const ZItem upper = upperPair ? pair(up ? 2 : 1, upperZ) : single(up ? 2 : 1, upperZ);
    ZOrderBoard board({lower, upper, single(9, 50)});

    const int me = 1;
    const std::optional<ZSwap> swap = up ? board.shiftUp(me) : board.shiftDown(me);
    QVERIFY(swap);
    QCOMPARE(swap->id, me);
    QCOMPARE(swap->neighbour, 3 - me);
    QCOMPARE(swap->z, loggedZ);
    QCOMPARE(swap->neighbourZ, loggedOtherZ);
    QCOMPARE(board.find(me)->z, meZ);
    QCOMPARE(board.find(3 - me)->z, otherZ);
    if (board.find(me)->pair)
        QCOMPARE(board.find(me)->textZ, meZ + 1);
    if (board.find(3 - me)->pair)
        QCOMPARE(board.find(3 - me)->textZ, otherZ + 1);
    // The swapped pair now stands the other way round; a further step finds no neighbour.
    QVERIFY(!(up ? board.shiftUp(me) : board.shiftDown(me)));
    QCOMPARE(board.find(9)->z, 50);
}

void FacadeRegistryTest::renumberGivesPairsTwoSlots()
{
    ZOrderBoard board({single(5, 1500000), pair(6, 200), single(7, 50), single(8, 200), single(9, 3000000)});
    int maxZ = 0, minZ = 0;
    const std::vector<ZAssign> assigns = board.renumber(&maxZ, &minZ);
    QCOMPARE(int(assigns.size()), 3);
    QCOMPARE(board.find(6)->z, 1000000);
    QCOMPARE(board.find(6)->textZ, 1000001);
    QCOMPARE(board.find(8)->z, 1000002);
    QCOMPARE(board.find(5)->z, 1000003);
    QCOMPARE(board.find(7)->z, 50);
    QCOMPARE(board.find(9)->z, 3000000);
    QCOMPARE(maxZ, 1000003);
    QCOMPARE(minZ, 1000000);

    ZOrderBoard empty;
    maxZ = 17;
    QVERIFY(empty.renumber(&maxZ, &minZ).empty());
    QCOMPARE(maxZ, 17);
}

void FacadeRegistryTest::countersAfterRestore()
{
    const ZOrderBoard board({single(1, 50), single(2, 400), pair(3, 1200000), single(4, 3000000), single(5, 20)});
    QCOMPARE(board.lowestActive(), 400);
    QCOMPARE(board.highestActive(), 1200001);
    const ZOrderBoard none({single(1, 1), single(2, 50)});
    QCOMPARE(none.lowestActive(), 1000000);
    QCOMPARE(none.highestActive(), 1000000);
}

void FacadeRegistryTest::namesTakeTheFirstFreeNumber()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int first = f.proxy->addImage(f.picture("a.png", 10, 10), 255, 3);
    bool named = false;
    QCOMPARE(f.proxy->storedNameOf(first, &named), "image_" + std::to_string(first));
    // The next id's own name is already held: the search goes on upwards.
    QVERIFY(f.proxy->registerItem(first, "image_" + std::to_string(first + 1)));
    const int second = f.proxy->addImage(f.picture("b.png", 10, 10), 255, 3);
    QCOMPARE(second, first + 1);
    QCOMPARE(f.proxy->storedNameOf(second, &named), "image_" + std::to_string(first + 2));
    QCOMPARE(f.proxy->makeItemName("image", first + 1), "image_" + std::to_string(first + 3));
}

void FacadeRegistryTest::layersGiveTheirZOrders()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const std::string p = f.picture("p.png", 20, 20);
    const int bottom = f.proxy->addBottomImage(p, 255, 0);
    const int full = f.proxy->addFullScreenCapture(0, 1);
    const int camera = f.proxy->openCamera(f.cameraName(), 2);
    const int image = f.proxy->addImage(p, 255, 3);
    const int shadow = f.proxy->addShadow(p, 255, 4);
    const int edge = f.proxy->addEdge(p, 255, 5);
    const int other = f.proxy->addPendant(p, 255, 9);
    QCOMPARE(f.proxy->getItemZorder(bottom), 1);
    QCOMPARE(f.proxy->getItemZorder(full), 20);
    QCOMPARE(f.proxy->getItemZorder(camera), 50);
    QCOMPARE(f.proxy->getItemZorder(image), 1000001);
    QCOMPARE(f.proxy->getItemZorder(shadow), 3000000);
    QCOMPARE(f.proxy->getItemZorder(edge), 4000000);
    QCOMPARE(f.proxy->getItemZorder(other), 1000002);
    int found = 0;
    QVERIFY(f.proxy->findBottomImageItem(&found));
    QCOMPARE(found, bottom);
    QVERIFY(f.proxy->findFullScreenCaptureItem(&found));
    QCOMPARE(found, full);
    QVERIFY(f.proxy->findItem(&found));
    QCOMPARE(found, camera);
    QVERIFY(f.proxy->findShadowItem(&found));
    QCOMPARE(found, shadow);
    QVERIFY(f.proxy->findEdgeItem(&found));
    QCOMPARE(found, edge);
    std::vector<int> sorted;
    f.proxy->sortedItemIds(sorted);
    QCOMPARE(sorted, (std::vector<int>{bottom, full, camera, image, other, shadow, edge}));
    QVERIFY(LogCapture::contains(QStringLiteral("autoSetItemZorder: id(%1) z(1000001).").arg(image)));
}

void FacadeRegistryTest::addingAtTheTopOfTheActiveRangeRenumbersFirst()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int low = f.proxy->addImage(f.picture("a.png", 10, 10), 255, 3);
    const int high = f.proxy->addImage(f.picture("b.png", 10, 10), 255, 3);
    f.proxy->setItemZorder(low, 500);
    f.proxy->setItemZorder(high, 1999999);
    f.restart();
    QCOMPARE(f.init(), 0);
    QCOMPARE(f.proxy->highestActiveZ(), 1999999);
    QCOMPARE(f.proxy->lowestActiveZ(), 500);

    const int added = f.proxy->addImage(f.picture("c.png", 10, 10), 255, 3);
    const std::vector<int> ids = f.proxy->itemIds();
    QCOMPARE(f.proxy->getItemZorder(ids[0]), 1000000);
    QCOMPARE(f.proxy->getItemZorder(ids[1]), 1000001);
    QCOMPARE(f.proxy->getItemZorder(added), 1000002);
    QCOMPARE(f.proxy->highestActiveZ(), 1000002);
    QCOMPARE(f.proxy->lowestActiveZ(), 1000000);
}

void FacadeRegistryTest::shiftUpAndDownSwapNeighbours()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const std::vector<int> images = f.addImages(3);
    const int a = images[0], b = images[1], c = images[2];
    int start = FacadeFixture::logSize();

    f.proxy->shiftUpItem(a);
    QCOMPARE(f.proxy->getItemZorder(a), 1000002);
    QCOMPARE(f.proxy->getItemZorder(b), 1000001);
    QCOMPARE(FacadeFixture::logSince(start),
             (QStringList{QStringLiteral("shift_up_item %1 z(1000001) <-> %2 z(1000002).").arg(a).arg(b),
                          QStringLiteral("all items  [%1 z:1000001] [%2 z:1000002] [%3 z:1000003].")
                              .arg(b)
                              .arg(a)
                              .arg(c)}));

    start = FacadeFixture::logSize();
    f.proxy->shiftUpItem(c); // already on top: nothing, not even a log line
    QCOMPARE(FacadeFixture::logSince(start), QStringList{});
    QCOMPARE(f.proxy->getItemZorder(c), 1000003);

    f.proxy->shiftDownItem(c);
    QCOMPARE(f.proxy->getItemZorder(c), 1000002);
    QCOMPARE(f.proxy->getItemZorder(a), 1000003);
    QVERIFY(LogCapture::contains(QStringLiteral("shift_down_item %1 z(1000003) <-> %2 z(1000002).").arg(c).arg(a)));
}

void FacadeRegistryTest::moveToTopAndBottom()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const std::vector<int> images = f.addImages(2);
    const int a = images[0], b = images[1];

    f.proxy->moveItemToTop(a);
    QCOMPARE(f.proxy->getItemZorder(a), 1000003);
    QVERIFY(LogCapture::contains("max active item z-order: 1000003."));
    const int start = FacadeFixture::logSize();
    f.proxy->moveItemToTop(a);
    QCOMPARE(f.proxy->getItemZorder(a), 1000003);
    QCOMPARE(FacadeFixture::logSince(start), QStringList{});

    f.proxy->moveItemToBottom(b);
    QCOMPARE(f.proxy->getItemZorder(b), 999999);
    QVERIFY(LogCapture::contains("min active item z-order: 999999."));
    const int atBottom = FacadeFixture::logSize();
    f.proxy->moveItemToBottom(b);
    QCOMPARE(f.proxy->getItemZorder(b), 999999);
    QCOMPARE(f.proxy->lowestActiveZ(), 999999);
    QCOMPARE(FacadeFixture::logSince(atBottom), QStringList{});
}

void FacadeRegistryTest::moveToBottomRenumbersOnlyBelowTheFloor_data()
{
    QTest::addColumn<bool>("moverIsPair");
    QTest::addColumn<int>("lowest");
    QTest::addColumn<int>("otherAfter");
    QTest::addColumn<int>("moverAfter");
    // The mover may take the lowest z-order minus its step while that stays at 101 or above.
    QTest::newRow("single lands on 101") << false << 102 << 102 << 101;
    QTest::newRow("single would land on 100") << false << 101 << 1000000 << 999999;
    QTest::newRow("pair lands on 101") << true << 103 << 103 << 101;
    QTest::newRow("pair would land on 100") << true << 102 << 1000000 << 999998;
}

void FacadeRegistryTest::moveToBottomRenumbersOnlyBelowTheFloor()
{
    QFETCH(bool, moverIsPair);
    QFETCH(int, lowest);
    QFETCH(int, otherAfter);
    QFETCH(int, moverAfter);
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    int other = f.proxy->addImage(f.picture("a.png", 10, 10), 255, 3);
    testsupport::TextRecord text(u"字幕");
    int mover = moverIsPair
                          ? f.proxy->addEffectiveText(f.picture("bg.png", 400, 60), QRect(10, 10, 300, 40), &text.info)
                          : f.proxy->addImage(f.picture("b.png", 10, 10), 255, 3);
    QVERIFY(mover > 0);
    f.proxy->setItemZorder(other, lowest);
    EffectiveTxtItem *item = nullptr;
    if (moverIsPair) {
        QVERIFY(f.proxy->findEffectiveText(mover, &item));
        item->setZ(1500000);
    } else {
        f.proxy->setItemZorder(mover, 1500000);
    }
    f.restart();
    QCOMPARE(f.init(), 0);
    QCOMPARE(f.proxy->lowestActiveZ(), lowest);
    // The restored scene hands out its own ids.
    std::vector<int> sorted;
    f.proxy->sortedItemIds(sorted);
    QCOMPARE(int(sorted.size()), 2);
    other = sorted[0];
    mover = sorted[1];
    QCOMPARE(f.proxy->getItemZorder(other), lowest);
    QCOMPARE(f.proxy->isEffectiveText(mover), moverIsPair);

    f.proxy->moveItemToBottom(mover);
    QCOMPARE(f.proxy->getItemZorder(other), otherAfter);
    QCOMPARE(f.proxy->getItemZorder(mover), moverAfter);
    if (moverIsPair) {
        QVERIFY(f.proxy->findEffectiveText(mover, &item));
        QCOMPARE(item->textZ(), moverAfter + 1);
    }
    QCOMPARE(f.proxy->lowestActiveZ(), moverAfter);
    QVERIFY(LogCapture::contains(QStringLiteral("min active item z-order: %1.").arg(moverAfter)));

    // Already at the bottom: no change, no renumbering, no log line.
    const int start = FacadeFixture::logSize();
    f.proxy->moveItemToBottom(mover);
    QCOMPARE(f.proxy->getItemZorder(mover), moverAfter);
    QCOMPARE(f.proxy->getItemZorder(other), otherAfter);
    QCOMPARE(f.proxy->lowestActiveZ(), moverAfter);
    QCOMPARE(FacadeFixture::logSince(start), QStringList{});
}

void FacadeRegistryTest::equalNeighboursGoToTheEarlierOne_data()
{
    QTest::addColumn<bool>("up");
    QTest::newRow("shift up") << true;
    QTest::newRow("shift down") << false;
}

void FacadeRegistryTest::equalNeighboursGoToTheEarlierOne()
{
    QFETCH(bool, up);
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const std::vector<int> ids = f.addImages(3);
    // The mover stands at one end; the other two share the z-order next to it.
    const int mover = up ? ids[0] : ids[2];
    const int moverZ = up ? 1000001 : 1000009;
    const int earlier = up ? ids[1] : ids[0];
    const int later = up ? ids[2] : ids[1];
    f.proxy->setItemZorder(mover, moverZ);
    f.proxy->setItemZorder(earlier, 1000005);
    f.proxy->setItemZorder(later, 1000005);

    if (up)
        f.proxy->shiftUpItem(mover);
    else
        f.proxy->shiftDownItem(mover);
    QCOMPARE(f.proxy->getItemZorder(mover), 1000005);
    QCOMPARE(f.proxy->getItemZorder(earlier), moverZ);
    QCOMPARE(f.proxy->getItemZorder(later), 1000005);
    QVERIFY(LogCapture::contains(QStringLiteral("%1 %2 z(%3) <-> %4 z(1000005).")
                                     .arg(up ? "shift_up_item" : "shift_down_item")
                                     .arg(mover)
                                     .arg(moverZ)
                                     .arg(earlier)));
}

void FacadeRegistryTest::shiftItemStepsPastOthers()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const std::vector<int> ids = f.addImages(5);
    const int start = FacadeFixture::logSize();

    f.proxy->shiftItem(ids[0], ids[3]);
    std::vector<int> sorted;
    f.proxy->sortedItemIds(sorted);
    QCOMPARE(sorted, (std::vector<int>{ids[1], ids[2], ids[3], ids[0], ids[4]}));
    const QStringList log = FacadeFixture::logSince(start);
    QCOMPARE(log.first(), QStringLiteral("shift_item %1 z(1000001) <-> %2 z(1000004).").arg(ids[0]).arg(ids[3]));
    QCOMPARE(log.filter("shift_up_item").size(), 3);
    QCOMPARE(log.last(), QStringLiteral("shift_item end."));

    f.proxy->shiftItem(ids[0], ids[1]);
    f.proxy->sortedItemIds(sorted);
    QCOMPARE(sorted, (std::vector<int>{ids[0], ids[1], ids[2], ids[3], ids[4]}));
}

void FacadeRegistryTest::effectiveTextTakesTwoSlots()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int a = f.proxy->addImage(f.picture("p.png", 10, 10), 255, 3);
    testsupport::TextRecord text(u"字幕");
    const int pair = f.proxy->addEffectiveText(f.picture("bg.png", 400, 60), QRect(10, 10, 300, 40), &text.info);
    QVERIFY(pair > 0);
    EffectiveTxtItem *item = nullptr;
    QVERIFY(f.proxy->findEffectiveText(pair, &item));
    QCOMPARE(item->pictureZ(), 1000002);
    QCOMPARE(item->textZ(), 1000003);
    QCOMPARE(f.proxy->itemIds(), (std::vector<int>{a, pair}));
    QCOMPARE(f.proxy->maxActiveZorder(), 1000003);

    f.proxy->shiftUpItem(a);
    QCOMPARE(item->pictureZ(), 1000001);
    QCOMPARE(item->textZ(), 1000002);
    QCOMPARE(f.proxy->getItemZorder(a), 1000003);

    f.proxy->moveItemToTop(pair);
    QCOMPARE(item->pictureZ(), 1000004);
    QCOMPARE(item->textZ(), 1000005);
    f.proxy->moveItemToBottom(pair);
    QCOMPARE(item->pictureZ(), 999998);
    QCOMPARE(item->textZ(), 999999);

    f.proxy->renumberActiveZorders();
    QCOMPARE(item->pictureZ(), 1000000);
    QCOMPARE(item->textZ(), 1000001);
    QCOMPARE(f.proxy->getItemZorder(a), 1000002);
    QCOMPARE(f.proxy->highestActiveZ(), 1000002);
}

void FacadeRegistryTest::itemsSharingAZOrderAreAllListed()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const std::vector<int> images = f.addImages(3);
    const int a = images[0], b = images[1], c = images[2];
    f.proxy->setItemZorder(c, 1000001);
    f.proxy->setItemZorder(a, 1000001);
    std::vector<int> sorted;
    f.proxy->sortedItemIds(sorted);
    QCOMPARE(sorted, (std::vector<int>{a, c, b}));

    f.proxy->renumberActiveZorders();
    QCOMPARE(f.proxy->getItemZorder(a), 1000000);
    QCOMPARE(f.proxy->getItemZorder(c), 1000001);
    QCOMPARE(f.proxy->getItemZorder(b), 1000002);
}

void FacadeRegistryTest::lockWordsInNamesDecideWhatMayChange()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int id = f.proxy->addImage(f.picture("p.png", 10, 10), 255, 3);
    const std::string base = "image_" + std::to_string(id);
    QVERIFY(f.proxy->canMoveItem(id) && f.proxy->canResizeItem(id) && f.proxy->canShiftItem(id));

    f.proxy->setItemUnmove(id);
    bool named = false;
    QCOMPARE(f.proxy->storedNameOf(id, &named), base + "_unmove");
    QVERIFY(!f.proxy->canMoveItem(id));
    QVERIFY(f.proxy->canResizeItem(id));
    QVERIFY(f.proxy->canShiftItem(id));

    f.proxy->setItemUnshift(id);
    f.proxy->setItemUnshift(id);
    QCOMPARE(f.proxy->storedNameOf(id, &named), base + "_unmove_unshift");
    QVERIFY(!f.proxy->canShiftItem(id));

    f.proxy->clearItemUnmove(id);
    QCOMPARE(f.proxy->storedNameOf(id, &named), base + "_unshift");
    QVERIFY(f.proxy->canMoveItem(id));
    f.proxy->setItemUnresize(id);
    QVERIFY(!f.proxy->canResizeItem(id));
    f.proxy->clearItemUnresize(id);
    f.proxy->clearItemUnshift(id);
    QCOMPARE(f.proxy->storedNameOf(id, &named), base);
}

void FacadeRegistryTest::fixedLayersNeverMove()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const std::string p = f.picture("p.png", 10, 10);
    const std::vector<int> fixed = {f.proxy->addBottomImage(p, 255, 0), f.proxy->openCamera(f.cameraName(), 2),
                                    f.proxy->addFullScreenCapture(0, 1), f.proxy->addShadow(p, 255, 4),
                                    f.proxy->addEdge(p, 255, 5)};
    const int active = f.proxy->addImage(p, 255, 3);
    for (int id : fixed) {
        const int z = f.proxy->getItemZorder(id);
        QVERIFY(!f.proxy->canMoveItem(id));
        QVERIFY(!f.proxy->canResizeItem(id));
        QVERIFY(!f.proxy->canShiftItem(id));
        f.proxy->moveItemToTop(id);
        f.proxy->shiftUpItem(id);
        f.proxy->shiftItem(id, active);
        f.proxy->renumberActiveZorders();
        QCOMPARE(f.proxy->getItemZorder(id), z);
    }
}

void FacadeRegistryTest::adjustItemRectKeepsTheScale_data()
{
    QTest::addColumn<int>("oldWidth");
    QTest::addColumn<int>("oldHeight");
    QTest::addColumn<QRect>("placed");
    // The picture's source grows from 100 x 50 to 150 x 75; it was placed at 200 x 101.
    QTest::newRow("scaled") << 100 << 50 << QRect(5, 6, 300, 152);
    QTest::newRow("larger old size") << 120 << 60 << QRect(5, 6, 250, 126);
    QTest::newRow("no old width") << 0 << 50 << QRect(5, 6, 200, 101);
    QTest::newRow("no old height") << 100 << 0 << QRect(5, 6, 200, 101);
}

void FacadeRegistryTest::adjustItemRectKeepsTheScale()
{
    QFETCH(int, oldWidth);
    QFETCH(int, oldHeight);
    QFETCH(QRect, placed);
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int id = f.proxy->addImage(f.picture("p.png", 100, 50), 255, 3);
    f.proxy->setItemRect(id, 5, 6, 200, 101);
    QVERIFY(f.proxy->setItemSource(id, f.picture("q.png", 150, 75)));
    f.proxy->adjustItemRect(id, oldWidth, oldHeight);
    int x = 0, y = 0, w = 0, h = 0;
    f.proxy->getItemRect(id, &x, &y, &w, &h);
    QCOMPARE(QRect(x, y, w, h), placed);
}

void FacadeRegistryTest::removeItemClearsSelectionAndLists()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int a = f.proxy->addImage(f.picture("p.png", 10, 10), 255, 3);
    testsupport::TextRecord text(u"字幕");
    const int pair = f.proxy->addEffectiveText(f.picture("bg.png", 400, 60), QRect(10, 10, 300, 40), &text.info);
    const int textId = pair + 1;
    f.proxy->setCurrentItemId(pair);

    f.proxy->removeItem(pair);
    QCOMPARE(f.proxy->currentItemId(), -1);
    QCOMPARE(f.proxy->itemIds(), std::vector<int>{a});
    QVERIFY(!f.proxy->isEffectiveText(pair));
    // The pair's entry went too, not only its ids.
    QVERIFY(!f.proxy->findEffectiveText(-1));
    QVERIFY(!f.engine()->item(pair));
    QVERIFY(!f.engine()->item(textId));
    QVERIFY(f.engine()->item(a));
    QVERIFY(LogCapture::contains(QStringLiteral("remove item: %1.").arg(pair)));

    f.proxy->removeItem(a);
    QVERIFY(f.proxy->itemIds().empty());
    QCOMPARE(f.engine()->store().Count(), 0);
}

void FacadeRegistryTest::unknownIdsChangeNothing_data()
{
    QTest::addColumn<int>("id");
    QTest::newRow("zero") << 0;
    QTest::newRow("negative") << -3;
    QTest::newRow("never made") << 999;
}

void FacadeRegistryTest::unknownIdsChangeNothing()
{
    QFETCH(int, id);
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int a = f.proxy->addImage(f.picture("p.png", 10, 10), 255, 3);
    const int b = f.proxy->addImage(f.picture("p.png", 10, 10), 255, 3);
    f.calls().clear();

    QCOMPARE(f.proxy->getItemZorder(id), -1);
    QCOMPARE(f.proxy->itemType(id), 0);
    f.proxy->shiftUpItem(id);
    f.proxy->shiftDownItem(id);
    f.proxy->moveItemToTop(id);
    f.proxy->moveItemToBottom(id);
    f.proxy->shiftItem(id, a);
    f.proxy->setItemUnmove(id);
    f.proxy->adjustItemRect(id, 10, 10);
    f.proxy->removeItem(id);
    QVERIFY(!f.proxy->canMoveItem(id));
    QCOMPARE(f.ops({"SetItemZ", "SetItemName", "Remove"}), std::vector<std::string>{});
    QCOMPARE(f.proxy->itemIds(), (std::vector<int>{a, b}));
    QCOMPARE(f.proxy->getItemZorder(a), 1000001);
    QCOMPARE(f.proxy->getItemZorder(b), 1000002);
}

QTEST_MAIN(FacadeRegistryTest)
#include "tst_facade_registry.moc"
