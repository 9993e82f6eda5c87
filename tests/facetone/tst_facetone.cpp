#include "CallRecording.h"
#include "FaceTone.h"
#include "LiveEngine.h"
#include "sources/SyntheticCamera.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
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

// The world camera's picture (colour bars, the dark band with its white
// block), as the camera hands it to the filter.
Frame syntheticCameraFrame(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    castcore::SyntheticCamera().render(image, std::chrono::milliseconds(700));
    Frame f(w, h);
    for (int y = 0; y < h; ++y)
        std::memcpy(f.pixel(0, y), image.constScanLine(y), size_t(w) * 4);
    return f;
}

// A face-like camera picture: skin-toned gradients with sensor noise, a few
// hard dark strokes and a bright highlight.
Frame faceLikeFrame(int w, int h)
{
    Frame f(w, h);
    uint32_t seed = 7;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t *p = f.pixel(x, y);
            const double dx = (x - w / 2.0) / w, dy = (y - h / 2.0) / h;
            const double light = 1.0 - 1.6 * (dx * dx + dy * dy);
            const bool stroke = (y % 97 < 3 && x % 211 > 40) || (x % 157 < 2);
            const bool highlight = std::abs(dx - 0.1) < 0.03 && std::abs(dy + 0.1) < 0.04;
            const double base[3] = {120 * light, 150 * light, 205 * light};
            for (int c = 0; c < 3; ++c) {
                seed = seed * 1664525u + 1013904223u;
                const double v = stroke ? 25 : highlight ? 250 : base[c] + double(seed >> 28) - 7.5;
                p[c] = uint8_t(std::clamp(v, 0.0, 255.0));
            }
            p[3] = 255;
        }
    return f;
}

// The beauty filter written out plainly at full resolution: for every pixel
// and colour channel the mean and variance of the (2r + 1)-square window
// around it, clipped at the borders (summed-area tables), the pixel moved
// towards the mean by eps / (var + eps), then the brightening and warming
// curves. Alpha is kept.
Frame referenceFilter(const Frame &in, double smoothing, double whitening, double warmth)
{
    const int w = in.width, h = in.height;
    Frame out = in;
    if (smoothing > 0) {
        const int r = 2 + int(std::lround(4 * smoothing));
        const double eps = (70 * smoothing) * (70 * smoothing);
        for (int c = 0; c < 3; ++c) {
            std::vector<double> sum(size_t(w + 1) * size_t(h + 1)), sq(sum.size());
            auto at = [&](std::vector<double> &t, int x, int y) -> double & { return t[size_t(y) * size_t(w + 1) + size_t(x)]; };
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const double v = in.pixel(x, y)[c];
                    at(sum, x + 1, y + 1) = v + at(sum, x, y + 1) + at(sum, x + 1, y) - at(sum, x, y);
                    at(sq, x + 1, y + 1) = v * v + at(sq, x, y + 1) + at(sq, x + 1, y) - at(sq, x, y);
                }
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const int x0 = std::max(0, x - r), x1 = std::min(w, x + r + 1);
                    const int y0 = std::max(0, y - r), y1 = std::min(h, y + r + 1);
                    auto box = [&](std::vector<double> &t) {
                        return at(t, x1, y1) - at(t, x0, y1) - at(t, x1, y0) + at(t, x0, y0);
                    };
                    const double n = double(x1 - x0) * double(y1 - y0);
                    const double mean = box(sum) / n;
                    const double var = std::max(box(sq) / n - mean * mean, 0.0);
                    const double v = in.pixel(x, y)[c];
                    out.pixel(x, y)[c] = uint8_t(std::lround(std::clamp(mean + var / (var + eps) * (v - mean), 0.0, 255.0)));
                }
        }
    }
    if (whitening > 0 || warmth > 0) {
        const double k = 4 * whitening;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) {
                    uint8_t &p = out.pixel(x, y)[c];
                    const double t = p / 255.0;
                    const double lifted = k > 0 ? 255 * std::log1p(k * t) / std::log1p(k) : p;
                    const double shift = warmth * 80 * t * (1 - t);
                    p = uint8_t(std::lround(std::clamp(lifted + (c == 0 ? -shift : c == 2 ? shift : 0), 0.0, 255.0)));
                }
    }
    return out;
}

// Peak signal-to-noise ratio of the colour channels, in dB.
double psnr(const Frame &a, const Frame &b)
{
    double squares = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            for (int c = 0; c < 3; ++c) {
                const double d = double(a.pixel(x, y)[c]) - double(b.pixel(x, y)[c]);
                squares += d * d;
            }
    const double mse = squares / (3.0 * a.width * a.height);
    return mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99;
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
    void toneCurvesMapEveryLevel_data();
    void toneCurvesMapEveryLevel();
    void matchesTheFullResolutionFilter_data();
    void matchesTheFullResolutionFilter();
    void inPlaceMatchesSeparateDestination_data();
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

void TestFaceTone::toneCurvesMapEveryLevel_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("whitening");
    QTest::addColumn<int>("colourTemperature");
    // Rows of whole vector steps and rows with a few pixels left over.
    QTest::newRow("one-key") << 64 << 60 << 30;
    QTest::newRow("one-key, odd width") << 67 << 60 << 30;
    QTest::newRow("full") << 67 << 100 << 100;
    QTest::newRow("warmth alone") << 13 << 0 << 50;
}

// Without smoothing the picture is the curves alone: every level of every
// channel lands exactly where the curves put it, alpha where it was.
void TestFaceTone::toneCurvesMapEveryLevel()
{
    QFETCH(int, width);
    QFETCH(int, whitening);
    QFETCH(int, colourTemperature);
    Frame in(width, 16), out(width, 16);
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x)
            for (int c = 0; c < 4; ++c)
                in.pixel(x, y)[c] = uint8_t((y * width + x) * 7 + c * 85);
    QCOMPARE(run(m_filter, in, out, params(0, colourTemperature, whitening)), 1);
    const Frame expected = referenceFilter(in, 0, whitening / 100.0, colourTemperature / 100.0);
    QCOMPARE(out.picture(), expected.picture());
}

void TestFaceTone::matchesTheFullResolutionFilter_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("blur");
    QTest::addColumn<int>("whitening");
    QTest::addColumn<int>("colourTemperature");
    // The one-key beauty levels, the levels users pick most, and all full.
    QTest::newRow("camera, one-key") << "camera" << 1280 << 720 << 50 << 60 << 30;
    QTest::newRow("camera, blur 70") << "camera" << 1280 << 720 << 70 << 50 << 30;
    QTest::newRow("camera, full") << "camera" << 1280 << 720 << 100 << 100 << 100;
    QTest::newRow("face, one-key") << "face" << 1280 << 720 << 50 << 60 << 30;
    QTest::newRow("face, blur 70") << "face" << 1280 << 720 << 70 << 50 << 30;
    QTest::newRow("face, lightest") << "face" << 1280 << 720 << 10 << 0 << 0;
    QTest::newRow("face, odd size") << "face" << 333 << 187 << 70 << 50 << 30;
    QTest::newRow("camera, odd size") << "camera" << 641 << 359 << 100 << 0 << 0;
}

// Smoothing statistics come from a reduced resolution; the picture must
// stay within 40 dB of the filter worked out at every pixel.
void TestFaceTone::matchesTheFullResolutionFilter()
{
    QFETCH(QString, picture);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, blur);
    QFETCH(int, whitening);
    QFETCH(int, colourTemperature);
    Frame in = picture == "camera" ? syntheticCameraFrame(width, height) : faceLikeFrame(width, height);
    if (picture == "camera")
        in.pixel(5, 5)[3] = 17; // alpha is kept as it is, whatever it holds
    Frame out(width, height);
    QCOMPARE(run(m_filter, in, out, params(blur, colourTemperature, whitening)), 1);

    const Frame expected = referenceFilter(in, blur / 100.0, whitening / 100.0, colourTemperature / 100.0);
    const double db = psnr(out, expected);
    QVERIFY2(db >= 40, qPrintable(QStringLiteral("PSNR %1 dB").arg(db)));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            QCOMPARE(out.pixel(x, y)[3], in.pixel(x, y)[3]);
    QCOMPARE(out.bytes[size_t(width) * 4], uint8_t(0xAB)); // the padding after a row
}

void TestFaceTone::inPlaceMatchesSeparateDestination_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("no buffer: the source in place") << "none" << 48 << 36;
    QTest::newRow("the source's own buffer") << "source" << 1280 << 720;
    QTest::newRow("the source's own buffer, odd size") << "source" << 67 << 41;
    QTest::newRow("the source's buffer one row down") << "row below" << 48 << 36;
}

// The engine filters the camera frame where it lies: the result is the one
// written into a buffer of its own, the source above and below untouched.
void TestFaceTone::inPlaceMatchesSeparateDestination()
{
    QFETCH(QString, destination);
    QFETCH(int, width);
    QFETCH(int, height);
    Frame in = faceLikeFrame(width, height), separate(width, height, 4);
    const FilterParams p = params(70, 30, 50);
    QCOMPARE(run(m_filter, in, separate, p), 1);

    // One spare row below the picture, for the overlapping destination.
    Frame shared(width, height + 1);
    for (int y = 0; y < height; ++y)
        std::memcpy(shared.pixel(0, y), in.pixel(0, y), size_t(width) * 4);
    PicturePlane src = shared.plane(0);
    src.height = height;
    PicturePlane dst = src;
    dst.format = 4;
    int top = 0;
    if (destination == "none") {
        dst.frame[0] = dst.frame[1] = dst.frame[2] = 0;
    } else if (destination == "row below") {
        dst.frame[0] += std::uintptr_t(shared.pitch);
        top = 1;
    }
    const std::vector<uint8_t> before = shared.bytes;
    QCOMPARE(ImageFilterFilterPicture(m_filter, &src, &p, &dst), 1);
    for (int y = 0; y < height; ++y)
        QVERIFY2(std::memcmp(shared.pixel(0, y + top), separate.pixel(0, y), size_t(width) * 4) == 0,
                 qPrintable(QStringLiteral("row %1").arg(y)));
    // The padding after each row and the row not written stay as they were.
    const int spare = top == 0 ? height : 0;
    QVERIFY(std::memcmp(shared.pixel(0, spare), before.data() + size_t(spare) * size_t(shared.pitch),
                        size_t(shared.pitch)) == 0);
    for (int y = 0; y <= height; ++y)
        QCOMPARE(shared.pixel(width, y)[0], uint8_t(0xAB));
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
    facetone::reset();
    Frame in(16, 8), out(16, 8);
    in.fillNoise();
    {
        const testsupport::RecordingOff off;
        // As in the program: a live camera with beauty on, call after call.
        for (int i = 0; i < 3000; ++i)
            QCOMPARE(run(m_filter, in, out, params(70, 30, 50)), 1);
        ImageFilterFree(m_filter, 0);
        QCOMPARE(int(facetone::callLog().all().size()), 0);
    }
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
