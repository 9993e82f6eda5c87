// The special-effect panel: edges and shadows that replace each other,
// pendants added freely, the chosen list with its pages, cancel marks and
// clear-all, and the list rebuilt from the scene.

#include "FacadeFixture.h"
#include "MvEnterBorderButton.h"
#include "MvEnterBorderCancelButton.h"
#include "UiSampleWidget.h"
#include "UiSamplePage.h"
#include "UiScreenEffect.h"
#include "UiSetEdging.h"
#include "UiSetPendant.h"
#include "UiSetShadow.h"
#include "EffectPanelWidget.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <memory>

using testsupport::FacadeFixture;

Q_DECLARE_METATYPE(QVector<int>)

namespace {

// A started facade, the shipped effects in the work folder and a panel
// made after them.
struct PanelFixture
{
    PanelFixture()
    {
        QVERIFY(f.env.copyEffectFolder());
        QCOMPARE(f.init(), 0);
        panel = std::make_unique<UiSpecialEffectWidget>();
        panel->setLiveProxy(f.proxy.get());
    }

    // Clicks cell (row, column) of the first page of sample page `kind`.
    void click(int kind, int row, int column)
    {
        panel->ShowPanel(kind);
        auto *table = panel->samplePage(kind)->picker()->findChild<QTableWidget *>(
            QStringLiteral("widgetsSamplesTableWidget"));
        auto *cell = qobject_cast<MvEnterBorderButton *>(table->cellWidget(row, column));
        QVERIFY(cell);
        QTest::mouseClick(cell, Qt::LeftButton);
    }

    QStringList chosenPaths() const
    {
        QStringList out;
        for (const PictureItem &entry : panel->chosenList()->chosen())
            out << entry.path;
        return out;
    }
    QList<int> chosenIds() const
    {
        QList<int> out;
        for (const PictureItem &entry : panel->chosenList()->chosen())
            out << entry.id;
        return out;
    }
    QRect rectOf(int id) const
    {
        int x = 0, y = 0, w = 0, h = 0;
        f.proxy->getItemRect(id, &x, &y, &w, &h);
        return QRect(x, y, w, h);
    }

    FacadeFixture f;
    std::unique_ptr<UiSpecialEffectWidget> panel;
};

QTableWidget *chosenTable(UiScreenEffect &list)
{
    return list.findChild<QTableWidget *>(QStringLiteral("effectTableWidget"));
}

} // namespace

class SpecialEffectsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<QVector<int>>(); }
    void panelForm();
    void samplePages();
    void showPanel();
    void sameFileName_data();
    void sameFileName();
    void fullWindowEffectsReplaceEachOther_data();
    void fullWindowEffectsReplaceEachOther();
    void pendantsAreAddedFreely();
    void refusedEffectKeepsTheOldOne_data();
    void refusedEffectKeepsTheOldOne();
    void withoutFacadeNothingIsAdded();
    void restoreListsTheEffectsOfTheScene();
    void chosenListForm();
    void eightPerPage();
    void cancelMarks();
    void clearAll();
    void removeChosen();
};

void SpecialEffectsTest::panelForm()
{
    PanelFixture p;
    UiSpecialEffectWidget &panel = *p.panel;
    QCOMPARE(panel.objectName(), QStringLiteral("UiSpecialEffectWidget"));
    QCOMPARE(panel.windowTitle(), QStringLiteral("Form"));
    QCOMPARE(panel.size(), QSize(230, 550));
    QCOMPARE(panel.chosenList()->geometry(), QRect(0, 415, 230, 139));
    QWidget *container = panel.samplePage(0)->parentWidget();
    QCOMPARE(container->styleSheet(), QStringLiteral("background-color: white;\n"));
    QCOMPARE(panel.currentIndex(), 0);
    QVERIFY(!panel.samplePage(0)->isHidden());
    QVERIFY(panel.samplePage(1)->isHidden());
    QVERIFY(panel.samplePage(2)->isHidden());
    QVERIFY(!panel.samplePage(3));
}

void SpecialEffectsTest::samplePages()
{
    testsupport::TempEnvironment env;
    QVERIFY(env.copyEffectFolder());
    UiSetEdging edging;
    UiSetPendant pendant;
    UiSetShadow shadow;
    const QList<UiSamplePage *> pages{&edging, &pendant, &shadow};
    const QList<QSize> sizes{QSize(250, 596), QSize(310, 528), QSize(336, 449)};
    const QStringList styles{"background:white", "background:white", ""};
    const QList<int> counts{3, 9, 2};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(pages[i]->effectIndex(), i);
        QCOMPARE(pages[i]->picker()->kind(), i);
        QCOMPARE(pages[i]->size(), sizes[i]);
        QCOMPARE(pages[i]->styleSheet(), styles[i]);
        QCOMPARE(pages[i]->windowTitle(), QStringLiteral("Form"));
        QCOMPARE(pages[i]->picker()->samplePaths().size(), counts[i]);
    }
    QCOMPARE(pendant.findChild<QWidget *>(QStringLiteral("widget_page_index"), Qt::FindDirectChildrenOnly)->geometry(),
             QRect(10, 410, 291, 41));
    QCOMPARE(shadow.findChild<QWidget *>(QStringLiteral("widget_page_index"), Qt::FindDirectChildrenOnly)->geometry(),
             QRect(20, 340, 271, 41));
    QCOMPARE(edging.GetItemPath(1, 0, 1), QStringLiteral("./effect/edging/胶片.png"));
    QCOMPARE(shadow.GetItemPath(1, 0, 0), QStringLiteral("./effect/shadow/暖光.png"));
    // A cell click goes up with the page's own index.
    QSignalSpy clicks(&shadow, SIGNAL(effectclicked(int,int,int,int)));
    auto *table = shadow.picker()->findChild<QTableWidget *>(QStringLiteral("widgetsSamplesTableWidget"));
    QTest::mouseClick(table->cellWidget(0, 1), Qt::LeftButton);
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(clicks[0], (QList<QVariant>{0, 1, 1, 2}));
}

void SpecialEffectsTest::showPanel()
{
    testsupport::TempEnvironment env;
    UiSpecialEffectWidget panel;
    panel.ShowPanel(2);
    QCOMPARE(panel.currentIndex(), 2);
    QVERIFY(panel.samplePage(0)->isHidden());
    QVERIFY(!panel.samplePage(2)->isHidden());
    panel.ShowPanel(3);
    panel.ShowPanel(-1);
    QCOMPARE(panel.currentIndex(), 2);
    QVERIFY(!panel.samplePage(2)->isHidden());
    panel.ShowPanel(1);
    QVERIFY(panel.samplePage(2)->isHidden());
    QVERIFY(!panel.samplePage(1)->isHidden());
}

void SpecialEffectsTest::sameFileName_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("same");
    QTest::newRow("other folders") << "./effect/edging/花边.png" << "/x/花边.png" << true;
    QTest::newRow("other names") << "./effect/edging/花边.png" << "./effect/edging/星光.png" << false;
    QTest::newRow("case counts") << "a/Edge.png" << "a/edge.png" << false;
    QTest::newRow("both empty") << "" << "" << false;
    QTest::newRow("folders only") << "a/" << "b/" << false;
}

void SpecialEffectsTest::sameFileName()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);
    QCOMPARE(UiSpecialEffectWidget::SameFileName(a, b), same);
}

void SpecialEffectsTest::fullWindowEffectsReplaceEachOther_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("folder");
    QTest::newRow("edge") << 0 << 8 << "./effect/edging/";
    QTest::newRow("shadow") << 2 << 7 << "./effect/shadow/";
}

void SpecialEffectsTest::fullWindowEffectsReplaceEachOther()
{
    QFETCH(int, kind);
    QFETCH(int, type);
    QFETCH(QString, folder);
    PanelFixture p;
    QSignalSpy removals(p.panel->chosenList(), SIGNAL(sampleDel(QVector<int>)));
    p.click(kind, 0, 0);
    QCOMPARE(p.chosenIds().size(), 1);
    const int first = p.chosenIds()[0];
    const QString firstPath = p.panel->samplePage(kind)->GetItemPath(1, 0, 0);
    QVERIFY(firstPath.startsWith(folder));
    QCOMPARE(p.chosenPaths(), QStringList{firstPath});
    QCOMPARE(p.f.proxy->itemType(first), type);
    QCOMPARE(p.rectOf(first), QRect(0, 0, 1280, 720));
    QCOMPARE(p.f.engine()->item(first)->sources, std::vector<std::string>{firstPath.toStdString()});
    // The picker's own cell stays free: the panel adds, not the picker.
    QCOMPARE(p.panel->samplePage(kind)->picker()->sceneIds().count(-1),
             p.panel->samplePage(kind)->picker()->samplePaths().size());

    // The same file again: nothing.
    p.f.calls().clear();
    p.click(kind, 0, 0);
    QCOMPARE(p.f.calls().count("CreateItem"), 0);
    QCOMPARE(p.chosenIds(), QList<int>{first});

    // Another one replaces it in the scene and in the list.
    p.click(kind, 0, 1);
    QCOMPARE(p.chosenIds().size(), 1);
    const int second = p.chosenIds()[0];
    QVERIFY(second > first);
    QVERIFY(!p.f.engine()->item(first));
    QCOMPARE(p.f.proxy->itemType(second), type);
    QCOMPARE(removals.size(), 1);
    QCOMPARE(removals[0][0].value<QVector<int>>(), QVector<int>{first});
    int found = 0;
    QVERIFY(kind == 0 ? p.f.proxy->findEdgeItem(&found) : p.f.proxy->findShadowItem(&found));
    QCOMPARE(found, second);

    // The removal slot by its name, as the list's signal reaches it.
    QVERIFY(QMetaObject::invokeMethod(p.panel.get(), "on_delete_sample", Q_ARG(QVector<int>, QVector<int>{second})));
    QVERIFY(!p.f.engine()->item(second));
}

void SpecialEffectsTest::pendantsAreAddedFreely()
{
    PanelFixture p;
    p.click(1, 0, 0);
    p.click(1, 0, 0);
    p.click(1, 2, 2);
    QCOMPARE(p.chosenIds().size(), 3);
    QCOMPARE(p.chosenPaths(), (QStringList{"./effect/pendant/冰水.png", "./effect/pendant/冰水.png",
                                           "./effect/pendant/花朵.png"}));
    for (int id : p.chosenIds())
        QCOMPARE(p.f.proxy->itemType(id), 9);
    // An edge does not replace pendants.
    p.click(0, 0, 0);
    QCOMPARE(p.chosenIds().size(), 4);
}

void SpecialEffectsTest::refusedEffectKeepsTheOldOne_data()
{
    QTest::addColumn<int>("code");
    QTest::newRow("negative") << -1;
    QTest::newRow("zero") << 0;
}

void SpecialEffectsTest::refusedEffectKeepsTheOldOne()
{
    QFETCH(int, code);
    PanelFixture p;
    p.click(0, 0, 0);
    const int first = p.chosenIds().value(0);
    castcore::control().ints().push("CreateItem", code);
    p.click(0, 0, 2);
    QCOMPARE(p.chosenIds(), QList<int>{first});
    QVERIFY(p.f.engine()->item(first));
    castcore::control().ints().push("CreateItem", code);
    p.click(1, 0, 0);
    QCOMPARE(p.chosenIds(), QList<int>{first});
}

void SpecialEffectsTest::withoutFacadeNothingIsAdded()
{
    testsupport::TempEnvironment env;
    QVERIFY(env.copyEffectFolder());
    UiSpecialEffectWidget panel;
    auto *table = panel.samplePage(0)->picker()->findChild<QTableWidget *>(QStringLiteral("widgetsSamplesTableWidget"));
    QTest::mouseClick(table->cellWidget(0, 0), Qt::LeftButton);
    QVERIFY(panel.chosenList()->chosen().isEmpty());
    QVERIFY(QMetaObject::invokeMethod(&panel, "on_delete_sample", Q_ARG(QVector<int>, QVector<int>({1, 2}))));
}

void SpecialEffectsTest::restoreListsTheEffectsOfTheScene()
{
    FacadeFixture f;
    QVERIFY(f.env.copyEffectFolder());
    QCOMPARE(f.init(), 0);
    const int pendant = f.proxy->addPendant("./effect/pendant/猫.png", 255, 3);
    const int image = f.proxy->addImage("./effect/pendant/猫-m.png", 255, 3);
    const int edge = f.proxy->addEdge("./effect/edging/胶片.png", 255, 5);
    const int shadow = f.proxy->addShadow("./effect/shadow/暗角.png", 255, 4);
    QVERIFY(pendant > 0 && image > 0 && edge > 0 && shadow > 0);
    std::vector<int> order;
    f.proxy->sortedItemIds(order);
    UiSpecialEffectWidget panel;
    panel.setLiveProxy(f.proxy.get());
    QList<int> expected;
    for (int id : order)
        if (id != image)
            expected << id;
    QList<int> ids;
    QStringList paths;
    for (const PictureItem &entry : panel.chosenList()->chosen()) {
        ids << entry.id;
        paths << entry.path;
    }
    QCOMPARE(ids, expected);
    QVERIFY(paths.contains("./effect/edging/胶片.png"));
    QVERIFY(paths.contains("./effect/shadow/暗角.png"));
    QVERIFY(paths.contains("./effect/pendant/猫.png"));
    // A new edge replaces the restored one (the grid is in name order:
    // 星光, 胶片, 花边).
    panel.ShowPanel(0);
    auto *table = panel.samplePage(0)->picker()->findChild<QTableWidget *>(QStringLiteral("widgetsSamplesTableWidget"));
    QTest::mouseClick(table->cellWidget(0, 1), Qt::LeftButton);
    QVERIFY(f.engine()->item(edge)); // the same file: kept
    QTest::mouseClick(table->cellWidget(0, 0), Qt::LeftButton);
    QVERIFY(!f.engine()->item(edge));
    QCOMPARE(panel.chosenList()->chosen().size(), 3);
}

void SpecialEffectsTest::chosenListForm()
{
    testsupport::TempEnvironment env;
    UiScreenEffect list;
    QCOMPARE(list.windowTitle(), QStringLiteral("Form"));
    QCOMPARE(list.findChild<QLabel *>(QStringLiteral("label"))->text(), QStringLiteral("已选"));
    QCOMPARE(list.findChild<QLabel *>(QStringLiteral("label"))->geometry(), QRect(15, 20, 25, 12));
    QCOMPARE(list.findChild<QPushButton *>(QStringLiteral("clearallbtn"))->geometry(), QRect(175, 18, 36, 19));
    QCOMPARE(list.findChild<QPushButton *>(QStringLiteral("fontpushButton"))->geometry(), QRect(2, 66, 8, 52));
    QCOMPARE(list.findChild<QPushButton *>(QStringLiteral("backpushButton"))->geometry(), QRect(220, 66, 8, 52));
    QCOMPARE(list.findChild<QPushButton *>(QStringLiteral("fontpushButton"))->styleSheet(),
             QStringLiteral("QPushButton{image:url(:/image/skin/left.png);border:0px;}"
                            "QPushButton:hover{ image:url(:/image/skin/left_a.png);border:0px;}"));
    QTableWidget *table = chosenTable(list);
    QCOMPARE(table->geometry(), QRect(12, 46, 206, 206));
    QVERIFY(table->hasMouseTracking());
    QCOMPARE(table->styleSheet(), QStringLiteral("selection-background-color:#e8e6e6;"));
    QCOMPARE(table->itemDelegate()->metaObject()->className(), "NoFocusFrameDelegate");
    // The skin pictures the list names are served.
    for (const char *name : {"left", "left_a", "right", "right_a", "clear", "clear_a"})
        QVERIFY2(!QPixmap(QStringLiteral(":/image/skin/%1.png").arg(QLatin1String(name))).isNull(), name);
}

void SpecialEffectsTest::eightPerPage()
{
    testsupport::TempEnvironment env;
    UiScreenEffect list;
    QTableWidget *table = chosenTable(list);
    for (int i = 1; i <= 8; ++i)
        list.AddChosen(QStringLiteral("./effect/pendant/猫.png"), i);
    QCOMPARE(list.pageCount(), 1);
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->columnCount(), 4);
    QCOMPARE((QList<int>{table->columnWidth(0), table->columnWidth(1), table->columnWidth(2), table->columnWidth(3)}),
             (QList<int>{55, 55, 55, 40}));
    QCOMPARE(table->rowHeight(1), 52);
    QVERIFY(qobject_cast<MvEnterBorderCancelButton *>(table->cellWidget(1, 3)));
    list.AddChosen(QStringLiteral("./effect/pendant/花朵.png"), 9);
    QCOMPARE(list.pageCount(), 2);
    QCOMPARE(list.currentPage(), 1);
    QTest::mouseClick(list.findChild<QPushButton *>(QStringLiteral("backpushButton")), Qt::LeftButton);
    QCOMPARE(list.currentPage(), 2);
    QCOMPARE(table->rowCount(), 1);
    QVERIFY(table->cellWidget(0, 0));
    QVERIFY(!table->cellWidget(0, 1));
    QTest::mouseClick(list.findChild<QPushButton *>(QStringLiteral("backpushButton")), Qt::LeftButton);
    QCOMPARE(list.currentPage(), 2);
    QTest::mouseClick(list.findChild<QPushButton *>(QStringLiteral("fontpushButton")), Qt::LeftButton);
    QCOMPARE(list.currentPage(), 1);
    QTest::mouseClick(list.findChild<QPushButton *>(QStringLiteral("fontpushButton")), Qt::LeftButton);
    QCOMPARE(list.currentPage(), 1);
    QCOMPARE(table->rowCount(), 2);
}

void SpecialEffectsTest::cancelMarks()
{
    testsupport::TempEnvironment env;
    UiScreenEffect list;
    for (int i = 1; i <= 9; ++i)
        list.AddChosen(QStringLiteral("./effect/pendant/猫.png"), i * 10);
    QSignalSpy removals(&list, SIGNAL(sampleDel(QVector<int>)));
    QTableWidget *table = chosenTable(list);
    auto *cell = qobject_cast<MvEnterBorderCancelButton *>(table->cellWidget(1, 2));
    cell->ShowCancel();
    QTest::mouseClick(cell->CancelButton(), Qt::LeftButton);
    QCOMPARE(removals.size(), 1);
    QCOMPARE(removals[0][0].value<QVector<int>>(), QVector<int>{70});
    QCOMPARE(list.chosen().size(), 8);
    QCOMPARE(list.pageCount(), 1);
    // Outside the list: nothing.
    list.on_effectTableWidget_cancelbtnclicked(3, 3);
    list.on_effectTableWidget_cancelbtnclicked(-1, 0);
    QCOMPARE(removals.size(), 1);
    QCOMPARE(list.chosen().size(), 8);
    // An entry without an item leaves without a removal.
    list.AddChosen(QStringLiteral("x.png"), 0);
    QTest::mouseClick(list.findChild<QPushButton *>(QStringLiteral("backpushButton")), Qt::LeftButton);
    QCOMPARE(list.currentPage(), 2);
    list.on_effectTableWidget_cancelbtnclicked(0, 0);
    QCOMPARE(removals.size(), 1);
    QCOMPARE(list.chosen().size(), 8);
    // The second page went: the first shows.
    QCOMPARE(list.currentPage(), 1);
    QCOMPARE(table->rowCount(), 2);
}

void SpecialEffectsTest::clearAll()
{
    PanelFixture p;
    p.click(0, 0, 0);
    p.click(1, 0, 1);
    p.click(2, 0, 0);
    const QList<int> ids = p.chosenIds();
    QCOMPARE(ids.size(), 3);
    QSignalSpy removals(p.panel->chosenList(), SIGNAL(sampleDel(QVector<int>)));
    QTest::mouseClick(p.panel->chosenList()->findChild<QPushButton *>(QStringLiteral("clearallbtn")), Qt::LeftButton);
    QCOMPARE(removals.size(), 1);
    QCOMPARE(removals[0][0].value<QVector<int>>(), ids.toVector());
    for (int id : ids)
        QVERIFY(!p.f.engine()->item(id));
    QVERIFY(p.chosenIds().isEmpty());
    QCOMPARE(chosenTable(*p.panel->chosenList())->rowCount(), 0);
    // An empty list asks with an empty vector.
    QTest::mouseClick(p.panel->chosenList()->findChild<QPushButton *>(QStringLiteral("clearallbtn")), Qt::LeftButton);
    QCOMPARE(removals.size(), 2);
    QVERIFY(removals[1][0].value<QVector<int>>().isEmpty());
}

void SpecialEffectsTest::removeChosen()
{
    PanelFixture p;
    p.click(1, 0, 0);
    p.click(1, 0, 1);
    const QList<int> ids = p.chosenIds();
    p.panel->RemoveChosen(ids[0]);
    QCOMPARE(p.chosenIds(), QList<int>{ids[1]});
    QVERIFY(!p.f.engine()->item(ids[0]));
    p.panel->RemoveChosen(12345);
    QCOMPARE(p.chosenIds(), QList<int>{ids[1]});
}

QTEST_MAIN(SpecialEffectsTest)
#include "tst_effectpanel.moc"
