// The encoding's timestamps: pictures on the clock's slots, sound where its
// stamps fall, each session's sound brought to the end of its picture in
// whole frames, and the next session beginning both streams together.

#include "SessionTimeline.h"

#include <QtTest>

#include <memory>

using castcore::SessionTimeline;

using Stamps = QList<qint64>;

class TestSessionTimeline : public QObject
{
    Q_OBJECT
private slots:
    void picturesTakeTheirClockSlots_data();
    void picturesTakeTheirClockSlots();
    void soundGoesWhereItsStampsFall_data();
    void soundGoesWhereItsStampsFall();
    void sessionEndsTogetherAndTheNextBeginsTogether_data();
    void sessionEndsTogetherAndTheNextBeginsTogether();
};

namespace {
constexpr qint64 kOrigin = 5000000; // the session's first canvas, on the engine clock
}

void TestSessionTimeline::picturesTakeTheirClockSlots_data()
{
    QTest::addColumn<int>("fps");
    QTest::addColumn<Stamps>("stamps"); // canvas stamps after the origin, us
    QTest::addColumn<Stamps>("pts");    // -1: left out
    QTest::newRow("on time") << 25 << Stamps{0, 40000, 80000, 120000} << Stamps{0, 1, 2, 3};
    // Counting canvases would give 0, 1, 2: a stream slower than the clock.
    QTest::newRow("missed canvases leave gaps") << 25 << Stamps{0, 120000, 160000, 400000}
                                                << Stamps{0, 3, 4, 10};
    QTest::newRow("two in one slot") << 25 << Stamps{0, 10000, 40000, 50000, 80000} << Stamps{0, -1, 1, -1, 2};
    QTest::newRow("jitter rounds to the slot") << 25 << Stamps{0, 43000, 78000, 121000} << Stamps{0, 1, 2, 3};
    QTest::newRow("before the origin") << 25 << Stamps{-40000, 0, 40000} << Stamps{-1, 0, 1};
    QTest::newRow("30 fps") << 30 << Stamps{0, 33333, 66667, 100000, 166667} << Stamps{0, 1, 2, 3, 5};
}

void TestSessionTimeline::picturesTakeTheirClockSlots()
{
    QFETCH(int, fps);
    QFETCH(Stamps, stamps);
    QFETCH(Stamps, pts);
    SessionTimeline timeline(fps);
    timeline.begin(kOrigin);
    Stamps got;
    for (qint64 stamp : stamps)
        got << timeline.videoPts(kOrigin + stamp);
    QCOMPARE(got, pts);
}

void TestSessionTimeline::soundGoesWhereItsStampsFall_data()
{
    // Buffers as (stamp after the origin in us, sample frames); each placed
    // buffer is laid down whole. Placements as (silence, skip, take).
    QTest::addColumn<Stamps>("buffers");
    QTest::addColumn<Stamps>("placements");
    QTest::newRow("the first buffer where its stamp says") << Stamps{10000, 480} << Stamps{480, 0, 480};
    QTest::newRow("a late server's sound from before the session")
        << Stamps{-150000, 480, -5000, 480, 5000, 480} << Stamps{0, 0, 0, 0, 240, 240, 0, 0, 480};
    QTest::newRow("within 20 ms it follows on") << Stamps{0, 480, 15000, 480, 11000, 480}
                                                << Stamps{0, 0, 480, 0, 0, 480, 0, 0, 480};
    QTest::newRow("a pause is filled with silence") << Stamps{0, 480, 100000, 480} << Stamps{0, 0, 480, 4320, 0, 480};
    QTest::newRow("time covered twice is trimmed") << Stamps{0, 4800, 50000, 4800, 60000, 480}
                                                  << Stamps{0, 0, 4800, 0, 2400, 2400, 0, 0, 0};
}

void TestSessionTimeline::soundGoesWhereItsStampsFall()
{
    QFETCH(Stamps, buffers);
    QFETCH(Stamps, placements);
    SessionTimeline timeline(25);
    timeline.begin(kOrigin);
    Stamps got;
    for (int i = 0; i + 1 < buffers.size(); i += 2) {
        const SessionTimeline::SoundPlacement p = timeline.placeSound(kOrigin + buffers[i], int(buffers[i + 1]));
        got << p.silence << p.skip << p.take;
        timeline.laid(p.silence + p.take);
    }
    QCOMPARE(got, placements);
}

void TestSessionTimeline::sessionEndsTogetherAndTheNextBeginsTogether_data()
{
    // A session of `pictures` canvases on every slot, `laid` sample frames of
    // sound of which `taken` went to the encoder; its end in 1024-frame
    // chunks; where the next session's picture and sound begin.
    QTest::addColumn<int>("fps");
    QTest::addColumn<int>("pictures");
    QTest::addColumn<qint64>("laid");
    QTest::addColumn<qint64>("taken");
    QTest::addColumn<qint64>("take");
    QTest::addColumn<qint64>("silence");
    QTest::addColumn<qint64>("discard");
    QTest::addColumn<qint64>("nextPicture");
    QTest::addColumn<qint64>("nextSound");
    // 50 pictures end at 2 s = sample 96000.
    QTest::newRow("sound behind the picture") << 25 << 50 << qint64(86400) << qint64(81920) << qint64(4480)
                                              << qint64(9856) << qint64(0) << qint64(51) << qint64(97920);
    QTest::newRow("sound ahead of the picture") << 25 << 50 << qint64(100000) << qint64(92160) << qint64(4096)
                                                << qint64(0) << qint64(3744) << qint64(51) << qint64(97920);
    QTest::newRow("sound ends with the picture") << 25 << 32 << qint64(61440) << qint64(61440) << qint64(0)
                                                 << qint64(0) << qint64(0) << qint64(32) << qint64(61440);
    QTest::newRow("no sound came") << 25 << 25 << qint64(0) << qint64(0) << qint64(0) << qint64(48128) << qint64(0)
                                   << qint64(26) << qint64(49920);
    QTest::newRow("30 fps") << 30 << 30 << qint64(48000) << qint64(47104) << qint64(896) << qint64(128) << qint64(0)
                            << qint64(31) << qint64(49600);
}

void TestSessionTimeline::sessionEndsTogetherAndTheNextBeginsTogether()
{
    QFETCH(int, fps);
    QFETCH(int, pictures);
    QFETCH(qint64, laid);
    QFETCH(qint64, taken);
    QFETCH(qint64, take);
    QFETCH(qint64, silence);
    QFETCH(qint64, discard);
    QFETCH(qint64, nextPicture);
    QFETCH(qint64, nextSound);
    SessionTimeline timeline(fps);
    timeline.begin(kOrigin);
    for (int i = 0; i < pictures; ++i)
        QCOMPARE(timeline.videoPts(kOrigin + qint64(i) * 1000000 / fps), qint64(i));
    timeline.laid(laid);
    QCOMPARE(timeline.takeSound(taken), qint64(0));

    const SessionTimeline::SoundEnding ending = timeline.closeSound(laid - taken, 1024);
    QCOMPARE(ending.take, take);
    QCOMPARE(ending.silence, silence);
    QCOMPARE(ending.discard, discard);
    QCOMPARE(timeline.takeSound(ending.take + ending.silence), taken);
    timeline.end();
    QVERIFY(!timeline.running());

    // Whenever it comes, the next session continues from the later end, both
    // streams at one instant.
    const qint64 later = kOrigin + 600000000;
    timeline.begin(later);
    QCOMPARE(timeline.videoPts(later), nextPicture);
    QCOMPARE(timeline.takeSound(1024), nextSound);
    QCOMPARE(nextSound * fps, nextPicture * 48000);
}

std::unique_ptr<QObject> makeSessionTimelineTest()
{
    return std::make_unique<TestSessionTimeline>();
}

#include "tst_timeline.moc"
