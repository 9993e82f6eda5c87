// The camera's beauty filter on the engine and FaceTone layers: lazy handle,
// parameters, attach and detach, and frames on the video thread while the GUI
// thread changes levels. The engine's camera runs meanwhile: its own frames
// pass the filter too, whenever they come, beside the ones a test hands in.

#include "EngineFixture.h"
#include "FaceTone.h"
#include "LiveProxyVideoFilter.h"
#include "LogCapture.h"

#include <QFile>
#include <QImage>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

using castcore::control;
using testsupport::LogCapture;

namespace {

// The filter's owner over a real engine, as the facade does it.
class EngineOwner : public VideoFilterOwner
{
public:
    explicit EngineOwner(ILiveEngine *engine)
        : m_engine(engine)
    {
    }

    void *renderDeviceHandle() override { return m_engine->GetRenderDevice()->GetGraphics()->GetDeviceHandle(); }
    void *renderContextHandle() override
    {
        return m_engine->GetRenderDevice()->GetGraphics()->GetContextHandle();
    }
    void getItemSourceRect(int itemId, int *x, int *y, int *width, int *height) override
    {
        m_engine->GetScene()->GetItemSourceRect(itemId, x, y, width, height);
    }
    void setItemVideoFilter(int itemId, IVideoFilter *filter) override
    {
        m_engine->GetScene()->SetItemVideoFilter(itemId, filter);
    }

private:
    ILiveEngine *m_engine;
};

// A packed 32-bit frame of one grey level.
struct Frame
{
    Frame(int w, int h, uint8_t grey)
        : width(w), height(h), bytes(size_t(w) * size_t(h) * 4, grey)
    {
    }
    std::uintptr_t address() { return reinterpret_cast<std::uintptr_t>(bytes.data()); }

    int width, height;
    std::vector<uint8_t> bytes;
};

std::string pointerText(const void *p)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%p", p);
    return buf;
}

struct FilterFixture
{
    EngineFixture engine;
    EngineOwner owner{engine.engine.get()};
    LiveProxyVideoFilter filter{&owner};
    Frame frame{8, 6, 0x80};
    int camera = 0;

    FilterFixture()
    {
        facetone::reset();
        engine.init();
        camera = engine.scene()->OpenCamera(u"USB2.0 HD Camera", 0, 0, 0, 0);
        engine.ours()->setItemSourceSize(camera, 8, 6);
    }
    // The engine's camera keeps calling the filter until it is taken off
    // the item (the facade ends the engine first): a filter that died
    // attached would be called after its end.
    ~FilterFixture() { engine.scene()->SetItemVideoFilter(camera, nullptr); }

    // One frame of `item` through the engine, filtered in place.
    bool deliver(int item, PicturePlane *out = nullptr)
    {
        PicturePlane local;
        return engine.ours()->deliverFrame(item, frame.address(), std::uintptr_t(frame.width * 4),
                                           frame.bytes.size(), out ? out : &local);
    }
    bool deliver() { return deliver(camera); }

    static int calls(const char *op) { return facetone::callLog().count(op); }
    // Pictures filtered from the frames the test handed in: a row of 8
    // pixels, 32 bytes (the camera's own are wider).
    static int ourPictures()
    {
        int n = 0;
        for (const auto &call : facetone::callLog().of("ImageFilterFilterPicture"))
            n += call.args.at(4) == "32" ? 1 : 0;
        return n;
    }
    static std::vector<std::string> lastArgs(const char *op)
    {
        const auto call = facetone::callLog().last(op);
        return call ? call->args : std::vector<std::string>{};
    }
    // The name the call log gives the handle made last.
    static std::string lastHandle() { return lastArgs("ImageFilterInit").at(2); }
};

} // namespace

class TestVideoFilter : public QObject
{
    Q_OBJECT
private slots:
    void unfilteredWithoutLevelsOrItem();
    void parametersFromLevels_data();
    void parametersFromLevels();
    void framePixelsFilteredInPlace();
    void handleMadeOnceAndRetriedAfterFailure();
    void detachEndsHandleAndNewCameraGetsNewOne();
    void freeAndDeviceLostReachTheHandle();
    void destructionEndsHandle();
    void detachWaitsForFrameInUse();
    void framesWhileLevelsChangeOnGuiThread();
    void bmpFileHeaderAndPixels();
    void bmpFileRefusesBadInput();
};

void TestVideoFilter::unfilteredWithoutLevelsOrItem()
{
    FilterFixture f;
    f.filter.attach(f.camera);
    QCOMPARE(f.filter.attachedItem(), f.camera);
    for (int i = 0; i < 3; ++i)
        QVERIFY(!f.deliver());
    QCOMPARE(f.calls("ImageFilterInit"), 0);
    QCOMPARE(facetone::liveHandles(), 0);
    QCOMPARE(f.frame.bytes, std::vector<uint8_t>(8 * 6 * 4, 0x80));

    // Levels set but nothing attached: still no handle.
    f.filter.detach();
    f.filter.setWhitening(50);
    PicturePlane out;
    QVERIFY(!f.filter.Filter(f.camera, f.frame.address(), 32, f.frame.bytes.size(), &out));
    QCOMPARE(f.calls("ImageFilterInit"), 0);

    // An engine that hands no output plane gets the frame back unfiltered,
    // whatever the levels (the camera's own frames may make a handle now).
    f.filter.attach(f.camera);
    QVERIFY(!f.filter.Filter(f.camera, f.frame.address(), 32, f.frame.bytes.size(), nullptr));
    QCOMPARE(f.ourPictures(), 0);
    QCOMPARE(f.frame.bytes, std::vector<uint8_t>(8 * 6 * 4, 0x80));
}

void TestVideoFilter::parametersFromLevels_data()
{
    QTest::addColumn<int>("blur");
    QTest::addColumn<int>("whitening");
    QTest::addColumn<int>("temperature");
    // FilterParams as logged: reserved, size, smoothing, colour temperature,
    // range, whitening, enabled.
    QTest::addColumn<QStringList>("params");
    QTest::newRow("whitening only") << 0 << 50 << 0 << QStringList{"0", "28", "0", "0", "10", "5", "1"};
    QTest::newRow("blur only") << 35 << 0 << 0 << QStringList{"0", "28", "3.5", "0", "10", "0", "1"};
    QTest::newRow("temperature only") << 0 << 0 << 7 << QStringList{"0", "28", "0", "0.7", "10", "0", "1"};
    QTest::newRow("all full") << 100 << 100 << 100 << QStringList{"0", "28", "10", "10", "10", "10", "1"};
    QTest::newRow("mixed") << 12 << 64 << 3 << QStringList{"0", "28", "1.2", "0.3", "10", "6.4", "1"};
}

void TestVideoFilter::parametersFromLevels()
{
    QFETCH(int, blur);
    QFETCH(int, whitening);
    QFETCH(int, temperature);
    QFETCH(QStringList, params);
    FilterFixture f;
    f.filter.setBlur(blur);
    f.filter.setWhitening(whitening);
    f.filter.setColourTemperature(temperature);
    f.filter.attach(f.camera);

    PicturePlane out;
    out.frame[1] = 777; // the engine's words stay as given
    QVERIFY(f.deliver(f.camera, &out));
    QCOMPARE(out.format, 4);
    QCOMPARE(out.width, 8);
    QCOMPARE(out.height, 6);
    QCOMPARE(out.frame[0], std::uintptr_t(0));
    QCOMPARE(out.frame[1], std::uintptr_t(777));

    IRenderGraphics *g = f.engine.engine->GetRenderDevice()->GetGraphics();
    QCOMPARE(f.lastArgs("ImageFilterInit").at(0), pointerText(g->GetDeviceHandle()));
    QCOMPARE(f.lastArgs("ImageFilterInit").at(1), pointerText(g->GetContextHandle()));
    const std::string handle = f.lastHandle();
    QCOMPARE(f.lastArgs("ImageFilterSetValue"), (std::vector<std::string>{handle, "0", "1", "4", "1"}));

    std::vector<std::string> expected{handle, "0", "8", "6", "32"};
    for (const QString &p : params)
        expected.push_back(p.toStdString());
    for (const char *s : {"4", "8", "6", "1"})
        expected.push_back(s);
    // The engine's own camera frames pass the filter too, at their own size:
    // the frame handed in here is one of the calls, not necessarily the last.
    QStringList seen;
    bool found = false;
    for (const auto &call : facetone::callLog().of("ImageFilterFilterPicture")) {
        QStringList args;
        for (const std::string &a : call.args)
            args << QString::fromStdString(a);
        seen << args.join(QLatin1Char(' '));
        if (call.args != expected)
            continue;
        found = true;
        QCOMPARE(call.thread, f.engine.ours()->videoThread());
    }
    QVERIFY2(found, qPrintable(seen.join(QLatin1Char('\n'))));
}

void TestVideoFilter::framePixelsFilteredInPlace()
{
    FilterFixture f;
    f.filter.setWhitening(80);
    f.filter.attach(f.camera);
    QVERIFY(f.deliver());
    // Whitening lifts a middle grey; alpha is left alone.
    QVERIFY(f.frame.bytes[0] > 0x80);
    QVERIFY(f.frame.bytes[4 * 47 + 2] > 0x80);
    QCOMPARE(f.frame.bytes[3], uint8_t(0x80));
}

void TestVideoFilter::handleMadeOnceAndRetriedAfterFailure()
{
    FilterFixture f;
    f.filter.setBlur(20);
    facetone::failNextInits(1);
    f.filter.attach(f.camera);
    // The first frame to come, ours or the camera's, meets the failure; the
    // next one makes the handle, so at most one of ours goes unfiltered.
    const bool first = f.deliver();
    QVERIFY(first || f.deliver());
    // The failed handle was used for nothing: neither levels nor a picture
    // before the second try.
    std::vector<std::string> ops = facetone::callLog().ops();
    QVERIFY(ops.size() >= 3);
    QCOMPARE(std::vector<std::string>(ops.begin(), ops.begin() + 3),
             (std::vector<std::string>{"ImageFilterInit", "ImageFilterInit", "ImageFilterSetValue"}));
    QCOMPARE(facetone::callLog().of("ImageFilterInit").front().args.at(2), std::string("null"));

    for (int i = 0; i < 4; ++i)
        QVERIFY(f.deliver());
    QCOMPARE(f.calls("ImageFilterInit"), 2);
    QCOMPARE(f.calls("ImageFilterSetValue"), 1);
    QCOMPARE(f.ourPictures(), 5);
    QCOMPARE(facetone::liveHandles(), 1);
}

void TestVideoFilter::detachEndsHandleAndNewCameraGetsNewOne()
{
    FilterFixture f; // its temporary folder takes the log
    f.filter.setWhitening(50);
    f.filter.attach(f.camera);
    QCOMPARE(f.engine.ours()->item(f.camera)->filter, static_cast<IVideoFilter *>(&f.filter));
    QVERIFY(f.deliver());
    const std::string first = f.lastHandle();

    f.filter.detach();
    QCOMPARE(f.filter.attachedItem(), -1);
    QCOMPARE(f.lastArgs("ImageFilterUninit"), std::vector<std::string>{first});
    QCOMPARE(facetone::liveHandles(), 0);
    QCOMPARE(f.engine.ours()->item(f.camera)->filter, static_cast<IVideoFilter *>(nullptr));
    QVERIFY(!f.deliver());

    const int second = f.engine.scene()->OpenCamera(u"USB2.0 HD Camera", 0, 0, 0, 0);
    f.engine.ours()->setItemSourceSize(second, 8, 6);
    f.filter.attach(second);
    QVERIFY(f.deliver(second));
    QCOMPARE(f.calls("ImageFilterInit"), 2);
    // Each handle was made by a frame on the video thread, not by attaching.
    for (const auto &call : facetone::callLog().of("ImageFilterInit"))
        QCOMPARE(call.thread, f.engine.ours()->videoThread());
    QVERIFY(f.lastHandle() != first);
    QCOMPARE(f.lastArgs("ImageFilterFilterPicture").at(10), std::string("5")); // the level survived

    const QStringList texts = LogCapture::texts();
    QVERIFY(texts.contains(QStringLiteral("live proxy video beauty filter attach item: %1 .").arg(f.camera)));
    QVERIFY(texts.contains(QStringLiteral("live proxy video beauty filter unattach item: %1 .").arg(f.camera)));
    QVERIFY(texts.contains(QStringLiteral("live proxy video beauty filter attach item: %1 .").arg(second)));
}

void TestVideoFilter::freeAndDeviceLostReachTheHandle()
{
    FilterFixture f;
    f.filter.attach(f.camera);
    QVERIFY(f.engine.ours()->fireFilterFree(f.camera, 5, 6));
    QVERIFY(f.engine.ours()->fireFilterDeviceLost(f.camera, 7));
    QCOMPARE(f.calls("ImageFilterFree"), 0); // no handle yet
    QCOMPARE(f.lastArgs("ImageFilterHandleDeviceLost"), (std::vector<std::string>{"null", "7"}));

    f.filter.setBlur(10);
    QVERIFY(f.deliver());
    QVERIFY(f.engine.ours()->fireFilterFree(f.camera, 5, 6));
    QVERIFY(f.engine.ours()->fireFilterDeviceLost(f.camera, 8));
    QCOMPARE(f.lastArgs("ImageFilterFree"), (std::vector<std::string>{f.lastHandle(), "6"}));
    QCOMPARE(f.lastArgs("ImageFilterHandleDeviceLost"), (std::vector<std::string>{f.lastHandle(), "8"}));
    QVERIFY(f.deliver()); // the handle stays usable
    QCOMPARE(f.calls("ImageFilterInit"), 1);
}

void TestVideoFilter::destructionEndsHandle()
{
    EngineFixture engine;
    facetone::reset();
    engine.init();
    EngineOwner owner(engine.engine.get());
    const int camera = engine.scene()->OpenCamera(u"USB2.0 HD Camera", 0, 0, 0, 0);
    engine.ours()->setItemSourceSize(camera, 4, 4);
    std::vector<uint8_t> pixels(4 * 4 * 4, 0x40);
    {
        LiveProxyVideoFilter filter(&owner);
        filter.setColourTemperature(30);
        filter.attach(camera);
        QVERIFY(engine.ours()->deliverFrame(camera, reinterpret_cast<std::uintptr_t>(pixels.data()), 16,
                                            pixels.size()));
        QCOMPARE(facetone::liveHandles(), 1);
        engine.scene()->SetItemVideoFilter(camera, nullptr);
    }
    QCOMPARE(facetone::liveHandles(), 0);
    QCOMPARE(facetone::callLog().count("ImageFilterUninit"), 1);
}

void TestVideoFilter::detachWaitsForFrameInUse()
{
    FilterFixture f;
    f.filter.setWhitening(40);
    f.filter.attach(f.camera);
    facetone::gates().close("ImageFilterFilterPicture");
    // The frame held may be ours or one of the camera's: both are made on
    // the video thread, one at a time.
    std::thread frames([&] { f.deliver(); });
    QVERIFY(facetone::gates().waitForWaiting("ImageFilterFilterPicture", 1, 30000));

    mvplatform::CallLog &engineCalls = castcore::control().log();
    const int filterSets = engineCalls.count("SetItemVideoFilter");
    std::thread gui([&] { f.filter.detach(); });
    QTRY_VERIFY_WITH_TIMEOUT(engineCalls.count("SetItemVideoFilter") > filterSets, 30000); // detach is under way
    // Give a wrong release every chance to happen while the frame is held.
    QTest::qWait(200);
    QCOMPARE(f.calls("ImageFilterUninit"), 0);

    facetone::gates().open("ImageFilterFilterPicture");
    frames.join();
    gui.join();
    // Every picture, the held one last, was filtered before the handle went,
    // with the handle that then went.
    const auto ops = facetone::callLog().ops();
    const auto uninit = std::find(ops.begin(), ops.end(), "ImageFilterUninit");
    QVERIFY(uninit != ops.end());
    QVERIFY(std::find(uninit, ops.end(), "ImageFilterFilterPicture") == ops.end());
    QCOMPARE(f.calls("ImageFilterUninit"), 1);
    QCOMPARE(f.lastArgs("ImageFilterFilterPicture").front(), f.lastHandle()); // still live when used
    QCOMPARE(facetone::liveHandles(), 0);
}

void TestVideoFilter::framesWhileLevelsChangeOnGuiThread()
{
    FilterFixture f;
    const int second = f.engine.scene()->OpenCamera(u"USB2.0 HD Camera", 0, 0, 0, 0);
    f.engine.ours()->setItemSourceSize(second, 8, 6);
    f.filter.setBlur(30);
    f.filter.attach(f.camera);

    std::atomic<bool> stop{false};
    std::atomic<int> mostHandles{0};
    auto noteHandles = [&] {
        const int n = facetone::liveHandles();
        int seen = mostHandles.load();
        while (n > seen && !mostHandles.compare_exchange_weak(seen, n)) {
        }
    };
    std::thread frames([&] {
        Frame a(8, 6, 0x70), b(8, 6, 0x90);
        PicturePlane out;
        while (!stop) {
            for (int item : {f.camera, second}) {
                Frame &fr = item == f.camera ? a : b;
                f.engine.ours()->deliverFrame(item, fr.address(), 32, fr.bytes.size(), &out);
                noteHandles();
            }
        }
    });

    for (int i = 0; i < 400; ++i) {
        f.filter.setBlur(i % 7 == 0 ? 0 : i % 100);
        f.filter.setWhitening((i * 3) % 101);
        f.filter.setColourTemperature(i % 5 == 0 ? 0 : 20);
        if (i % 40 == 39) {
            f.filter.detach();
            f.filter.attach(i % 80 == 79 ? f.camera : second);
        }
        noteHandles();
    }
    stop = true;
    frames.join();

    QVERIFY(mostHandles.load() <= 1);
    f.filter.setWhitening(50);
    QVERIFY(f.deliver(f.filter.attachedItem()));
    f.filter.detach();
    QCOMPARE(facetone::liveHandles(), 0);
    QCOMPARE(f.calls("ImageFilterInit"), f.calls("ImageFilterUninit"));
}

void TestVideoFilter::bmpFileHeaderAndPixels()
{
    testsupport::TempEnvironment env;
    // 3 x 2 pixels: rows of 9 bytes padded to 12.
    const unsigned char pixels[24] = {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0,
                                      255, 255, 255, 0, 0, 0, 10, 20, 30, 0, 0, 0};
    const QString path = env.workPath() + QStringLiteral("/frame.bmp");
    QCOMPARE(writeBmpFile(path.toUtf8().constData(), pixels, 3, 2), 0);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.size(), 78);
    const QByteArray header = QByteArray::fromHex("424d4e000000000000003600000028000000"
                                                  "03000000feffffff010018000000000018000000"
                                                  "00000000000000000000000000000000");
    QCOMPARE(header.size(), 54);
    QCOMPARE(bytes.left(54).toHex(), header.toHex());
    QCOMPARE(bytes.mid(54), QByteArray(reinterpret_cast<const char *>(pixels), 24));

    const QImage image(path);
    QCOMPARE(image.size(), QSize(3, 2));
    QCOMPARE(image.pixel(0, 0), qRgb(255, 0, 0)); // top row first
    QCOMPARE(image.pixel(1, 0), qRgb(0, 255, 0));
    QCOMPARE(image.pixel(2, 0), qRgb(0, 0, 255));
    QCOMPARE(image.pixel(2, 1), qRgb(30, 20, 10));
}

void TestVideoFilter::bmpFileRefusesBadInput()
{
    testsupport::TempEnvironment env;
    const unsigned char pixels[12] = {};
    const QByteArray path = (env.workPath() + QStringLiteral("/x.bmp")).toUtf8();
    QCOMPARE(writeBmpFile(nullptr, pixels, 1, 1), -1);
    QCOMPARE(writeBmpFile(path.constData(), nullptr, 1, 1), -1);
    QCOMPARE(writeBmpFile(path.constData(), pixels, 0, 1), -1);
    QCOMPARE(writeBmpFile(path.constData(), pixels, 1, -1), -1);
    QCOMPARE(writeBmpFile((env.workPath() + QStringLiteral("/none/x.bmp")).toUtf8().constData(), pixels, 1, 1),
             -1);
    QVERIFY(!QFile::exists(QString::fromUtf8(path)));
}

QTEST_GUILESS_MAIN(TestVideoFilter)
#include "tst_videofilter.moc"
