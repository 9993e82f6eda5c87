// The filter effect picker: pages of four thumbnails, choosing and taking
// back an effect, marks across pages, page dots and the quiet setter.

#include "MvClickChoosenButton.h"
#include "NoFocusFrameDelegate.h"
#include "UifigureEffect.h"

#include <QHeaderView>
#include <QPixmap>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

namespace {

QTableWidget *table(UifigureEffect &picker)
{
    return picker.findChild<QTableWidget *>("effectTableWidget");
}

MvClickChoosenButton *cell(UifigureEffect &picker, int row, int column)
{
    return qobject_cast<MvClickChoosenButton *>(table(picker)->cellWidget(row, column));
}

// The cells of the shown page that carry the chosen mark, as "row,column".
QStringList marked(UifigureEffect &picker)
{
    QStringList out;
    for (int r = 0; r < table(picker)->rowCount(); ++r)
        for (int c = 0; c < table(picker)->columnCount(); ++c)
            if (cell(picker, r, c) && cell(picker, r, c)->IsChoosen())
                out << QString("%1,%2").arg(r).arg(c);
    return out;
}

void click(UifigureEffect &picker, int row, int column)
{
    QTest::mouseClick(cell(picker, row, column), Qt::LeftButton);
}

void turn(UifigureEffect &picker, const char *button)
{
    QTest::mouseClick(picker.findChild<QPushButton *>(button), Qt::LeftButton);
}

const QString kCurrentDot = QStringLiteral("QPushButton{border:none;background:#656f7a;border-radius:3}");
const QString kOtherDot = QStringLiteral("QPushButton{border:none;background:#e3e3e3;border-radius:3}");

QStringList dotStyles(UifigureEffect &picker)
{
    QStringList out;
    for (QPushButton *dot : picker.pageDots())
        out << dot->styleSheet();
    return out;
}

} // namespace

class EffectPickerTest : public QObject
{
    Q_OBJECT

private slots:
    void firstPageOfTwo();
    void effectsAndTheirThumbnails();
    void chooseAndTakeBack();
    void chooseAnotherOnTheSamePage();
    void choiceAcrossPagesLeavesNoStaleMark();
    void pagingStopsAtBothEnds();
    void setCurrentEffectIsQuiet();
};

void EffectPickerTest::firstPageOfTwo()
{
    UifigureEffect picker;
    QCOMPARE(picker.size(), QSize(352, 200));
    QCOMPARE(picker.pageCount(), 2);
    QCOMPARE(picker.currentPage(), 1);
    QCOMPARE(picker.currentPosition(), -1);
    QTableWidget *t = table(picker);
    QCOMPARE(t->rowCount(), 2);
    QCOMPARE(t->columnCount(), 2);
    QCOMPARE(t->rowHeight(0), 70);
    QCOMPARE(t->rowHeight(1), 62);
    QCOMPARE(t->columnWidth(0), 124);
    QCOMPARE(t->columnWidth(1), 112);
    QVERIFY(!t->showGrid());
    QVERIFY(t->horizontalHeader()->isHidden());
    QVERIFY(t->verticalHeader()->isHidden());
    QCOMPARE(t->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(t->selectionMode(), QAbstractItemView::SingleSelection);
    QVERIFY(qobject_cast<NoFocusFrameDelegate *>(t->itemDelegate()));
    QCOMPARE(dotStyles(picker), (QStringList{kCurrentDot, kOtherDot}));
    for (QPushButton *dot : picker.pageDots())
        QCOMPARE(dot->size(), QSize(6, 6));
    QVERIFY(marked(picker).isEmpty());
}

void EffectPickerTest::effectsAndTheirThumbnails()
{
    UifigureEffect picker;
    QCOMPARE(picker.effects().size(), 8);
    for (int i = 0; i < 8; ++i) {
        const EffectItem &e = picker.effects().at(i);
        QCOMPARE(e.id, i);
        QCOMPARE(e.image, QString(":/image/skin/effect/0%1.png").arg(i));
        QVERIFY(e.title.isEmpty());
        QCOMPARE(QPixmap(e.image).size(), QSize(112, 62));
    }
    for (const char *name : {"frontpage", "frontpage_b", "backpage", "backpage_b"})
        QVERIFY2(!QPixmap(QString(":/image/skin/%1.png").arg(name)).isNull(), name);
}

void EffectPickerTest::chooseAndTakeBack()
{
    UifigureEffect picker;
    QSignalSpy chosen(&picker, SIGNAL(signal_setEffect(int)));
    click(picker, 1, 0); // position 2
    QCOMPARE(chosen.takeFirst().at(0).toInt(), 2);
    QCOMPARE(marked(picker), QStringList{"1,0"});
    click(picker, 1, 0);
    QCOMPARE(chosen.takeFirst().at(0).toInt(), -1);
    QVERIFY(marked(picker).isEmpty());
    QCOMPARE(picker.currentPosition(), -1);
}

void EffectPickerTest::chooseAnotherOnTheSamePage()
{
    UifigureEffect picker;
    QSignalSpy chosen(&picker, SIGNAL(signal_setEffect(int)));
    click(picker, 0, 1);
    click(picker, 1, 1);
    QCOMPARE(chosen.size(), 2);
    QCOMPARE(chosen.at(1).at(0).toInt(), 3);
    QCOMPARE(marked(picker), QStringList{"1,1"});
}

void EffectPickerTest::choiceAcrossPagesLeavesNoStaleMark()
{
    UifigureEffect picker;
    QSignalSpy chosen(&picker, SIGNAL(signal_setEffect(int)));
    click(picker, 0, 1); // effect 1 on page 1
    turn(picker, "backpushButton");
    QCOMPARE(picker.currentPage(), 2);
    QCOMPARE(dotStyles(picker), (QStringList{kOtherDot, kCurrentDot}));
    QVERIFY(marked(picker).isEmpty());
    click(picker, 1, 0); // effect 6
    QCOMPARE(chosen.last().at(0).toInt(), 6);
    QCOMPARE(marked(picker), QStringList{"1,0"});
    turn(picker, "fontpushButton");
    QCOMPARE(picker.currentPage(), 1);
    QVERIFY(marked(picker).isEmpty());
    turn(picker, "backpushButton");
    QCOMPARE(marked(picker), QStringList{"1,0"});
    QCOMPARE(chosen.size(), 2);
}

void EffectPickerTest::pagingStopsAtBothEnds()
{
    UifigureEffect picker;
    turn(picker, "fontpushButton");
    QCOMPARE(picker.currentPage(), 1);
    turn(picker, "backpushButton");
    turn(picker, "backpushButton");
    QCOMPARE(picker.currentPage(), 2);
    QCOMPARE(table(picker)->rowCount(), 2);
    QVERIFY(cell(picker, 1, 1));
    picker.ShowPage(3);
    picker.ShowPage(0);
    QCOMPARE(picker.currentPage(), 2);
}

void EffectPickerTest::setCurrentEffectIsQuiet()
{
    UifigureEffect picker;
    QSignalSpy chosen(&picker, SIGNAL(signal_setEffect(int)));
    picker.SetCurrentEffect(2);
    QCOMPARE(picker.currentPosition(), 2);
    QCOMPARE(marked(picker), QStringList{"1,0"});
    picker.SetCurrentEffect(-1); // no such effect: the choice stays
    picker.SetCurrentEffect(8);
    QCOMPARE(picker.currentPosition(), 2);
    picker.SetCurrentEffect(5); // on page 2; page 1 stays shown
    QCOMPARE(picker.currentPage(), 1);
    QVERIFY(marked(picker).isEmpty());
    turn(picker, "backpushButton");
    QCOMPARE(marked(picker), QStringList{"0,1"});
    QCOMPARE(chosen.size(), 0);
    // A click after the setter works from the set choice.
    click(picker, 0, 1);
    QCOMPARE(chosen.last().at(0).toInt(), -1);
}

QTEST_MAIN(EffectPickerTest)
#include "tst_effectpicker.moc"
