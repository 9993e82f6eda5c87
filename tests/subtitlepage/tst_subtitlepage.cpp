// The subtitle page: up to four lines shown as one effective-text item of
// the engine, scrolling or still, its restore after a restart, and the list
// of lines with its rows.

#include "AnalyticsStub.h"
#include "DebugCapture.h"
#include "FacadeFixture.h"
#include "ModalDriver.h"
#include "MvClickTextEdit.h"
#include "SubtitleText.h"
#include "UiSetSubtitle.h"
#include "UiSubtitleItemWidget.h"
#include "UiSubtitleListWidget.h"
#include "WidgetPictures.h"

#include <QButtonGroup>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <memory>

using testsupport::AnalyticsStub;
using testsupport::FacadeFixture;
using testsupport::ModalDriver;

namespace {

const QString kSep(30, QLatin1Char(' '));
const QString kThumb1 = QStringLiteral("./effect/subtitle/small_1.png");
const QString kPicture1 = QStringLiteral("./effect/subtitle/1.png");

// A started facade on a 1280 x 720 canvas, the shipped templates in the
// work folder, and a subtitle page made after them.
struct PageFixture
{
    explicit PageFixture(bool withTemplates = true)
    {
        QVERIFY(f.env.copyEffectFolder());
        if (!withTemplates)
            QVERIFY(QDir(QStringLiteral("effect/subtitle")).removeRecursively());
        QCOMPARE(f.init(), 0);
        f.calls().clear();
        page = std::make_unique<UiSetSubtitle>();
        page->setLiveProxy(f.proxy.get());
    }

    MvClickTextEdit *box() const { return page->findChild<MvClickTextEdit *>(QStringLiteral("textEdit_subtitle")); }
    QRadioButton *radio(const char *name) const { return page->findChild<QRadioButton *>(QLatin1String(name)); }

    // Types a line into the box and presses "添加字幕".
    void add(const QString &line)
    {
        box()->setPlainText(line);
        QTest::mouseClick(page->findChild<QPushButton *>(QStringLiteral("pushButton_addsubtitle")), Qt::LeftButton);
    }

    void chooseMode(const char *radioName) { QTest::mouseClick(radio(radioName), Qt::LeftButton); }

    int textIdOf(int pictureId) const
    {
        EffectiveTxtItem *pair = nullptr;
        return f.proxy->findEffectiveText(pictureId, &pair) ? pair->textId() : -1;
    }
    // What the engine shows of the subtitle item.
    QString shownText() const
    {
        const auto item = f.engine()->item(textIdOf(page->subtitleItemId()));
        return item ? QString::fromStdU16String(item->text.text) : QStringLiteral("<none>");
    }
    int shownRoll() const
    {
        const auto item = f.engine()->item(textIdOf(page->subtitleItemId()));
        return item ? item->text.rollSpeed : -1;
    }
    // The string kept with the picture, saved with the scene.
    QString keptText() const
    {
        std::string text;
        return f.proxy->getEffectiveText(page->subtitleItemId(), &text) ? QString::fromStdString(text)
                                                                         : QStringLiteral("<none>");
    }
    // Items of the scene, the watermark aside.
    int sceneItemCount() const
    {
        int n = 0;
        for (int id : f.engine()->itemIds())
            if (f.engine()->item(id)->kind != KindCustomCapture)
                ++n;
        return n;
    }
    QTableWidget *rows() const { return page->findChild<QTableWidget *>(QStringLiteral("tableWidget_subtitle")); }
    UiSubtitleItemWidget *row(int i) const { return qobject_cast<UiSubtitleItemWidget *>(rows()->cellWidget(i, 0)); }

    FacadeFixture f;
    std::unique_ptr<UiSetSubtitle> page;
};

// The text the row shows.
QString rowText(UiSubtitleItemWidget *row)
{
    return row->findChild<MvClickTextEdit *>(QStringLiteral("plainTextEdit_content"))->toPlainText();
}

} // namespace

class SubtitlePageTest : public QObject
{
    Q_OBJECT

private slots:
    void form();
    void textRules_data();
    void textRules();
    void lengthCut_data();
    void lengthCut();
    void typingA31stCharacterMidText();
    void firstLineMakesTheItem();
    void engineTextPerMode_data();
    void engineTextPerMode();
    void switchingMode();
    void scrollingTextStaysInTheTemplate();
    void removingLines();
    void clickedLineIsOnlyLogged();
    void lastLineTakesBothItems();
    void itemListRemovalKeepsTheLines();
    void refusedLines_data();
    void refusedLines();
    void fifthLine();
    void withoutTemplates();
    void unreadableTemplatesAreDropped_data();
    void unreadableTemplatesAreDropped();
    void engineRefusal_data();
    void engineRefusal();
    void restart();
    void restoreRefusals();
    void listShowsNewestFirst();
    void listRowsAndDeletion();
    void listIgnoresTooManyLines();
};

void SubtitlePageTest::form()
{
    PageFixture p;
    UiSetSubtitle &page = *p.page;
    QCOMPARE(page.size(), QSize(264, 740));
    struct Expect
    {
        const char *name;
        QRect geometry;
        const char *text;
    };
    const Expect expected[] = {
        {"label_3", QRect(12, 20, 61, 12), "字幕模板"},
        {"label_template", QRect(12, 40, 236, 50), ""},
        {"pushButton_choosetemplate", QRect(12, 98, 236, 32), "选择模板"},
        {"label_scroll", QRect(12, 142, 61, 12), "滚动方式"},
        {"label_clearity", QRect(12, 162, 236, 32), ""},
        {"radioButton_scroll", QRect(42, 170, 51, 16), "滚动"},
        {"radioButton_static", QRect(153, 170, 51, 14), "静止"},
        {"label_2", QRect(12, 206, 61, 12), "设置字幕"},
        {"pushButton_addsubtitle", QRect(12, 308, 236, 32), "添加字幕"},
    };
    for (const Expect &e : expected) {
        QWidget *w = page.findChild<QWidget *>(QLatin1String(e.name));
        QVERIFY2(w, e.name);
        QCOMPARE(w->geometry(), e.geometry);
        const QVariant text = w->property("text");
        QCOMPARE(text.toString(), QString::fromUtf8(e.text));
    }
    QCOMPARE(p.box()->geometry(), QRect(12, 226, 236, 70));
    QCOMPARE(p.box()->placeholderText(), QStringLiteral("请输入文字内容（最多三十个字）"));
    QCOMPARE(p.box()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(p.box()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(p.radio("radioButton_scroll")->isChecked());
    QCOMPARE(p.radio("radioButton_scroll")->group()->id(p.radio("radioButton_scroll")), 0);
    QCOMPARE(p.radio("radioButton_static")->group()->id(p.radio("radioButton_static")), 1);
    QCOMPARE(page.findChild<QLabel *>(QStringLiteral("label_template"))->styleSheet(),
             QStringLiteral("border-radius:4px;border-image:url(./effect/subtitle/small_1.png);"));
    QCOMPARE(page.subtitleList()->geometry(), QRect(0, 370, 264, 370));
    QCOMPARE(page.subtitleItemId(), -1);
    QCOMPARE(page.templates().size(), 6);
    const QColor red(232, 41, 69);
    const QList<QColor> colors{Qt::white, red, red, Qt::white, Qt::white, Qt::white};
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(page.templates()[i].thumbnailPath, QStringLiteral("./effect/subtitle/small_%1.png").arg(i + 1));
        QCOMPARE(page.templates()[i].picturePath, QStringLiteral("./effect/subtitle/%1.png").arg(i + 1));
        QCOMPARE(page.templates()[i].textColor, colors[i]);
    }
    QCOMPARE(page.currentTemplate(), 0);
}

void SubtitlePageTest::textRules_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("scrolling");
    QTest::addColumn<QString>("still");
    QTest::newRow("none") << QStringList{} << "" << kSep << "";
    QTest::newRow("one") << QStringList{"A"} << "A" << "A" + kSep << "A";
    QTest::newRow("three, newest first")
        << QStringList{"C", "B", "A"} << "C" + kSep + "B" + kSep + "A" << "C" + kSep + "B" + kSep + "A" + kSep << "C";
}

void SubtitlePageTest::textRules()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, kept);
    QFETCH(QString, scrolling);
    QFETCH(QString, still);
    QCOMPARE(subtitletext::separator(), kSep);
    QCOMPARE(subtitletext::join(lines), kept);
    QCOMPARE(subtitletext::engineText(lines, true), scrolling);
    QCOMPARE(subtitletext::engineText(lines, false), still);
    QCOMPARE(subtitletext::split(kept), lines);
    QCOMPARE(subtitletext::split(scrolling), lines);
}

void SubtitlePageTest::lengthCut_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("cut");
    QTest::addColumn<int>("cursorAfter");
    const QString thirty = QStringLiteral("一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十");
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // two units
    QTest::newRow("thirty stays") << thirty << 30 << thirty << 30;
    QTest::newRow("typed at the end") << thirty + "x" << 31 << thirty << 30;
    QTest::newRow("typed mid-text") << thirty.left(10) + "x" + thirty.mid(10) << 11 << thirty << 10;
    QTest::newRow("pasted three mid-text") << thirty.left(5) + "abc" + thirty.mid(5) << 8 << thirty << 5;
    QTest::newRow("pair typed last goes whole") << thirty.left(29) + emoji << 31 << thirty.left(29) << 29;
    QTest::newRow("pair not split at the cut start")
        << thirty.left(28) + emoji + "ab" << 31 << thirty.left(28) + "b" << 28;
    QTest::newRow("cursor before the growth cuts the end") << thirty + "xy" << 0 << thirty << 30;
}

void SubtitlePageTest::lengthCut()
{
    QFETCH(QString, text);
    QFETCH(int, cursor);
    QFETCH(QString, cut);
    QFETCH(int, cursorAfter);
    const subtitletext::Cut result = subtitletext::limit(text, cursor);
    QCOMPARE(result.text, cut);
    QCOMPARE(result.cursor, cursorAfter);
}

void SubtitlePageTest::typingA31stCharacterMidText()
{
    PageFixture p;
    const QString thirty = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123");
    p.box()->setPlainText(thirty);
    QTextCursor cursor = p.box()->textCursor();
    cursor.setPosition(12);
    p.box()->setTextCursor(cursor);
    QTest::keyClick(p.box(), Qt::Key_Z);
    QCOMPARE(p.box()->toPlainText(), thirty);
    QCOMPARE(p.box()->textCursor().position(), 12);
    // Below the limit typing goes on.
    p.box()->setPlainText(thirty.left(29));
    cursor = p.box()->textCursor();
    cursor.setPosition(3);
    p.box()->setTextCursor(cursor);
    QTest::keyClick(p.box(), Qt::Key_Z);
    QCOMPARE(p.box()->toPlainText(), thirty.left(3) + "z" + thirty.mid(3, 26));
}

void SubtitlePageTest::firstLineMakesTheItem()
{
    AnalyticsStub analytics;
    PageFixture p;
    QSignalSpy added(p.page.get(), SIGNAL(add_subtitle(QString,QString,int)));
    p.add(QStringLiteral("欢迎来到直播间"));
    QCOMPARE(added.size(), 1);
    const int id = p.page->subtitleItemId();
    QVERIFY(id > 0);
    QCOMPARE(added[0], (QList<QVariant>{kThumb1, QStringLiteral("字幕"), id}));
    QVERIFY(p.box()->toPlainText().isEmpty());
    QCOMPARE(p.f.proxy->itemType(id), 4);
    // The template picture with its text, centred, 50 above the bottom.
    const auto picture = p.f.engine()->item(id);
    QCOMPARE(picture->sources, std::vector<std::string>{kPicture1.toStdString()});
    int x = 0, y = 0, w = 0, h = 0;
    p.f.proxy->getItemRect(id, &x, &y, &w, &h);
    QCOMPARE(QRect(x, y, w, h), QRect((1280 - 420) / 2, 720 - 90 - 50, 420, 90));
    const auto text = p.f.engine()->item(p.textIdOf(id));
    QVERIFY(text);
    QCOMPARE(QString::fromStdU16String(text->text.text), QStringLiteral("欢迎来到直播间") + kSep);
    QCOMPARE(QString::fromStdU16String(text->text.font), QStringLiteral("微软雅黑"));
    QCOMPARE(text->text.size, 25);
    QCOMPARE(text->text.color, 0xFFFFFFFFu);
    QCOMPARE(text->text.opacity, 100);
    QCOMPARE(text->text.rollSpeed, 50);
    QVERIFY(text->text.bold);
    QVERIFY(!text->text.italic);
    QCOMPARE(text->text.backgroundOpacity, 0);
    QCOMPARE(text->text.outlineColor, 0xFF000000u);
    QCOMPARE(text->text.outlineOpacity, 100);
    QCOMPARE(p.keptText(), QStringLiteral("欢迎来到直播间"));
    // The kept string follows the placement.
    const QStringList order = [&] {
        QStringList out;
        for (const mvplatform::CallRecord &r : p.f.calls().all())
            if ((r.op == "SetItemRect" || r.op == "SetEffectiveText") && r.args.at(0) == std::to_string(id))
                out << QString::fromStdString(r.op);
        return out;
    }();
    QCOMPARE(order, (QStringList{"SetItemRect", "SetEffectiveText"}));
    QVERIFY(analytics.waitForRecords(1));
    QCOMPARE(analytics.actions(), QStringList{"click_subtitle_add {}"});
    // The second line updates the same item: the kept string first, then
    // the text.
    p.f.calls().clear();
    p.add(QStringLiteral("关注主播"));
    QCOMPARE(added.size(), 1);
    QStringList updates;
    for (const mvplatform::CallRecord &r : p.f.calls().all())
        if (r.op == "SetEffectiveText" || r.op == "SetTextProperties" || r.op == "CreateItem")
            updates << QString::fromStdString(r.op + "(" + r.args.at(0) + ")");
    QCOMPARE(updates.value(0), QStringLiteral("SetEffectiveText(%1)").arg(id));
    QCOMPARE(updates.value(1), QStringLiteral("SetTextProperties(%1)").arg(p.textIdOf(id)));
    QVERIFY(!updates.join(",").contains("CreateItem"));
    QCOMPARE(p.keptText(), QStringLiteral("关注主播") + kSep + QStringLiteral("欢迎来到直播间"));
    QCOMPARE(p.page->subtitleItemId(), id);
    QCOMPARE(p.sceneItemCount(), 2);
    QVERIFY(analytics.waitForRecords(2));
}

void SubtitlePageTest::engineTextPerMode_data()
{
    QTest::addColumn<bool>("still");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("roll");
    QTest::newRow("scroll") << false << "C" + kSep + "B" + kSep + "A" + kSep << 50;
    QTest::newRow("still") << true << QStringLiteral("C") << 0;
}

void SubtitlePageTest::engineTextPerMode()
{
    QFETCH(bool, still);
    QFETCH(QString, shown);
    QFETCH(int, roll);
    PageFixture p;
    if (still)
        p.chooseMode("radioButton_static");
    QVERIFY(p.f.ops().empty()); // no item yet: a mode click does nothing
    p.add("A");
    QCOMPARE(p.shownRoll(), roll);
    p.add("B");
    p.add("C");
    QCOMPARE(p.shownText(), shown);
    QCOMPARE(p.shownRoll(), roll);
    QCOMPARE(p.keptText(), "C" + kSep + "B" + kSep + "A");
    QCOMPARE(p.page->subtitleList()->subtitles(), (QStringList{"C", "B", "A"}));
}

void SubtitlePageTest::switchingMode()
{
    PageFixture p;
    p.add("A");
    p.add("B");
    p.f.calls().clear();
    p.chooseMode("radioButton_static");
    QCOMPARE(p.shownText(), QStringLiteral("B"));
    QCOMPARE(p.shownRoll(), 0);
    // Only the text and the roll speed travel.
    const auto set = p.f.calls().last("SetTextProperties");
    QVERIFY(set);
    QCOMPARE(set->args.at(1), std::to_string(0x22 | 0x280000));
    p.chooseMode("radioButton_scroll");
    QCOMPARE(p.shownText(), "B" + kSep + "A" + kSep);
    QCOMPARE(p.shownRoll(), 50);
    QCOMPARE(p.keptText(), "B" + kSep + "A");
}

// Template 1's text area, seen on the canvas: a scrolling subtitle shows
// there at once and nowhere else, for a whole lap.
void SubtitlePageTest::scrollingTextStaysInTheTemplate()
{
    PageFixture p;
    QElapsedTimer sinceAdd;
    sinceAdd.start();
    p.add(QStringLiteral("欢迎"));
    const int picture = p.page->subtitleItemId();
    QVERIFY(picture > 0);
    int x = 0, y = 0, w = 0, h = 0;
    p.f.proxy->getItemRect(picture, &x, &y, &w, &h);
    QCOMPARE(QSize(w, h), QSize(420, 90));
    const QRect area(x + 77, y + 30, 320, 30);
    // The canvas without the text: the template on the black canvas.
    QImage bare(1280, 720, QImage::Format_ARGB32_Premultiplied);
    bare.fill(0xff000000u);
    {
        QPainter painter(&bare);
        painter.drawImage(x, y, QImage(kPicture1).convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
    const QRect rows = QRect(0, y - 40, 1280, h + 80) & bare.rect(); // where a text could stray
    const QPoint circle(x + 40, y + 45);                                 // the template's own white

    // From the first ink to its return at the right edge, a lap later.
    int firstInkMs = -1;
    int lastRight = -1;
    bool lapDone = false;
    qint64 seenKey = 0;
    QElapsedTimer deadline;
    deadline.start();
    while (!lapDone && deadline.elapsed() < 90000) {
        const QImage canvas = p.f.engine()->lastCanvas();
        const qint64 ms = sinceAdd.elapsed();
        if (canvas.size() != bare.size() || canvas.cacheKey() == seenKey || canvas.pixel(circle) != bare.pixel(circle)) {
            QTest::qWait(5);
            continue;
        }
        seenKey = canvas.cacheKey();
        QRect ink;
        for (int r = rows.top(); r <= rows.bottom(); ++r) {
            const QRgb *shown = reinterpret_cast<const QRgb *>(canvas.constScanLine(r));
            const QRgb *expected = reinterpret_cast<const QRgb *>(bare.constScanLine(r));
            for (int c = 0; c < 1280; ++c) {
                const QRgb a = shown[c];
                const QRgb b = expected[c];
                if (std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))}) > 64) {
                    QVERIFY2(area.contains(c, r),
                             qPrintable(QStringLiteral("ink at %1,%2 after %3 ms, outside %4,%5 %6x%7")
                                            .arg(c).arg(r).arg(ms).arg(area.x()).arg(area.y())
                                            .arg(area.width()).arg(area.height())));
                    ink |= QRect(c, r, 1, 1);
                }
            }
        }
        if (ink.isEmpty())
            continue;
        if (firstInkMs < 0)
            firstInkMs = int(ms);
        lapDone = lastRight >= 0 && ink.right() > lastRight + area.width() / 2;
        lastRight = ink.right();
    }
    QVERIFY2(lapDone, qPrintable(QStringLiteral("first ink after %1 ms, last right edge %2").arg(firstInkMs).arg(lastRight)));
    // One second, and as much again for a loaded machine.
    QVERIFY2(firstInkMs <= 2000, qPrintable(QString::number(firstInkMs)));
}

void SubtitlePageTest::removingLines()
{
    PageFixture p;
    p.add("A");
    p.add("B");
    p.add("C");
    const int id = p.page->subtitleItemId();
    QSignalSpy removed(p.page.get(), SIGNAL(del_subtitle(int)));
    ModalDriver driver;
    driver.pressNext(QStringLiteral("pushButton_cancelsmall"));
    QTest::mouseClick(p.row(1)->findChild<QPushButton *>(QStringLiteral("pushButton_del")), Qt::LeftButton);
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.last().text(QStringLiteral("tipinfolabel")), QStringLiteral("确认删除?"));
    QCOMPARE(p.page->subtitleList()->subtitles(), (QStringList{"C", "B", "A"}));
    driver.pressNext(QStringLiteral("pushButton_oksmall"));
    QTest::mouseClick(p.row(1)->findChild<QPushButton *>(QStringLiteral("pushButton_del")), Qt::LeftButton);
    QVERIFY(driver.waitDone());
    QVERIFY(driver.errors().isEmpty());
    QCOMPARE(p.page->subtitleList()->subtitles(), (QStringList{"C", "A"}));
    QCOMPARE(p.keptText(), "C" + kSep + "A");
    QCOMPARE(p.shownText(), "C" + kSep + "A" + kSep);
    QCOMPARE(p.page->subtitleItemId(), id);
    QCOMPARE(removed.size(), 0);
    QTRY_COMPARE(p.rows()->rowCount(), 2);
    QCOMPARE(rowText(p.row(1)), QStringLiteral("A"));
}

void SubtitlePageTest::clickedLineIsOnlyLogged()
{
    PageFixture p;
    p.add(QStringLiteral("点我"));
    p.f.calls().clear();
    testsupport::DebugCapture debug;
    auto *text = p.row(0)->findChild<MvClickTextEdit *>(QStringLiteral("plainTextEdit_content"));
    QTest::mouseClick(text->viewport(), Qt::LeftButton);
    QVERIFY(debug.contains(QStringLiteral("点我")));
    QVERIFY(p.f.ops().empty());
    QCOMPARE(p.page->subtitleList()->subtitles(), QStringList{"点我"});
}

void SubtitlePageTest::lastLineTakesBothItems()
{
    PageFixture p;
    p.add("A");
    const int id = p.page->subtitleItemId();
    const int textId = p.textIdOf(id);
    QVERIFY(textId > 0);
    QCOMPARE(p.sceneItemCount(), 2);
    QSignalSpy removed(p.page.get(), SIGNAL(del_subtitle(int)));
    ModalDriver driver;
    driver.pressNext(QStringLiteral("pushButton_oksmall"));
    QTest::mouseClick(p.row(0)->findChild<QPushButton *>(QStringLiteral("pushButton_del")), Qt::LeftButton);
    QVERIFY(driver.waitDone());
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed[0][0].toInt(), id);
    QVERIFY(!p.f.engine()->item(id));
    QVERIFY(!p.f.engine()->item(textId));
    QCOMPARE(p.sceneItemCount(), 0);
    QCOMPARE(p.page->subtitleItemId(), -1);
    QVERIFY(p.f.proxy->itemIds().empty());
    // The next line makes a new item.
    QSignalSpy added(p.page.get(), SIGNAL(add_subtitle(QString,QString,int)));
    p.add("B");
    QCOMPARE(added.size(), 1);
    QVERIFY(added[0][2].toInt() > textId);
}

void SubtitlePageTest::itemListRemovalKeepsTheLines()
{
    PageFixture p;
    p.add("A");
    p.add("B");
    const int id = p.page->subtitleItemId();
    // Called by its name.
    QVERIFY(QMetaObject::invokeMethod(p.page.get(), "on_delete_sample", Q_ARG(int, -1)));
    QVERIFY(QMetaObject::invokeMethod(p.page.get(), "on_delete_sample", Q_ARG(int, id + 100)));
    QCOMPARE(p.page->subtitleItemId(), id);
    // The workspace tells the page, then removes the item.
    QVERIFY(QMetaObject::invokeMethod(p.page.get(), "on_delete_sample", Q_ARG(int, id)));
    QCOMPARE(p.page->subtitleItemId(), -1);
    p.f.proxy->removeItem(id);
    QCOMPARE(p.page->subtitleList()->subtitles(), (QStringList{"B", "A"}));
    p.f.calls().clear();
    // Removing a line or switching mode touches no item now.
    QSignalSpy removed(p.page.get(), SIGNAL(del_subtitle(int)));
    p.page->subtitleList()->delSubtitleList("A");
    p.chooseMode("radioButton_static");
    p.chooseMode("radioButton_scroll");
    QVERIFY(p.f.ops().empty());
    QCOMPARE(removed.size(), 0);
    // The last line leaves with an unbound page: no engine call, -1 reported.
    p.page->subtitleList()->delSubtitleList("B");
    QVERIFY(p.f.ops().empty());
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed[0][0].toInt(), -1);
    // Lines back, and the next one makes a new item from the whole list.
    p.page->subtitleList()->setSubtitles({"B", "A"});
    QSignalSpy added(p.page.get(), SIGNAL(add_subtitle(QString,QString,int)));
    p.add("C");
    QCOMPARE(added.size(), 1);
    QVERIFY(p.page->subtitleItemId() > id);
    QCOMPARE(p.keptText(), "C" + kSep + "B" + kSep + "A");
    QCOMPARE(p.shownText(), "C" + kSep + "B" + kSep + "A" + kSep);
}

void SubtitlePageTest::refusedLines_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("empty") << QStringList{} << "" << QStringLiteral("添加字幕为空!") << QStringList{};
    QTest::newRow("blanks only") << QStringList{} << "   " << QStringLiteral("添加字幕为空!") << QStringList{};
    QTest::newRow("line breaks only") << QStringList{} << "\n\n" << QStringLiteral("添加字幕为空!") << QStringList{};
    QTest::newRow("same line") << QStringList{"A"} << "A" << QStringLiteral("字幕已经存在!") << QStringList{"A"};
    QTest::newRow("same line with blanks")
        << QStringList{"A"} << "  A " << QStringLiteral("字幕已经存在!") << QStringList{"A"};
    QTest::newRow("case counts") << QStringList{"a"} << "A" << QString() << QStringList{"A", "a"};
    QTest::newRow("blanks at the ends go") << QStringList{} << "  B  C " << QString() << QStringList{"B  C"};
}

void SubtitlePageTest::refusedLines()
{
    QFETCH(QStringList, before);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QStringList, after);
    PageFixture p;
    for (const QString &line : before)
        p.add(line);
    ModalDriver driver(message.isEmpty() ? 300 : 5000);
    if (message.isEmpty())
        driver.onNext([](QWidget *) {});
    else
        driver.pressNext(QStringLiteral("pushButton_ok"));
    p.add(typed);
    driver.waitDone(message.isEmpty() ? 400 : 5000);
    if (message.isEmpty()) {
        QVERIFY(driver.seen().isEmpty());
        QVERIFY(p.box()->toPlainText().isEmpty());
    } else {
        QCOMPARE(driver.seen().size(), 1);
        QCOMPARE(driver.last().text(QStringLiteral("tipinfolabel")), message);
    }
    QCOMPARE(p.page->subtitleList()->subtitles(), after);
    if (!after.isEmpty())
        QCOMPARE(p.keptText(), after.join(kSep));
}

void SubtitlePageTest::fifthLine()
{
    PageFixture p;
    for (const char *line : {"A", "B", "C", "D"})
        p.add(QString::fromLatin1(line));
    const QString shown = p.shownText();
    p.f.calls().clear();
    QSignalSpy added(p.page->subtitleList(), SIGNAL(sig_addsubtitle(QString)));
    ModalDriver driver;
    driver.pressNext(QStringLiteral("pushButton_ok"));
    p.add("E");
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.last().text(QStringLiteral("tipinfolabel")), QStringLiteral("字幕条数不能超过4条!"));
    QVERIFY(p.box()->toPlainText().isEmpty());
    QCOMPARE(p.page->subtitleList()->subtitles(), (QStringList{"D", "C", "B", "A"}));
    QCOMPARE(added.size(), 0);
    QVERIFY(p.f.ops().empty());
    QCOMPARE(p.shownText(), shown);
}

void SubtitlePageTest::withoutTemplates()
{
    AnalyticsStub analytics;
    PageFixture p(false);
    QVERIFY(p.page->templates().isEmpty());
    QCOMPARE(p.page->currentTemplate(), -1);
    QCOMPARE(p.page->findChild<QLabel *>(QStringLiteral("label_template"))->styleSheet(), QString());
    p.add("A");
    p.add("B");
    QCOMPARE(p.page->subtitleList()->subtitles(), (QStringList{"B", "A"}));
    QCOMPARE(p.page->subtitleItemId(), -1);
    QVERIFY(p.f.ops().empty());
    // The template button opens nothing.
    ModalDriver driver(300);
    driver.onNext([](QWidget *) {});
    QTest::mouseClick(p.page->findChild<QPushButton *>(QStringLiteral("pushButton_choosetemplate")), Qt::LeftButton);
    driver.waitDone(400);
    QVERIFY(driver.seen().isEmpty());
    // Runs what the refusal left queued: a record made by then has logged its
    // line, whether or not it has reached the stub yet.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(testsupport::LogCapture::texts().filter(QStringLiteral("point - {")).size(), 0);
    QVERIFY(analytics.records().isEmpty());
}

void SubtitlePageTest::unreadableTemplatesAreDropped_data()
{
    QTest::addColumn<QString>("file");       // in effect/subtitle
    QTest::addColumn<QByteArray>("content"); // empty: the file is removed
    QTest::addColumn<QStringList>("left");   // the pictures of the templates offered
    QTest::addColumn<QString>("line");
    QTest::newRow("picture missing") << "3.png" << QByteArray()
                                     << QStringList{"1.png", "2.png", "4.png", "5.png", "6.png"}
                                     << "drop subtitle template: ./effect/subtitle/3.png (missing)";
    QTest::newRow("thumbnail not a picture") << "small_1.png" << QByteArray("text, not a picture")
                                             << QStringList{"2.png", "3.png", "4.png", "5.png", "6.png"}
                                             << "drop subtitle template: ./effect/subtitle/small_1.png (not a picture)";
}

void SubtitlePageTest::unreadableTemplatesAreDropped()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, left);
    QFETCH(QString, line);
    PageFixture p;
    const QString path = QStringLiteral("effect/subtitle/") + file;
    QVERIFY(QFile::remove(path));
    if (!content.isEmpty()) {
        QFile damaged(path);
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(content);
    }
    const int from = FacadeFixture::logSize();
    UiSetSubtitle page;
    QStringList offered;
    for (const SubtitleTemplate &t : page.templates())
        offered << t.picturePath.mid(QStringLiteral("./effect/subtitle/").size());
    QCOMPARE(offered, left);
    QCOMPARE(page.currentTemplate(), 0);
    QCOMPARE(FacadeFixture::logSince(from), QStringList{line});
}

void SubtitlePageTest::engineRefusal_data()
{
    QTest::addColumn<QString>("op");
    QTest::newRow("picture") << "CreateItem";
    QTest::newRow("text") << "CreateTextItem";
}

void SubtitlePageTest::engineRefusal()
{
    QFETCH(QString, op);
    AnalyticsStub analytics;
    PageFixture p;
    castcore::control().ints().push(op.toStdString(), -1);
    QSignalSpy added(p.page.get(), SIGNAL(add_subtitle(QString,QString,int)));
    p.add("A");
    QCOMPARE(added.size(), 0);
    QCOMPARE(p.page->subtitleItemId(), -1);
    QCOMPARE(p.sceneItemCount(), 0);
    QVERIFY(p.f.proxy->itemIds().empty());
    QCOMPARE(p.f.engine()->store().Count(), 0);
    QCOMPARE(p.page->subtitleList()->subtitles(), QStringList{"A"});
    // Runs what the refusal left queued: a record made by then has logged its
    // line, whether or not it has reached the stub yet.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(testsupport::LogCapture::texts().filter(QStringLiteral("point - {")).size(), 0);
    QVERIFY(analytics.records().isEmpty());
    // The next line makes the item from both lines.
    p.add("B");
    QCOMPARE(added.size(), 1);
    QCOMPARE(p.keptText(), "B" + kSep + "A");
}

void SubtitlePageTest::restart()
{
    PageFixture p;
    p.add("第一行");
    p.add("第二行");
    p.chooseMode("radioButton_static");
    p.page.reset();
    p.f.restart();
    QCOMPARE(p.f.init(), 0);
    p.page = std::make_unique<UiSetSubtitle>();
    UiSetSubtitle &page = *p.page;
    page.setLiveProxy(p.f.proxy.get());
    // As the workspace hands back the saved effective-text items.
    QStringList answers;
    std::vector<int> ids;
    p.f.proxy->sortedItemIds(ids);
    for (int item : ids)
        if (p.f.proxy->itemType(item) == 4)
            answers << page.restoreSubtitleItem(item);
    QCOMPARE(answers, QStringList{kThumb1});
    QVERIFY(page.subtitleItemId() > 0);
    QCOMPARE(page.subtitleList()->subtitles(), (QStringList{"第二行", "第一行"}));
    QVERIFY(p.radio("radioButton_static")->isChecked());
    QCOMPARE(page.currentTemplate(), 0);
    // Bound: a mode switch updates the restored item.
    p.chooseMode("radioButton_scroll");
    QCOMPARE(p.shownText(), "第二行" + kSep + "第一行" + kSep);
}

void SubtitlePageTest::restoreRefusals()
{
    PageFixture p;
    TextInfo info;
    char16_t font[200] = u"x";
    char16_t text[256] = u"y";
    info.fontName = font;
    info.text = text;
    info.mask = 0xFFFFFFFFu;
    const QRect area(77, 30, 320, 30);
    const int first = p.f.proxy->addEffectiveText(kPicture1.toStdString(), area, &info);
    const int second = p.f.proxy->addEffectiveText("./effect/subtitle/2.png", area, &info);
    const std::string other =
        testsupport::writeSolidPicture(p.f.env.workPath() + "/other.png", QSize(400, 80), Qt::blue).toStdString();
    const int unknown = p.f.proxy->addEffectiveText(other, area, &info);
    QVERIFY(first > 0 && second > 0 && unknown > 0);
    QCOMPARE(p.page->restoreSubtitleItem(unknown), QString());
    QCOMPARE(p.page->subtitleItemId(), -1);
    QCOMPARE(p.page->restoreSubtitleItem(0), QString());
    QCOMPARE(p.page->restoreSubtitleItem(-1), QString());
    QCOMPARE(p.page->restoreSubtitleItem(second), QStringLiteral("./effect/subtitle/small_2.png"));
    QCOMPARE(p.page->currentTemplate(), 1);
    QCOMPARE(p.page->restoreSubtitleItem(first), QString());
    QCOMPARE(p.page->subtitleItemId(), second);
    // Nothing kept with the item: no lines, still mode.
    QVERIFY(p.page->subtitleList()->subtitles().isEmpty());
}

void SubtitlePageTest::listShowsNewestFirst()
{
    testsupport::TempEnvironment env;
    UiSubtitleListWidget list;
    QCOMPARE(list.size(), QSize(264, 360));
    QTableWidget *table = list.findChild<QTableWidget *>(QStringLiteral("tableWidget_subtitle"));
    QCOMPARE(table->geometry(), QRect(12, 26, 248, 304));
    QCOMPARE(table->styleSheet(), QStringLiteral("background:white;selection-background-color:white;"));
    QCOMPARE(table->columnWidth(0), 236);
    QCOMPARE(table->itemDelegate()->metaObject()->className(), "NoFocusFrameDelegate");
    QCOMPARE(list.findChild<QLabel *>(QStringLiteral("label"))->text(), QStringLiteral("我的字幕"));
    QSignalSpy added(&list, SIGNAL(sig_addsubtitle(QString)));
    list.addSubtitle("A");
    list.addSubtitle("B");
    list.addSubtitle("C");
    QCOMPARE(added.size(), 3);
    QCOMPARE(list.subtitles(), (QStringList{"C", "B", "A"}));
    QCOMPARE(list.firstSubtitle(), QStringLiteral("C"));
    QVERIFY(list.containsSubtitle("B"));
    QVERIFY(!list.containsSubtitle("b"));
    QCOMPARE(table->rowCount(), 3);
    QStringList shown;
    for (int i = 0; i < 3; ++i) {
        auto *row = qobject_cast<UiSubtitleItemWidget *>(table->cellWidget(i, 0));
        shown << rowText(row);
        QCOMPARE(table->rowHeight(i), 76);
        QCOMPARE(row->size(), QSize(240, 80));
    }
    QCOMPARE(shown, (QStringList{"C", "B", "A"}));
    list.setSubtitles({});
    QCOMPARE(table->rowCount(), 0);
    QCOMPARE(list.firstSubtitle(), QString());
}

void SubtitlePageTest::listRowsAndDeletion()
{
    testsupport::TempEnvironment env;
    UiSubtitleListWidget list;
    list.setSubtitles({"C", "B", "A"});
    QTableWidget *table = list.findChild<QTableWidget *>(QStringLiteral("tableWidget_subtitle"));
    auto *row = qobject_cast<UiSubtitleItemWidget *>(table->cellWidget(1, 0));
    auto *text = row->findChild<MvClickTextEdit *>(QStringLiteral("plainTextEdit_content"));
    QVERIFY(text->isReadOnly());
    QCOMPARE(text->geometry(), QRect(0, 0, 236, 44));
    auto *del = row->findChild<QPushButton *>(QStringLiteral("pushButton_del"));
    QCOMPARE(del->text(), QStringLiteral("删除"));
    QCOMPARE(del->geometry(), QRect(205, 52, 31, 20));
    // A click on the text goes through the list.
    QSignalSpy clicked(&list, SIGNAL(sig_clicksubtitle(QString)));
    QTest::mouseClick(text->viewport(), Qt::LeftButton);
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(clicked[0][0].toString(), QStringLiteral("B"));
    // Deleting the middle row; the row goes after its own signal is done.
    QPointer<UiSubtitleItemWidget> guard(row);
    QSignalSpy removed(&list, SIGNAL(sig_delsubtitle(QString)));
    ModalDriver driver;
    driver.pressNext(QStringLiteral("pushButton_oksmall"));
    QTest::mouseClick(del, Qt::LeftButton);
    QVERIFY(driver.waitDone());
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed[0][0].toString(), QStringLiteral("B"));
    QCOMPARE(list.subtitles(), (QStringList{"C", "A"}));
    QTRY_VERIFY(guard.isNull());
    QCOMPARE(table->rowCount(), 2);
}

void SubtitlePageTest::listIgnoresTooManyLines()
{
    testsupport::TempEnvironment env;
    UiSubtitleListWidget list;
    list.setSubtitles({"A", "B"});
    list.setSubtitles({"1", "2", "3", "4", "5"});
    QCOMPARE(list.subtitles(), (QStringList{"A", "B"}));
    list.setSubtitles({"1", "2", "3", "4"});
    QCOMPARE(list.subtitles(), (QStringList{"1", "2", "3", "4"}));
}

QTEST_MAIN(SubtitlePageTest)
#include "tst_subtitlepage.moc"
