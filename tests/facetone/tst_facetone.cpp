#include "FaceTone.h"
#include "LiveEngine.h"

#include <QtTest>

#include <cstring>
#include <functional>
#include <thread>
#include <vector>

namespace {

// A 32-bit BGRA frame with padding after each row, as engines hand them out.
struct Frame
{
    Frame(int w, int h, int padding = 16)
        : width(w), height(h), pitch(w * 4 + padding), bytes(size_t(pitch) * size_t(h), 0xAB)
    {
    }

    uint8_t *pixel(int x, int y) { return bytes.data() + size_t(y) * size_t(pitch) + size_t(x) * 4; }
    const uint8_t *pixel(int x, int y) const
    {
        return bytes.data() + size_t(y) * size_t(pitch) + size_t(x) * 4;
    }

    void fill(uint8_t b, uint8_t g, uint8_t r, uint8_t a = 255)
    {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t *p = pixel(x, y);
                p[0] = b, p[1] = g, p[2] = r, p[3] = a;
            }
    }

    // Grey 128 with deterministic noise of up to +-40 per channel.
    void fillNoise(uint32_t seed = 12345)
    {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < 4; ++c) {
                    seed = seed * 1664525u + 1013904223u;
                    pixel(x, y)[c] = c == 3 ? 200 : uint8_t(88 + (seed >> 24) % 81);
                }
    }

    // The frame words: top row address, pitch, buffer size.
    PicturePlane plane(int format)
    {
        PicturePlane p;
        p.format = format;
        p.width = width;
        p.height = height;
        p.frame[0] = reinterpret_cast<std::uintptr_t>(bytes.data());
        p.frame[1] = std::uintptr_t(pitch);
        p.frame[2] = bytes.size();
        return p;
    }

    // Only the picture, without the padding bytes.
    QByteArray picture() const
    {
        QByteArray out;
        for (int y = 0; y < height; ++y)
            out.append(reinterpret_cast<const char *>(pixel(0, y)), width * 4);
        return out;
    }

    double variance(int channel) const
    {
        double sum = 0, sq = 0;
        const int n = width * height;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const double v = pixel(x, y)[channel];
                sum += v;
                sq += v * v;
            }
        return sq / n - (sum / n) * (sum / n);
    }

    int width, height, pitch;
    std::vector<uint8_t> bytes;
};

// The parameters as the camera filter builds them from levels 0..100.
FilterParams params(int blur, int colourTemperature, int whitening, int enabled = 1)
{
    return FilterParams{0, 28, blur / 10.f, colourTemperature / 10.f, 10.f, whitening / 10.f, enabled};
}

int run(ImageFilterHandle h, Frame &in, Frame &out, const FilterParams &p)
{
    PicturePlane src = in.plane(0);
    PicturePlane dst = out.plane(4);
    return ImageFilterFilterPicture(h, &src, &p, &dst);
}

} // namespace

class TestFaceTone : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void smoothingLowersNoise_data();
    void smoothingLowersNoise();
    void smoothingKeepsStrongEdges();
    void flatFrameStaysFlat_data();
    void flatFrameStaysFlat();
    void levelsOffLeaveThePicture_data();
    void levelsOffLeaveThePicture();
    void vanishingLevelsLeaveThePicture_data();
    void vanishingLevelsLeaveThePicture();
    void whiteningBrightensMiddleTones();
    void colourTemperatureWarms();
    void inPlaceMatchesSeparateDestination();
    void refusesBadInput_data();
    void refusesBadInput();
    void logsTheCallersArguments();
    void logsNothingUnlessRecording();
    void scriptedResultLeavesPicture();
    void initScriptingAndHandleCount();
    void endingAFilterMidPictureIsSafe();
    void gateHoldsEveryOp_data();
    void gateHoldsEveryOp();

private:
    ImageFilterHandle m_filter = nullptr;
};

void TestFaceTone::init()
{
    facetone::reset();
    m_filter = ImageFilterInit(reinterpret_cast<void *>(0x10), reinterpret_cast<void *>(0x20));
    QVERIFY(m_filter);
}

void TestFaceTone::cleanup()
{
    ImageFilterUninit(m_filter);
    m_filter = nullptr;
    QCOMPARE(facetone::liveHandles(), 0);
}

void TestFaceTone::smoothingLowersNoise_data()
{
    QTest::addColumn<int>("blur");
    QTest::addColumn<double>("maxRatio"); // variance after / before, per channel
    QTest::newRow("light") << 20 << 0.7;
    QTest::newRow("medium") << 50 << 0.3;
    QTest::newRow("full") << 100 << 0.1;
}

void TestFaceTone::smoothingLowersNoise()
{
    QFETCH(int, blur);
    QFETCH(double, maxRatio);
    Frame in(64, 48), out(64, 48);
    in.fillNoise();
    QCOMPARE(run(m_filter, in, out, params(blur, 0, 0)), 1);
    for (int c = 0; c < 3; ++c) {
        const double before = in.variance(c), after = out.variance(c);
        QVERIFY2(after < before * maxRatio, qPrintable(QStringLiteral("channel %1: %2 -> %3").arg(c).arg(before).arg(after)));
    }
    // Alpha is never touched, nor the padding after each row.
    QCOMPARE(out.pixel(10, 10)[3], uint8_t(200));
    QCOMPARE(out.bytes[size_t(out.width) * 4], uint8_t(0xAB));
}

void TestFaceTone::smoothingKeepsStrongEdges()
{
    // Left half dark, right half bright, both noisy.
    Frame in(64, 32), out(64, 32);
    in.fillNoise();
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x)
            for (int c = 0; c < 3; ++c) {
                uint8_t &v = in.pixel(x, y)[c];
                v = uint8_t(x < 32 ? v / 4 : 191 + v / 4);
            }
    QCOMPARE(run(m_filter, in, out, params(100, 0, 0)), 1);
    for (int y = 0; y < in.height; ++y) {
        QVERIFY(out.pixel(31, y)[1] < 90);   // last dark column stays dark
        QVERIFY(out.pixel(32, y)[1] > 170);  // first bright column stays bright
    }
}

void TestFaceTone::flatFrameStaysFlat_data()
{
    QTest::addColumn<int>("blur");
    QTest::newRow("light") << 10;
    QTest::newRow("full") << 100;
}

void TestFaceTone::flatFrameStaysFlat()
{
    QFETCH(int, blur);
    Frame in(40, 30), out(40, 30);
    in.fill(120, 150, 200, 77);
    QCOMPARE(run(m_filter, in, out, params(blur, 0, 0)), 1);
    QCOMPARE(out.picture(), in.picture());
}

void TestFaceTone::levelsOffLeaveThePicture_data()
{
    QTest::addColumn<int>("blur");
    QTest::addColumn<int>("whitening");
    QTest::addColumn<int>("enabled");
    QTest::newRow("all levels 0") << 0 << 0 << 1;
    QTest::newRow("switched off") << 100 << 100 << 0;
}

void TestFaceTone::levelsOffLeaveThePicture()
{
    QFETCH(int, blur);
    QFETCH(int, whitening);
    QFETCH(int, enabled);
    Frame in(33, 17), out(33, 17, 0);
    in.fillNoise();
    QCOMPARE(run(m_filter, in, out, params(blur, 0, whitening, enabled)), 1);
    QCOMPARE(out.picture(), in.picture());
}

void TestFaceTone::vanishingLevelsLeaveThePicture_data()
{
    QTest::addColumn<float>("smoothing");
    QTest::addColumn<float>("whitening");
    QTest::newRow("smoothing") << 1e-30f << 0.f;
    QTest::newRow("whitening") << 0.f << 1e-30f;
}

// Levels too small to change a pixel must not turn into 0 / 0.
void TestFaceTone::vanishingLevelsLeaveThePicture()
{
    QFETCH(float, smoothing);
    QFETCH(float, whitening);
    Frame in(24, 16), out(24, 16);
    in.fill(0, 128, 255);
    for (int x = 0; x < 24; x += 3)
        in.pixel(x, 5)[1] = 40; // a little texture beside the flat parts
    FilterParams p = params(0, 0, 0);
    p.smoothing = smoothing;
    p.whitening = whitening;
    QCOMPARE(run(m_filter, in, out, p), 1);
    QCOMPARE(out.picture(), in.picture());
}

void TestFaceTone::whiteningBrightensMiddleTones()
{
    auto whiten = [&](uint8_t grey, int level) {
        Frame in(8, 8), out(8, 8);
        in.fill(grey, grey, grey);
        run(m_filter, in, out, params(0, 0, level));
        return int(out.pixel(4, 4)[1]);
    };
    QVERIFY(whiten(128, 30) > 128);
    QVERIFY(whiten(128, 100) > whiten(128, 30));
    QVERIFY(whiten(200, 50) > 200);
    // Black and white stay where they are.
    QCOMPARE(whiten(0, 100), 0);
    QCOMPARE(whiten(255, 100), 255);
}

void TestFaceTone::colourTemperatureWarms()
{
    Frame in(8, 8), out(8, 8);
    in.fill(128, 128, 128);
    QCOMPARE(run(m_filter, in, out, params(0, 60, 0)), 1);
    const uint8_t *p = out.pixel(3, 3);
    QVERIFY(p[2] > 128); // red up
    QVERIFY(p[0] < 128); // blue down
    QCOMPARE(p[1], uint8_t(128));
}

void TestFaceTone::inPlaceMatchesSeparateDestination()
{
    Frame in(48, 36), out(48, 36, 4);
    in.fillNoise(99);
    QCOMPARE(run(m_filter, in, out, params(70, 30, 40)), 1);

    // A destination without a buffer: the source frame is filtered in place.
    PicturePlane src = in.plane(0);
    PicturePlane dst = out.plane(4);
    dst.frame[0] = dst.frame[1] = dst.frame[2] = 0;
    const FilterParams p = params(70, 30, 40);
    QCOMPARE(ImageFilterFilterPicture(m_filter, &src, &p, &dst), 1);
    QCOMPARE(in.picture(), out.picture());
}

void TestFaceTone::refusesBadInput_data()
{
    QTest::addColumn<QString>("fault");
    for (const char *f : {"ended filter", "null filter", "null source", "null params", "null destination",
                          "source without pixels", "params of another size", "range 0", "pitch below a row",
                          "buffer too small", "destination of other size", "unknown format", "zero width"})
        QTest::newRow(f) << QString::fromLatin1(f);
}

void TestFaceTone::refusesBadInput()
{
    QFETCH(QString, fault);
    Frame in(16, 16), out(16, 16);
    in.fillNoise();
    out.fill(1, 2, 3);
    const QByteArray untouched = out.picture();

    ImageFilterHandle h = m_filter;
    PicturePlane src = in.plane(0), dst = out.plane(4);
    FilterParams p = params(100, 100, 100);
    const PicturePlane *srcArg = &src;
    const FilterParams *pArg = &p;
    PicturePlane *dstArg = &dst;

    if (fault == "ended filter") {
        h = ImageFilterInit(nullptr, nullptr);
        ImageFilterUninit(h);
    } else if (fault == "null filter") {
        h = nullptr;
    } else if (fault == "null source") {
        srcArg = nullptr;
    } else if (fault == "null params") {
        pArg = nullptr;
    } else if (fault == "null destination") {
        dstArg = nullptr;
    } else if (fault == "source without pixels") {
        src.frame[0] = 0;
    } else if (fault == "params of another size") {
        p.size = 24;
    } else if (fault == "range 0") {
        p.range = 0;
    } else if (fault == "pitch below a row") {
        src.frame[1] = std::uintptr_t(src.width * 4 - 4);
    } else if (fault == "buffer too small") {
        src.frame[2] = src.frame[1] * std::uintptr_t(src.height - 1);
    } else if (fault == "destination of other size") {
        dst.height = 15;
    } else if (fault == "unknown format") {
        src.format = 1;
    } else if (fault == "zero width") {
        src.width = dst.width = 0;
    }
    QCOMPARE(ImageFilterFilterPicture(h, srcArg, pArg, dstArg), 0);
    QCOMPARE(out.picture(), untouched);
    QCOMPARE(facetone::callLog().last("ImageFilterFilterPicture")->args.back(), std::string("0"));
}

void TestFaceTone::logsTheCallersArguments()
{
    // The camera filter's sequence: value 0 set to 1 after init, then a frame
    // with only whitening at 50.
    const int one = 1;
    QCOMPARE(ImageFilterSetValue(m_filter, 0, &one, 4), 1);
    QCOMPARE(facetone::value(m_filter, 0), std::optional<int>(1));
    QCOMPARE(ImageFilterSetValue(m_filter, 0, &one, 2), 0);
    QCOMPARE(ImageFilterSetValue(nullptr, 0, &one, 4), 0);

    Frame in(20, 10), out(20, 10);
    in.fillNoise();
    QCOMPARE(run(m_filter, in, out, params(0, 0, 50)), 1);
    ImageFilterFree(m_filter, 7);
    ImageFilterHandleDeviceLost(m_filter, 3);
    ImageFilterHandleDeviceLost(nullptr, 4);

    const std::string self = facetone::handleArg(m_filter);
    QCOMPARE(self.front(), '#');
    const auto &log = facetone::callLog();
    QCOMPARE(log.last("ImageFilterInit")->args,
             (std::vector<std::string>{"0x10", "0x20", self}));
    QCOMPARE(log.of("ImageFilterSetValue")[0].args, (std::vector<std::string>{self, "0", "1", "4", "1"}));
    QCOMPARE(log.of("ImageFilterSetValue")[2].args, (std::vector<std::string>{"null", "0", "1", "4", "0"}));
    QCOMPARE(log.last("ImageFilterFilterPicture")->args,
             (std::vector<std::string>{self, "0", "20", "10", "96", "0", "28", "0", "0", "10", "5", "1", "4", "20",
                                       "10", "1"}));
    QCOMPARE(log.last("ImageFilterFree")->args, (std::vector<std::string>{self, "7"}));
    QCOMPARE(log.of("ImageFilterHandleDeviceLost")[0].args, (std::vector<std::string>{self, "3"}));
    QCOMPARE(log.of("ImageFilterHandleDeviceLost")[1].args, (std::vector<std::string>{"null", "4"}));

    // Levels log so that each reads back exactly.
    const FilterParams fine{0, 28, 0.016447369f, 0.30000004f, 10.f, 0.1f, 1};
    QCOMPARE(run(m_filter, in, out, fine), 1);
    const std::vector<std::string> args = log.last("ImageFilterFilterPicture")->args;
    QCOMPARE(std::vector<std::string>(args.begin() + 7, args.begin() + 11),
             (std::vector<std::string>{"0.016447369", "0.30000004", "10", "0.1"}));

    // Free only drops per-frame buffers: the filter keeps working.
    QCOMPARE(run(m_filter, in, out, params(40, 0, 0)), 1);
}

void TestFaceTone::logsNothingUnlessRecording()
{
    struct TurnBackOn
    {
        ~TurnBackOn() { mvplatform::CallLog::setRecording(true); }
    } turnBackOn;
    // As in the program: a live camera with beauty on, call after call.
    mvplatform::CallLog::setRecording(false);
    facetone::reset();
    Frame in(16, 8), out(16, 8);
    in.fillNoise();
    for (int i = 0; i < 3000; ++i)
        QCOMPARE(run(m_filter, in, out, params(70, 30, 50)), 1);
    ImageFilterFree(m_filter, 0);
    QCOMPARE(int(facetone::callLog().all().size()), 0);

    mvplatform::CallLog::setRecording(true);
    QCOMPARE(run(m_filter, in, out, params(70, 30, 50)), 1);
    QCOMPARE(facetone::callLog().ops(), std::vector<std::string>{"ImageFilterFilterPicture"});
}

void TestFaceTone::scriptedResultLeavesPicture()
{
    facetone::scriptFilterResult(0);
    Frame in(8, 8), out(8, 8);
    in.fill(10, 20, 30);
    out.fill(0, 0, 0);
    const QByteArray before = out.picture();
    QCOMPARE(run(m_filter, in, out, params(0, 0, 100)), 0);
    QCOMPARE(out.picture(), before);
    QCOMPARE(run(m_filter, in, out, params(0, 0, 100)), 1); // one call only
    QVERIFY(out.picture() != before);
}

void TestFaceTone::initScriptingAndHandleCount()
{
    QCOMPARE(facetone::liveHandles(), 1);
    facetone::failNextInits(2);
    QVERIFY(!ImageFilterInit(nullptr, nullptr));
    QVERIFY(!ImageFilterInit(nullptr, nullptr));
    ImageFilterHandle second = ImageFilterInit(nullptr, nullptr);
    QVERIFY(second && second != m_filter);
    QCOMPARE(facetone::liveHandles(), 2);
    QCOMPARE(facetone::callLog().of("ImageFilterInit")[1].args.back(), std::string("null"));

    ImageFilterUninit(second);
    ImageFilterUninit(second); // a second end is ignored
    ImageFilterUninit(nullptr);
    QCOMPARE(facetone::liveHandles(), 1);
    const auto ends = facetone::callLog().of("ImageFilterUninit");
    QCOMPARE(int(ends.size()), 3);
    QCOMPARE(ends[1].args.front(), std::string("unknown"));
    QCOMPARE(ends[2].args.front(), std::string("null"));
}

void TestFaceTone::endingAFilterMidPictureIsSafe()
{
    Frame in(64, 48), out(64, 48);
    in.fillNoise();
    facetone::gates().close("ImageFilterFilterPicture");
    int result = -1;
    std::thread video([&] { result = run(m_filter, in, out, params(80, 0, 0)); });
    QVERIFY(facetone::gates().waitForWaiting("ImageFilterFilterPicture", 1, 5000));
    ImageFilterUninit(m_filter); // the GUI thread detaches meanwhile
    QCOMPARE(facetone::liveHandles(), 0);
    facetone::gates().open("ImageFilterFilterPicture");
    video.join();
    QCOMPARE(result, 1); // the picture in flight is finished
    QVERIFY(out.variance(1) < in.variance(1));
    m_filter = nullptr;
}

namespace {

// Every filter op, called once on the given filter.
const std::vector<std::pair<const char *, std::function<void(ImageFilterHandle)>>> &filterOps()
{
    static const std::vector<std::pair<const char *, std::function<void(ImageFilterHandle)>>> ops = {
        {"ImageFilterInit", [](ImageFilterHandle) { ImageFilterUninit(ImageFilterInit(nullptr, nullptr)); }},
        {"ImageFilterSetValue", [](ImageFilterHandle h) { const int on = 1; ImageFilterSetValue(h, 0, &on, 4); }},
        {"ImageFilterFilterPicture",
         [](ImageFilterHandle h) {
             Frame in(8, 8), out(8, 8);
             run(h, in, out, params(50, 0, 0));
         }},
        {"ImageFilterFree", [](ImageFilterHandle h) { ImageFilterFree(h, 0); }},
        {"ImageFilterHandleDeviceLost", [](ImageFilterHandle h) { ImageFilterHandleDeviceLost(h, 0); }},
        {"ImageFilterUninit", [](ImageFilterHandle h) { ImageFilterUninit(h); }},
    };
    return ops;
}

} // namespace

void TestFaceTone::gateHoldsEveryOp_data()
{
    QTest::addColumn<int>("op");
    for (int i = 0; i < int(filterOps().size()); ++i)
        QTest::newRow(filterOps()[size_t(i)].first) << i;
}

void TestFaceTone::gateHoldsEveryOp()
{
    QFETCH(int, op);
    const auto &[name, call] = filterOps()[size_t(op)];
    const mvplatform::GateProbe probe = mvplatform::probeGate(
        facetone::gates(), name, [&, call = call] { call(m_filter); }, facetone::waitIdle);
    QVERIFY(probe.held);
    QVERIFY(probe.busyWhileHeld);
    QVERIFY(probe.idleAfter);
    QCOMPARE(facetone::callLog().count(name), std::string(name) == "ImageFilterInit" ? 2 : 1);
}

QTEST_GUILESS_MAIN(TestFaceTone)
#include "tst_facetone.moc"
