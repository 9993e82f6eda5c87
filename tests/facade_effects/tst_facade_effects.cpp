// The watermark the facade adds at start and moves every 60th tick, and the
// beauty filter it keeps on the one camera item.

#include "FacadeFixture.h"

#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

using testsupport::FacadeFixture;
using testsupport::LogCapture;

namespace {

// A camera picture (640 x 480, 32-bit) as the engine hands it to a filter.
struct Frame
{
    std::vector<uint8_t> pixels = std::vector<uint8_t>(640 * 480 * 4, 0x80);
    PicturePlane out;

    bool deliver(castcore::CastCoreEngine *engine, int itemId)
    {
        out = PicturePlane();
        return engine->deliverFrame(itemId, reinterpret_cast<std::uintptr_t>(pixels.data()), 640 * 4,
                                    pixels.size(), &out);
    }
};

int watermarkOf(FacadeFixture &f)
{
    for (int id : f.engine()->itemIds())
        if (f.engine()->item(id)->kind == KindCustomCapture)
            return id;
    return 0;
}

} // namespace

class FacadeEffectsTest : public QObject
{
    Q_OBJECT

private slots:
    void watermarkIsAddedOnTopAtStart();
    void secondWatermarkAddsNothing();
    void refusedWatermarkIsTriedAgain();
    void watermarkHopsOnEverySixtiethTickOnly();
    void filterWaitsForALevelAndACamera();
    void filterCarriesTheLevels();
    void filterFollowsTheNewestCamera();
    void removingTheCameraDetachesTheFilter();
    void restoredCameraGetsTheFilter();
    void framesOnTheVideoThreadWhileLevelsChange();
};

void FacadeEffectsTest::watermarkIsAddedOnTopAtStart()
{
    FacadeFixture f;
    const int start = FacadeFixture::logSize();
    QCOMPARE(f.init(), 0);
    const int id = watermarkOf(f);
    QVERIFY(id > 0);
    QCOMPARE(f.proxy->getItemZorder(id), 5000000);
    QCOMPARE(f.callsOf("SetItemWatermark"),
             (QStringList{QString("SetItemWatermark(%1,1)").arg(id), QString("SetItemWatermark(%1,2)").arg(id),
                          QString("SetItemWatermark(%1,1)").arg(id)}));
    QCOMPARE(f.callsOf("SetItemRelativeRect"),
             QStringList{QString("SetItemRelativeRect(%1,0.016447369,0.029239766,0.04605263,0.05116959)").arg(id)});
    const QStringList log = FacadeFixture::logSince(start);
    QVERIFY(log.contains("add watermark."));
    QVERIFY(log.contains(QString("add watermark success: id(%1) z(5000000).").arg(id)));
    // Not a registered item, not saved.
    QVERIFY(f.proxy->itemIds().empty());
    QCOMPARE(f.engine()->store().Count(), 0);
    // The engine pulls the picture from the facade's source.
    std::vector<uint8_t> frame;
    QVERIFY(f.engine()->pullCaptureFrame(id, &frame));
    QVERIFY(!frame.empty());
}

void FacadeEffectsTest::secondWatermarkAddsNothing()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int id = watermarkOf(f);
    f.calls().clear();
    QCOMPARE(f.proxy->addWatermark(6), id);
    QCOMPARE(f.calls().count("AddCustomCapture"), 0);
}

void FacadeEffectsTest::refusedWatermarkIsTriedAgain()
{
    FacadeFixture f;
    castcore::control().ints().push("AddCustomCapture", -1);
    QCOMPARE(f.init(), 0);
    QCOMPARE(watermarkOf(f), 0);
    f.calls().clear();
    for (int i = 0; i < 60; ++i)
        f.proxy->onTimer();
    QCOMPARE(f.calls().count("SetItemRelativeRect"), 0);

    const int id = f.proxy->addWatermark(6);
    QVERIFY(id > 0);
    QCOMPARE(f.proxy->getItemZorder(id), 5000000);
}

void FacadeEffectsTest::watermarkHopsOnEverySixtiethTickOnly()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int id = watermarkOf(f);
    f.calls().clear();
    const QStringList corners = {"0.016447369,0.029239766", "0.9375,0.029239766", "0.016447369,0.91959065", "0.9375,0.91959065"};
    for (int tick = 1; tick <= 180; ++tick) {
        f.proxy->onTimer();
        const int hops = f.calls().count("SetItemRelativeRect");
        QCOMPARE(hops, tick / 60);
    }
    for (const QString &call : f.callsOf("SetItemRelativeRect")) {
        QVERIFY2(call.startsWith(QString("SetItemRelativeRect(%1,").arg(id)), qPrintable(call));
        QVERIFY2(call.endsWith(",0,0)"), qPrintable(call));
        const QString spot = call.section(',', 1, 2);
        QVERIFY2(corners.contains(spot), qPrintable(call));
    }
    // The size set at the start stays.
    const castcore::SceneItem item = *f.engine()->item(id);
    QCOMPARE(item.relWidth, 0.046052631f);
    QCOMPARE(item.relHeight, 0.051169589f);
}

void FacadeEffectsTest::filterWaitsForALevelAndACamera()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    f.proxy->setWhitening(0, 0, 50, 0);
    const int picture = f.proxy->addImage(f.picture("p.png", 64, 48), 255, 3);
    f.proxy->attachFilterToCamera(picture);
    QCOMPARE(f.calls().count("SetItemVideoFilter"), 0);

    f.proxy->setWhitening(0, 0, 0, 0);
    const int camera = f.proxy->openCamera(f.cameraName(), 2);
    QCOMPARE(f.callsOf("SetItemVideoFilter"), QStringList{QString("SetItemVideoFilter(%1,set)").arg(camera)});
    QVERIFY(LogCapture::contains(QString("live proxy video beauty filter attach item: %1 .").arg(camera)));
    Frame frame;
    QVERIFY(!frame.deliver(f.engine(), camera));
    QCOMPARE(facetone::callLog().count("ImageFilterInit"), 0);
}

void FacadeEffectsTest::filterCarriesTheLevels()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int camera = f.proxy->openCamera(f.cameraName(), 2);
    f.proxy->setWhitening(camera, 90, 50, 70);
    Frame frame;
    QVERIFY(frame.deliver(f.engine(), camera));
    QCOMPARE(facetone::callLog().count("ImageFilterInit"), 1);
    std::vector<std::string> args = facetone::callLog().last("ImageFilterFilterPicture")->args;
    QStringList seen;
    for (const std::string &a : args)
        seen << QString::fromStdString(a);
    QCOMPARE(seen.mid(1, 11).join(','), QStringLiteral("0,640,480,2560,0,28,0,0,10,5,1"));

    f.proxy->setBlur(camera, 30, 0, 0);
    f.proxy->setColourTemperature(camera, 0, 0, 20);
    QVERIFY(frame.deliver(f.engine(), camera));
    args = facetone::callLog().last("ImageFilterFilterPicture")->args;
    QCOMPARE(QString::fromStdString(args[7]), QStringLiteral("3"));
    QCOMPARE(QString::fromStdString(args[8]), QStringLiteral("2"));
    QCOMPARE(QString::fromStdString(args[10]), QStringLiteral("5"));
    QCOMPARE(facetone::callLog().count("ImageFilterInit"), 1);
    QCOMPARE(frame.out.format, 4);
}

void FacadeEffectsTest::filterFollowsTheNewestCamera()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    f.proxy->setBlur(0, 40, 0, 0);
    const int first = f.proxy->openCamera(f.cameraName(), 2);
    Frame frame;
    QVERIFY(frame.deliver(f.engine(), first));
    QCOMPARE(facetone::liveHandles(), 1);

    const int second = f.proxy->openCamera(f.cameraName(), 2);
    QCOMPARE(f.callsOf("SetItemVideoFilter"),
             (QStringList{QString("SetItemVideoFilter(%1,set)").arg(first),
                          QString("SetItemVideoFilter(%1,null)").arg(first),
                          QString("SetItemVideoFilter(%1,set)").arg(second)}));
    QCOMPARE(facetone::liveHandles(), 0);
    QVERIFY(!frame.deliver(f.engine(), first));
    QVERIFY(frame.deliver(f.engine(), second));
    QCOMPARE(facetone::liveHandles(), 1);
    QCOMPARE(facetone::callLog().count("ImageFilterInit"), 2);
}

void FacadeEffectsTest::removingTheCameraDetachesTheFilter()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    f.proxy->setBlur(0, 40, 0, 0);
    const int camera = f.proxy->openCamera(f.cameraName(), 2);
    const int picture = f.proxy->addImage(f.picture("p.png", 64, 48), 255, 3);
    Frame frame;
    QVERIFY(frame.deliver(f.engine(), camera));
    f.calls().clear();
    f.proxy->removeItem(picture);
    QCOMPARE(f.calls().count("SetItemVideoFilter"), 0);
    f.proxy->removeItem(camera);
    QCOMPARE(f.callsOf("SetItemVideoFilter"), QStringList{QString("SetItemVideoFilter(%1,null)").arg(camera)});
    QCOMPARE(facetone::liveHandles(), 0);
    QVERIFY(LogCapture::contains(QString("live proxy video beauty filter unattach item: %1 .").arg(camera)));
}

void FacadeEffectsTest::restoredCameraGetsTheFilter()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    f.proxy->openCamera(f.cameraName(), 2);
    f.restart();
    QCOMPARE(f.init(), 0);
    int camera = 0;
    QVERIFY(f.proxy->findItem(&camera));
    QCOMPARE(f.callsOf("SetItemVideoFilter"), QStringList{QString("SetItemVideoFilter(%1,set)").arg(camera)});
    f.proxy->setWhitening(camera, 0, 10, 0);
    Frame frame;
    QVERIFY(frame.deliver(f.engine(), camera));
}

void FacadeEffectsTest::framesOnTheVideoThreadWhileLevelsChange()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    int camera = f.proxy->openCamera(f.cameraName(), 2);
    std::atomic<bool> done{false};
    std::atomic<int> mostHandles{0};
    castcore::CastCoreEngine *engine = f.engine();
    std::atomic<int> target{camera};
    std::thread frames([&] {
        Frame frame;
        for (int i = 0; i < 400; ++i) {
            frame.deliver(engine, target);
            mostHandles = std::max(mostHandles.load(), facetone::liveHandles());
        }
        done = true;
    });
    // The GUI thread changes levels and moves to a new camera until the
    // frames are through.
    for (int i = 0; !done; ++i) {
        f.proxy->setWhitening(camera, 0, i % 3 == 0 ? 0 : i % 100, 0);
        f.proxy->setBlur(camera, i % 50, 0, 0);
        if (i % 40 == 39) {
            const int next = f.proxy->openCamera(f.cameraName(), 2);
            target = next;
            f.proxy->removeItem(camera);
            camera = next;
        }
    }
    frames.join();
    QVERIFY(mostHandles <= 1);
    QVERIFY(facetone::liveHandles() <= 1);
}

QTEST_MAIN(FacadeEffectsTest)
#include "tst_facade_effects.moc"
