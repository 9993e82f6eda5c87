// Text sources drawn into real pixels: colours, style flags, layout, the
// extension box, rolling, and that layout happens per change, not per frame.
#include "sources/TextLayout.h"
#include "sources/TextSource.h"

#include <QImage>
#include <QSet>
#include <QTest>

#include <functional>
#include <memory>

using namespace castcore;
using namespace std::chrono_literals;

namespace {

constexpr uint32_t kRedWord = 0xffff0000;
constexpr uint32_t kBlueWord = 0xff0000ff;
constexpr uint32_t kGreenWord = 0xff00ff00;
constexpr uint32_t kWhiteWord = 0xffffffff;

SceneItem textItem(const QString &text, int size = 40)
{
    SceneItem it;
    it.kind = KindText;
    it.hasText = true;
    it.text.font = toU16(QStringLiteral("DejaVu Sans"));
    it.text.text = toU16(text);
    it.text.size = size;
    it.text.color = kRedWord;
    it.text.opacity = 100;
    it.text.backgroundColor = kWhiteWord;
    it.text.backgroundOpacity = 0;
    it.text.outlineColor = 0xff000000;
    it.text.outlineOpacity = 100;
    return it;
}

QImage render(const SceneItem &item, QSize size = QSize())
{
    TextSource source;
    source.update(item);
    if (size.isValid())
        source.resize(size);
    source.tick(MediaClock::now());
    return source.picture();
}

int count(const QImage &image, const std::function<bool(QRgb)> &match)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            n += match(row[x]) ? 1 : 0;
    }
    return n;
}

// Ink on a transparent background.
bool inked(QRgb p)
{
    return qAlpha(p) > 96;
}

int ink(const QImage &image)
{
    return count(image, inked);
}

QRect inkRect(const QImage &image)
{
    QRect r;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (inked(image.pixel(x, y)))
                r |= QRect(x, y, 1, 1);
        }
    }
    return r;
}

bool reddish(QRgb p)
{
    return qAlpha(p) == 255 && qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
}

class TextSourceTest : public QObject
{
    Q_OBJECT

private slots:
    void textOnItsBackground()
    {
        SceneItem item = textItem(QStringLiteral("HI"));
        item.text.backgroundColor = kBlueWord;
        item.text.backgroundOpacity = 100;
        const QImage shown = render(item, QSize(200, 80));
        QCOMPARE(shown.size(), QSize(200, 80));
        QCOMPARE(shown.format(), QImage::Format_ARGB32_Premultiplied);
        for (const QPoint &corner : {QPoint(0, 0), QPoint(199, 0), QPoint(0, 79), QPoint(199, 79)})
            QCOMPARE(shown.pixel(corner), QRgb(kBlueWord));
        const int red = count(shown, reddish);
        QVERIFY2(red > 150, qPrintable(QString::number(red)));
        QVERIFY(inkRect(shown).isValid());
        // Every pixel is opaque: text over an opaque background.
        QCOMPARE(count(shown, [](QRgb p) { return qAlpha(p) != 255; }), 0);
    }

    void opacities_data()
    {
        QTest::addColumn<uint32_t>("color");
        QTest::addColumn<int>("opacity");
        QTest::addColumn<int>("backgroundOpacity");
        QTest::addColumn<int>("inkAlpha");       // the most opaque text pixel
        QTest::addColumn<int>("backgroundAlpha"); // a corner
        QTest::newRow("opaque text") << kRedWord << 100 << 0 << 255 << 0;
        QTest::newRow("half text") << kRedWord << 50 << 0 << 127 << 0;
        QTest::newRow("half background") << kRedWord << 100 << 50 << 255 << 127;
        QTest::newRow("invisible text") << kRedWord << 0 << 100 << 255 << 255;
        // The colour word's alpha byte does not count: opacity alone does.
        QTest::newRow("colour word without alpha") << uint32_t(0x00ff0000) << 100 << 0 << 255 << 0;
    }
    void opacities()
    {
        QFETCH(uint32_t, color);
        QFETCH(int, opacity);
        QFETCH(int, backgroundOpacity);
        QFETCH(int, inkAlpha);
        QFETCH(int, backgroundAlpha);
        SceneItem item = textItem(QStringLiteral("Opacity"));
        item.text.color = color;
        item.text.opacity = opacity;
        item.text.backgroundColor = kBlueWord;
        item.text.backgroundOpacity = backgroundOpacity;
        const QImage shown = render(item, QSize(300, 80));
        int most = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x)
                most = std::max(most, qAlpha(shown.pixel(x, y)));
        }
        QVERIFY2(std::abs(most - inkAlpha) <= 1, qPrintable(QString::number(most)));
        QVERIFY(std::abs(qAlpha(shown.pixel(0, 0)) - backgroundAlpha) <= 1);
        if (opacity == 0)
            QCOMPARE(count(shown, [](QRgb p) { return qRed(p) > 0; }), 0);
    }

    void boldHasMoreInk()
    {
        SceneItem item = textItem(QStringLiteral("Bold text"));
        const int regular = ink(render(item));
        item.text.bold = true;
        const int bold = ink(render(item));
        QVERIFY2(bold > regular * 11 / 10, qPrintable(QString("%1 vs %2").arg(bold).arg(regular)));
    }

    void underlineAndItalicChangeTheInk()
    {
        SceneItem item = textItem(QStringLiteral("HIT")); // no descender below the line
        const QImage plain = render(item, QSize(300, 80));
        SceneItem underlined = item;
        underlined.text.underline = true;
        const QImage under = render(underlined, QSize(300, 80));
        QVERIFY(ink(under) > ink(plain));
        QVERIFY(inkRect(under).bottom() > inkRect(plain).bottom()); // the line lies below the glyphs
        SceneItem italic = item;
        italic.text.italic = true;
        QVERIFY(render(italic, QSize(300, 80)) != plain);
    }

    void outlineSurroundsTheGlyphs()
    {
        SceneItem item = textItem(QStringLiteral("Edge"));
        item.text.color = kWhiteWord;
        item.text.outlineColor = kGreenWord;
        item.text.outlineSize = 3.0f;
        const auto green = [](QRgb p) { return qAlpha(p) > 200 && qGreen(p) > 200 && qRed(p) < 60 && qBlue(p) < 60; };
        const QImage without = render(item, QSize(300, 100));
        QCOMPARE(count(without, green), 0);
        item.text.outline = 1;
        const QImage with = render(item, QSize(300, 100));
        QVERIFY2(count(with, green) > 200, qPrintable(QString::number(count(with, green))));
        const QRect bare = inkRect(without);
        const QRect outlined = inkRect(with);
        QVERIFY(outlined.width() >= bare.width() + 4);
        QVERIFY(outlined.height() >= bare.height() + 4);
        // The glyphs keep their fill inside the outline.
        QVERIFY(count(with, [](QRgb p) { return qAlpha(p) == 255 && qRed(p) > 240 && qBlue(p) > 240; }) > 50);
        // An outline of size 0 is no outline.
        item.text.outlineSize = 0;
        QCOMPARE(count(render(item, QSize(300, 100)), green), 0);
    }

    void verticalTextIsStacked()
    {
        SceneItem item = textItem(QStringLiteral("主播你好"), 30);
        const QImage across = render(item);
        QVERIFY(across.width() > 2 * across.height());
        item.text.vertical = true;
        const QImage down = render(item);
        QVERIFY2(down.height() > 2 * down.width(), qPrintable(QString("%1x%2").arg(down.width()).arg(down.height())));
        const QRect r = inkRect(down);
        QVERIFY(r.height() > 3 * r.width() / 2);
    }

    void missingFontDrawsWithTheCjkFallback()
    {
        SceneItem item = textItem(QStringLiteral("主播你好"), 30);
        item.text.font = toU16(QStringLiteral("No Such Font Anywhere"));
        const QImage missing = render(item, QSize(200, 60));
        QVERIFY2(ink(missing) > 200, qPrintable(QString::number(ink(missing))));
        item.text.font = toU16(QString::fromLatin1(TextLayout::kFallbackFamily));
        QCOMPARE(missing, render(item, QSize(200, 60)));
        QCOMPARE(TextLayout::fontFor(item.text).family(), QStringLiteral("WenQuanYi Micro Hei"));
    }

    void extendSetsTheLeastSize()
    {
        SceneItem item = textItem(QStringLiteral("A"), 20);
        const QImage bare = render(item);
        QVERIFY(bare.width() < 60 && bare.height() < 60);
        item.text.extend = true;
        item.text.extendWidth = 300;
        item.text.extendHeight = 120;
        QCOMPARE(render(item).size(), QSize(300, 120));
        // A larger item keeps its size, a smaller one grows to the extension.
        QCOMPARE(render(item, QSize(400, 100)).size(), QSize(400, 120));
        // Extension values count only with the flag.
        item.text.extend = false;
        QCOMPARE(render(item).size(), bare.size());
    }

    void alignment_data()
    {
        QTest::addColumn<int>("align");
        QTest::addColumn<int>("low");  // where the ink's centre may lie
        QTest::addColumn<int>("high");
        QTest::newRow("0 left") << 0 << 0 << 60;
        QTest::newRow("1 centre") << 1 << 190 << 210;
        QTest::newRow("2 right") << 2 << 340 << 400;
        QTest::newRow("out of range: left") << 7 << 0 << 60;
    }
    void alignment()
    {
        QFETCH(int, align);
        QFETCH(int, low);
        QFETCH(int, high);
        SceneItem item = textItem(QStringLiteral("Mid"), 30);
        item.text.align = align;
        const QRect r = inkRect(render(item, QSize(400, 60)));
        QVERIFY2(r.center().x() >= low && r.center().x() <= high, qPrintable(QString::number(r.center().x())));
        if (align == 0)
            QVERIFY(r.left() < 10);
        if (align == 2)
            QVERIFY(r.right() > 390);
    }

    void newlineWrapsInsideTheItem()
    {
        SceneItem item = textItem(QStringLiteral("one two three four five six seven eight"), 20);
        const QRect single = inkRect(render(item, QSize(150, 200)));
        QVERIFY(single.height() < 30);
        item.text.newline = true;
        const QImage wrapped = render(item, QSize(150, 200));
        const QRect r = inkRect(wrapped);
        QVERIFY2(r.height() > 2 * 20, qPrintable(QString::number(r.height())));
        QVERIFY(r.left() >= 0 && r.right() < 150);
        // Explicit line breaks need no flag.
        SceneItem lines = textItem(QStringLiteral("one\ntwo\nthree"), 20);
        QVERIFY(inkRect(render(lines, QSize(150, 200))).height() > 2 * 20);
    }

    // Right to left at the roll speed, in pixels per second of tick time.
    void rollsAtItsSpeed_data()
    {
        QTest::addColumn<int>("rollSpeed");
        QTest::addColumn<bool>("extendScroll");
        QTest::addColumn<int>("pixelsPerSecond");
        QTest::newRow("roll 50") << 50 << false << 50;
        QTest::newRow("roll 7") << 7 << false << 7;
        QTest::newRow("scroll flag, no speed: 30") << 0 << true << 30;
        QTest::newRow("still") << 0 << false << 0;
    }
    void rollsAtItsSpeed()
    {
        QFETCH(int, rollSpeed);
        QFETCH(bool, extendScroll);
        QFETCH(int, pixelsPerSecond);
        SceneItem item = textItem(QStringLiteral("Go"), 30);
        item.text.rollSpeed = rollSpeed;
        item.text.extend = extendScroll;
        item.text.scroll = extendScroll;
        TextSource source;
        source.update(item);
        source.resize(QSize(400, 60));
        const auto t0 = MediaClock::now();
        QVERIFY(source.tick(t0));
        QCOMPARE(source.picture().size(), QSize(400, 60));
        if (pixelsPerSecond == 0) {
            const QImage still = source.picture();
            QVERIFY(!source.tick(t0 + 1s));
            QCOMPARE(source.picture(), still);
            return;
        }
        QCOMPARE(ink(source.picture()), 0); // it enters from the right
        QVERIFY(source.tick(t0 + 1s));
        const QRect a = inkRect(source.picture());
        QVERIFY(source.tick(t0 + 2s));
        const QRect b = inkRect(source.picture());
        QVERIFY(!source.tick(t0 + 2s));
        QVERIFY(a.isValid() && b.isValid());
        QVERIFY2(std::abs(a.left() - b.left() - pixelsPerSecond) <= 1,
                 qPrintable(QString("%1 -> %2").arg(a.left()).arg(b.left())));
    }

    // Past the left edge the text comes back in at the right.
    void rollWrapsAround()
    {
        SceneItem item = textItem(QStringLiteral("Loop"), 30);
        item.text.rollSpeed = 100;
        TextSource source;
        source.update(item);
        source.resize(QSize(300, 60));
        const auto t0 = MediaClock::now();
        source.tick(t0);
        bool seen = false;
        bool gone = false;
        bool back = false;
        for (int step = 1; step <= 300 && !back; ++step) { // 30 s of ticks
            source.tick(t0 + step * 100ms);
            const QRect r = inkRect(source.picture());
            if (!seen && r.isValid()) {
                seen = true;
            } else if (seen && !gone && !r.isValid()) {
                gone = true;
            } else if (gone && r.isValid()) {
                back = true;
                QVERIFY2(r.left() >= 200, qPrintable(QString::number(r.left())));
            }
        }
        QVERIFY(seen && gone && back);
    }

    void layoutOncePerChange()
    {
        SceneItem item = textItem(QStringLiteral("Once"));
        TextSource source;
        source.update(item);
        source.resize(QSize(300, 80));
        const auto t0 = MediaClock::now();
        const int before = TextLayout::layoutCount();
        QVERIFY(source.tick(t0));
        QCOMPARE(TextLayout::layoutCount(), before + 1);
        QVERIFY(!source.tick(t0 + 1s));
        source.update(item);
        source.resize(QSize(300, 80));
        QVERIFY(!source.tick(t0 + 2s));
        QCOMPARE(TextLayout::layoutCount(), before + 1);

        item.text.color = kBlueWord;
        source.update(item);
        QVERIFY(source.tick(t0 + 3s));
        QCOMPARE(TextLayout::layoutCount(), before + 2);
        source.resize(QSize(320, 80));
        QVERIFY(source.tick(t0 + 4s));
        QCOMPARE(source.picture().size(), QSize(320, 80));
        QCOMPARE(TextLayout::layoutCount(), before + 3);

        // A rolling text moves every frame without laying out again.
        item.text.rollSpeed = 30;
        source.update(item);
        QVERIFY(source.tick(t0));
        for (int i = 1; i <= 100; ++i)
            QVERIFY(source.tick(t0 + i * 40ms));
        QCOMPARE(TextLayout::layoutCount(), before + 4);
    }

    // Frames are written into a few pooled pictures, not new ones.
    void rollingReusesItsPictures()
    {
        SceneItem item = textItem(QStringLiteral("Pool"));
        item.text.rollSpeed = 30;
        TextSource source;
        source.update(item);
        source.resize(QSize(320, 80));
        const auto t0 = MediaClock::now();
        source.tick(t0);
        QSet<const uchar *> buffers;
        QImage held; // what a compositor holds while it draws the frame
        for (int i = 1; i <= 60; ++i) {
            QVERIFY(source.tick(t0 + i * 40ms));
            held = source.picture();
            buffers.insert(held.constBits());
        }
        QVERIFY2(buffers.size() <= 3, qPrintable(QString::number(buffers.size())));
    }

    // The facade keeps an effective text's area as its effective string;
    // the item shows its own text.
    void effectiveTextShowsTheItemText()
    {
        SceneItem item = textItem(QStringLiteral("Sub"));
        const QImage plain = render(item, QSize(200, 60));
        item.hasEffectiveText = true;
        item.effectiveText = toU16(QStringLiteral("77,30,320,30"));
        QCOMPARE(render(item, QSize(200, 60)), plain);
    }
};

} // namespace

std::unique_ptr<QObject> makeTextSourceTest()
{
    return std::make_unique<TextSourceTest>();
}

#include "tst_textsource.moc"
