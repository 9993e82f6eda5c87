// The paged sample picker: which files of a sample folder it offers, its
// pages, and the pendants it puts into and takes out of the scene.

#include "AnalyticsStub.h"
#include "FacadeFixture.h"
#include "LogCapture.h"
#include "MvEnterBorderButton.h"
#include "PickerPages.h"
#include "SampleScan.h"
#include "UiSampleWidget.h"
#include "WidgetPictures.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <memory>

using testsupport::AnalyticsStub;
using testsupport::FacadeFixture;

namespace {

QList<int> repeated(int count, int value)
{
    QList<int> out;
    for (int i = 0; i < count; ++i)
        out << value;
    return out;
}

const QString kPendants = QStringLiteral("./effect/pendant/");

// Writes `bytes` bytes at `path`, folders made.
void writeBytes(const QString &path, qint64 bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(QByteArray(int(bytes), 'p')) == bytes);
}

QTableWidget *tableOf(UiSampleWidget &picker)
{
    return picker.findChild<QTableWidget *>(QStringLiteral("widgetsSamplesTableWidget"));
}

MvEnterBorderButton *cellOf(UiSampleWidget &picker, int row, int column)
{
    return qobject_cast<MvEnterBorderButton *>(tableOf(picker)->cellWidget(row, column));
}

// The page as "x" (chosen) and "o" (free) cells, rows separated by "|".
QString pageLook(UiSampleWidget &picker)
{
    QTableWidget *table = tableOf(picker);
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r) {
        QString row;
        for (int c = 0; c < table->columnCount(); ++c) {
            auto *cell = qobject_cast<MvEnterBorderButton *>(table->cellWidget(r, c));
            if (cell)
                row += cell->isChecked() ? QLatin1Char('x') : QLatin1Char('o');
        }
        rows << row;
    }
    return rows.join(QLatin1Char('|'));
}

// A started facade, the shipped pendants in the work folder, and a picker
// made after them.
struct PickerFixture
{
    PickerFixture()
    {
        QVERIFY(f.env.copyEffectFolder());
        f.init();
        f.calls().clear();
        picker = std::make_unique<UiSampleWidget>(1);
        picker->setLiveProxy(f.proxy.get());
    }

    QRect rectOf(int id) const
    {
        int x = 0, y = 0, w = 0, h = 0;
        f.proxy->getItemRect(id, &x, &y, &w, &h);
        return QRect(x, y, w, h);
    }

    FacadeFixture f;
    std::unique_ptr<UiSampleWidget> picker;
};

} // namespace

class PendantsTest : public QObject
{
    Q_OBJECT

private slots:
    void scanRules_data();
    void scanRules();
    void scanKeepsTheFolderOrder();
    void scanLeavesOutHugeClaims();
    void thumbnailBesideTheSample();
    void pageArithmetic_data();
    void pageArithmetic();
    void formAndGrid();
    void shippedPendants();
    void missingFolderGivesAnEmptyGrid();
    void tenSamplesGiveTwoPages();
    void addAndRemove();
    void everyClickIsReported();
    void refusedPendantLeavesTheCellFree_data();
    void refusedPendantLeavesTheCellFree();
    void uncheckingAFreeCellDoesNothing();
    void withoutFacadeNothingIsAdded();
    void markByExactPath();
    void unselect();
    void restoredAfterRestart();
};

void PendantsTest::scanRules_data()
{
    QTest::addColumn<QStringList>("files"); // "name:bytes"
    QTest::addColumn<QStringList>("samples");
    QTest::newRow("sample and thumbnail")
        << QStringList{"冰水.png:100", "冰水-m.png:50"} << QStringList{"冰水.png"};
    QTest::newRow("just below the bound")
        << QStringList{"猫.gif:1199999", "猫-m.png:50"} << QStringList{"猫.gif"};
    QTest::newRow("at the bound") << QStringList{"猫.gif:1200000", "猫-m.png:50"} << QStringList{};
    QTest::newRow("big thumbnail is fine")
        << QStringList{"猫.gif:10", "猫-m.png:1300000"} << QStringList{"猫.gif"};
    QTest::newRow("no thumbnail") << QStringList{"花朵.png:10"} << QStringList{};
    QTest::newRow("two thumbnails")
        << QStringList{"花朵.png:10", "花朵-m.png:10", "花朵-m.gif:10"} << QStringList{};
    QTest::newRow("thumbnail of any type")
        << QStringList{"花朵.png:10", "花朵-m.jpg:10"} << QStringList{"花朵.png"};
    QTest::newRow("name not built in") << QStringList{"狗.png:10", "狗-m.png:10"} << QStringList{};
    QTest::newRow("names are exact") << QStringList{"猫咪咪.png:10", "猫咪咪-m.png:10"} << QStringList{};
    QTest::newRow("a dash in the name")
        << QStringList{"猫-x.png:10", "猫-x-m.png:10"} << QStringList{};
    QTest::newRow("base name up to the first dot")
        << QStringList{"猫.x.png:10", "猫-m.png:10"} << QStringList{"猫.x.png"};
    QTest::newRow("every qualifying file")
        << QStringList{"猫.png:10", "猫.gif:10", "猫-m.png:10"} << QStringList{"猫.gif", "猫.png"};
    QTest::newRow("several samples")
        << QStringList{"猫咪.png:10", "猫咪-m.png:10", "求关注.gif:10", "求关注-m.png:10", "猫.png:10", "猫-m.png:10"}
        << QStringList{"求关注.gif", "猫.png", "猫咪.png"};
}

void PendantsTest::scanRules()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, samples);
    testsupport::TempEnvironment env;
    for (const QString &file : files) {
        const QStringList parts = file.split(QLatin1Char(':'));
        writeBytes(kPendants + parts[0], parts[1].toLongLong());
    }
    QStringList expected;
    for (const QString &name : samples)
        expected << kPendants + name;
    QCOMPARE(samplescan::scanSamples(kPendants, UiSampleWidget::sampleNames(1)), expected);
    // The picker of kind 1 finds the same.
    UiSampleWidget picker(1);
    QCOMPARE(picker.samplePaths(), expected);
    QCOMPARE(picker.sceneIds(), repeated(expected.size(), -1));
}

void PendantsTest::scanKeepsTheFolderOrder()
{
    testsupport::TempEnvironment env;
    for (const char *name : {"b.png", "b-m.png", "a.png", "a-m.png", "c.png", "c-m.png", ".d.png", "-m.png"})
        writeBytes(QStringLiteral("samples/") + QString::fromLatin1(name), 10);
    QVERIFY(QFile::link(QStringLiteral("b.png"), QStringLiteral("samples/e.png")));
    writeBytes(QStringLiteral("samples/e-m.png"), 10);
    // Hidden files count (".d.png" has the empty base name); links do not.
    QCOMPARE(samplescan::scanSamples(QStringLiteral("samples/"), {"e", "c", "b", "a", ""}),
             (QStringList{"samples/.d.png", "samples/a.png", "samples/b.png", "samples/c.png"}));
    QVERIFY(samplescan::scanSamples(QStringLiteral("nowhere/"), {"a"}).isEmpty());
}

void PendantsTest::scanLeavesOutHugeClaims()
{
    testsupport::TempEnvironment env;
    QDir().mkpath(kPendants);
    const auto solid = [](const QString &name, const QSize &size) {
        testsupport::writeSolidPicture(kPendants + name, size, Qt::green);
    };
    // Sample and thumbnail at the bound, a sample just past it, a huge
    // thumbnail beside a sound sample, and a huge sample.
    solid(QStringLiteral("猫.png"), QSize(1920, 1080));
    solid(QStringLiteral("猫-m.png"), QSize(80, 80));
    solid(QStringLiteral("猫咪.png"), QSize(1921, 10));
    solid(QStringLiteral("猫咪-m.png"), QSize(80, 80));
    solid(QStringLiteral("花朵.png"), QSize(100, 100));
    QVERIFY(!testsupport::writeHugeClaimPng(kPendants + QStringLiteral("花朵-m.png"), QSize(20000, 20000)).isEmpty());
    QVERIFY(!testsupport::writeHugeClaimPng(kPendants + QStringLiteral("求关注.png"), QSize(20000, 20000)).isEmpty());
    solid(QStringLiteral("求关注-m.png"), QSize(80, 80));
    // Not a picture Qt reads: judged by the engine, as before.
    writeBytes(kPendants + QStringLiteral("求珍珠.swf"), 100);
    solid(QStringLiteral("求珍珠-m.png"), QSize(80, 80));

    const int start = testsupport::LogCapture::texts().size();
    QCOMPARE(samplescan::scanSamples(kPendants, UiSampleWidget::sampleNames(1)),
             (QStringList{kPendants + QStringLiteral("求珍珠.swf"), kPendants + QStringLiteral("猫.png")}));
    const QStringList log = testsupport::LogCapture::texts().mid(start);
    for (const QString &name : {QStringLiteral("求关注.png"), QStringLiteral("猫咪.png"), QStringLiteral("花朵.png")})
        QCOMPARE(log.filter(QStringLiteral("drop sample: %1%2 (larger than 1920*1080)").arg(kPendants, name)).size(),
                 1);
}

void PendantsTest::thumbnailBesideTheSample()
{
    testsupport::TempEnvironment env;
    QCOMPARE(samplescan::thumbnailPath(QStringLiteral("./effect/pendant/冰水.png")),
             env.workPath() + QStringLiteral("/effect/pendant/冰水-m.png"));
    QCOMPARE(samplescan::thumbnailPath(QStringLiteral("/x/y/猫.tar.gif")), QStringLiteral("/x/y/猫-m.png"));
}

void PendantsTest::pageArithmetic_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QList<int>>("rows");
    QTest::newRow("none") << 0 << 0 << QList<int>{};
    QTest::newRow("one") << 1 << 1 << QList<int>{1};
    QTest::newRow("three") << 3 << 1 << QList<int>{1};
    QTest::newRow("four") << 4 << 1 << QList<int>{2};
    QTest::newRow("nine") << 9 << 1 << QList<int>{3};
    QTest::newRow("ten") << 10 << 2 << QList<int>{3, 1};
    QTest::newRow("twenty-two") << 22 << 3 << QList<int>{3, 3, 2};
}

void PendantsTest::pageArithmetic()
{
    QFETCH(int, count);
    QFETCH(int, pages);
    QFETCH(QList<int>, rows);
    QCOMPARE(pickerpages::pageCount(count, 9), pages);
    QList<int> got;
    for (int page = 1; page <= pages; ++page)
        got << pickerpages::rowsOnPage(page, count, 9, 3);
    QCOMPARE(got, rows);
    QCOMPARE(pickerpages::rowsOnPage(0, count, 9, 3), 0);
    QCOMPARE(pickerpages::rowsOnPage(pages + 1, count, 9, 3), 0);
    QCOMPARE(pickerpages::indexOf(2, 1, 2, 9, 3), 14);
}

void PendantsTest::formAndGrid()
{
    PickerFixture p;
    UiSampleWidget &picker = *p.picker;
    QCOMPARE(picker.size(), QSize(264, 496));
    QCOMPARE(picker.styleSheet(), QStringLiteral("background:white;"));
    auto *label = picker.findChild<QLabel *>(QStringLiteral("label"));
    QCOMPARE(label->text(), QStringLiteral("常用挂件"));
    QCOMPARE(label->geometry(), QRect(12, 0, 161, 12));
    QTableWidget *table = tableOf(picker);
    QCOMPARE(table->geometry(), QRect(12, 24, 243, 318));
    QCOMPARE(table->frameShape(), QFrame::NoFrame);
    QVERIFY(!table->showGrid());
    QCOMPARE(table->selectionMode(), QAbstractItemView::SingleSelection);
    QVERIFY(table->horizontalHeader()->isHidden());
    QVERIFY(table->verticalHeader()->isHidden());
    QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(table->styleSheet(), QStringLiteral("selection-background-color:white;"));
    QCOMPARE(table->itemDelegate()->metaObject()->className(), "NoFocusFrameDelegate");
    QWidget *strip = picker.findChild<QWidget *>(QStringLiteral("widget_page_index"));
    QCOMPARE(strip->geometry(), QRect(10, 360, 251, 21));
    QVERIFY(strip->isHidden()); // one page
    QCOMPARE(table->columnCount(), 3);
    QCOMPARE(table->rowCount(), 3);
    QCOMPARE((QList<int>{table->columnWidth(0), table->columnWidth(1), table->columnWidth(2)}),
             (QList<int>{81, 81, 74}));
    QCOMPARE((QList<int>{table->rowHeight(0), table->rowHeight(1), table->rowHeight(2)}),
             (QList<int>{106, 106, 94}));
    MvEnterBorderButton *cell = cellOf(picker, 1, 2);
    QVERIFY(cell);
    QCOMPARE(cell->Caption(), QStringLiteral("求珍珠"));
}

void PendantsTest::shippedPendants()
{
    testsupport::TempEnvironment env;
    QVERIFY(env.copyEffectFolder());
    UiSampleWidget picker(1);
    QStringList expected;
    const QStringList nine{"冰水", "弹幕护体", "旋转木马", "柯基放屁", "求关注", "求珍珠", "猫", "猫咪", "花朵"};
    QCOMPARE(UiSampleWidget::sampleNames(1), nine);
    for (const QString &name : nine) {
        expected << kPendants + name + QStringLiteral(".png");
        QVERIFY(QFileInfo(kPendants + name + QStringLiteral(".png")).size() < 1200000);
    }
    QCOMPARE(picker.samplePaths(), expected);
    QCOMPARE(picker.pageCount(), 1);
    QCOMPARE(picker.currentPage(), 1);
    QVERIFY(picker.pageButtons().isEmpty());
    QCOMPARE(picker.GetItemPath(1, 2, 2), kPendants + QStringLiteral("花朵.png"));
    QCOMPARE(picker.GetItemPath(1, 0, 1), kPendants + QStringLiteral("弹幕护体.png"));
    QCOMPARE(picker.GetItemPath(0, 0, 0), QString());
    // Every thumbnail is a picture of the cell's picture area.
    for (const QString &path : expected)
        QCOMPARE(QImage(samplescan::thumbnailPath(path)).size(), QSize(74, 74));
    // Other kinds load nothing from the pendant folder.
    QVERIFY(UiSampleWidget(5).samplePaths().isEmpty());
}

void PendantsTest::missingFolderGivesAnEmptyGrid()
{
    testsupport::TempEnvironment env;
    UiSampleWidget picker(1);
    QCOMPARE(testsupport::LogCapture::texts(), QStringList{"drop sample folder: ./effect/pendant/ (missing)"});
    QVERIFY(picker.samplePaths().isEmpty());
    QCOMPARE(picker.pageCount(), 0);
    QCOMPARE(tableOf(picker)->rowCount(), 0);
    QVERIFY(!picker.MarkItemAdded(3, kPendants + QStringLiteral("猫.png")));
    picker.UnselectItem(3);
    // Nothing there; called by its name.
    QVERIFY(QMetaObject::invokeMethod(&picker, "on_sampletable_clicked", Q_ARG(bool, true), Q_ARG(int, 0), Q_ARG(int, 0)));
    QCOMPARE(tableOf(picker)->rowCount(), 0);
}

void PendantsTest::tenSamplesGiveTwoPages()
{
    // The edge picker's folder takes more names than the pendant one.
    testsupport::TempEnvironment env;
    const QStringList names = UiSampleWidget::sampleNames(0).mid(0, 10);
    QCOMPARE(names.size(), 10);
    for (const QString &name : names) {
        writeBytes(QStringLiteral("./effect/edging/") + name + QStringLiteral(".png"), 10);
        writeBytes(QStringLiteral("./effect/edging/") + name + QStringLiteral("-m.png"), 10);
    }
    UiSampleWidget picker(0);
    QCOMPARE(picker.samplePaths().size(), 10);
    QCOMPARE(picker.pageCount(), 2);
    QWidget *strip = picker.findChild<QWidget *>(QStringLiteral("widget_page_index"));
    QVERIFY(!strip->isHidden());
    const QList<QPushButton *> buttons = picker.pageButtons();
    QCOMPARE(buttons.size(), 2);
    QCOMPARE(buttons[0]->text(), QStringLiteral("1"));
    QCOMPARE(buttons[1]->text(), QStringLiteral("2"));
    QCOMPARE(buttons[0]->minimumSize(), QSize(6, 6));
    QCOMPARE(buttons[0]->maximumSize(), QSize(6, 6));
    const QString current = QStringLiteral(
        "QPushButton{border-width: 1px;border-style: solid; border-color:#acacac;background-color:#ffffff;"
        "color:#acacac;}");
    const QString plain = QStringLiteral(
        "QPushButton{border:none; color:#acacac;}QPushButton:hover{border:none; background-color:#f0f0f0;}"
        "QPushButton:pressed{border-width: 1px;border-style: solid; border-color:#acacac;"
        "background-color:#ffffff;color:#acacac;}");
    QCOMPARE(buttons[0]->styleSheet(), current);
    QCOMPARE(buttons[0]->font().pointSize(), 10);
    QCOMPARE(buttons[1]->styleSheet(), plain);
    QCOMPARE(buttons[1]->font().pointSize(), 8);
    QCOMPARE(buttons[1]->font().family(), QStringLiteral("微软雅黑"));

    QTest::mouseClick(buttons[1], Qt::LeftButton);
    QCOMPARE(picker.currentPage(), 2);
    QCOMPARE(tableOf(picker)->rowCount(), 1);
    QCOMPARE(tableOf(picker)->rowHeight(0), 94);
    QVERIFY(cellOf(picker, 0, 0));
    QVERIFY(!cellOf(picker, 0, 1));
    QCOMPARE(buttons[1]->styleSheet(), current);
    QCOMPARE(buttons[0]->styleSheet(), plain);
    QCOMPARE(picker.GetItemPath(2, 0, 0), picker.samplePaths().at(9));
    QTest::mouseClick(buttons[0], Qt::LeftButton);
    QCOMPARE(picker.currentPage(), 1);
    QCOMPARE(tableOf(picker)->rowCount(), 3);
}

void PendantsTest::addAndRemove()
{
    AnalyticsStub analytics;
    PickerFixture p;
    UiSampleWidget &picker = *p.picker;
    QSignalSpy added(&picker, SIGNAL(on_addpendantclicked(QString,QString,int)));
    QSignalSpy removed(&picker, SIGNAL(on_delpendantclicked(int)));

    QTest::mouseClick(cellOf(picker, 0, 2), Qt::LeftButton); // 旋转木马, third sample
    QCOMPARE(added.size(), 1);
    const int id = added[0][2].toInt();
    QVERIFY(id > 0);
    QCOMPARE(added[0][0].toString(), p.f.env.workPath() + QStringLiteral("/effect/pendant/旋转木马-m.png"));
    QCOMPARE(added[0][1].toString(), QStringLiteral("旋转木马"));
    const auto item = p.f.engine()->item(id);
    QVERIFY(item);
    // The path as the folder scan gave it, relative.
    QCOMPARE(item->sources, std::vector<std::string>{(kPendants + QStringLiteral("旋转木马.png")).toStdString()});
    QCOMPARE(item->alpha, 255);
    QCOMPARE(p.f.proxy->itemType(id), 9);
    // Top-right corner at the engine's size of the picture (96 x 96).
    QCOMPARE(p.rectOf(id), QRect(1280 - 96, 0, 96, 96));
    QCOMPARE(picker.sceneIds(), (QList<int>{-1, -1, id, -1, -1, -1, -1, -1, -1}));
    QCOMPARE(pageLook(picker), QStringLiteral("oox|ooo|ooo"));

    QTest::mouseClick(cellOf(picker, 2, 0), Qt::LeftButton); // 猫, seventh
    QCOMPARE(added.size(), 2);
    const int second = added[1][2].toInt();
    QVERIFY(second > id);
    QCOMPARE(pageLook(picker), QStringLiteral("oox|ooo|xoo"));

    QTest::mouseClick(cellOf(picker, 0, 2), Qt::LeftButton);
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed[0][0].toInt(), id);
    QVERIFY(!p.f.engine()->item(id));
    QVERIFY(p.f.engine()->item(second));
    QCOMPARE(picker.sceneIds().at(2), -1);
    QCOMPARE(pageLook(picker), QStringLiteral("ooo|ooo|xoo"));
    QCOMPARE(added.size(), 2);

    QVERIFY(analytics.waitForRecords(2));
    QCOMPARE(analytics.actions(),
             (QStringList{"click_pic_sticker {\"stic_id\":3}", "click_pic_sticker {\"stic_id\":7}"}));
}

void PendantsTest::everyClickIsReported()
{
    PickerFixture p;
    QSignalSpy clicks(p.picker.get(), SIGNAL(on_clicked(int,int,int)));
    QTest::mouseClick(cellOf(*p.picker, 1, 2), Qt::LeftButton);
    QTest::mouseClick(cellOf(*p.picker, 1, 2), Qt::LeftButton);
    castcore::control().ints().push("CreateItem", -1);
    QTest::mouseClick(cellOf(*p.picker, 2, 1), Qt::LeftButton);
    QCOMPARE(clicks.size(), 3);
    QCOMPARE(clicks[0], (QList<QVariant>{1, 2, 1}));
    QCOMPARE(clicks[1], (QList<QVariant>{1, 2, 1}));
    QCOMPARE(clicks[2], (QList<QVariant>{2, 1, 1}));
}

void PendantsTest::refusedPendantLeavesTheCellFree_data()
{
    QTest::addColumn<int>("code");
    QTest::newRow("negative") << -2;
    QTest::newRow("zero") << 0;
}

void PendantsTest::refusedPendantLeavesTheCellFree()
{
    QFETCH(int, code);
    AnalyticsStub analytics;
    PickerFixture p;
    castcore::control().ints().push("CreateItem", code);
    QSignalSpy added(p.picker.get(), SIGNAL(on_addpendantclicked(QString,QString,int)));
    QTest::mouseClick(cellOf(*p.picker, 0, 0), Qt::LeftButton);
    QCOMPARE(added.size(), 0);
    QCOMPARE(pageLook(*p.picker), QStringLiteral("ooo|ooo|ooo"));
    QCOMPARE(p.picker->sceneIds(), repeated(9, -1));
    QCOMPARE(p.f.calls().count("SetItemRect"), 0);
    // Runs what the refusal left queued: a record made by then has logged its
    // line, whether or not it has reached the stub yet.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(testsupport::LogCapture::texts().filter(QStringLiteral("point - {")).size(), 0);
    QVERIFY(analytics.records().isEmpty());
    // The next click adds.
    QTest::mouseClick(cellOf(*p.picker, 0, 0), Qt::LeftButton);
    QCOMPARE(added.size(), 1);
    QCOMPARE(pageLook(*p.picker), QStringLiteral("xoo|ooo|ooo"));
}

void PendantsTest::uncheckingAFreeCellDoesNothing()
{
    PickerFixture p;
    QSignalSpy removed(p.picker.get(), SIGNAL(on_delpendantclicked(int)));
    QVERIFY(QMetaObject::invokeMethod(p.picker.get(), "on_sampletable_clicked", Q_ARG(bool, false), Q_ARG(int, 1),
                                      Q_ARG(int, 1)));
    QCOMPARE(removed.size(), 0);
    QVERIFY(p.f.ops().empty());
}

void PendantsTest::withoutFacadeNothingIsAdded()
{
    testsupport::TempEnvironment env;
    QVERIFY(env.copyEffectFolder());
    UiSampleWidget picker(1);
    QSignalSpy added(&picker, SIGNAL(on_addpendantclicked(QString,QString,int)));
    QSignalSpy clicks(&picker, SIGNAL(on_clicked(int,int,int)));
    QTest::mouseClick(cellOf(picker, 0, 1), Qt::LeftButton);
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(added.size(), 0);
    QCOMPARE(pageLook(picker), QStringLiteral("ooo|ooo|ooo"));
}

void PendantsTest::markByExactPath()
{
    PickerFixture p;
    UiSampleWidget &picker = *p.picker;
    QVERIFY(picker.MarkItemAdded(41, kPendants + QStringLiteral("猫.png")));
    QCOMPARE(picker.sceneIds().at(6), 41);
    QCOMPARE(pageLook(picker), QStringLiteral("ooo|ooo|xoo"));
    // Other spellings of the same file are not found.
    QVERIFY(!picker.MarkItemAdded(42, QStringLiteral("effect/pendant/猫.png")));
    QVERIFY(!picker.MarkItemAdded(42, p.f.env.workPath() + QStringLiteral("/effect/pendant/猫.png")));
    QVERIFY(!picker.MarkItemAdded(42, kPendants + QStringLiteral("猫-m.png")));
    // An id below 1 names no item.
    QVERIFY(!picker.MarkItemAdded(0, kPendants + QStringLiteral("花朵.png")));
    QCOMPARE(picker.sceneIds().count(-1), 8);
    QVERIFY(p.f.ops().empty());
}

void PendantsTest::unselect()
{
    PickerFixture p;
    UiSampleWidget &picker = *p.picker;
    QVERIFY(picker.MarkItemAdded(41, kPendants + QStringLiteral("猫.png")));
    QVERIFY(picker.MarkItemAdded(43, kPendants + QStringLiteral("冰水.png")));
    picker.UnselectItem(-1);
    picker.UnselectItem(99);
    QCOMPARE(pageLook(picker), QStringLiteral("xoo|ooo|xoo"));
    picker.UnselectItem(41);
    QCOMPARE(pageLook(picker), QStringLiteral("xoo|ooo|ooo"));
    QCOMPARE(picker.sceneIds().at(6), -1);
    QVERIFY(p.f.ops().empty());
}

void PendantsTest::restoredAfterRestart()
{
    PickerFixture p;
    QTest::mouseClick(cellOf(*p.picker, 1, 1), Qt::LeftButton); // 求关注, fifth
    QCOMPARE(p.picker->sceneIds().at(4) > 0, true);
    p.picker.reset();
    p.f.restart();
    QCOMPARE(p.f.init(), 0);
    UiSampleWidget picker(1);
    picker.setLiveProxy(p.f.proxy.get());
    // As the workspace hands back the saved pendants.
    int restored = 0;
    std::vector<int> ids;
    p.f.proxy->sortedItemIds(ids);
    for (int id : ids) {
        if (p.f.proxy->itemType(id) != 9)
            continue;
        std::string source;
        p.f.proxy->getItemSource(id, &source);
        QVERIFY(picker.MarkItemAdded(id, QString::fromUtf8(source.c_str())));
        ++restored;
    }
    QCOMPARE(restored, 1);
    QCOMPARE(pageLook(picker), QStringLiteral("ooo|oxo|ooo"));
    // It comes out again by a click.
    QSignalSpy removed(&picker, SIGNAL(on_delpendantclicked(int)));
    QTest::mouseClick(cellOf(picker, 1, 1), Qt::LeftButton);
    QCOMPARE(removed.size(), 1);
    QVERIFY(!p.f.engine()->item(removed[0][0].toInt()));
}

QTEST_MAIN(PendantsTest)
#include "tst_pendants.moc"
