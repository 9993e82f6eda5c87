// Picture and overlay sources on real files: what they show, at which size,
// when an animation changes frame, and what a bad file leaves behind.
#include "DebugCapture.h"
#include "NamedPipe.h"
#include "PictureFiles.h"
#include "WidgetPictures.h"

#include "CallbackThread.h"
#include "sources/PictureSource.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <future>
#include <memory>

using namespace castcore;
using namespace std::chrono_literals;
using mediatest::GifFrame;

namespace {

constexpr QRgb kRed = 0xffff0000;
constexpr QRgb kGreen = 0xff00ff00;
constexpr QRgb kBlue = 0xff0000ff;
constexpr int kWaitMs = 20000;
// Whole seconds for what should take none: a hang is what is caught.
constexpr int kAtOnceMs = 10000;

SceneItem pictureItem(const QString &path, int kind = KindPicture)
{
    SceneItem it;
    it.kind = kind;
    it.sources = {path.toStdString()};
    return it;
}

bool near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
           && std::abs(qBlue(a) - qBlue(b)) <= tolerance && std::abs(qAlpha(a) - qAlpha(b)) <= tolerance;
}

QRgb centre(const QImage &image)
{
    return image.pixel(image.width() / 2, image.height() / 2);
}

QStringList engineLines(const testsupport::DebugCapture &capture)
{
    QStringList out;
    for (const QString &m : capture.messages()) {
        if (m.startsWith(QLatin1String("engine: ")))
            out << m;
    }
    return out;
}

// Holds the loader in one task until released (at the latest after the
// bound), so a test sees the source before its decode runs.
class LoaderGate
{
public:
    explicit LoaderGate(mvplatform::CallbackThread &loader)
    {
        auto opened = m_open.get_future().share();
        loader.post([opened] { opened.wait_for(std::chrono::seconds(20)); });
    }
    ~LoaderGate() { release(); }
    void release()
    {
        if (!m_released) {
            m_released = true;
            m_open.set_value();
        }
    }

private:
    std::promise<void> m_open;
    bool m_released = false;
};

class PictureSourceTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<mvplatform::CallbackThread> m_loader;
    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString solid(const QString &name, QRgb color, QSize size = QSize(40, 30), const char *format = "PNG") const
    {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(color);
        const QString p = path(name);
        return image.save(p, format) ? p : QString();
    }
    QString gif(const QString &name, const QVector<GifFrame> &frames) const
    {
        const QString p = path(name);
        return mediatest::writeFile(p, mediatest::solidGif(frames)) ? p : QString();
    }
    // Lets the loader finish, then takes its result.
    bool settle(PictureSource &source, MediaClock::time_point now)
    {
        if (!m_loader->waitIdle(kWaitMs))
            return false;
        source.tick(now);
        return true;
    }
    // Empty when the loader refused `file` at once, unread (a reader held
    // on the FIFO is let go), and the source shows nothing but the engine's
    // one line; else what went wrong.
    QString refusalFault(PictureSource &source, testsupport::NamedPipe &pipe, const QString &file,
                         const testsupport::DebugCapture &capture)
    {
        bool idle = false;
        if (!pipe.finishesWithin(kAtOnceMs, [&] { idle = m_loader->waitIdle(kWaitMs); }))
            return QStringLiteral("held up by the path");
        if (!idle)
            return QStringLiteral("the loader did not finish");
        source.tick(MediaClock::now());
        if (!source.picture().isNull())
            return QStringLiteral("a picture is shown");
        const QStringList lines = engineLines(capture);
        const QStringList expected{QStringLiteral("engine: picture unreadable: %1 (not a regular file)").arg(file)};
        if (lines != expected)
            return QStringLiteral("engine said: ") + lines.join(QStringLiteral(" | "));
        return QString();
    }

private slots:
    void init()
    {
        m_loader = std::make_unique<mvplatform::CallbackThread>("test-loader");
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup()
    {
        m_loader.reset();
        m_dir.reset();
    }

    void stillPictureAppearsAtItemSize_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("tolerance");
        QTest::newRow("png picture") << "PNG" << int(KindPicture) << 0;
        QTest::newRow("jpeg picture") << "JPEG" << int(KindPicture) << 12;
        QTest::newRow("bmp picture") << "BMP" << int(KindPicture) << 0;
        QTest::newRow("png overlay file") << "PNG" << int(KindOverlayFile) << 0;
    }
    void stillPictureAppearsAtItemSize()
    {
        QFETCH(QString, format);
        QFETCH(int, kind);
        QFETCH(int, tolerance);
        const QString file = solid("still." + format.toLower(), 0xff3080c0, QSize(40, 30), qPrintable(format));
        QVERIFY(!file.isEmpty());
        PictureSource source(*m_loader);
        source.update(pictureItem(file, kind));
        source.resize(QSize(120, 90));
        QVERIFY(m_loader->waitIdle(kWaitMs));
        const auto t0 = MediaClock::now();
        QVERIFY(source.tick(t0));
        const QImage shown = source.picture();
        QCOMPARE(shown.size(), QSize(120, 90));
        QCOMPARE(shown.format(), QImage::Format_ARGB32_Premultiplied);
        QVERIFY2(near(centre(shown), 0xff3080c0, tolerance), qPrintable(QString::number(centre(shown), 16)));
        QVERIFY(near(shown.pixel(0, 0), 0xff3080c0, tolerance + 8));
        QVERIFY(!source.tick(t0 + 5s)); // a still never changes by itself
    }

    // Nothing is decoded on the caller's thread: with the loader busy the
    // picture stays null (then the old one), and appears once it has run.
    void decodingRunsOnTheLoader()
    {
        const QString red = solid("red.png", kRed);
        const QString blue = solid("blue.png", kBlue);
        PictureSource source(*m_loader);
        {
            LoaderGate gate(*m_loader);
            source.update(pictureItem(red));
            QVERIFY(!source.tick(MediaClock::now()));
            QVERIFY(source.picture().isNull());
        }
        QVERIFY(settle(source, MediaClock::now()));
        QCOMPARE(centre(source.picture()), kRed);

        // A new file replaces the picture; the old one shows meanwhile.
        {
            LoaderGate gate(*m_loader);
            source.update(pictureItem(blue));
            QVERIFY(!source.tick(MediaClock::now()));
            QCOMPARE(centre(source.picture()), kRed);
        }
        QVERIFY(m_loader->waitIdle(kWaitMs));
        QVERIFY(source.tick(MediaClock::now()));
        QCOMPARE(centre(source.picture()), kBlue);
    }

    void resizeRescalesAndShowsTheOldSizeMeanwhile()
    {
        const QString file = solid("green.png", kGreen, QSize(40, 30));
        PictureSource source(*m_loader);
        source.update(pictureItem(file));
        QVERIFY(settle(source, MediaClock::now()));
        QCOMPARE(source.picture().size(), QSize(40, 30)); // no size given: its own
        {
            LoaderGate gate(*m_loader);
            source.resize(QSize(200, 50));
            QVERIFY(!source.tick(MediaClock::now()));
            QCOMPARE(source.picture().size(), QSize(40, 30));
        }
        QVERIFY(m_loader->waitIdle(kWaitMs));
        QVERIFY(source.tick(MediaClock::now()));
        QCOMPARE(source.picture().size(), QSize(200, 50));
        QCOMPARE(centre(source.picture()), kGreen);
    }

    // Delays 100, 300 and 200 ms: frame 1 at 100 ms, frame 2 at 400 ms,
    // frame 0 again at 600 ms.
    void gifChangesFrameAtItsDelays()
    {
        const QString file = gif("three.gif", {{kRed, 10}, {kGreen, 30}, {kBlue, 20}});
        PictureSource source(*m_loader);
        source.update(pictureItem(file));
        source.resize(QSize(16, 16));
        QVERIFY(m_loader->waitIdle(kWaitMs));
        const auto t0 = MediaClock::now();
        QVERIFY(source.tick(t0));
        QCOMPARE(source.picture().size(), QSize(16, 16));
        struct Step
        {
            std::chrono::milliseconds at;
            bool changed;
            QRgb color;
        };
        const Step steps[] = {
            {50ms, false, kRed},   {99ms, false, kRed},    {100ms, true, kGreen}, {399ms, false, kGreen},
            {400ms, true, kBlue},  {599ms, false, kBlue},  {600ms, true, kRed},   {700ms, true, kGreen},
            // A stall of many cycles lands where the clock says: 6650 ms is
            // 50 ms into the 12th cycle.
            {6650ms, true, kRed},
        };
        for (const Step &s : steps) {
            QCOMPARE(source.tick(t0 + s.at), s.changed);
            QCOMPARE(centre(source.picture()), s.color);
        }
    }

    void gifWithoutDelaysPlaysAtTheDefaultPace()
    {
        const QString file = gif("fast.gif", {{kRed, 0}, {kGreen, 0}, {kBlue, 0}});
        PictureSource source(*m_loader);
        source.update(pictureItem(file));
        QVERIFY(m_loader->waitIdle(kWaitMs));
        const auto t0 = MediaClock::now();
        QVERIFY(source.tick(t0));
        QCOMPARE(centre(source.picture()), kRed);
        QVERIFY(!source.tick(t0 + 99ms));
        QVERIFY(source.tick(t0 + 100ms));
        QCOMPARE(centre(source.picture()), kGreen);
        QVERIFY(source.tick(t0 + 200ms));
        QCOMPARE(centre(source.picture()), kBlue);
    }

    void singleFrameGifIsAStill()
    {
        const QString file = gif("one.gif", {{kBlue, 10}});
        PictureSource source(*m_loader);
        source.update(pictureItem(file));
        QVERIFY(m_loader->waitIdle(kWaitMs));
        const auto t0 = MediaClock::now();
        QVERIFY(source.tick(t0));
        QCOMPARE(centre(source.picture()), kBlue);
        QVERIFY(!source.tick(t0 + 1s));
        QVERIFY(!source.tick(t0 + 60s));
    }

    void unreadableFileStaysTransparentWithOneLine_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // null: no file at all
        QTest::addColumn<QString>("reason");

        QImage noisy(64, 64, QImage::Format_ARGB32);
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x)
                noisy.setPixel(x, y, qRgba(x * 4, y * 4, (x * y) & 255, 255));
        }
        QByteArray png;
        {
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            noisy.save(&buffer, "PNG");
        }
        QTest::newRow("missing") << QByteArray() << "No such file or directory";
        QTest::newRow("zero bytes") << QByteArray("") << "empty file";
        QTest::newRow("garbage") << QByteArray(4096, 'x') << "not a picture";
        QTest::newRow("truncated png") << png.left(png.size() / 2) << "";
        QTest::newRow("png claiming 20000x20000") << mediatest::pngClaiming(20000, 20000) << "too large: 20000x20000";
        QTest::newRow("png claiming 9000x10") << mediatest::pngClaiming(9000, 10) << "too large: 9000x10";
    }
    void unreadableFileStaysTransparentWithOneLine()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const QString file = path("bad.png");
        if (!bytes.isNull())
            QVERIFY(mediatest::writeFile(file, bytes));
        testsupport::DebugCapture capture;
        PictureSource source(*m_loader);
        source.update(pictureItem(file));
        source.resize(QSize(640, 480));
        QVERIFY(settle(source, MediaClock::now()));
        QVERIFY(source.picture().isNull());
        // Resizing the item reads nothing again and says nothing again.
        source.resize(QSize(320, 240));
        QVERIFY(settle(source, MediaClock::now()));
        QVERIFY(source.picture().isNull());
        const QStringList lines = engineLines(capture);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.front().startsWith("engine: picture unreadable: " + file + " ("), qPrintable(lines.front()));
        QVERIFY2(lines.front().contains(reason), qPrintable(lines.front()));
    }

    // One limit, on each side: a picture up to 4096 a side is shown whatever
    // its area, one a pixel over on either side is refused before it is
    // decoded, and the line names the limit.
    void sizeLimitIsOneSide_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("shown");
        QTest::newRow("4096x4096, at the limit") << QSize(4096, 4096) << true;
        QTest::newRow("4096x16") << QSize(4096, 16) << true;
        QTest::newRow("4097x4096") << QSize(4097, 4096) << false;
        QTest::newRow("4096x4097") << QSize(4096, 4097) << false;
        QTest::newRow("8192x1024") << QSize(8192, 1024) << false;
        QTest::newRow("8192x8192") << QSize(8192, 8192) << false;
    }
    void sizeLimitIsOneSide()
    {
        QFETCH(QSize, size);
        QFETCH(bool, shown);
        // Black at one bit a pixel: a few kilobytes on disk at any size.
        const QString file = testsupport::writeHugeClaimPng(path("big.png"), size);
        QVERIFY(!file.isEmpty());
        testsupport::DebugCapture capture;
        PictureSource source(*m_loader);
        source.update(pictureItem(file));
        source.resize(QSize(64, 48));
        QVERIFY(settle(source, MediaClock::now()));
        if (shown) {
            QCOMPARE(source.picture().size(), QSize(64, 48));
            QVERIFY(near(centre(source.picture()), 0xff000000, 0));
            QCOMPARE(engineLines(capture), QStringList());
        } else {
            QVERIFY(source.picture().isNull());
            const QString reason =
                QStringLiteral("too large: %1x%2, more than 4096 a side").arg(size.width()).arg(size.height());
            QCOMPARE(engineLines(capture),
                     QStringList{QStringLiteral("engine: picture unreadable: %1 (%2)").arg(file, reason)});
        }
    }

    // Only a regular file is read: the loader never waits on a FIFO (for a
    // writer that may never come), nor reads a device or a folder.
    void oddFileIsRefusedAtOnce_data()
    {
        QTest::addColumn<QString>("kind");
        for (const QString &kind : testsupport::NamedPipe::oddKinds())
            QTest::newRow(qPrintable(kind)) << kind;
    }
    void oddFileIsRefusedAtOnce()
    {
        QFETCH(QString, kind);
        testsupport::NamedPipe pipe(path("pipe.png"));
        QVERIFY2(pipe.isValid(), qPrintable(pipe.errorString()));
        const QString file = pipe.oddPath(kind, path("odd.png"));
        QVERIFY(!file.isEmpty());
        testsupport::DebugCapture capture;
        PictureSource source(*m_loader);
        source.update(pictureItem(file));
        source.resize(QSize(64, 48));
        const QString fault = refusalFault(source, pipe, file, capture);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }

    // The file became a FIFO after the item was made and before the loader
    // came to it: refused all the same.
    void pictureSwappedForAFifoBeforeItsDecode()
    {
        const QString file = solid("swapped.png", kRed);
        testsupport::DebugCapture capture;
        PictureSource source(*m_loader);
        LoaderGate gate(*m_loader);
        source.update(pictureItem(file));
        testsupport::NamedPipe pipe(file);
        QVERIFY2(pipe.isValid(), qPrintable(pipe.errorString()));
        gate.release();
        const QString fault = refusalFault(source, pipe, file, capture);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }

    // A broken replacement hides the old picture.
    void brokenReplacementLeavesNothing()
    {
        const QString red = solid("red.png", kRed);
        const QString broken = path("broken.gif");
        QVERIFY(mediatest::writeFile(broken, "GIF89a\x04\x00"));
        PictureSource source(*m_loader);
        source.update(pictureItem(red));
        QVERIFY(settle(source, MediaClock::now()));
        QVERIFY(!source.picture().isNull());
        source.update(pictureItem(broken));
        QVERIFY(m_loader->waitIdle(kWaitMs));
        QVERIFY(source.tick(MediaClock::now()));
        QVERIFY(source.picture().isNull());
    }

    // 40 frames of 1024x1024 (4 MB each) pass the 64 MB bound: the first 16
    // are kept and play, the rest are dropped with one line.
    void longGifIsCappedInMemory()
    {
        QVector<GifFrame> frames;
        for (int i = 0; i < 40; ++i)
            frames.push_back({i % 2 ? kRed : kBlue, 10});
        const QString file = gif("long.gif", frames);
        testsupport::DebugCapture capture;
        PictureSource source(*m_loader);
        source.update(pictureItem(file));
        source.resize(QSize(1024, 1024));
        QVERIFY(m_loader->waitIdle(kWaitMs));
        const auto t0 = MediaClock::now();
        QVERIFY(source.tick(t0));
        QCOMPARE(centre(source.picture()), kBlue);
        QVERIFY(source.tick(t0 + 100ms));
        QCOMPARE(centre(source.picture()), kRed);
        const QStringList lines = engineLines(capture);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.front().startsWith("engine: picture frames capped: " + file + " (kept 16 of 40 frames"),
                 qPrintable(lines.front()));
        // After the 16th frame comes the first one again (16 x 100 ms).
        QVERIFY(source.tick(t0 + 1550ms));
        QCOMPARE(centre(source.picture()), kRed);
        QVERIFY(source.tick(t0 + 1600ms));
        QCOMPARE(centre(source.picture()), kBlue);
    }

    // The source goes while its decode runs: the decode finishes into
    // nothing (the sanitizers watch for use after free).
    void sourceDestroyedWhileDecoding()
    {
        const QString file = solid("big.png", kRed, QSize(1500, 1500));
        for (int i = 0; i < 3; ++i) {
            auto source = std::make_unique<PictureSource>(*m_loader);
            LoaderGate gate(*m_loader);
            source->update(pictureItem(file));
            source->resize(QSize(1000 + i, 1000));
            gate.release();
            if (i > 0)
                QTest::qWait(i); // sometimes before, sometimes during the decode
            source.reset();
        }
        QVERIFY(m_loader->waitIdle(kWaitMs));
    }
};

} // namespace

std::unique_ptr<QObject> makePictureSourceTest()
{
    return std::make_unique<PictureSourceTest>();
}

#include "tst_picturesource.moc"
