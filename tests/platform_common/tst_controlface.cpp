#include "CallbackThread.h"
#include "ControlFace.h"
#include "TempEnvironment.h"
#include "World.h"

#include <QFile>
#include <QtTest>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

using namespace mvplatform;

class TestControlFace : public QObject
{
    Q_OBJECT
private slots:
    void callLogKeepsOrderAndThreads();
    void callLogKeepsOnlyTheNewest();
    void gateHoldsUntilOpened();
    void scriptQueueThenSticky();
    void countdownFailsTheNextCalls();
    void callbackThreadRunsInDueOrder();
    void callbackThreadStop_data();
    void callbackThreadStop();
    void callbackThreadDropsWhileWaitingForALaterTask();
    void callbackThreadRunReturnsWhenItsTaskIsDropped();
    void worldFile();
};

void TestControlFace::callLogKeepsOrderAndThreads()
{
    CallLog log;
    log.record("A", {"1"});
    std::thread t([&] { log.record("B"); });
    t.join();
    log.record("A", {"2"});
    QCOMPARE(log.count("A"), 2);
    QCOMPARE(log.of("A").back().args.front(), std::string("2"));
    const auto all = log.all();
    QCOMPARE(int(all.size()), 3);
    QCOMPARE(all[1].op, std::string("B"));
    QVERIFY(all[1].thread != std::this_thread::get_id());
    QVERIFY(all[0].thread == std::this_thread::get_id());
    log.clear();
    QCOMPARE(int(log.all().size()), 0);
}

void TestControlFace::callLogKeepsOnlyTheNewest()
{
    CallLog log;
    log.setCapacity(3);
    for (int i = 0; i < 5; ++i)
        log.record("Op", {std::to_string(i)});
    const auto all = log.all();
    QCOMPARE(int(all.size()), 3);
    QCOMPARE(all.front().args.front(), std::string("2"));
    QCOMPARE(log.last("Op")->args.front(), std::string("4"));
    log.setCapacity(1);
    QCOMPARE(log.count("Op"), 1);
}

void TestControlFace::gateHoldsUntilOpened()
{
    Gates gates;
    gates.pass("Open"); // an open gate never blocks
    gates.close("Open");
    std::atomic<bool> passed{false};
    std::thread t([&] {
        gates.pass("Open");
        passed = true;
    });
    QVERIFY(gates.waitForWaiting("Open", 1, 5000));
    QVERIFY(!passed);
    gates.open("Open");
    t.join();
    QVERIFY(passed);
    QCOMPARE(gates.waiting("Open"), 0);
}

void TestControlFace::scriptQueueThenSticky()
{
    Script<int> s;
    QVERIFY(!s.take("X").has_value());
    s.push("X", 1);
    s.push("X", 2);
    s.setSticky("X", 9);
    QCOMPARE(*s.take("X"), 1);
    QCOMPARE(*s.take("X"), 2);
    QCOMPARE(*s.take("X"), 9);
    QCOMPARE(*s.take("X"), 9);
    s.clear();
    QVERIFY(!s.has("X"));
}

void TestControlFace::countdownFailsTheNextCalls()
{
    Countdown c;
    QVERIFY(!c.take());
    c.set(2);
    QVERIFY(c.take());
    QVERIFY(c.take());
    QVERIFY(!c.take());
    c.set(-3);
    QVERIFY(!c.take());
}

void TestControlFace::callbackThreadRunsInDueOrder()
{
    CallbackThread t("test-callbacks");
    std::mutex mutex;
    std::vector<std::string> ran;
    std::vector<std::thread::id> threads;
    auto task = [&](const std::string &name) {
        return [&, name] {
            std::lock_guard<std::mutex> lock(mutex);
            ran.push_back(name);
            threads.push_back(std::this_thread::get_id());
        };
    };
    auto count = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        return int(ran.size());
    };
    t.post(task("late"), 200);
    t.post(task("first"));
    t.post(task("second"));
    // run() waits for its task; called from the thread itself it runs at once.
    t.run([&] { t.run(task("nested")); });
    {
        std::lock_guard<std::mutex> lock(mutex);
        QCOMPARE(ran, (std::vector<std::string>{"first", "second", "nested"}));
    }
    // A callback that is not due yet leaves the thread idle.
    QVERIFY(t.waitIdle(5000));
    QCOMPARE(count(), 3);
    QTRY_COMPARE(count(), 4);
    std::lock_guard<std::mutex> lock(mutex);
    QCOMPARE(ran.back(), std::string("late"));
    for (std::thread::id id : threads)
        QVERIFY(id == t.id());
    QVERIFY(t.id() != std::this_thread::get_id());
}

void TestControlFace::callbackThreadStop_data()
{
    QTest::addColumn<bool>("drop");
    QTest::newRow("run pending") << false;
    QTest::newRow("drop pending") << true;
}

void TestControlFace::callbackThreadStop()
{
    QFETCH(bool, drop);
    CallbackThread t("test-stop");
    Gates gates;
    gates.close("held");
    std::atomic<bool> heldRan{false}, dueRan{false}, laterRan{false};
    t.post([&] {
        gates.pass("held");
        heldRan = true;
    });
    t.post([&] { dueRan = true; });
    t.post([&] { laterRan = true; }, 60000);
    QVERIFY(gates.waitForWaiting("held", 1, 5000));
    QVERIFY(!t.waitIdle(0));
    std::thread stopper([&] { t.stop(drop ? CallbackThread::Pending::Drop : CallbackThread::Pending::Run); });
    // Stopping reads as idle even while a callback still runs.
    QTRY_VERIFY(t.waitIdle(0));
    t.post([&] { laterRan = true; }); // ignored once stopping
    gates.open("held");
    stopper.join();
    QVERIFY(heldRan);
    QCOMPARE(bool(dueRan), !drop);
    QVERIFY(!laterRan);
}

void TestControlFace::callbackThreadDropsWhileWaitingForALaterTask()
{
    CallbackThread t("test-drop-wait");
    std::atomic<bool> laterRan{false};
    t.post([&] { laterRan = true; }, 60000);
    t.run([] {});
    // Idle with a task not yet due: the thread sleeps until that task's due
    // time. Dropping the task must not leave the sleep reading freed memory
    // (the sanitizer build shows it).
    QVERIFY(t.waitIdle(5000));
    QCOMPARE(int(t.queued()), 1);
    t.stop(CallbackThread::Pending::Drop);
    QVERIFY(!laterRan);
    QCOMPARE(int(t.queued()), 0);
}

void TestControlFace::callbackThreadRunReturnsWhenItsTaskIsDropped()
{
    CallbackThread t("test-drop-run");
    Gates gates;
    gates.close("held");
    t.post([&] { gates.pass("held"); });
    QVERIFY(gates.waitForWaiting("held", 1, 5000));
    std::atomic<bool> taskRan{false};
    std::promise<void> returned;
    std::future<void> runReturned = returned.get_future();
    std::thread caller([&] {
        t.run([&] { taskRan = true; });
        returned.set_value();
    });
    QTRY_COMPARE(int(t.queued()), 1);
    std::thread stopper([&] { t.stop(CallbackThread::Pending::Drop); });
    QTRY_COMPARE(int(t.queued()), 0);
    // The caller must come back while the held callback still runs.
    QCOMPARE(runReturned.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    gates.open("held");
    stopper.join();
    caller.join();
    QVERIFY(!taskRan);
}

void TestControlFace::worldFile()
{
    testsupport::TempEnvironment env;
    qunsetenv("MORVASHOW_WORLD");
    QVERIFY(loadWorld().isEmpty());
    QFile f(env.root() + "/world.json");
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("{\"rooms\":[1]}");
    f.close();
    qputenv("MORVASHOW_WORLD", QFile::encodeName(f.fileName()));
    QVERIFY(loadWorld().contains("rooms"));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("not json");
    f.close();
    QVERIFY(loadWorld().isEmpty());
    qunsetenv("MORVASHOW_WORLD");
}

QTEST_GUILESS_MAIN(TestControlFace)
#include "tst_controlface.moc"
