#include "CastCoreControl.h"
#include "FacadeFixture.h"
#include "FormCheck.h"
#include "HttpStub.h"
#include "ModalDriver.h"
#include "ModalWatchdog.h"
#include "MouseMoves.h"
#include "MvComboBoxStyle.h"
#include "MvMonitorSelectDialog.h"
#include "MvScreenShotDialog.h"
#include "TopLevelWindows.h"
#include "UiSetCaptureScreen.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using testsupport::FacadeFixture;
using testsupport::ModalDriver;

namespace {

const QString kListPicture = QStringLiteral(":/image/skin/snotscreenmiddle.png");

// The engine's displays, as (x, y, width, height).
void steerDisplays(const std::vector<castcore::DisplayRect> &displays)
{
    castcore::World world = castcore::control().world();
    world.displays = displays;
    castcore::control().setWorld(world);
}

// Draws a rectangle from `from` to `to` in the region picker and accepts it.
ModalDriver::Handler drawAndAccept(QPoint from, QPoint to)
{
    return [=](QWidget *window) {
        testsupport::dragMouse(window, from, to);
        QTest::keyClick(window, Qt::Key_Return);
    };
}

// The longest a click may take to bring up the region picker, window
// manager or not.
constexpr qint64 kPickerWithinMs = 500;

// Chooses the entry of the monitor picker at `row` and confirms.
ModalDriver::Handler chooseMonitor(int row)
{
    return [row](QWidget *window) {
        auto *box = window->findChild<MvComboBoxStyle *>(QStringLiteral("box_monitor"));
        QVERIFY(box);
        box->setCurrentIndex(row);
        QVERIFY(ModalDriver::press(window, QStringLiteral("button_confirm")));
    };
}

QString pointLine(const char *action)
{
    return QStringLiteral("point - {version:2.3.0.0, uid:0, rid:0, pagecode:page_stypelive, action:%1, e:{}}.")
        .arg(QLatin1String(action));
}

int countOf(const QStringList &lines, const QString &line)
{
    return int(std::count(lines.begin(), lines.end(), line));
}

struct PageFixture
{
    PageFixture()
    {
        mvplatform::TopLevelWindows::steer({});
        QVERIFY(f.init() == 0);
        f.calls().clear();
        page.setLiveProxy(f.proxy.get());
        logStart = FacadeFixture::logSize();
    }
    ~PageFixture() { mvplatform::TopLevelWindows::reset(); }

    QStringList captures() const { return f.callsOf("AddScreenCapture"); }
    QStringList log() const { return FacadeFixture::logSince(logStart); }
    void click(const char *button)
    {
        auto *b = page.findChild<QPushButton *>(QLatin1String(button));
        QVERIFY(b);
        b->click();
    }

    // A dialog nobody expected fails the test instead of hanging it.
    testsupport::ModalWatchdog watchdog{8000};
    FacadeFixture f;
    UiSetCaptureScreen page;
    QSignalSpy added{&page, SIGNAL(add_captureitem(QString, QString, int))};
    int logStart = 0;
};

} // namespace

class TestCapturePage : public QObject
{
    Q_OBJECT

private slots:
    void buildsTheForm()
    {
        UiSetCaptureScreen page;
        QCOMPARE(page.size(), QSize(264, 740));
        QCOMPARE(page.windowTitle(), QStringLiteral("Form"));
        const QVector<testsupport::FormPart> parts = {
            {"label_3", QRect(12, 20, 61, 12), QStringLiteral("截取屏幕")},
            {"label", QRect(12, 68, 246, 222), QString()},
            {"label_4", QRect(94, 318, 71, 12), QStringLiteral("选择屏幕截取")},
            {"label_5", QRect(28, 340, 208, 12), QStringLiteral("即可把所截取的屏幕内容转播到直播间")},
            {"fullscreencapturebtn", QRect(12, 387, 112, 32), QStringLiteral("全屏截取")},
            {"manualscreencapturebtn", QRect(136, 387, 112, 32), QStringLiteral("手动截取")},
        };
        const QString mismatch = testsupport::formMismatch(&page, parts);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        QCOMPARE(page.findChild<QLabel *>(QStringLiteral("label"))->styleSheet(),
                 QStringLiteral("image:url(:/image/skin/insertscreen);"));
        // The page's picture is served under its name without an extension.
        QVERIFY(!QPixmap(QStringLiteral(":/image/skin/insertscreen")).isNull());
    }

    void fullScreenWithOneDisplayNeedsNoPicker()
    {
        PageFixture p;
        ModalDriver driver(300);
        p.click("fullscreencapturebtn");
        QVERIFY(driver.seen().isEmpty());
        QCOMPARE(p.captures(), QStringList{QStringLiteral("AddScreenCapture(0,0,0,1920,1080)")});
        QCOMPARE(p.added.size(), 1);
        const int id = p.added.at(0).at(2).toInt();
        QVERIFY(id > 0);
        QCOMPARE(p.added.at(0).at(0).toString(), kListPicture);
        QCOMPARE(p.added.at(0).at(1).toString(), QStringLiteral("全屏截取"));
        // Over the whole 1280 x 720 canvas, on the full-screen layer.
        int x = -1, y = -1, w = -1, h = -1;
        p.f.proxy->getItemRect(id, &x, &y, &w, &h);
        QCOMPARE(QRect(x, y, w, h), QRect(0, 0, 1280, 720));
        QCOMPARE(p.f.proxy->getItemZorder(id), 20);
        QCOMPARE(countOf(p.log(), pointLine("click_stypelive_fscreen")), 1);
    }

    void fullScreenAsksForTheDisplay_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QString>("capture");
        QTest::newRow("second display chosen") << true << QStringLiteral("AddScreenCapture(1,0,0,1024,768)");
        QTest::newRow("picker closed: first display") << false << QStringLiteral("AddScreenCapture(0,0,0,800,600)");
    }

    void fullScreenAsksForTheDisplay()
    {
        QFETCH(bool, confirm);
        QFETCH(QString, capture);
        PageFixture p;
        steerDisplays({{0, 0, 800, 600}, {800, 0, 1024, 768}});
        ModalDriver driver;
        if (confirm)
            driver.onNext(chooseMonitor(1));
        else
            driver.pressNext(QStringLiteral("closebutton"));
        p.click("fullscreencapturebtn");
        QVERIFY(driver.waitDone());
        QVERIFY(driver.errors().isEmpty());
        QCOMPARE(driver.last().className, QStringLiteral("MvMonitorSelectDialog"));
        QCOMPARE(p.captures(), QStringList{capture});
        QCOMPARE(p.added.size(), 1);
        QCOMPARE(countOf(p.log(), pointLine("click_stypelive_fscreen")), 1);
    }

    void secondFullScreenPressDoesNothing()
    {
        PageFixture p;
        p.click("fullscreencapturebtn");
        QCOMPARE(p.added.size(), 1);
        p.f.calls().clear();
        const int logStart = FacadeFixture::logSize();
        p.click("fullscreencapturebtn");
        QVERIFY(p.captures().isEmpty());
        QCOMPARE(p.added.size(), 1);
        QVERIFY(FacadeFixture::logSince(logStart).isEmpty());
    }

    void refusedFullScreenIsSilentButReported()
    {
        PageFixture p;
        castcore::control().ints().push("AddScreenCapture", 0);
        ModalDriver driver(300);
        p.click("fullscreencapturebtn");
        QVERIFY(driver.seen().isEmpty());
        QCOMPARE(p.added.size(), 0);
        QCOMPARE(countOf(p.log(), pointLine("click_stypelive_fscreen")), 1);
    }

    void regionWithOneDisplay()
    {
        PageFixture p;
        p.page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p.page));
        // The window leaves the screen for the grab: hidden at once, not
        // minimised (which needs a window manager).
        bool hiddenDuringPick = false;
        bool minimisedDuringPick = true;
        qint64 pickerAfterMs = -1;
        QElapsedTimer sinceClick;
        ModalDriver driver;
        driver.onNext([&](QWidget *window) {
            pickerAfterMs = sinceClick.elapsed();
            hiddenDuringPick = !p.page.isVisible();
            minimisedDuringPick = p.page.isMinimized();
            drawAndAccept(QPoint(100, 120), QPoint(300, 270))(window);
        });
        sinceClick.start();
        p.click("manualscreencapturebtn");
        QVERIFY(driver.waitDone());
        QVERIFY(driver.errors().isEmpty());
        QCOMPARE(driver.last().className, QStringLiteral("MvScreenShotDialog"));
        QVERIFY2(pickerAfterMs >= 0 && pickerAfterMs <= kPickerWithinMs,
                 qPrintable(QStringLiteral("the picker came %1 ms after the click").arg(pickerAfterMs)));
        QVERIFY(hiddenDuringPick);
        QVERIFY(!minimisedDuringPick);
        QVERIFY(!p.page.isMinimized());
        QVERIFY(p.page.isVisible());
        QTRY_VERIFY(p.page.windowHandle()->isExposed());
        QCOMPARE(p.captures(), QStringList{QStringLiteral("AddScreenCapture(0,100,120,200,150)")});
        QCOMPARE(p.added.size(), 1);
        QCOMPARE(p.added.at(0).at(0).toString(), kListPicture);
        QCOMPARE(p.added.at(0).at(1).toString(), QStringLiteral("手动截取"));
        const int id = p.added.at(0).at(2).toInt();
        QVERIFY(id > 0);
        QCOMPARE(p.f.proxy->itemType(id), 10);
        QCOMPARE(countOf(p.log(), pointLine("click_stypelive_manual")), 1);
    }

    void regionOnTheChosenDisplayIsLocalToIt()
    {
        PageFixture p;
        steerDisplays({{0, 0, 400, 300}, {400, 0, 400, 300}});
        QRect pickerArea;
        QRect pickerGeometry;
        ModalDriver driver;
        driver.onNext(chooseMonitor(1));
        driver.onNext([&](QWidget *window) {
            auto *picker = qobject_cast<MvScreenShotDialog *>(window);
            QVERIFY(picker);
            pickerArea = picker->grabArea();
            pickerGeometry = picker->geometry();
            drawAndAccept(QPoint(10, 20), QPoint(110, 70))(window);
        });
        p.click("manualscreencapturebtn");
        QVERIFY(driver.waitDone());
        QVERIFY(driver.errors().isEmpty());
        QCOMPARE(pickerArea, QRect(400, 0, 400, 300));
        QCOMPARE(pickerGeometry, QRect(400, 0, 400, 300));
        QCOMPARE(p.captures(), QStringList{QStringLiteral("AddScreenCapture(1,10,20,100,50)")});
        QCOMPARE(p.added.size(), 1);
        QCOMPARE(countOf(p.log(), pointLine("click_stypelive_manual")), 1);
    }

    void noDisplayReportedCountsAsOne()
    {
        PageFixture p;
        steerDisplays({});
        ModalDriver driver;
        QString picker;
        driver.onNext([&](QWidget *window) {
            picker = QString::fromLatin1(window->metaObject()->className());
            QTest::keyClick(window, Qt::Key_Escape);
        });
        driver.pressNext(QStringLiteral("确定"));
        p.click("manualscreencapturebtn");
        QVERIFY(driver.waitDone());
        QCOMPARE(picker, QStringLiteral("MvScreenShotDialog"));
    }

    void regionLimitLeavesTheFullScreenOut_data()
    {
        QTest::addColumn<bool>("fullScreen");
        QTest::addColumn<int>("regions");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("two regions") << false << 2 << true;
        QTest::newRow("full screen and two regions") << true << 2 << true;
        QTest::newRow("three regions") << false << 3 << false;
        QTest::newRow("full screen and three regions") << true << 3 << false;
    }

    void regionLimitLeavesTheFullScreenOut()
    {
        QFETCH(bool, fullScreen);
        QFETCH(int, regions);
        QFETCH(bool, allowed);
        PageFixture p;
        if (fullScreen)
            p.click("fullscreencapturebtn");
        for (int i = 0; i < regions; ++i)
            QVERIFY(p.f.proxy->addScreenCapture(QRect(0, 0, 50, 50), 0, 3) > 0);
        QCOMPARE(p.page.regionCaptureCount(), regions);
        p.added.clear();
        p.f.calls().clear();
        const int logStart = FacadeFixture::logSize();

        ModalDriver driver;
        if (allowed)
            driver.onNext(drawAndAccept(QPoint(5, 5), QPoint(25, 25)));
        else
            driver.pressNext(QStringLiteral("确定"));
        p.click("manualscreencapturebtn");
        QVERIFY(driver.waitDone());
        QVERIFY(driver.errors().isEmpty());
        if (allowed) {
            QCOMPARE(driver.last().className, QStringLiteral("MvScreenShotDialog"));
            QCOMPARE(p.added.size(), 1);
        } else {
            QCOMPARE(driver.seen().size(), 1);
            QCOMPARE(driver.last().className, QStringLiteral("UiToolTipDialog"));
            QCOMPARE(driver.last().text(QStringLiteral("tipinfolabel")), QStringLiteral("手动截取不超过3个!"));
            QVERIFY(p.captures().isEmpty());
            QCOMPARE(p.added.size(), 0);
            QVERIFY(FacadeFixture::logSince(logStart).filter(QStringLiteral("point - ")).isEmpty());
        }
    }

    void failedRegionRestoresAndReportsNothing_data()
    {
        QTest::addColumn<int>("displays");
        QTest::addColumn<QString>("how");
        QTest::newRow("monitor picker cancelled") << 2 << QStringLiteral("cancel picker");
        QTest::newRow("selection escaped") << 1 << QStringLiteral("escape");
        QTest::newRow("right click with nothing selected") << 1 << QStringLiteral("right click");
        QTest::newRow("engine refuses with 0") << 1 << QStringLiteral("refuse 0");
        QTest::newRow("engine refuses with -1") << 1 << QStringLiteral("refuse -1");
        QTest::newRow("zero-size selection") << 1 << QStringLiteral("zero size");
    }

    void failedRegionRestoresAndReportsNothing()
    {
        QFETCH(int, displays);
        QFETCH(QString, how);
        PageFixture p;
        if (displays == 2)
            steerDisplays({{0, 0, 400, 300}, {400, 0, 400, 300}});
        p.page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p.page));

        ModalDriver driver;
        if (how == QLatin1String("cancel picker")) {
            driver.pressNext(QStringLiteral("button_cancel"));
        } else if (how == QLatin1String("escape")) {
            driver.onNext([](QWidget *w) { QTest::keyClick(w, Qt::Key_Escape); });
        } else if (how == QLatin1String("right click")) {
            driver.onNext([](QWidget *w) { QTest::mouseClick(w, Qt::RightButton, Qt::NoModifier, QPoint(9, 9)); });
        } else if (how.startsWith(QLatin1String("refuse"))) {
            castcore::control().ints().push("AddScreenCapture", how.endsWith(QLatin1String("-1")) ? -1 : 0);
            driver.onNext(drawAndAccept(QPoint(10, 10), QPoint(60, 60)));
        } else {
            driver.onNext(drawAndAccept(QPoint(10, 10), QPoint(60, 10)));
        }
        driver.pressNext(QStringLiteral("确定"));
        p.click("manualscreencapturebtn");
        QVERIFY(driver.waitDone());
        QVERIFY(driver.errors().isEmpty());
        QCOMPARE(driver.last().className, QStringLiteral("UiToolTipDialog"));
        QCOMPARE(driver.last().text(QStringLiteral("tipinfolabel")), QStringLiteral("手动截取失败!"));
        QVERIFY(p.page.isVisible());
        QVERIFY(!p.page.isMinimized());
        QCOMPARE(p.added.size(), 0);
        QVERIFY(p.log().filter(QStringLiteral("point - ")).isEmpty());
        std::vector<int> ids;
        p.f.proxy->sortedItemIds(ids);
        QCOMPARE(p.page.regionCaptureCount(), 0);
    }

    // The records reach the analytics host: one per capture button press
    // that got past its first check.
    void analyticsReachTheHost()
    {
        testsupport::HttpStub::trustTestCertificate();
        testsupport::HttpStub analytics(testsupport::HttpStub::Tls);
        QVERIFY(analytics.isListening());
        analytics.route("POST", "/deliver/tide2", testsupport::HttpResponse::json(R"({"error":0})"));
        testsupport::ScopedHosts hosts(QJsonObject{{"analytics", analytics.hostPort()}});
        PageFixture p;
        ModalDriver driver;
        driver.onNext(drawAndAccept(QPoint(10, 10), QPoint(90, 70)));
        p.click("fullscreencapturebtn");
        p.click("manualscreencapturebtn");
        QVERIFY(driver.waitDone());
        QTRY_COMPARE(analytics.requestCount(), 2);
        QStringList actions;
        for (const testsupport::HttpRequest &r : analytics.requests()) {
            QCOMPARE(r.path, QStringLiteral("/deliver/tide2"));
            const QByteArray body = r.body.mid(6, r.body.size() - 6 - 6); // "multi=" ... "&v=1.0"
            const QJsonObject record = QJsonDocument::fromJson(QByteArray::fromBase64(body)).object();
            QCOMPARE(record.value(QStringLiteral("pc")).toString(), QStringLiteral("page_stypelive"));
            actions << record.value(QStringLiteral("ac")).toString();
        }
        actions.sort();
        QCOMPARE(actions, (QStringList{QStringLiteral("click_stypelive_fscreen"), QStringLiteral("click_stypelive_manual")}));
    }

    void pageWithoutFacadeDoesNothing()
    {
        UiSetCaptureScreen page;
        QSignalSpy added(&page, SIGNAL(add_captureitem(QString, QString, int)));
        ModalDriver driver(300);
        page.findChild<QPushButton *>(QStringLiteral("fullscreencapturebtn"))->click();
        page.findChild<QPushButton *>(QStringLiteral("manualscreencapturebtn"))->click();
        QVERIFY(driver.seen().isEmpty());
        QCOMPARE(added.size(), 0);
    }
};

QTEST_MAIN(TestCapturePage)
#include "tst_capturepage.moc"
