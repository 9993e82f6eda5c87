// The watermark source (its picture and the engine's format and frame
// questions) and where the watermark goes on each timer tick.

#include "EngineFixture.h"
#include "WatermarkCapture.h"
#include "WatermarkPlacement.h"

#include <QtTest>

#include <set>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t kWidth = 56;
constexpr uint32_t kHeight = 35;
constexpr uint32_t kBytes = 56 * 35 * 4;

// Pixel (x, y) of the raw picture: blue, green, red, alpha.
std::vector<uint8_t> pixelAt(const std::vector<uint8_t> &picture, int x, int y)
{
    const auto at = picture.begin() + (y * int(kWidth) + x) * 4;
    return std::vector<uint8_t>(at, at + 4);
}

} // namespace

class TestWatermark : public QObject
{
    Q_OBJECT
private slots:
    void servesTheSkinPicture();
    void frameOfAnyOtherSizeRefused_data();
    void frameOfAnyOtherSizeRefused();
    void missingPictureServesNothing();
    void engineTakesItAsCaptureSource();

    void hopsOnEverySixtiethTick_data();
    void hopsOnEverySixtiethTick();
    void cornerFromTwoDraws_data();
    void cornerFromTwoDraws();
    void sameSeedSameCornerAndAllCornersReached();
};

void TestWatermark::servesTheSkinPicture()
{
    WatermarkCapture capture;
    CaptureFormat format;
    format.reserved = 9;
    QVERIFY(capture.GetFormat(&format));
    QCOMPARE(format.width, kWidth);
    QCOMPARE(format.height, kHeight);
    QCOMPARE(format.byteCount, kBytes);
    QCOMPARE(format.reserved, 0u);

    std::vector<uint8_t> picture(kBytes, 0xEE);
    QVERIFY(capture.GetFrame(picture.data(), kBytes));
    // Raw 32-bit pixels as the loader gives them: a transparent corner, the
    // orange plate and the white play mark.
    QCOMPARE(pixelAt(picture, 0, 0), (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x00}));
    QCOMPARE(pixelAt(picture, 3, 17), (std::vector<uint8_t>{0x00, 0x55, 0xFF, 0xFF}));
    QCOMPARE(pixelAt(picture, 27, 17), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    const QImage image(QStringLiteral(":/image/skin/watermark.png"));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(picture.data()), int(kBytes)),
             QByteArray(reinterpret_cast<const char *>(image.constBits()), int(kBytes)));

    QVERIFY(!capture.QueryA(1));
    QVERIFY(!capture.QueryB(1, 2));
    QVERIFY(!capture.GetFormat(nullptr));
    QVERIFY(!capture.GetFrame(nullptr, kBytes));
}

void TestWatermark::frameOfAnyOtherSizeRefused_data()
{
    QTest::addColumn<uint>("size");
    QTest::newRow("none") << 0u;
    QTest::newRow("one short") << kBytes - 1;
    QTest::newRow("one over") << kBytes + 1;
    QTest::newRow("far over") << (1u << 20);
}

void TestWatermark::frameOfAnyOtherSizeRefused()
{
    QFETCH(uint, size);
    WatermarkCapture capture;
    std::vector<uint8_t> buffer(std::max<size_t>(size, 1), 0xEE);
    QVERIFY(!capture.GetFrame(buffer.data(), size));
    QCOMPARE(buffer, std::vector<uint8_t>(buffer.size(), 0xEE));
}

void TestWatermark::missingPictureServesNothing()
{
    WatermarkCapture capture(QStringLiteral(":/image/skin/no-such-watermark.png"));
    CaptureFormat format;
    format.width = format.height = format.byteCount = format.reserved = 7;
    QVERIFY(capture.GetFormat(&format));
    QCOMPARE(format.width, 0u);
    QCOMPARE(format.height, 0u);
    QCOMPARE(format.byteCount, 0u);
    QCOMPARE(format.reserved, 0u);
    uint8_t byte = 0xEE;
    QVERIFY(capture.GetFrame(&byte, 0));
    QVERIFY(!capture.GetFrame(&byte, 1));
    QCOMPARE(byte, uint8_t(0xEE));
}

void TestWatermark::engineTakesItAsCaptureSource()
{
    WatermarkCapture capture; // outlives the engine that uses it
    EngineFixture f;
    QCOMPARE(f.init(1216, 684), 0);
    const int id = f.scene()->AddCustomCapture(&capture);
    QVERIFY(id > 0);
    int x = -1, y = -1, w = 0, h = 0;
    QVERIFY(f.scene()->GetItemSourceRect(id, &x, &y, &w, &h));
    QCOMPARE(QRect(x, y, w, h), QRect(0, 0, 56, 35));

    std::vector<uint8_t> frame;
    QVERIFY(f.ours()->pullCaptureFrame(id, &frame));
    QCOMPARE(frame.size(), size_t(kBytes));
    QCOMPARE(pixelAt(frame, 27, 17), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
}

void TestWatermark::hopsOnEverySixtiethTick_data()
{
    QTest::addColumn<uint>("tick");
    QTest::addColumn<bool>("hops");
    QTest::newRow("first call") << 1u << false;
    QTest::newRow("59") << 59u << false;
    QTest::newRow("60") << 60u << true;
    QTest::newRow("61") << 61u << false;
    QTest::newRow("119") << 119u << false;
    QTest::newRow("120") << 120u << true;
    QTest::newRow("180") << 180u << true;
    QTest::newRow("3600") << 3600u << true;
    QTest::newRow("3601") << 3601u << false;
    QTest::newRow("never counted") << 0u << false;
}

void TestWatermark::hopsOnEverySixtiethTick()
{
    QFETCH(uint, tick);
    QFETCH(bool, hops);
    QCOMPARE(watermark::hopForTick(tick, 12345).has_value(), hops);
}

void TestWatermark::cornerFromTwoDraws_data()
{
    QTest::addColumn<uint>("first");
    QTest::addColumn<uint>("second");
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("y");
    const float left = 0.016447369f, right = 0.9375f, top = 0.029239766f, bottom = 0.91959065f;
    QTest::newRow("even even: top left") << 0u << 0u << left << top;
    QTest::newRow("odd even: top right") << 1u << 2u << right << top;
    QTest::newRow("even odd: bottom left") << 4u << 7u << left << bottom;
    QTest::newRow("odd odd: bottom right") << 4294967295u << 3u << right << bottom;
}

void TestWatermark::cornerFromTwoDraws()
{
    QFETCH(uint, first);
    QFETCH(uint, second);
    QFETCH(float, x);
    QFETCH(float, y);
    const watermark::Spot spot = watermark::cornerForDraws(first, second);
    // Exactly these single-precision values, not merely close ones.
    QVERIFY2(spot.x == x, QByteArray::number(double(spot.x), 'g', 10));
    QVERIFY2(spot.y == y, QByteArray::number(double(spot.y), 'g', 10));
}

void TestWatermark::sameSeedSameCornerAndAllCornersReached()
{
    std::set<std::pair<float, float>> corners;
    for (unsigned seed = 0; seed < 200; ++seed) {
        const auto a = watermark::hopForTick(60, seed);
        const auto b = watermark::hopForTick(120, seed);
        QVERIFY(a && b);
        QVERIFY(a->x == b->x && a->y == b->y);
        corners.insert({a->x, a->y});
    }
    const std::set<std::pair<float, float>> all{{0.016447369f, 0.029239766f},
                                                {0.9375f, 0.029239766f},
                                                {0.016447369f, 0.91959065f},
                                                {0.9375f, 0.91959065f}};
    QVERIFY(corners == all);
}

QTEST_GUILESS_MAIN(TestWatermark)
#include "tst_watermark.moc"
