#include "CSttTaskQueue.h"
#include "CSttThreadPool.h"
#include "SttTimerTask.h"
#include "SttUtils.h"

#include <QtTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <type_traits>

static_assert(SttTimerTask::Clock::is_steady, "timers must run on a monotonic clock");

namespace {

// A clock the test moves by hand: entries see exactly the time the test set,
// so counts do not depend on scheduling.
struct ManualClock
{
    SttTimerTask::Clock::time_point base = SttTimerTask::Clock::now();
    std::shared_ptr<std::atomic<long long>> offsetMs = std::make_shared<std::atomic<long long>>(0);

    SttTimerTask::ClockSource source() const
    {
        auto b = base;
        auto o = offsetMs;
        return [b, o] { return b + std::chrono::milliseconds(o->load()); };
    }
    void advance(long long ms) { *offsetMs += ms; }
};

// A timer on a manual clock, with a probe entry that tells when a pass has
// seen the latest time: the probe (interval 0, endless) fires once on the
// first pass after each advance, and entries added before it were judged in
// that same pass.
class Harness
{
public:
    Harness(CSttThreadPool *pool = nullptr)
        : timer(pool, clock.source())
    {
    }

    void addProbe()
    {
        if (probeId > 0)
            timer.RemoveTask(probeId);
        probeId = timer.AddTask([] {}, 0, SttTimerTask::Endless, false, &probeQueue);
    }

    // Moves the clock and returns once a whole pass has judged every entry
    // added before the probe at the new time.
    bool advance(long long ms)
    {
        clock.advance(ms);
        QElapsedTimer waited;
        waited.start();
        while (probeQueue.RunAll() == 0) {
            if (waited.elapsed() > 10000)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        // The probe is posted before its pass has restarted the fired
        // entries' periods from the clock; a pass holds the timer's lock
        // throughout, so removing an id that never exists waits for it.
        // Without this the next advance can land before those periods
        // restart and be swallowed by them.
        timer.RemoveTask(0);
        return true;
    }

    ManualClock clock;
    CSttTaskQueue probeQueue;
    SttTimerTask timer;
    int probeId = 0;
};

} // namespace

class TestTimerTask : public QObject
{
    Q_OBJECT

private slots:
    void countedEntryFiresThatManyTimesThenGoes();
    void intervalMustBeStrictlyExceeded();
    void periodRunsFromTheLastFiring();
    void periodsDoNotDriftByThePostingTime();
    void fireNow_data();
    void fireNow();
    void endlessEntryFiresUntilRemoved();
    void removeUnknownIdChangesNothing();
    void idsStartAtOne();
    void entryWithoutQueueGoesToThePool();
    void entryWithoutQueueOrPoolIsDroppedSafely();
    void longNamesAreAccepted();
    void runsOnTheRealClock();
    void timeHelpersAreMonotonic();
};

void TestTimerTask::countedEntryFiresThatManyTimesThenGoes()
{
    Harness h;
    CSttTaskQueue target;
    int ran = 0;
    const int id = h.timer.AddTask([&ran] { ++ran; }, 100, 3, false, &target);
    h.addProbe();

    for (int i = 1; i <= 3; ++i) {
        QVERIFY(h.advance(101));
        QCOMPARE(target.PendingCount(), 1);
        QCOMPARE(target.RunAll(), 1);
        QCOMPARE(ran, i);
    }
    QVERIFY(h.advance(1000));
    QCOMPARE(target.RunAll(), 0);
    QVERIFY(!h.timer.RemoveTask(id)); // already gone
}

void TestTimerTask::intervalMustBeStrictlyExceeded()
{
    Harness h;
    CSttTaskQueue target;
    h.timer.AddTask([] {}, 100, SttTimerTask::Endless, false, &target);
    h.addProbe();
    QVERIFY(h.advance(100));
    QCOMPARE(target.PendingCount(), 0);
    QVERIFY(h.advance(1));
    QCOMPARE(target.PendingCount(), 1);
}

void TestTimerTask::periodRunsFromTheLastFiring()
{
    Harness h;
    CSttTaskQueue target;
    h.timer.AddTask([] {}, 100, SttTimerTask::Endless, false, &target);
    h.addProbe();
    // A late pass fires once, not once per missed period, and the next
    // period counts from that firing.
    QVERIFY(h.advance(350));
    QCOMPARE(target.RunAll(), 1);
    QVERIFY(h.advance(60));
    QCOMPARE(target.RunAll(), 0);
    QVERIFY(h.advance(41));
    QCOMPARE(target.RunAll(), 1);
}

void TestTimerTask::periodsDoNotDriftByThePostingTime()
{
    // Every read of this clock takes 10 ms, until it stops at 1000 ms: a
    // period restarted from a second read after posting would start 10 ms
    // late each time, and fewer periods would fit.
    auto reads = std::make_shared<std::atomic<long long>>(0);
    const SttTimerTask::Clock::time_point base = SttTimerTask::Clock::now();
    SttTimerTask timer(nullptr, [base, reads] {
        return base + std::chrono::milliseconds(std::min<long long>(10 * reads->fetch_add(1), 1000));
    });
    CSttTaskQueue target;
    timer.AddTask([] {}, 95, SttTimerTask::Endless, false, &target); // starts at 0
    QElapsedTimer waited;
    waited.start();
    while (reads->load() < 102) {
        QVERIFY2(waited.elapsed() < 30000, "the timer stopped reading its clock");
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    timer.RemoveTask(0); // the pass under way has finished
    // At 100, 200, ... 1000.
    QCOMPARE(target.RunAll(), 10);
}

void TestTimerTask::fireNow_data()
{
    QTest::addColumn<unsigned>("count");
    QTest::addColumn<bool>("fireNow");
    QTest::addColumn<int>("atOnce");
    QTest::addColumn<int>("later");

    QTest::newRow("count 0: removed without firing") << 0u << false << 0 << 0;
    QTest::newRow("count 0, fire now: fires once, then removed") << 0u << true << 1 << 0;
    QTest::newRow("count 1, fire now: the firing counts") << 1u << true << 1 << 0;
    QTest::newRow("count 3, fire now: two more follow") << 3u << true << 1 << 2;
    QTest::newRow("count 2: both later") << 2u << false << 0 << 2;
}

void TestTimerTask::fireNow()
{
    QFETCH(unsigned, count);
    QFETCH(bool, fireNow);
    QFETCH(int, atOnce);
    QFETCH(int, later);

    Harness h;
    CSttTaskQueue target;
    const int id = h.timer.AddTask([] {}, 50, count, fireNow, &target);
    h.addProbe();
    QCOMPARE(target.RunAll(), atOnce); // before any pass could have run it

    int fired = 0;
    for (int i = 0; i < 4; ++i) {
        QVERIFY(h.advance(51));
        fired += target.RunAll();
    }
    QCOMPARE(fired, later);
    QVERIFY(!h.timer.RemoveTask(id));
}

void TestTimerTask::endlessEntryFiresUntilRemoved()
{
    Harness h;
    CSttTaskQueue target;
    const int id = h.timer.AddTask([] {}, 10, SttTimerTask::Endless, false, &target);
    h.addProbe();
    for (int i = 0; i < 25; ++i)
        QVERIFY(h.advance(11));
    QCOMPARE(target.RunAll(), 25);

    QVERIFY(h.timer.RemoveTask(id));
    QVERIFY(h.advance(11));
    QCOMPARE(target.RunAll(), 0);
    QVERIFY(!h.timer.RemoveTask(id));
}

void TestTimerTask::removeUnknownIdChangesNothing()
{
    Harness h;
    CSttTaskQueue target;
    const int id = h.timer.AddTask([] {}, 10, SttTimerTask::Endless, false, &target);
    h.addProbe();
    QVERIFY(!h.timer.RemoveTask(0));
    QVERIFY(!h.timer.RemoveTask(-1));
    QVERIFY(!h.timer.RemoveTask(id + 100));
    QVERIFY(h.advance(11));
    QCOMPARE(target.RunAll(), 1);
    QVERIFY(h.timer.RemoveTask(id));
}

void TestTimerTask::idsStartAtOne()
{
    SttTimerTask timer(nullptr);
    CSttTaskQueue target;
    QCOMPARE(timer.AddTask([] {}, 1000, 1, false, &target), 1);
    QCOMPARE(timer.AddTask([] {}, 1000, 1, false, &target), 2);
    QVERIFY(timer.RemoveTask(1));
    QCOMPARE(timer.AddTask([] {}, 1000, 1, false, &target), 3); // ids are not reused
}

void TestTimerTask::entryWithoutQueueGoesToThePool()
{
    CSttThreadPool pool;
    Harness h(&pool);
    std::atomic<int> ran{0};
    std::atomic<bool> onWorker{false};
    const auto testThread = std::this_thread::get_id();
    h.timer.AddTask([&] {
        onWorker = std::this_thread::get_id() != testThread;
        ++ran;
    }, 20, 2, true, nullptr, "name", "detail", -5);
    h.addProbe();
    QTRY_COMPARE(ran.load(), 1);
    QVERIFY(h.advance(21));
    QTRY_COMPARE(ran.load(), 2);
    QVERIFY(onWorker);
}

void TestTimerTask::entryWithoutQueueOrPoolIsDroppedSafely()
{
    Harness h(nullptr);
    const int id = h.timer.AddTask([] { QFAIL("must not run"); }, 10, 3, true);
    h.addProbe();
    for (int i = 0; i < 3; ++i)
        QVERIFY(h.advance(11));
    QVERIFY(!h.timer.RemoveTask(id)); // counted down and removed all the same
}

void TestTimerTask::longNamesAreAccepted()
{
    Harness h;
    CSttTaskQueue target;
    // Cut to the field, also where the cut falls inside a character.
    const QByteArray name = "a" + QString(700, QChar(0x6469)).toUtf8();
    const QByteArray detail(5000, 'd');
    h.timer.AddTask([] {}, 10, 1, true, &target, name.constData(), detail.constData(), 9);
    QCOMPARE(target.RunAll(), 1);
}

void TestTimerTask::runsOnTheRealClock()
{
    CSttThreadPool pool;
    SttTimerTask timer(&pool);
    CSttTaskQueue target;
    timer.AddTask([] {}, 30, 3, false, &target);
    int fired = 0;
    QTRY_VERIFY_WITH_TIMEOUT((fired += target.RunAll()) >= 3, 10000);
    QCOMPARE(fired, 3);
}

void TestTimerTask::timeHelpersAreMonotonic()
{
    const std::uint64_t us0 = SttGetMicroseconds();
    const std::uint32_t ms0 = SttTimeGetTime();
    SttSleep(20);
    const std::uint64_t us1 = SttGetMicroseconds();
    const std::uint32_t ms1 = SttTimeGetTime();
    QVERIFY2(us1 - us0 >= 20000, qPrintable(QString::number(us1 - us0)));
    QVERIFY(us1 - us0 < 60ull * 1000 * 1000);
    QVERIFY(std::uint32_t(ms1 - ms0) >= 20);
    QVERIFY(std::uint32_t(ms1 - ms0) < 60u * 1000);

    // Agrees with the monotonic clock.
    const auto steady = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now().time_since_epoch()).count();
    const std::uint64_t us2 = SttGetMicroseconds();
    QVERIFY(us2 >= std::uint64_t(steady));
    QVERIFY(us2 - std::uint64_t(steady) < 60ull * 1000 * 1000);
}

QTEST_GUILESS_MAIN(TestTimerTask)
#include "tst_timertask.moc"
