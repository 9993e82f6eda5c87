#include "CallRecording.h"
#include "CallbackThread.h"
#include "ControlFace.h"
#include "TempEnvironment.h"
#include "World.h"

#include <QFile>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <cstdlib>
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
    void callLogRecordsOnlyWhileTurnedOn();
    void gateHoldsUntilOpened();
    void activityCountsCallsUntilTheyReturn();
    void scriptQueueThenSticky();
    void countdownFailsTheNextCalls();
    void realsLogInTheirShortestExactForm_data();
    void realsLogInTheirShortestExactForm();
    void callbackThreadRunsInDueOrder();
    void callbackThreadStop_data();
    void callbackThreadStop();
    void callbackThreadDropsWhileWaitingForALaterTask();
    void callbackThreadRunReturnsWhenItsTaskIsDropped();
    void tickerRunsOnItsGridBesideCallbacks();
    void clearTickerWaitsForTheRunningTick();
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

void TestControlFace::callLogRecordsOnlyWhileTurnedOn()
{
    // What the program runs with: this executable turned recording on only
    // after reading it.
    QVERIFY(!testsupport::callsRecordedAtStart());
    QVERIFY(CallLog::recording());

    CallLog log;
    {
        const testsupport::RecordingOff off;
        // Hours of filtered frames, more than a log would keep.
        for (int i = 0; i < 200000; ++i)
            log.record("ImageFilterFilterPicture", {"#1", "0", "1280", "720", "5120"});
        QCOMPARE(int(log.all().size()), 0);
        QVERIFY(!log.last("ImageFilterFilterPicture"));
    }
    QVERIFY(CallLog::recording());
    log.record("ImageFilterFree", {"#1"});
    QCOMPARE(log.ops(), std::vector<std::string>{"ImageFilterFree"});
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

void TestControlFace::activityCountsCallsUntilTheyReturn()
{
    Activity activity;
    Gates gates;
    QVERIFY(activity.waitIdle(0));
    {
        const Activity::Call call(activity, gates, "Free");
        QCOMPARE(activity.inProgress(), 1);
        QVERIFY(!activity.waitIdle(0));
    }
    QCOMPARE(activity.inProgress(), 0);

    // A call held at its gate is in progress until it returns.
    gates.close("Encode");
    std::atomic<bool> returned{false};
    std::thread t([&] {
        const Activity::Call call(activity, gates, "Encode");
        returned = true;
    });
    QVERIFY(gates.waitForWaiting("Encode", 1, 5000));
    QCOMPARE(activity.inProgress(), 1);
    QVERIFY(!activity.waitIdle(0));
    gates.open("Encode");
    QVERIFY(activity.waitIdle(5000));
    QVERIFY(returned);
    t.join();
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

void TestControlFace::realsLogInTheirShortestExactForm_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("single"); // passed as float
    QTest::addColumn<QString>("logged");
    QTest::newRow("float, 1/76") << double(0.016447369f) << true << "0.016447369";
    QTest::newRow("float, pi") << double(3.14159274f) << true << "3.1415927";
    QTest::newRow("float, exact") << 1536.25 << true << "1536.25";
    QTest::newRow("float, negative") << -0.5 << true << "-0.5";
    QTest::newRow("float, tiny") << double(1e-30f) << true << "1e-30";
    QTest::newRow("double, tenth") << 0.1 << false << "0.1";
    QTest::newRow("double, third") << 1.0 / 3 << false << "0.3333333333333333";
    QTest::newRow("double, large") << 1e20 << false << "1e+20";
    QTest::newRow("double, whole") << 30.0 << false << "30";
}

void TestControlFace::realsLogInTheirShortestExactForm()
{
    QFETCH(double, value);
    QFETCH(bool, single);
    QFETCH(QString, logged);
    if (single) {
        const float f = float(value);
        QCOMPARE(QString::fromStdString(toArg(f)), logged);
        QCOMPARE(std::strtof(toArg(f).c_str(), nullptr), f);
        // The next float up logs differently.
        QVERIFY(toArg(std::nextafter(f, 2 * f)) != toArg(f));
    } else {
        QCOMPARE(QString::fromStdString(toArg(value)), logged);
        QCOMPARE(std::strtod(toArg(value).c_str(), nullptr), value);
        QVERIFY(toArg(std::nextafter(value, 2 * value)) != toArg(value));
    }
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

void TestControlFace::tickerRunsOnItsGridBesideCallbacks()
{
    using Clock = std::chrono::steady_clock;
    CallbackThread t("test-ticker");
    std::mutex mutex;
    std::vector<Clock::time_point> dues;
    std::vector<Clock::time_point> ran;
    const auto start = Clock::now();
    const auto interval = std::chrono::milliseconds(20);
    int n = 0;
    t.setTicker(
        [&](Clock::time_point now) {
            std::lock_guard<std::mutex> lock(mutex);
            dues.push_back(start + interval * n);
            ran.push_back(now);
            ++n;
            return start + interval * n;
        },
        start);
    // A ticker is no callback: waiting for idle does not wait for it.
    std::atomic<bool> posted{false};
    t.post([&] { posted = true; });
    QVERIFY(t.waitIdle(5000));
    QVERIFY(posted);
    QTRY_VERIFY([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return ran.size() >= 10;
    }());
    t.clearTicker();
    std::lock_guard<std::mutex> lock(mutex);
    for (size_t i = 0; i < ran.size(); ++i)
        QVERIFY(ran[i] >= dues[i]); // never early
}

void TestControlFace::clearTickerWaitsForTheRunningTick()
{
    using Clock = std::chrono::steady_clock;
    CallbackThread t("test-ticker-clear");
    Gates gates;
    gates.close("tick");
    std::atomic<int> ticks{0};
    std::atomic<bool> inside{false};
    t.setTicker(
        [&](Clock::time_point now) {
            inside = true;
            gates.pass("tick");
            inside = false;
            ++ticks;
            return now + std::chrono::milliseconds(1);
        },
        Clock::now());
    QVERIFY(gates.waitForWaiting("tick", 1, 5000));
    std::atomic<bool> cleared{false};
    std::thread clearer([&] {
        t.clearTicker();
        cleared = true;
    });
    // Held inside a tick: clearing must wait for it ...
    QVERIFY(!cleared);
    QVERIFY(inside);
    gates.open("tick");
    clearer.join();
    QVERIFY(!inside);
    // ... and no tick follows.
    const int after = ticks;
    t.post([] {});
    QVERIFY(t.waitIdle(5000));
    QCOMPARE(int(ticks), after);
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
