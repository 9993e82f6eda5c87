// The frame clock's pacing, on times given to it: which frame comes after a
// late one, how many are counted lagged, and that a late wake-up never makes
// the missed frames in a burst.

#include "compose/FramePacer.h"

#include <QTest>

#include <chrono>
#include <memory>

using castcore::FramePacer;
using namespace std::chrono_literals;

namespace {

using Clock = FramePacer::Clock;

// Any fixed point: the pacer reads no clock of its own.
const Clock::time_point kStart = Clock::time_point(1000s);

} // namespace

class FramePacerTest : public QObject
{
    Q_OBJECT

private slots:
    // Frames 0 to 3 made on time at 25 fps (40 ms apart, frame 4 due at
    // 160 ms); frame 3 then ends at `doneAtUs` after the start.
    void lateFrameIsSkippedAndCounted_data()
    {
        QTest::addColumn<qint64>("doneAtUs");
        QTest::addColumn<qint64>("nextIndex");
        QTest::addColumn<qint64>("nextDueUs");
        QTest::addColumn<qint64>("lagged");
        QTest::newRow("on time") << qint64(150000) << qint64(4) << qint64(160000) << qint64(0);
        QTest::newRow("right at the due time") << qint64(160000) << qint64(4) << qint64(160000) << qint64(0);
        // Still inside its interval: made at once, nothing lost.
        QTest::newRow("late by half an interval") << qint64(180000) << qint64(4) << qint64(160000) << qint64(0);
        QTest::newRow("late by just under one interval") << qint64(199999) << qint64(4) << qint64(160000) << qint64(0);
        // Its whole interval gone: skipped, the frame now due made instead.
        QTest::newRow("late by one interval") << qint64(200000) << qint64(5) << qint64(200000) << qint64(1);
        QTest::newRow("late by one and a half") << qint64(220000) << qint64(5) << qint64(200000) << qint64(1);
        QTest::newRow("late by three intervals") << qint64(280000) << qint64(7) << qint64(280000) << qint64(3);
        QTest::newRow("late by a whole second") << qint64(1160000) << qint64(29) << qint64(1160000) << qint64(25);
    }
    void lateFrameIsSkippedAndCounted()
    {
        QFETCH(qint64, doneAtUs);
        QFETCH(qint64, nextIndex);
        QFETCH(qint64, nextDueUs);
        QFETCH(qint64, lagged);
        FramePacer pacer;
        pacer.start(kStart, 25);
        QCOMPARE(pacer.due(), kStart);
        for (qint64 i = 1; i <= 3; ++i) {
            const auto due = kStart + std::chrono::milliseconds(i * 40);
            QCOMPARE(pacer.next(due - 5ms), due);
        }
        QCOMPARE(pacer.index(), qint64(3));

        const Clock::time_point due = pacer.next(kStart + std::chrono::microseconds(doneAtUs));
        QCOMPARE(pacer.index(), nextIndex);
        QCOMPARE(due, kStart + std::chrono::microseconds(nextDueUs));
        QCOMPARE(pacer.due(), due);
        QCOMPARE(pacer.lagged(), lagged);

        // Back on time the frames follow one by one, one interval apart: the
        // ones missed are not made up for.
        Clock::time_point after = due;
        for (qint64 i = 1; i <= 3; ++i) {
            after = pacer.next(after + 1ms);
            QCOMPARE(pacer.index(), nextIndex + i);
            QCOMPARE(after, kStart + std::chrono::microseconds(nextDueUs + i * 40000));
        }
        QCOMPARE(pacer.lagged(), lagged);
    }

    // The count adds up over several stalls; the due times stay on the grid
    // laid from the start, however late the wake-ups were.
    void laggedFramesAddUp_data()
    {
        QTest::addColumn<int>("fps");
        QTest::addColumn<qint64>("intervalNs");
        QTest::newRow("25 fps") << 25 << qint64(40000000);
        QTest::newRow("30 fps") << 30 << qint64(33333333);
        QTest::newRow("60 fps") << 60 << qint64(16666666);
    }
    void laggedFramesAddUp()
    {
        QFETCH(int, fps);
        QFETCH(qint64, intervalNs);
        const auto at = [](qint64 ns) { return kStart + std::chrono::nanoseconds(ns); };
        FramePacer pacer;
        pacer.start(kStart, fps);
        QCOMPARE(qint64(std::chrono::nanoseconds(pacer.interval()).count()), intervalNs);

        // Frame 0 ends half an interval after frame 1 was due.
        QCOMPARE(pacer.next(at(intervalNs * 3 / 2)), at(intervalNs));
        QCOMPARE(pacer.lagged(), qint64(0));
        // Frame 1 ends three intervals after frame 2 was due.
        QCOMPARE(pacer.next(at(intervalNs * 5)), at(intervalNs * 5));
        QCOMPARE(pacer.index(), qint64(5));
        QCOMPARE(pacer.lagged(), qint64(3));
        // Frame 5 ends on time, frame 6 one interval late.
        QCOMPARE(pacer.next(at(intervalNs * 5 + 1000)), at(intervalNs * 6));
        QCOMPARE(pacer.next(at(intervalNs * 8)), at(intervalNs * 8));
        QCOMPARE(pacer.index(), qint64(8));
        QCOMPARE(pacer.lagged(), qint64(4));
    }

    // A new start lays a new grid from its own time, at its own rate.
    void restartBeginsAtFrameZero()
    {
        FramePacer pacer;
        pacer.start(kStart, 25);
        pacer.next(kStart + 500ms);
        const Clock::time_point later = kStart + 10s;
        pacer.start(later, 50);
        QCOMPARE(pacer.index(), qint64(0));
        QCOMPARE(pacer.due(), later);
        QCOMPARE(pacer.next(later + 1ms), later + 20ms);
        QCOMPARE(pacer.index(), qint64(1));
    }
};

std::unique_ptr<QObject> makeFramePacerTest()
{
    return std::make_unique<FramePacerTest>();
}

#include "tst_framepacer.moc"
