// Camera sources: the world's synthetic camera (rate, size, picture, motion,
// new settings), the device path error handling, the camera list, and the
// beauty filter on camera frames.

#include "CameraCatalog.h"
#include "CameraConverter.h"
#include "CameraEntries.h"
#include "CameraSource.h"
#include "DebugCapture.h"
#include "EncodeLibrary.h"
#include "FaceTone.h"
#include "LiveEngine.h"
#include "MediaInspector.h"
#include "TempEnvironment.h"
#include "V4l2Camera.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

using namespace castcore;

namespace {

const char16_t *const kWorldCamera = u"USB2.0 HD Camera";

SceneItem cameraItem(const std::u16string &device, int colorFormat, int width, int height, int fps)
{
    SceneItem item;
    item.kind = KindCamera;
    item.cameraDevice = device;
    item.cameraParams = {colorFormat, width, height, fps};
    return item;
}

// Ticks until a new frame arrives (bounded); its picture, or null.
QImage nextFrame(CameraSource &source, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (source.tick(MediaClock::now()))
            return source.picture();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return QImage();
}

// New frames seen while ticking every few milliseconds for `ms`, per second.
double measuredRate(CameraSource &source, int ms)
{
    nextFrame(source); // starts the count at a frame
    QElapsedTimer timer;
    timer.start();
    int frames = 0;
    while (timer.elapsed() < ms) {
        if (source.tick(MediaClock::now()))
            ++frames;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return frames * 1000.0 / double(timer.elapsed());
}

// Mean over 4x4 tiles of the green channel's variance in each tile.
double localVariance(const QImage &image)
{
    double total = 0;
    int tiles = 0;
    for (int ty = 0; ty + 4 <= image.height(); ty += 4)
        for (int tx = 0; tx + 4 <= image.width(); tx += 4) {
            double sum = 0, sq = 0;
            for (int y = ty; y < ty + 4; ++y)
                for (int x = tx; x < tx + 4; ++x) {
                    const double g = qGreen(image.pixel(x, y));
                    sum += g;
                    sq += g * g;
                }
            total += sq / 16 - (sum / 16) * (sum / 16);
            ++tiles;
        }
    return total / tiles;
}

double meanBrightness(const QImage &image)
{
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qGray(image.pixel(x, y));
    return sum / (double(image.width()) * image.height());
}

// BT.601 Y, U, V of a colour, at studio range (16-235, 16-240) or full range.
std::array<uint8_t, 3> yuvOf(const QColor &c, bool fullRange)
{
    const double r = c.red(), g = c.green(), b = c.blue();
    const double y = 0.299 * r + 0.587 * g + 0.114 * b;
    const double u = (b - y) / 1.772, v = (r - y) / 1.402;
    const auto byte = [](double d) { return uint8_t(std::lround(std::clamp(d, 0.0, 255.0))); };
    if (fullRange)
        return {byte(y), byte(128 + u), byte(128 + v)};
    return {byte(16 + y * 219 / 255), byte(128 + u * 224 / 255), byte(128 + v * 224 / 255)};
}

// A quartered picture as a camera hands it over: planes laid out as FFmpeg
// lays out the format.
struct CameraPicture
{
    std::vector<uint8_t> bytes[3];
    const uint8_t *planes[4] = {};
    int strides[4] = {};
};

CameraPicture cameraPicture(AVPixelFormat format, bool fullRange, int width, int height)
{
    CameraPicture p;
    const auto yuv = [&](int x, int y) { return yuvOf(testsupport::quarterAt(x, y, width, height), fullRange); };
    switch (format) {
    case AV_PIX_FMT_YUYV422:
    case AV_PIX_FMT_UYVY422:
    case AV_PIX_FMT_YVYU422: {
        // Byte order of each pair of pixels.
        const std::array<int, 4> order = format == AV_PIX_FMT_YUYV422   ? std::array<int, 4>{0, 1, 0, 2}
                                         : format == AV_PIX_FMT_UYVY422 ? std::array<int, 4>{1, 0, 2, 0}
                                                                        : std::array<int, 4>{0, 2, 0, 1};
        p.strides[0] = width * 2;
        p.bytes[0].resize(size_t(p.strides[0]) * size_t(height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; x += 2) {
                const auto c = yuv(x, y);
                uint8_t *pair = &p.bytes[0][size_t(y) * size_t(p.strides[0]) + size_t(x) * 2];
                for (int i = 0; i < 4; ++i)
                    pair[i] = c[size_t(order[size_t(i)])];
            }
        break;
    }
    case AV_PIX_FMT_YUV420P:
    case AV_PIX_FMT_YUV422P:
    case AV_PIX_FMT_YUV444P: {
        const int sx = format == AV_PIX_FMT_YUV444P ? 1 : 2, sy = format == AV_PIX_FMT_YUV420P ? 2 : 1;
        const int cw = (width + sx - 1) / sx, ch = (height + sy - 1) / sy;
        p.strides[0] = width;
        p.strides[1] = p.strides[2] = cw;
        p.bytes[0].resize(size_t(width) * size_t(height));
        p.bytes[1].resize(size_t(cw) * size_t(ch));
        p.bytes[2].resize(size_t(cw) * size_t(ch));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const auto c = yuv(x, y);
                p.bytes[0][size_t(y * width + x)] = c[0];
                p.bytes[1][size_t(y / sy * cw + x / sx)] = c[1];
                p.bytes[2][size_t(y / sy * cw + x / sx)] = c[2];
            }
        break;
    }
    case AV_PIX_FMT_BGR24:
    case AV_PIX_FMT_BGR0: {
        const int bytes = format == AV_PIX_FMT_BGR24 ? 3 : 4;
        p.strides[0] = width * bytes;
        p.bytes[0].assign(size_t(p.strides[0]) * size_t(height), 0); // BGR0's fourth byte 0, as devices send it
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const QColor c = testsupport::quarterAt(x, y, width, height);
                uint8_t *px = &p.bytes[0][size_t(y) * size_t(p.strides[0]) + size_t(x * bytes)];
                px[0] = uint8_t(c.blue()), px[1] = uint8_t(c.green()), px[2] = uint8_t(c.red());
            }
        break;
    }
    default:
        break;
    }
    for (int i = 0; i < 3; ++i)
        p.planes[i] = p.bytes[i].empty() ? nullptr : p.bytes[i].data();
    return p;
}

} // namespace

class TestMediaCamera : public QObject
{
    Q_OBJECT
private slots:
    void syntheticFramesAtChosenSizeAndRate_data();
    void syntheticFramesAtChosenSizeAndRate();
    void syntheticPictureHasBarsAndMovingBlock();
    void newParamsChangeSizeAndRate();
    void writableFrameIsIndependent();
    void deviceThatFailsLogsOnceAndShowsNothing_data();
    void deviceThatFailsLogsOnceAndShowsNothing();
    void deviceFolderWithoutCameras();
    void catalogListsWorldCameras_data();
    void catalogListsWorldCameras();
    void catalogPutsRealCamerasFirst_data();
    void catalogPutsRealCamerasFirst();
    void beautyFilterOnCameraFrame();
    void mjpgDecodesThroughTheLibrary();
    void cameraFormatsConvertToTheirColours_data();
    void cameraFormatsConvertToTheirColours();
};

void TestMediaCamera::syntheticFramesAtChosenSizeAndRate_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("fps");
    QTest::newRow("640x480 at 30") << 640 << 480 << 30;
    QTest::newRow("320x240 at 10") << 320 << 240 << 10;
    QTest::newRow("1280x720 at 25") << 1280 << 720 << 25;
}

void TestMediaCamera::syntheticFramesAtChosenSizeAndRate()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, fps);
    CameraSource source;
    QVERIFY(source.picture().isNull());
    source.update(cameraItem(kWorldCamera, 6, width, height, fps));
    const QImage frame = nextFrame(source);
    QCOMPARE(frame.size(), QSize(width, height));
    QCOMPARE(frame.format(), QImage::Format_RGB32);
    QCOMPARE(frame.bytesPerLine(), qsizetype(width) * 4);
    // Wide bounds: sanitizers and a busy machine slow everything down.
    const double rate = measuredRate(source, 1500);
    QVERIFY2(rate >= fps * 0.4 && rate <= fps * 1.25, qPrintable(QString::number(rate)));
}

void TestMediaCamera::syntheticPictureHasBarsAndMovingBlock()
{
    CameraSource source;
    source.update(cameraItem(kWorldCamera, 0, 640, 480, 30));
    const QImage first = nextFrame(source);
    QVERIFY(!first.isNull());
    // Eight equal bars over the top two thirds.
    const QRgb bars[8] = {0xffffffff, 0xffffff00, 0xff00ffff, 0xff00ff00,
                          0xffff00ff, 0xffff0000, 0xff0000ff, 0xff000000};
    for (int k = 0; k < 8; ++k)
        for (int y : {0, 160, 319})
            QCOMPARE(first.pixel(40 + 80 * k, y), bars[k]);
    // The block band (rows 320-399): a white square on dark grey.
    auto whiteInBand = [](const QImage &f) {
        int white = 0;
        for (int x = 0; x < f.width(); ++x)
            white += f.pixel(x, 360) == 0xffffffff;
        return white;
    };
    QCOMPARE(whiteInBand(first), 80);
    QCOMPARE(first.pixel(first.width() - 1, 330) == 0xff202020 || first.pixel(0, 330) == 0xff202020, true);

    // The block moves from one frame to the next; the bars stay.
    const QImage second = nextFrame(source);
    QVERIFY(!second.isNull());
    QCOMPARE(whiteInBand(second), 80);
    QVERIFY(first.copy(0, 320, 640, 80) != second.copy(0, 320, 640, 80));
    QVERIFY(first.copy(0, 0, 640, 320) == second.copy(0, 0, 640, 320));
}

void TestMediaCamera::newParamsChangeSizeAndRate()
{
    CameraSource source;
    source.update(cameraItem(kWorldCamera, 0, 640, 480, 30));
    QCOMPARE(nextFrame(source).size(), QSize(640, 480));
    const double fast = measuredRate(source, 1000);

    source.update(cameraItem(kWorldCamera, 6, 320, 240, 5));
    QImage frame;
    QElapsedTimer timer;
    timer.start();
    while (frame.size() != QSize(320, 240) && timer.elapsed() < 5000)
        frame = nextFrame(source, 200);
    QCOMPARE(frame.size(), QSize(320, 240));
    const double slow = measuredRate(source, 1600);
    QVERIFY2(slow <= 5 * 1.25 + 1 && slow < fast, qPrintable(QStringLiteral("%1 then %2").arg(fast).arg(slow)));
    QVERIFY2(slow >= 5 * 0.4, qPrintable(QString::number(slow)));
}

void TestMediaCamera::writableFrameIsIndependent()
{
    CameraSource source;
    source.update(cameraItem(kWorldCamera, 0, 320, 240, 30));
    QVERIFY(!nextFrame(source).isNull());
    const QImage shown = source.picture();
    const QRgb before = shown.pixel(20, 20);

    QImage writable = source.takeWritable();
    QCOMPARE(writable.size(), shown.size());
    QCOMPARE(writable.format(), QImage::Format_RGB32);
    QCOMPARE(writable.pixel(20, 20), before);
    QVERIFY(writable.isDetached());
    writable.fill(Qt::black); // in place, as a filter writes
    QCOMPARE(source.picture().pixel(20, 20), before);
    QCOMPARE(shown.pixel(20, 20), before);
    QVERIFY(source.picture().constBits() != writable.constBits());

    // While one is held the next is another buffer; once let go, the buffer
    // serves again.
    const uchar *const buffer = writable.constBits();
    QImage second = source.takeWritable();
    QVERIFY(second.constBits() != buffer);
    QCOMPARE(second.pixel(20, 20), before);
    writable = QImage();
    const uchar *const secondBuffer = second.constBits();
    second = QImage();
    QCOMPARE(source.takeWritable().constBits(), secondBuffer);
}

void TestMediaCamera::deviceThatFailsLogsOnceAndShowsNothing_data()
{
    QTest::addColumn<QString>("path"); // "<temp>" stands for a plain file in a temp folder
    QTest::addColumn<QString>("line");
    QTest::newRow("not a device") << QStringLiteral("/dev/null")
                                  << QStringLiteral("engine: camera /dev/null is no video capture device");
    QTest::newRow("plain file") << QStringLiteral("<temp>") << QStringLiteral("is no video capture device");
    QTest::newRow("missing") << QStringLiteral("/nonexistent/video7")
                             << QStringLiteral("engine: camera /nonexistent/video7 cannot be opened");
}

void TestMediaCamera::deviceThatFailsLogsOnceAndShowsNothing()
{
    QFETCH(QString, path);
    QFETCH(QString, line);
    testsupport::TempEnvironment env;
    if (path == QLatin1String("<temp>")) {
        path = env.root() + QStringLiteral("/video0");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    }
    testsupport::DebugCapture capture;
    {
        CameraSource source;
        source.update(cameraItem(path.toStdU16String(), 0, 640, 480, 30));
        QTRY_VERIFY_WITH_TIMEOUT(capture.contains(line), 5000);
        QVERIFY(!source.tick(MediaClock::now()));
        QVERIFY(source.picture().isNull());
        QVERIFY(source.takeWritable().isNull());
        // The same settings again do not retry.
        source.update(cameraItem(path.toStdU16String(), 0, 640, 480, 30));
    }
    QCOMPARE(capture.messages().filter(QStringLiteral("engine: camera")).size(), 1);
}

void TestMediaCamera::deviceFolderWithoutCameras()
{
    testsupport::TempEnvironment env;
    const QString empty = env.root() + QStringLiteral("/empty");
    QVERIFY(QDir().mkpath(empty));
    QVERIFY(listV4l2Cameras(empty.toStdString()).empty());
    QVERIFY(listV4l2Cameras((env.root() + QStringLiteral("/missing")).toStdString()).empty());

    // Names like devices but no capture devices behind them.
    const QString fake = env.root() + QStringLiteral("/dev");
    QVERIFY(QDir().mkpath(fake));
    QFile plain(fake + QStringLiteral("/video0"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), fake + QStringLiteral("/video1")));
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), fake + QStringLiteral("/video12")));
    QVERIFY(listV4l2Cameras(fake.toStdString()).empty());
}

void TestMediaCamera::catalogListsWorldCameras_data()
{
    QTest::addColumn<bool>("fromFile");
    QTest::newRow("built-in world") << false;
    QTest::newRow("world file") << true;
}

// This machine has no camera: the world's cameras are the list.
void TestMediaCamera::catalogListsWorldCameras()
{
    QFETCH(bool, fromFile);
    if (!listV4l2Cameras("/dev").empty())
        QSKIP("this machine has a real camera");
    World world = World::builtIn();
    if (fromFile) {
        const QJsonObject format{{"format", "MJPG"}, {"width", 800}, {"height", 600}, {"fps", 15}};
        world = World::fromJson(QJsonObject{
            {"cameras", QJsonArray{QJsonObject{{"name", "Desk Cam"}, {"formats", QJsonArray{format}}},
                                   QJsonObject{{"name", "Side Cam"}, {"formats", QJsonArray{}}}}}});
    }
    const std::vector<CameraEntry> entries = listCameraEntries(world, fromFile);
    if (!fromFile) {
        QCOMPARE(entries.size(), size_t(1));
        QCOMPARE(QString::fromStdU16String(entries[0].device.name), QStringLiteral("USB2.0 HD Camera"));
        QCOMPARE(entries[0].device.formats.size(), size_t(6));
        QCOMPARE(entries[0].devicePath, std::string());
        return;
    }
    QCOMPARE(entries.size(), size_t(2));
    QCOMPARE(QString::fromStdU16String(entries[0].device.name), QStringLiteral("Desk Cam"));
    QCOMPARE(QString::fromStdU16String(entries[1].device.name), QStringLiteral("Side Cam"));
    QCOMPARE(entries[0].device.formats.size(), size_t(1));
    QCOMPARE(entries[0].device.formats[0].colorFormat, 6);
    QCOMPARE(entries[0].device.formats[0].width, 800);
    QCOMPARE(entries[0].device.formats[0].fps, 15);
    QVERIFY(entries[1].devicePath.empty());
}

void TestMediaCamera::catalogPutsRealCamerasFirst_data()
{
    QTest::addColumn<bool>("fromFile");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("built-in world") << false << QStringList{"HD Webcam C270", "Integrated Camera"};
    QTest::newRow("world file") << true
                                << QStringList{"HD Webcam C270", "Integrated Camera", "USB2.0 HD Camera"};
}

void TestMediaCamera::catalogPutsRealCamerasFirst()
{
    QFETCH(bool, fromFile);
    QFETCH(QStringList, names);
    std::vector<CameraEntry> real(2);
    real[0].device.name = u"HD Webcam C270";
    real[0].devicePath = "/dev/video0";
    real[1].device.name = u"Integrated Camera";
    real[1].devicePath = "/dev/video2";
    const std::vector<CameraEntry> entries = combineCameraEntries(real, World::builtIn(), fromFile);
    QStringList listed;
    for (const CameraEntry &e : entries)
        listed << QString::fromStdU16String(e.device.name);
    QCOMPARE(listed, names);
    QCOMPARE(entries[1].devicePath, std::string("/dev/video2"));
}

// The compositor filters a writable camera frame in place through the beauty
// filter, at the facade's levels.
void TestMediaCamera::beautyFilterOnCameraFrame()
{
    CameraSource source;
    source.update(cameraItem(kWorldCamera, 0, 640, 480, 30));
    QVERIFY(!nextFrame(source).isNull());
    const QImage original = source.picture();
    QImage frame = source.takeWritable();

    facetone::reset();
    const ImageFilterHandle filter = ImageFilterInit(nullptr, nullptr);
    QVERIFY(filter);
    auto run = [&](QImage &image, float smoothing, float whitening) {
        PicturePlane src;
        src.format = 0;
        src.width = image.width();
        src.height = image.height();
        src.frame[0] = reinterpret_cast<std::uintptr_t>(image.bits());
        src.frame[1] = std::uintptr_t(image.bytesPerLine());
        src.frame[2] = std::uintptr_t(image.sizeInBytes());
        PicturePlane dst;
        dst.format = 4;
        dst.width = image.width();
        dst.height = image.height();
        const FilterParams params{0, int(sizeof(FilterParams)), smoothing, 0.0f, 10.0f, whitening, 1};
        return ImageFilterFilterPicture(filter, &src, &params, &dst);
    };

    QCOMPARE(run(frame, 10.0f, 0.0f), 1);
    const double before = localVariance(original), after = localVariance(frame);
    QVERIFY2(after < before * 0.9, qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(after)));

    QImage whitened = source.takeWritable();
    QCOMPARE(run(whitened, 0.0f, 5.0f), 1);
    QVERIFY2(meanBrightness(whitened) > meanBrightness(original) + 5,
             qPrintable(QStringLiteral("%1 -> %2").arg(meanBrightness(original)).arg(meanBrightness(whitened))));
    // The source's own picture is untouched by either.
    QVERIFY(source.picture() == original);
    ImageFilterUninit(filter);
}

// Real cameras' MJPG goes through the encoding library: a JPEG comes out as
// plain YUV at full range, and broken data gives no picture.
void TestMediaCamera::mjpgDecodesThroughTheLibrary()
{
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(QColor(255, 255, 255));
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 32; ++x)
            picture.setPixel(x, y, qRgb(0, 0, 0));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QVERIFY(picture.save(&buffer, "JPG", 95));

    std::unique_ptr<JpegDecoder> decoder = EncodeLibrary::createJpegDecoder();
    QVERIFY(decoder);
    DecodedPicture decoded;
    QVERIFY(decoder->decode(reinterpret_cast<const uint8_t *>(jpeg.constData()), size_t(jpeg.size()), &decoded));
    QCOMPARE(decoded.width, 64);
    QCOMPARE(decoded.height, 48);
    QVERIFY2(decoded.pixelFormat == AV_PIX_FMT_YUV420P || decoded.pixelFormat == AV_PIX_FMT_YUV422P
                 || decoded.pixelFormat == AV_PIX_FMT_YUV444P,
             qPrintable(QString::number(decoded.pixelFormat)));
    QVERIFY(decoded.fullRange);
    // Full-range luma: black 0 on the left, white 255 on the right.
    const uint8_t *row = decoded.planes[0] + 24 * decoded.strides[0];
    QVERIFY2(row[8] < 8, qPrintable(QString::number(row[8])));
    QVERIFY2(row[56] > 247, qPrintable(QString::number(row[56])));

    const QByteArray broken = jpeg.left(40) + QByteArray(200, '\x5a');
    QVERIFY(!decoder->decode(reinterpret_cast<const uint8_t *>(broken.constData()), size_t(broken.size()), &decoded));
}

void TestMediaCamera::cameraFormatsConvertToTheirColours_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("fullRange");
    QTest::addColumn<QSize>("size");
    QTest::newRow("YUYV") << int(AV_PIX_FMT_YUYV422) << false << QSize(64, 48);
    QTest::newRow("UYVY") << int(AV_PIX_FMT_UYVY422) << false << QSize(64, 48);
    QTest::newRow("YVYU") << int(AV_PIX_FMT_YVYU422) << false << QSize(64, 48);
    QTest::newRow("I420") << int(AV_PIX_FMT_YUV420P) << false << QSize(64, 48);
    QTest::newRow("I420 at an odd size") << int(AV_PIX_FMT_YUV420P) << false << QSize(65, 49);
    QTest::newRow("MJPG 4:2:0 full range") << int(AV_PIX_FMT_YUV420P) << true << QSize(64, 48);
    QTest::newRow("MJPG 4:2:2 full range") << int(AV_PIX_FMT_YUV422P) << true << QSize(64, 48);
    QTest::newRow("MJPG 4:4:4 full range") << int(AV_PIX_FMT_YUV444P) << true << QSize(64, 48);
    QTest::newRow("4:2:2 studio range") << int(AV_PIX_FMT_YUV422P) << false << QSize(64, 48);
    QTest::newRow("BGR24") << int(AV_PIX_FMT_BGR24) << false << QSize(64, 48);
    QTest::newRow("BGR32 with its fourth byte 0") << int(AV_PIX_FMT_BGR0) << false << QSize(64, 48);
}

// Each format a camera delivers comes out in its colours, opaque, in the
// frame the compositor draws.
void TestMediaCamera::cameraFormatsConvertToTheirColours()
{
    QFETCH(int, format);
    QFETCH(bool, fullRange);
    QFETCH(QSize, size);
    const CameraPicture input = cameraPicture(AVPixelFormat(format), fullRange, size.width(), size.height());
    CameraConverter converter;
    QImage frame(size, QImage::Format_RGB32);
    frame.fill(Qt::black);
    QVERIFY(converter.convert(input.planes, input.strides, AVPixelFormat(format), fullRange, frame));
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            // Clear of the middle, where chroma of two quarters may mix.
            if (std::abs(2 * x + 1 - size.width()) <= 4 || std::abs(2 * y + 1 - size.height()) <= 4)
                continue;
            const QRgb got = frame.pixel(x, y);
            const QColor want = testsupport::quarterAt(x, y, size.width(), size.height());
            const bool near = std::abs(qRed(got) - want.red()) <= 3 && std::abs(qGreen(got) - want.green()) <= 3
                              && std::abs(qBlue(got) - want.blue()) <= 3;
            QVERIFY2(near && qAlpha(got) == 255,
                     qPrintable(QStringLiteral("(%1,%2) is %3 for %4").arg(x).arg(y)
                                    .arg(QString::number(got, 16), want.name())));
        }
}

std::unique_ptr<QObject> makeMediaCameraTest()
{
    return std::make_unique<TestMediaCamera>();
}

#include "tst_mediacamera.moc"
