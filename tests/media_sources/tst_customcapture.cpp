// Custom captures (the watermark) as the video thread pulls them: a picture
// a canvas could hold is shown; a larger one, or one of the wrong byte
// count, is refused before a byte of it is asked for.
#include "DebugCapture.h"
#include "sources/CustomCaptureSource.h"

#include <QImage>
#include <QRegularExpression>
#include <QTest>

#include <cstring>
#include <memory>

using namespace castcore;

namespace {

// Claims one format and fills whatever it is asked for with one colour.
class ClaimingCapture : public ICustomCapture
{
public:
    CaptureFormat format;
    int frames = 0;

    bool GetFormat(CaptureFormat *f) override
    {
        *f = format;
        return true;
    }
    bool GetFrame(void *destination, uint32_t size) override
    {
        ++frames;
        auto *p = static_cast<uint32_t *>(destination);
        std::fill(p, p + size / 4, 0xff3366ccu);
        return true;
    }
    bool QueryA(uint32_t) override { return false; }
    bool QueryB(uint32_t, uint32_t) override { return false; }
};

} // namespace

class TestCustomCaptureSource : public QObject
{
    Q_OBJECT
private slots:
    void sizeAndByteCount_data();
    void sizeAndByteCount();
};

void TestCustomCaptureSource::sizeAndByteCount_data()
{
    QTest::addColumn<uint>("width");
    QTest::addColumn<uint>("height");
    QTest::addColumn<uint>("bytes");
    QTest::addColumn<QString>("refusal"); // empty: shown

    QTest::newRow("720p") << 1280u << 720u << 1280u * 720u * 4u << QString();
    QTest::newRow("8192 wide") << 8192u << 2u << 8192u * 2u * 4u << QString();
    QTest::newRow("8192 tall") << 2u << 8192u << 2u * 8192u * 4u << QString();
    QTest::newRow("8193 wide")
        << 8193u << 2u << 8193u * 2u * 4u
        << QStringLiteral("engine: custom capture 7: 8193x2 is more than 8192 a side; not shown");
    QTest::newRow("8193 tall")
        << 2u << 8193u << 2u * 8193u * 4u
        << QStringLiteral("engine: custom capture 7: 2x8193 is more than 8192 a side; not shown");
    QTest::newRow("16384 square, 1 GiB")
        << 16384u << 16384u << 16384u * 16384u * 4u
        << QStringLiteral("engine: custom capture 7: 16384x16384 is more than 8192 a side; not shown");
    QTest::newRow("24-bit bytes")
        << 100u << 10u << 100u * 10u * 3u
        << QStringLiteral("engine: custom capture 7: 100x10 with 3000 bytes is no 32-bit picture; not shown");
}

void TestCustomCaptureSource::sizeAndByteCount()
{
    QFETCH(uint, width);
    QFETCH(uint, height);
    QFETCH(uint, bytes);
    QFETCH(QString, refusal);

    ClaimingCapture capture;
    capture.format = {width, height, bytes, 0};
    SceneItem item;
    item.id = 7;
    item.kind = KindCustomCapture;
    item.capture = &capture;
    CustomCaptureSource source;
    source.update(item);

    if (refusal.isEmpty()) {
        QVERIFY(source.tick(MediaClock::now()));
        QCOMPARE(source.picture().size(), QSize(int(width), int(height)));
        QCOMPARE(source.picture().pixel(int(width) - 1, int(height) - 1), 0xff3366ccu);
        QCOMPARE(capture.frames, 1);
        return;
    }
    testsupport::DebugCapture told;
    QTest::ignoreMessage(QtWarningMsg, refusal.toUtf8().constData());
    QVERIFY(!source.tick(MediaClock::now()));
    QVERIFY(!source.tick(MediaClock::now())); // and stays so, told once
    QCOMPARE(told.messages().filter(QRegularExpression(QStringLiteral("^engine: "))), QStringList{refusal});
    QVERIFY(source.picture().isNull());
    QCOMPARE(capture.frames, 0);
}

std::unique_ptr<QObject> makeCustomCaptureSourceTest()
{
    return std::make_unique<TestCustomCaptureSource>();
}

#include "tst_customcapture.moc"
