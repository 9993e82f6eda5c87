#include "ControlFace.h"
#include "TempEnvironment.h"
#include "World.h"

#include <QFile>
#include <QtTest>

#include <atomic>
#include <thread>

using namespace mvplatform;

class TestControlFace : public QObject
{
    Q_OBJECT
private slots:
    void callLogKeepsOrderAndThreads();
    void gateHoldsUntilOpened();
    void scriptQueueThenSticky();
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
