#include "CSttTaskQueue.h"
#include "LogCapture.h"
#include "TempEnvironment.h"
#include "UITaskQueueWnd.h"

#include <QtTest>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

bool onGuiThread()
{
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace

class TestUiPump : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void tasksFromWorkersRunOnGuiThreadInOrderInOneDrain();
    void postedTaskRunsWithinAPeriod();
    void ticksFollowThePeriod_data();
    void ticksFollowThePeriod();
    void taskPostedDuringDrainRunsInSameDrain();
    void postBeforeCreateOrAfterDestroyRunsNothing();
    void destroyDropsWaitingTasks();
    void destroyFromInsideATaskEndsTheDrain();
    void deletingThePumpFromInsideATask();
    void destroyWhileWorkersPost();
    void twoPumpsSideBySide();
    void throwingTaskIsCaughtAndLogged();

private:
    std::unique_ptr<testsupport::TempEnvironment> m_env;
};

void TestUiPump::init()
{
    m_env.reset(new testsupport::TempEnvironment);
    QVERIFY(m_env->isValid());
}

void TestUiPump::cleanup()
{
    m_env.reset();
}

void TestUiPump::tasksFromWorkersRunOnGuiThreadInOrderInOneDrain()
{
    UITaskQueueWnd pump;
    QVERIFY(pump.Create(20));

    struct Record
    {
        int producer;
        int seq;
        bool gui;
        bool loopRanBefore;
    };
    std::vector<Record> records; // GUI thread only
    bool loopRan = false;
    bool markerSet = false;
    // The marker's timer may still be pending when the test returns; it
    // goes with this object instead of writing into a finished frame.
    QObject markerScope;

    const int producers = 4;
    const int perProducer = 50;
    std::atomic<int> accepted{0};
    std::vector<std::thread> threads;
    // This thread blocks in join() while the workers post, so no tick can
    // drain in between: everything waits for one drain.
    for (int p = 0; p < producers; ++p) {
        threads.emplace_back([&, p] {
            for (int k = 0; k < perProducer; ++k) {
                const int n = pump.PostTask([&, p, k] {
                    if (!markerSet) {
                        markerSet = true;
                        QTimer::singleShot(0, &markerScope, [&] { loopRan = true; });
                    }
                    records.push_back({p, k, onGuiThread(), loopRan});
                }, 0);
                if (n > 0)
                    ++accepted;
            }
        });
    }
    for (auto &t : threads)
        t.join();
    QCOMPARE(accepted.load(), producers * perProducer);
    QCOMPARE(pump.TaskQueue()->PendingCount(), producers * perProducer);
    QVERIFY(records.empty());

    QTRY_COMPARE(int(records.size()), producers * perProducer);
    std::vector<int> next(producers, 0);
    for (const Record &r : records) {
        QVERIFY(r.gui);
        QVERIFY2(!r.loopRanBefore, "the waiting tasks were split over several drains");
        QCOMPARE(r.seq, next[r.producer]);
        ++next[r.producer];
    }
}

void TestUiPump::postedTaskRunsWithinAPeriod()
{
    const int period = 50;
    UITaskQueueWnd pump;
    QVERIFY(pump.Create(period));

    // Posted from a worker while the event loop runs; the bound is generous
    // so that a loaded machine cannot fail it, yet far below a lost tick.
    QElapsedTimer clock;
    std::atomic<qint64> postedAt{-1};
    qint64 ranAt = -1;
    bool gui = false;
    clock.start();
    std::thread worker([&] {
        postedAt = clock.elapsed();
        pump.PostTask([&] {
            ranAt = clock.elapsed();
            gui = onGuiThread();
        });
    });
    QTRY_VERIFY(ranAt >= 0);
    worker.join();
    QVERIFY(gui);
    QVERIFY2(ranAt - postedAt < period + 2000, qPrintable(QString::number(ranAt - postedAt)));
}

void TestUiPump::ticksFollowThePeriod_data()
{
    QTest::addColumn<bool>("withModuleInstance");
    QTest::newRow("period only") << false;
    QTest::newRow("module instance and period") << true;
}

void TestUiPump::ticksFollowThePeriod()
{
    QFETCH(bool, withModuleInstance);
    const int periodMs = 40;
    const int ticks = 12;
    UITaskQueueWnd pump;
    int moduleInstance = 0; // any handle; the pump only passes it on
    QVERIFY(withModuleInstance ? pump.Create(&moduleInstance, periodMs) : pump.Create(periodMs));

    // One task per tick: each posts the next only after its drain has ended,
    // so the next one waits for the following tick.
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> ranAt;
    std::function<void()> task = [&] {
        ranAt.push_back(clock.elapsed());
        if (int(ranAt.size()) < ticks)
            QTimer::singleShot(0, [&] { pump.PostTask(task); });
    };
    pump.PostTask(task);
    QTRY_VERIFY_WITH_TIMEOUT(int(ranAt.size()) == ticks, 30000);

    // Eleven periods of 40 ms are 440 ms. The bounds leave room for a loaded
    // machine, yet a pump ticking ten times too fast (44 ms) or too slow
    // (4400 ms) falls outside them.
    const qint64 span = ranAt.back() - ranAt.front();
    QVERIFY2(span >= 220 && span <= 1760, qPrintable(QString::number(span)));
}

void TestUiPump::taskPostedDuringDrainRunsInSameDrain()
{
    UITaskQueueWnd pump;
    QVERIFY(pump.Create(20));
    bool loopRan = false;
    QObject markerScope; // as above
    QStringList ran;
    pump.PostTask([&] {
        ran << "first";
        QTimer::singleShot(0, &markerScope, [&] { loopRan = true; });
        pump.PostTask([&] { ran << (loopRan ? "second, later drain" : "second"); });
    });
    QTRY_COMPARE(ran.size(), 2);
    QCOMPARE(ran, QStringList({"first", "second"}));
}

void TestUiPump::postBeforeCreateOrAfterDestroyRunsNothing()
{
    int ran = 0;
    UITaskQueueWnd pump;
    QCOMPARE(pump.PostTask([&] { ++ran; }), 0);
    QVERIFY(!pump.TaskQueue());

    QVERIFY(pump.Create(10));
    QCOMPARE(pump.PostTask([&] { ++ran; }), 1);
    QTRY_COMPARE(ran, 1);

    pump.Destroy();
    QVERIFY(!pump.TaskQueue());
    QCOMPARE(pump.PostTask([&] { ++ran; }), 0);
    std::thread worker([&] { pump.PostTask([&] { ++ran; }); });
    worker.join();
    QTest::qWait(100); // several former periods: nothing may run
    QCOMPARE(ran, 1);
    pump.Destroy(); // twice is harmless

    // The pump can be started again.
    QVERIFY(pump.Create(10));
    QCOMPARE(pump.PostTask([&] { ++ran; }), 1);
    QTRY_COMPARE(ran, 2);
}

void TestUiPump::destroyDropsWaitingTasks()
{
    int ran = 0;
    auto token = std::make_shared<int>(1);
    std::weak_ptr<int> watch = token;
    UITaskQueueWnd pump;
    QVERIFY(pump.Create(10));
    QCOMPARE(pump.PostTask([&ran, token] { ran += *token; }), 1);
    QCOMPARE(pump.PostTask([&ran] { ++ran; }), 2);
    token.reset();
    pump.Destroy();
    QVERIFY(watch.expired());
    QTest::qWait(50);
    QCOMPARE(ran, 0);
}

void TestUiPump::destroyFromInsideATaskEndsTheDrain()
{
    UITaskQueueWnd pump;
    QVERIFY(pump.Create(10));
    QStringList ran;
    pump.PostTask([&] { ran << "a"; });
    pump.PostTask([&] {
        ran << "destroy";
        pump.Destroy();
    });
    pump.PostTask([&] { ran << "c"; });
    QTRY_COMPARE(ran.size(), 2);
    QTest::qWait(50);
    QCOMPARE(ran, QStringList({"a", "destroy"}));
    QCOMPARE(pump.PostTask([&] { ran << "late"; }), 0);
}

void TestUiPump::deletingThePumpFromInsideATask()
{
    auto *pump = new UITaskQueueWnd;
    QVERIFY(pump->Create(10));
    QStringList ran;
    pump->PostTask([&] {
        ran << "delete";
        delete pump;
        pump = nullptr;
    });
    pump->PostTask([&] { ran << "after"; });
    QTRY_VERIFY(!pump);
    QTest::qWait(50);
    QCOMPARE(ran, QStringList({"delete"}));
}

void TestUiPump::destroyWhileWorkersPost()
{
    UITaskQueueWnd pump;
    QVERIFY(pump.Create(1));
    std::atomic<bool> stop{false};
    std::atomic<bool> destroyed{false};
    std::atomic<int> acceptedAfterDestroy{0};
    int ran = 0;
    bool ranAfterDestroy = false;

    std::vector<std::thread> threads;
    for (int p = 0; p < 4; ++p) {
        threads.emplace_back([&] {
            while (!stop) {
                const bool wasDestroyed = destroyed;
                if (pump.PostTask([&] {
                        ++ran;
                        if (destroyed)
                            ranAfterDestroy = true;
                    }) > 0 && wasDestroyed)
                    ++acceptedAfterDestroy;
                // Paced: a drain runs until the queue is empty, so posters
                // faster than the GUI thread would hold it in one drain.
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
    }
    QTRY_VERIFY(ran > 100);
    pump.Destroy();
    destroyed = true;
    QTest::qWait(30);
    stop = true;
    for (auto &t : threads)
        t.join();
    QCoreApplication::processEvents();
    QVERIFY(!ranAfterDestroy);
    QCOMPARE(acceptedAfterDestroy.load(), 0);
}

void TestUiPump::twoPumpsSideBySide()
{
    UITaskQueueWnd first;
    UITaskQueueWnd second;
    QVERIFY(first.Create(10));
    QVERIFY(second.Create(10));
    QStringList ran;
    first.PostTask([&] { ran << "first"; });
    second.PostTask([&] { ran << "second"; });
    QTRY_COMPARE(ran.size(), 2);
    QVERIFY(ran.contains("first") && ran.contains("second"));

    // One pump stopping leaves the other running.
    first.Destroy();
    QCOMPARE(second.PostTask([&] { ran << "still"; }), 1);
    QTRY_COMPARE(ran.size(), 3);
}

void TestUiPump::throwingTaskIsCaughtAndLogged()
{
    UITaskQueueWnd pump;
    QVERIFY(pump.Create(10));
    QStringList ran;
    pump.PostTask([] { throw std::runtime_error("pump-fault-17"); });
    pump.PostTask([&] { ran << "next"; });
    QTRY_COMPARE(ran, QStringList({"next"}));
    QVERIFY(testsupport::LogCapture::contains(QStringLiteral("pump-fault-17")));
}

QTEST_MAIN(TestUiPump)
#include "tst_uipump.moc"
