// The engine's item table: ids, placement, sources and their sizes, text
// items and per-item strings.

#include "EngineFixture.h"

#include <QtTest>

#include <algorithm>
#include <future>
#include <memory>
#include <numeric>
#include <thread>

using namespace castcore;

class TestSceneItems : public QObject
{
    Q_OBJECT
private slots:
    void idsStartAtOneAndAreNeverReused();
    void idsUniqueAcrossThreads();
    void zOrderAndPlacementKept();
    void pictureSizeFromFileHeader();
    void sourceFilesReplaceAndReloadSize();
    void textSizeIsDeterministicAndGrows_data();
    void textSizeIsDeterministicAndGrows();
    void textExtendIsAMinimumPerAxis();
    void rollingTextHasItsExtensionsSize_data();
    void rollingTextHasItsExtensionsSize();
    void textPropertiesMergeByMask();
    void textPropertiesCutToCallerBuffers();
    void effectiveTextPerItem();
    void relativeRectFollowsCanvas();
    void cameraFormatsAndParams();
    void screenCaptureAndOverlayItems();
    void customCaptureSizeFromFormat();
    void customCaptureAddedWhileLibraryCallbackHeld();
    void itemSettingsStoredVerbatim();
};

void TestSceneItems::idsStartAtOneAndAreNeverReused()
{
    EngineFixture f;
    QVERIFY(f.engine);
    QCOMPARE(f.init(), 0);
    const std::string pic = f.picture(QStringLiteral("a.png"), 10, 10);
    TextRecord text(u"abc");

    std::vector<int> ids;
    ids.push_back(f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100));
    ids.push_back(f.scene()->CreateTextItem(&text.info, 1, 1));
    ids.push_back(f.scene()->AddScreenCapture(0, 0, 0, 640, 360));
    ids.push_back(f.scene()->OpenCamera(u"USB2.0 HD Camera", 0, 0, 0, 0));
    ids.push_back(f.engine->GetPluginHost()->OpenPlugin(u"弹幕助手", 0, 0, 0, 0, 0));
    QCOMPARE(ids, (std::vector<int>{1, 2, 3, 4, 5}));

    // Removing the newest item must not hand its id out again.
    QVERIFY(f.store()->SetItemName(5, "plugin_5"));
    QVERIFY(f.store()->Remove("plugin_5"));
    QCOMPARE(f.store()->Kind(5), -1);
    QCOMPARE(f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100), 6);

    // Failures never yield 0 either.
    QVERIFY(f.scene()->CreateItem("/nonexistent/x.png", 0, 0, 100, 100) < 0);
    QVERIFY(f.scene()->CreateItem(nullptr, 0, 0, 100, 100) < 0);
    QVERIFY(f.scene()->OpenCamera(u"no such camera", 0, 0, 0, 0) < 0);
    QVERIFY(f.scene()->AddScreenCapture(3, 0, 0, 10, 10) < 0);
    QVERIFY(f.scene()->CreateTextItem(nullptr, 1, 1) < 0);
    control().ints().push("CreateItem", 0);
    QCOMPARE(f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100), 0);
    QCOMPARE(f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100), 7);
}

void TestSceneItems::idsUniqueAcrossThreads()
{
    EngineFixture f;
    constexpr int kThreads = 4;
    constexpr int kEach = 50;
    std::vector<std::vector<int>> got(kThreads);
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&, t] {
            TextRecord r(u"x");
            for (int i = 0; i < kEach; ++i) {
                const int id = f.scene()->CreateTextItem(&r.info, 1, 1);
                f.scene()->SetItemZ(id, id * 10);
                got[size_t(t)].push_back(id);
            }
        });
    }
    for (auto &w : workers)
        w.join();
    std::vector<int> all;
    for (const auto &g : got)
        all.insert(all.end(), g.begin(), g.end());
    std::sort(all.begin(), all.end());
    std::vector<int> expected(kThreads * kEach);
    std::iota(expected.begin(), expected.end(), 1);
    QCOMPARE(all, expected);
    for (int id : all)
        QCOMPARE(f.scene()->GetItemZ(id), id * 10);
}

void TestSceneItems::zOrderAndPlacementKept()
{
    EngineFixture f;
    const std::string pic = f.picture(QStringLiteral("a.png"), 30, 20);
    const int a = f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100);
    const int b = f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100);
    QVERIFY(f.scene()->SetItemZ(a, 1000001));
    QVERIFY(f.scene()->SetItemZ(b, 1000001)); // ties are the caller's business
    QCOMPARE(f.scene()->GetItemZ(a), 1000001);
    QCOMPARE(f.scene()->GetItemZ(b), 1000001);
    QCOMPARE(f.scene()->GetItemZ(999), -1);
    QVERIFY(!f.scene()->SetItemZ(999, 5));

    QVERIFY(f.scene()->SetItemRect(a, -5, 7, 300, 200));
    int x = 1, y = 1, w = 1, h = 1;
    QVERIFY(f.scene()->GetItemRect(a, &x, &y, &w, &h));
    QCOMPARE(QRect(x, y, w, h), QRect(-5, 7, 300, 200));
    QVERIFY(f.scene()->SetItemRect2(a, 1, 2, 3, 4));
    QVERIFY(f.scene()->GetItemRect(a, &x, &y, &w, &h));
    QCOMPARE(QRect(x, y, w, h), QRect(1, 2, 3, 4));
    // The source keeps its own size whatever the placement.
    QVERIFY(f.scene()->GetItemSourceRect(a, &x, &y, &w, &h));
    QCOMPARE(QRect(x, y, w, h), QRect(0, 0, 30, 20));

    // Unknown ids leave the outputs alone.
    x = 42;
    QVERIFY(!f.scene()->GetItemRect(999, &x, &y, &w, &h));
    QCOMPARE(x, 42);

    // The source size is steerable and can be made to fail.
    QVERIFY(f.ours()->setItemSourceSize(a, 0, 0));
    QVERIFY(f.scene()->GetItemSourceRect(a, &x, &y, &w, &h));
    QCOMPARE(QSize(w, h), QSize(0, 0));
    control().bools().push("GetItemSourceRect", false);
    QVERIFY(!f.scene()->GetItemSourceRect(a, &x, &y, &w, &h));
    QVERIFY(f.scene()->GetItemSourceRect(a, &x, &y, &w, &h));
}

void TestSceneItems::pictureSizeFromFileHeader()
{
    EngineFixture f;
    const std::string pic = f.picture(QStringLiteral("图片.png"), 37, 21);
    // The four numbers are x, y and the size in percent of the picture's.
    const int id = f.scene()->CreateItem(pic.c_str(), 10, 20, 200, 50);
    QVERIFY(id > 0);
    int x, y, w, h;
    QVERIFY(f.scene()->GetItemSourceRect(id, &x, &y, &w, &h));
    QCOMPARE(QRect(x, y, w, h), QRect(0, 0, 37, 21));
    QVERIFY(f.scene()->GetItemRect(id, &x, &y, &w, &h));
    QCOMPARE(QRect(x, y, w, h), QRect(10, 20, 74, 10));
    QCOMPARE(f.store()->Kind(id), int(KindPicture));

    // A file that is no picture is refused.
    const QString junk = f.env.workPath() + QStringLiteral("/junk.png");
    QVERIFY(writeFile(junk, "not a picture"));
    QVERIFY(f.scene()->CreateItem(junk.toUtf8().constData(), 0, 0, 100, 100) < 0);
}

void TestSceneItems::sourceFilesReplaceAndReloadSize()
{
    EngineFixture f;
    const std::string a = f.picture(QStringLiteral("a.png"), 10, 10);
    const std::string b = f.picture(QStringLiteral("b.png"), 64, 48);
    const int id = f.scene()->CreateItem(a.c_str(), 5, 5, 100, 100);

    int count = -1;
    const char *const *list = f.scene()->GetItemSourceFiles(id, &count);
    QCOMPARE(count, 1);
    QCOMPARE(std::string(list[0]), a);
    QCOMPARE(f.ours()->outstandingBuffers(), 1);
    f.scene()->FreeBuffer(list);
    QCOMPARE(f.ours()->outstandingBuffers(), 0);

    const char *files[] = {b.c_str()};
    QVERIFY(f.scene()->SetItemSourceFiles(id, files, 1));
    int x, y, w, h;
    QVERIFY(f.scene()->GetItemSourceRect(id, &x, &y, &w, &h));
    QCOMPARE(QSize(w, h), QSize(64, 48));
    QVERIFY(f.scene()->GetItemRect(id, &x, &y, &w, &h));
    QCOMPARE(QRect(x, y, w, h), QRect(5, 5, 10, 10)); // placement is the caller's

    // A missing file leaves the item as it was.
    const char *missing[] = {"/nonexistent/c.png"};
    QVERIFY(!f.scene()->SetItemSourceFiles(id, missing, 1));
    QVERIFY(!f.scene()->SetItemSourceFiles(id, nullptr, 1));
    QVERIFY(f.scene()->GetItemSourceRect(id, &x, &y, &w, &h));
    QCOMPARE(QSize(w, h), QSize(64, 48));
    list = f.scene()->GetItemSourceFiles(id, &count);
    QCOMPARE(std::string(list[0]), b);
    f.scene()->FreeBuffer(list);

    // An item without sources lends nothing.
    TextRecord text(u"t");
    const int t = f.scene()->CreateTextItem(&text.info, 1, 1);
    count = 7;
    QVERIFY(f.scene()->GetItemSourceFiles(t, &count) == nullptr);
    QCOMPARE(count, 0);
    QCOMPARE(f.ours()->outstandingBuffers(), 0);
}

void TestSceneItems::textSizeIsDeterministicAndGrows_data()
{
    QTest::addColumn<QString>("shorter");
    QTest::addColumn<int>("shorterSize");
    QTest::addColumn<QString>("longer");
    QTest::addColumn<int>("longerSize");
    QTest::addColumn<bool>("widthGrows");
    QTest::addColumn<bool>("heightGrows");
    QTest::newRow("longer latin text") << "abc" << 40 << "abcdef" << 40 << true << false;
    QTest::newRow("longer chinese text") << "你好" << 40 << "你好世界" << 40 << true << false;
    QTest::newRow("bigger font") << "abc" << 20 << "abc" << 60 << true << true;
    QTest::newRow("second line") << "abc" << 40 << "abc\nabc" << 40 << false << true;
    QTest::newRow("empty to one letter") << "" << 40 << "a" << 40 << true << false;
}

void TestSceneItems::textSizeIsDeterministicAndGrows()
{
    QFETCH(QString, shorter);
    QFETCH(int, shorterSize);
    QFETCH(QString, longer);
    QFETCH(int, longerSize);
    QFETCH(bool, widthGrows);
    QFETCH(bool, heightGrows);

    EngineFixture f;
    auto size = [&](const QString &s, int fontSize) {
        TextRecord r(toU16(s), fontSize);
        const int id = f.scene()->CreateTextItem(&r.info, 1, 1);
        int x, y, w, h;
        f.scene()->GetItemSourceRect(id, &x, &y, &w, &h);
        return QSize(w, h);
    };
    const QSize a = size(shorter, shorterSize);
    const QSize b = size(longer, longerSize);
    QVERIFY(a.width() > 0 && a.height() > 0);
    QCOMPARE(size(shorter, shorterSize), a); // same input, same size
    QCOMPARE(b.width() > a.width(), widthGrows);
    QCOMPARE(b.height() > a.height(), heightGrows);
    QVERIFY(b.width() >= a.width() && b.height() >= a.height());
}

void TestSceneItems::textExtendIsAMinimumPerAxis()
{
    EngineFixture f;
    TextRecord r(u"hi", 40);
    const int plain = f.scene()->CreateTextItem(&r.info, 1, 1);
    int x, y, w, h;
    f.scene()->GetItemSourceRect(plain, &x, &y, &w, &h);
    const QSize natural(w, h);

    r.info.extend = 1;
    r.info.extendWidth = 500;
    r.info.extendHeight = 1; // smaller than the text: the text wins
    const int ext = f.scene()->CreateTextItem(&r.info, 1, 1);
    f.scene()->GetItemSourceRect(ext, &x, &y, &w, &h);
    QCOMPARE(QSize(w, h), QSize(500, natural.height()));
}

void TestSceneItems::rollingTextHasItsExtensionsSize_data()
{
    QTest::addColumn<bool>("extend");
    QTest::addColumn<int>("roll");
    QTest::addColumn<bool>("scroll");
    QTest::addColumn<QSize>("extension");
    QTest::addColumn<QSize>("expected"); // -1: the text's own size on that axis
    QTest::newRow("rolling: the window") << true << 50 << false << QSize(120, 20) << QSize(120, 20);
    QTest::newRow("scroll flag: the window") << true << 0 << true << QSize(120, 20) << QSize(120, 20);
    QTest::newRow("rolling, wider window") << true << 50 << false << QSize(900, 80) << QSize(900, 80);
    QTest::newRow("rolling, no window height") << true << 50 << false << QSize(120, 0) << QSize(120, -1);
    QTest::newRow("still: at least the extension") << true << 0 << false << QSize(120, 20) << QSize(-1, -1);
    QTest::newRow("rolling, extension off") << false << 50 << true << QSize(120, 20) << QSize(-1, -1);
}

// A text that rolls in its extension rolls through it as through a window,
// however long the text.
void TestSceneItems::rollingTextHasItsExtensionsSize()
{
    QFETCH(bool, extend);
    QFETCH(int, roll);
    QFETCH(bool, scroll);
    QFETCH(QSize, extension);
    QFETCH(QSize, expected);
    EngineFixture f;
    TextRecord r(u"一段比窗口更长的滚动字幕", 40);
    int x, y, w, h;
    f.scene()->GetItemSourceRect(f.scene()->CreateTextItem(&r.info, 1, 1), &x, &y, &w, &h);
    const QSize natural(w, h);
    QVERIFY(natural.width() > 120 && natural.height() > 20);

    r.info.extend = extend;
    r.info.rollSpeed = roll;
    r.info.scroll = scroll;
    r.info.extendWidth = extension.width();
    r.info.extendHeight = extension.height();
    const int id = f.scene()->CreateTextItem(&r.info, 1, 1);
    f.scene()->GetItemSourceRect(id, &x, &y, &w, &h);
    const QSize want(expected.width() < 0 ? natural.width() : expected.width(),
                     expected.height() < 0 ? natural.height() : expected.height());
    QCOMPARE(QSize(w, h), want);

    // Rolling set later, as the effect text does: the same size.
    r.info.rollSpeed = 0;
    r.info.scroll = 0;
    const int later = f.scene()->CreateTextItem(&r.info, 1, 1);
    TextInfo change;
    change.mask = 0x100020; // roll speed and scroll flag
    change.rollSpeed = roll;
    change.scroll = scroll;
    QVERIFY(f.scene()->SetTextProperties(later, change));
    f.scene()->GetItemSourceRect(later, &x, &y, &w, &h);
    QCOMPARE(QSize(w, h), want);
}

void TestSceneItems::textPropertiesMergeByMask()
{
    EngineFixture f;
    TextRecord r(u"abc", 30);
    r.info.color = 0xFF112233;
    const int id = f.scene()->CreateTextItem(&r.info, 1, 1);
    QVERIFY(f.scene()->SetItemRect(id, 11, 12, 13, 14));
    int x, y, w, h;
    f.scene()->GetItemSourceRect(id, &x, &y, &w, &h);
    const QSize before(w, h);

    // Only the line-break flag and the alignment are marked: the new text and
    // colour in the record must be ignored.
    std::u16string other = u"a much longer text than before";
    TextInfo change;
    change.mask = 0x280000;
    change.text = other.data();
    change.color = 0xFFFFFFFF;
    change.newline = 1;
    change.align = 1;
    QVERIFY(f.scene()->SetTextProperties(id, change));

    std::vector<char16_t> font(200), text(256);
    TextInfo out;
    out.fontName = font.data();
    out.text = text.data();
    QVERIFY(f.scene()->GetTextProperties(id, &out));
    QCOMPARE(QString::fromUtf16(out.text), QStringLiteral("abc"));
    QCOMPARE(QString::fromUtf16(out.fontName), QStringLiteral("微软雅黑"));
    QCOMPARE(out.color, 0xFF112233u);
    QCOMPARE(out.size, 30);
    QCOMPARE(int(out.newline), 1);
    QCOMPARE(out.align, 1);

    // A marked text changes the source size, never the placement.
    change.mask = TextText;
    QVERIFY(f.scene()->SetTextProperties(id, change));
    f.scene()->GetItemSourceRect(id, &x, &y, &w, &h);
    QVERIFY(w > before.width());
    QVERIFY(f.scene()->GetItemRect(id, &x, &y, &w, &h));
    QCOMPARE(QRect(x, y, w, h), QRect(11, 12, 13, 14));

    // Only text items take text properties.
    const std::string pic = f.picture(QStringLiteral("p.png"), 4, 4);
    const int p = f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100);
    QVERIFY(!f.scene()->SetTextProperties(p, change));
    QVERIFY(!f.scene()->GetTextProperties(p, &out));
}

// The record's outline switch is a 32-bit word, like its neighbours.
static_assert(std::is_same<decltype(TextInfo::outline), int32_t>::value, "outline on is i32");

void TestSceneItems::textPropertiesCutToCallerBuffers()
{
    EngineFixture f;
    TextRecord r(std::u16string(300, u'字'), 20);
    r.font = std::u16string(250, u'f');
    r.info.fontName = r.font.data();
    const int id = f.scene()->CreateTextItem(&r.info, 1, 1);

    std::vector<char16_t> font(kTextFontNameUnits + 8, u'#'), text(kTextTextUnits + 8, u'#');
    TextInfo out;
    out.fontName = font.data();
    out.text = text.data();
    QVERIFY(f.scene()->GetTextProperties(id, &out));
    QCOMPARE(std::u16string(font.data()).size(), size_t(kTextFontNameUnits - 1));
    QCOMPARE(std::u16string(text.data()).size(), size_t(kTextTextUnits - 1));
    QCOMPARE(font[kTextFontNameUnits], u'#'); // nothing written past the buffer
    QCOMPARE(text[kTextTextUnits], u'#');

    // Without buffers the numbers still arrive.
    TextInfo bare;
    QVERIFY(f.scene()->GetTextProperties(id, &bare));
    QCOMPARE(bare.size, 20);

    // The engine reads no further than the caller's buffers: a record whose
    // strings run past them is cut at 199 and 255 units.
    QCOMPARE(f.ours()->item(id)->text.text.size(), size_t(kTextTextUnits - 1));
    QCOMPARE(f.ours()->item(id)->text.font.size(), size_t(kTextFontNameUnits - 1));
    std::vector<char16_t> longText(kTextTextUnits + 40, u'y');
    longText.back() = 0;
    TextInfo change;
    change.mask = TextText;
    change.text = longText.data();
    QVERIFY(f.scene()->SetTextProperties(id, change));
    QCOMPARE(f.ours()->item(id)->text.text, std::u16string(kTextTextUnits - 1, u'y'));
    // A pair of surrogates is never split at the cut.
    longText[kTextTextUnits - 2] = char16_t(0xD83D);
    longText[kTextTextUnits - 1] = char16_t(0xDE00);
    QVERIFY(f.scene()->SetTextProperties(id, change));
    QCOMPARE(f.ours()->item(id)->text.text, std::u16string(kTextTextUnits - 2, u'y'));
}

void TestSceneItems::effectiveTextPerItem()
{
    EngineFixture f;
    TextRecord r(u"t");
    const int a = f.scene()->CreateTextItem(&r.info, 1, 1);
    const int b = f.scene()->CreateTextItem(&r.info, 1, 1);
    std::vector<char16_t> buf(kEffectiveTextUnits, u'x');
    int len = -1;
    QVERIFY(!f.scene()->GetEffectiveText(a, buf.data(), kEffectiveTextUnits, &len)); // never set
    QCOMPARE(len, -1);

    QVERIFY(f.scene()->SetEffectiveText(a, u"77,30,320,30"));
    QVERIFY(f.scene()->SetEffectiveText(b, u"中文"));
    QVERIFY(f.scene()->GetEffectiveText(a, buf.data(), kEffectiveTextUnits, &len));
    QCOMPARE(QString::fromUtf16(buf.data()), QStringLiteral("77,30,320,30"));
    QCOMPARE(len, 12);
    QVERIFY(f.scene()->GetEffectiveText(b, buf.data(), kEffectiveTextUnits, &len));
    QCOMPARE(QString::fromUtf16(buf.data()), QStringLiteral("中文"));

    // An empty string is a string; null is refused; unknown ids fail.
    QVERIFY(f.scene()->SetEffectiveText(a, u""));
    QVERIFY(f.scene()->GetEffectiveText(a, buf.data(), kEffectiveTextUnits, &len));
    QCOMPARE(len, 0);
    QVERIFY(!f.scene()->SetEffectiveText(a, nullptr));
    QVERIFY(!f.scene()->SetEffectiveText(999, u"x"));

    // A text longer than the caller's buffer is cut, terminator included.
    const std::u16string huge(5000, u'9');
    QVERIFY(f.scene()->SetEffectiveText(a, huge.c_str()));
    QVERIFY(f.scene()->GetEffectiveText(a, buf.data(), kEffectiveTextUnits, &len));
    QCOMPARE(len, kEffectiveTextUnits - 1);
    QCOMPARE(buf[size_t(kEffectiveTextUnits - 1)], u'\0');
    std::vector<char16_t> small(4, u'#');
    QVERIFY(f.scene()->GetEffectiveText(b, small.data(), 2, &len));
    QCOMPARE(len, 1);
    QCOMPARE(small[1], u'\0');
    QCOMPARE(small[2], u'#');
}

void TestSceneItems::relativeRectFollowsCanvas()
{
    FixedCapture capture; // outlives the engine that uses it
    EngineFixture f;
    QCOMPARE(f.init(1216, 684), 0);
    const int id = f.scene()->AddCustomCapture(&capture);
    QVERIFY(id > 0);
    QVERIFY(f.scene()->SetItemRelativeRect(id, 20.0f / 1216, 20.0f / 684, 56.0f / 1216, 35.0f / 684));
    // Logged so that each value reads back exactly.
    QCOMPARE(control().log().last("SetItemRelativeRect")->args,
             (std::vector<std::string>{std::to_string(id), "0.016447369", "0.029239766", "0.04605263",
                                       "0.05116959"}));
    int x, y, w, h;
    QVERIFY(f.scene()->GetItemRect(id, &x, &y, &w, &h));
    QCOMPARE(QRect(x, y, w, h), QRect(20, 20, 56, 35));

    // No size (negative or 0) moves the item and keeps its size.
    QVERIFY(f.scene()->SetItemRelativeRect(id, 0.9375f, 0.9195906f, -1, -1));
    QVERIFY(f.scene()->GetItemRect(id, &x, &y, &w, &h));
    QCOMPARE(QRect(x, y, w, h), QRect(1140, 629, 56, 35));
    QVERIFY(f.scene()->SetItemRelativeRect(id, 20.0f / 1216, 0.9195906f, 0, 0));
    QVERIFY(f.scene()->GetItemRect(id, &x, &y, &w, &h));
    QCOMPARE(QRect(x, y, w, h), QRect(20, 629, 56, 35));
    QVERIFY(f.scene()->SetItemRelativeRect(id, 0.9375f, 0.9195906f, -1, -1));
    const auto item = f.ours()->item(id);
    QCOMPARE(item->relX, 0.9375f);
    QCOMPARE(item->relWidth, 56.0f / 1216);

    // A new canvas places the item anew.
    LiveVideoConfig cfg;
    cfg.width = 2432;
    cfg.height = 1368;
    f.scene()->BeginConfig();
    QVERIFY(f.scene()->SetVideoConfig(&cfg));
    f.scene()->EndConfig();
    QVERIFY(f.scene()->GetItemRect(id, &x, &y, &w, &h));
    QCOMPARE(QRect(x, y, w, h), QRect(2280, 1258, 112, 70));

    // A negative size on an item never placed relatively keeps its pixels.
    const std::string pic = f.picture(QStringLiteral("p.png"), 40, 30);
    const int p = f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100);
    QVERIFY(f.scene()->SetItemRelativeRect(p, 0.5f, 0.5f, -1, -1));
    QVERIFY(f.scene()->GetItemRect(p, &x, &y, &w, &h));
    QCOMPARE(QRect(x, y, w, h), QRect(1216, 684, 40, 30));
}

void TestSceneItems::cameraFormatsAndParams()
{
    EngineFixture f;
    World world = World::builtIn();
    CameraDevice big;
    big.name = u"Capture Card";
    for (int i = 0; i < 75; ++i)
        big.formats.push_back({6, 160 + 16 * i, 120 + 9 * i, 30, 0});
    world.cameras.push_back(big);
    for (int i = 0; i < 11; ++i)
        world.cameras.push_back({u"Cam " + toU16(QString::number(i)), {{0, 640, 480, 30, 0}}});
    control().setWorld(world);

    int count = 0;
    CameraDeviceRecord *cams = f.scene()->ListCameras(&count);
    QCOMPARE(count, 13);
    QCOMPARE(QString::fromUtf16(cams[0].name), QStringLiteral("USB2.0 HD Camera"));
    QCOMPARE(QString::fromUtf16(cams[1].name), QStringLiteral("Capture Card"));
    QCOMPARE(cams[12].index, 12);
    f.scene()->FreeBuffer(cams);

    CameraFormat *formats = nullptr;
    QVERIFY(f.scene()->ListCameraFormats(u"Capture Card", &count, &formats));
    QCOMPARE(count, 75);
    QCOMPARE(formats[74].width, 160 + 16 * 74);
    QCOMPARE(f.ours()->outstandingBuffers(), 1);
    f.scene()->FreeBuffer(formats);
    QCOMPARE(f.ours()->outstandingBuffers(), 0);
    QVERIFY(!f.scene()->ListCameraFormats(u"nobody", &count, &formats));
    QCOMPARE(count, 0);

    // A camera opens with its first format as its source size.
    const int id = f.scene()->OpenCamera(u"USB2.0 HD Camera", 0, 0, 0, 0);
    QVERIFY(id > 0);
    QCOMPARE(f.store()->Kind(id), int(KindCamera));
    int x, y, w, h;
    f.scene()->GetItemSourceRect(id, &x, &y, &w, &h);
    QCOMPARE(QSize(w, h), QSize(640, 480));
    std::vector<char16_t> name(256, u'#');
    QVERIFY(f.scene()->GetCameraDeviceName(id, name.data(), 256));
    QCOMPARE(QString::fromUtf16(name.data()), QStringLiteral("USB2.0 HD Camera"));

    // Parameters must be one of the device's formats unless steered.
    CameraParams listed{6, 1280, 720, 30};
    CameraParams unlisted{6, 1280, 720, 60};
    QVERIFY(f.scene()->SetCameraParams(id, &listed));
    QVERIFY(!f.scene()->SetCameraParams(id, &unlisted));
    CameraParams now;
    QVERIFY(f.scene()->GetCameraParams(id, &now));
    QCOMPARE(now.fps, 30);
    QCOMPARE(now.width, 1280);
    f.scene()->GetItemSourceRect(id, &x, &y, &w, &h);
    QCOMPARE(QSize(w, h), QSize(1280, 720));
    control().bools().push("SetCameraParams", true);
    QVERIFY(f.scene()->SetCameraParams(id, &unlisted));
    control().bools().push("SetCameraParams", false);
    QVERIFY(!f.scene()->SetCameraParams(id, &listed));
    control().bools().push("GetCameraParams", false);
    QVERIFY(!f.scene()->GetCameraParams(id, &now));

    // Camera operations on other items fail and leave the outputs alone.
    TextRecord r(u"t");
    const int t = f.scene()->CreateTextItem(&r.info, 1, 1);
    name[0] = u'#';
    QVERIFY(!f.scene()->GetCameraDeviceName(t, name.data(), 256));
    QCOMPARE(name[0], u'#');
    QVERIFY(!f.scene()->SetCameraParams(t, &listed));
}

void TestSceneItems::screenCaptureAndOverlayItems()
{
    EngineFixture f;
    const int full = f.scene()->AddScreenCapture(0, 0, 0, 1920, 1080);
    QCOMPARE(f.store()->Kind(full), int(KindScreenCapture));
    const int region = f.scene()->AddScreenCapture(0, 100, 50, 960, 540);
    int x, y, w, h;
    QVERIFY(f.scene()->GetItemRect(region, &x, &y, &w, &h));
    QCOMPARE(QRect(x, y, w, h), QRect(100, 50, 960, 540));
    QVERIFY(f.scene()->GetItemSourceRect(region, &x, &y, &w, &h));
    QCOMPARE(QSize(w, h), QSize(960, 540));
    QVERIFY(f.scene()->AddScreenCapture(0, 0, 0, 0, 10) < 0);

    const QString swf = f.env.workPath() + QStringLiteral("/动画.swf");
    QVERIFY(writeFile(swf, "FWS"));
    const std::u16string path = toU16(swf);
    const int overlay = f.scene()->AddOverlayFile(path.c_str());
    QVERIFY(overlay > 0);
    QCOMPARE(f.store()->Kind(overlay), int(KindOverlayFile));
    QVERIFY(f.scene()->GetItemSourceRect(overlay, &x, &y, &w, &h));
    QCOMPARE(QSize(w, h), QSize(kOverlayWidth, kOverlayHeight));
    QVERIFY(f.scene()->AddOverlayFile(u"/nonexistent/a.swf") < 0);
    QVERIFY(f.scene()->AddOverlayFile(nullptr) < 0);
}

void TestSceneItems::customCaptureSizeFromFormat()
{
    FixedCapture capture; // outlives the engine that uses it
    EngineFixture f;
    const int id = f.scene()->AddCustomCapture(&capture);
    QVERIFY(id > 0);
    QCOMPARE(f.store()->Kind(id), int(KindCustomCapture));
    int x, y, w, h;
    QVERIFY(f.scene()->GetItemSourceRect(id, &x, &y, &w, &h));
    QCOMPARE(QSize(w, h), QSize(56, 35));
    // The format is asked for at once, on the caller's thread; frames on
    // the engine's video thread.
    QCOMPARE(capture.calls.last("GetFormat")->thread, std::this_thread::get_id());

    std::vector<uint8_t> frame;
    QVERIFY(f.ours()->pullCaptureFrame(id, &frame));
    QCOMPARE(frame, capture.pixels);
    QCOMPARE(capture.calls.last("GetFrame")->thread, f.ours()->videoThread());
    QVERIFY(f.scene()->AddCustomCapture(nullptr) < 0);
}

void TestSceneItems::customCaptureAddedWhileLibraryCallbackHeld()
{
    FixedCapture capture; // outlives the engine that uses it
    EngineFixture f;
    control().gates().close("OnVideoFps");
    f.ours()->fireVideoFps(30);
    QVERIFY(control().gates().waitForWaiting("OnVideoFps", 1, 5000));

    std::promise<int> added;
    std::future<int> id = added.get_future();
    std::thread caller([&] { added.set_value(f.scene()->AddCustomCapture(&capture)); });
    const bool returned = id.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    control().gates().open("OnVideoFps");
    caller.join();
    QVERIFY(returned);
    const int item = id.get();
    QVERIFY(item > 0);
    int x, y, w, h;
    QVERIFY(f.scene()->GetItemSourceRect(item, &x, &y, &w, &h));
    QCOMPARE(QSize(w, h), QSize(56, 35));
}

void TestSceneItems::itemSettingsStoredVerbatim()
{
    EngineFixture f;
    const std::string pic = f.picture(QStringLiteral("p.png"), 4, 4);
    const int id = f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100);
    QVERIFY(f.scene()->SetItemAlpha(id, 128));
    QVERIFY(f.scene()->SetItemFlag(id, true));
    QVERIFY(f.scene()->SetItemAspect(id, 1.5f, 1));
    QVERIFY(f.scene()->SetItemRotation(id, 3.14159274f, 1));
    QVERIFY(!f.scene()->SetItemRotation(id, 1.0f, 3));
    QVERIFY(f.scene()->SetItemColorEffect(id, 0x661EF6));
    QVERIFY(f.scene()->SetItemWatermark(id, 1));
    QVERIFY(f.scene()->SetItemWatermark(id, 2));
    QVERIFY(f.scene()->SetItemWatermark(id, 1));

    int alpha = 0;
    QVERIFY(f.scene()->GetItemAlpha(id, &alpha));
    QCOMPARE(alpha, 128);
    float r0 = -1, r1 = -1;
    QVERIFY(f.scene()->GetItemRotation(id, &r0, 0));
    QVERIFY(f.scene()->GetItemRotation(id, &r1, 1));
    QCOMPARE(r0, 0.0f);
    QCOMPARE(r1, 3.14159274f);
    uint32_t rgb = 0;
    QVERIFY(f.scene()->GetItemColorEffect(id, &rgb));
    QCOMPARE(rgb, 0x661EF6u);
    const auto item = f.ours()->item(id);
    QVERIFY(item->flag);
    QCOMPARE(item->aspect, 1.5f);
    QCOMPARE(item->aspectMode, 1);
    QCOMPARE(item->watermark, (std::vector<int>{1, 2, 1}));

    for (int bad : {0, -1, 999}) {
        QVERIFY(!f.scene()->SetItemAlpha(bad, 1));
        QVERIFY(!f.scene()->GetItemAlpha(bad, &alpha));
        QVERIFY(!f.scene()->SetItemFlag(bad, true));
    }
}

std::unique_ptr<QObject> makeSceneItemsTest()
{
    return std::make_unique<TestSceneItems>();
}

#include "tst_sceneitems.moc"
