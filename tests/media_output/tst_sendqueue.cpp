// The send queue drops whole GOPs when it overflows, counting what the
// connection still holds; a connection's progress as the push watches it.

#include "IoDeadline.h"
#include "PacketQueue.h"

#include <QtTest>

#include <memory>

using namespace castcore;

namespace {

EncodedPacket packet(bool video, bool key, int64_t ptsUs)
{
    EncodedPacket p;
    p.packet.reset(av_packet_alloc());
    p.packet->flags = key ? AV_PKT_FLAG_KEY : 0;
    p.video = video;
    p.ptsUs = ptsUs;
    return p;
}

} // namespace

class TestSendQueue : public QObject
{
    Q_OBJECT
private slots:
    void overflowDropsUntilNextKeyframe();
    void unacknowledgedBytesCount_data();
    void unacknowledgedBytesCount();
    void overflowForgetsWhatConnectionHolds();
    void progressWatch_data();
    void progressWatch();
};

void TestSendQueue::overflowDropsUntilNextKeyframe()
{
    PacketQueue queue(1000000); // 1 s
    int dropped = 0;
    // Just under 1 s of pictures at 25 fps plus sound: still within the span.
    for (int i = 0; i < 25; ++i) {
        dropped += queue.push(packet(true, i == 0, i * 40000));
        dropped += queue.push(packet(false, false, i * 40000 + 1000));
    }
    QCOMPARE(dropped, 0);
    QVERIFY(!queue.waitingForKeyframe());

    // A picture past the span: the 25 queued ones and itself leave, sound too.
    QCOMPARE(queue.push(packet(true, false, 26 * 40000)), 26);
    QVERIFY(queue.empty());
    QVERIFY(queue.waitingForKeyframe());
    QCOMPARE(queue.push(packet(true, false, 27 * 40000)), 1);
    QCOMPARE(queue.push(packet(false, false, 27 * 40000 + 1000)), 0);
    QVERIFY(queue.empty());

    // Sending resumes at the keyframe, which comes out first.
    QCOMPARE(queue.push(packet(true, true, 28 * 40000)), 0);
    QCOMPARE(queue.push(packet(false, false, 28 * 40000 + 1000)), 0);
    QVERIFY(!queue.waitingForKeyframe());
    const EncodedPacket first = queue.pop();
    QVERIFY(first.keyframe());
    QCOMPARE(first.ptsUs, int64_t(28 * 40000));
    QVERIFY(!queue.pop().video);
    QVERIFY(queue.empty());
}

void TestSendQueue::unacknowledgedBytesCount_data()
{
    QTest::addColumn<qint64>("acknowledged");
    QTest::addColumn<int>("dropped");
    // Ten pictures 100 ms apart written out, 1000 bytes each; the next comes
    // at 1.25 s, the queue spans 1 s.
    QTest::newRow("none acknowledged") << qint64(0) << 1;
    QTest::newRow("one byte of the third missing") << qint64(2999) << 1;
    QTest::newRow("three acknowledged") << qint64(3000) << 0;
    QTest::newRow("all acknowledged") << qint64(10000) << 0;
}

void TestSendQueue::unacknowledgedBytesCount()
{
    QFETCH(qint64, acknowledged);
    QFETCH(int, dropped);
    PacketQueue queue(1000000);
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(queue.push(packet(true, i == 0, i * 100000)), 0);
        queue.written(queue.pop().ptsUs, (i + 1) * 1000);
    }
    QVERIFY(queue.empty());
    queue.acknowledged(acknowledged);
    QCOMPARE(queue.push(packet(true, false, 1250000)), dropped);
    QCOMPARE(queue.waitingForKeyframe(), dropped > 0);
    QCOMPARE(queue.empty(), dropped > 0);
}

void TestSendQueue::overflowForgetsWhatConnectionHolds()
{
    PacketQueue queue(1000000);
    QCOMPARE(queue.push(packet(true, true, 0)), 0);
    queue.written(queue.pop().ptsUs, 1000); // never acknowledged
    QCOMPARE(queue.push(packet(true, false, 500000)), 0);
    // Past the span from the written one: the queued picture and this one go.
    QCOMPARE(queue.push(packet(true, false, 1100000)), 2);
    QVERIFY(queue.waitingForKeyframe());
    // What the connection holds cannot be taken back: it no longer counts,
    // so the keyframe and what follows it are taken.
    QCOMPARE(queue.push(packet(true, true, 1200000)), 0);
    QCOMPARE(queue.push(packet(true, false, 1300000)), 0);
    QVERIFY(queue.pop().keyframe());
    QCOMPARE(queue.pop().ptsUs, int64_t(1300000));
}

void TestSendQueue::progressWatch_data()
{
    // Looks as (time in ms, bytes acknowledged, bytes waiting), then how
    // long the connection has not moved at the last time + 500 ms.
    QTest::addColumn<QVector<qint64>>("looks");
    QTest::addColumn<qint64>("stalledMs");
    QTest::newRow("acknowledging") << QVector<qint64>{0, 100, 50, 1000, 200, 50, 2000, 300, 50} << qint64(500);
    QTest::newRow("nothing acknowledged, bytes waiting")
        << QVector<qint64>{0, 100, 50, 1000, 100, 50, 2000, 100, 50} << qint64(2500);
    QTest::newRow("nothing waiting") << QVector<qint64>{0, 100, 0, 1000, 100, 0, 2000, 100, 0} << qint64(500);
    QTest::newRow("stopped after moving")
        << QVector<qint64>{0, 100, 50, 1000, 200, 50, 2000, 200, 80, 3000, 200, 80} << qint64(2500);
    // The first look only learns the count.
    QTest::newRow("first look") << QVector<qint64>{1000, 500, 50, 2000, 500, 50} << qint64(1500);
}

void TestSendQueue::progressWatch()
{
    QFETCH(QVector<qint64>, looks);
    QFETCH(qint64, stalledMs);
    ProgressWatch watch;
    watch.restart(0);
    for (int i = 0; i + 2 < looks.size(); i += 3)
        watch.observe(looks[i] * 1000, looks[i + 1], looks[i + 2]);
    QCOMPARE(watch.stalledUs((looks[looks.size() - 3] + 500) * 1000), stalledMs * 1000);
}

std::unique_ptr<QObject> makeSendQueueTest()
{
    return std::make_unique<TestSendQueue>();
}

#include "tst_sendqueue.moc"
