// The send queue drops whole GOPs when it overflows.

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

std::unique_ptr<QObject> makeSendQueueTest()
{
    return std::make_unique<TestSendQueue>();
}

#include "tst_sendqueue.moc"
