// Start-up of the whole program: the DirectX test through the engine, and
// the engine's displays in a whole-program run.
#include "CastCoreControl.h"
#include "CastCoreWorld.h"
#include "LiveProxy.h"
#include "ModalDriver.h"
#include "TempEnvironment.h"
#include "UrlOpenRecorder.h"
#include "WebEndpoints.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

class ProgramTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void directXCheck_data();
    void directXCheck();
    void displaysMirrorScreens_data();
    void displaysMirrorScreens();

private:
    void useWorld(testsupport::TempEnvironment &env, const QByteArray &json);
};

void ProgramTest::cleanup()
{
    qunsetenv("MORVASHOW_WORLD");
    castcore::control().reset();
    WebEndpoints::clearOverrides();
}

void ProgramTest::useWorld(testsupport::TempEnvironment &env, const QByteArray &json)
{
    const QString path = env.root() + QStringLiteral("/world.json");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(json);
    f.close();
    qputenv("MORVASHOW_WORLD", QFile::encodeName(path));
    castcore::control().reset();
}

void ProgramTest::directXCheck_data()
{
    QTest::addColumn<bool>("usable");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("pages");
    QTest::newRow("usable: no question") << true << QString() << 0;
    QTest::newRow("unusable, yes: repair and help page") << false << QStringLiteral("Yes") << 2;
    QTest::newRow("unusable, no: help page only") << false << QStringLiteral("No") << 1;
}

void ProgramTest::directXCheck()
{
    QFETCH(bool, usable);
    QFETCH(QString, answer);
    QFETCH(int, pages);
    testsupport::TempEnvironment env;
    QVERIFY(WebEndpoints::setHost(WebEndpoints::Forum, QStringLiteral("127.0.0.1:4711")));
    castcore::control().bools().push("IsDirectX10Usable", usable);
    testsupport::UrlOpenRecorder opened({QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https")});
    testsupport::ModalDriver driver;
    if (!answer.isNull())
        driver.pressNext(answer);

    QCOMPARE(LiveProxy::checkDirectX(), usable);
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.seen().size(), answer.isNull() ? 0 : 1);
    if (!answer.isNull())
        QCOMPARE(driver.last().text(QStringLiteral("qt_msgbox_label")),
                 QStringLiteral("DX10未安装或是硬件不支持！\r\n\t请先启动DxUpdate.exe安装(修复)DX10后再尝试使用该软件，点击确定运行DxUpdate.exe。"));
    QCOMPARE(opened.urls().size(), pages);
    if (pages > 0)
        QCOMPARE(opened.urls().last(), QUrl(QStringLiteral("https://127.0.0.1:4711/forum.php?mod=viewthread&tid=3")));
    if (pages == 2)
        QCOMPARE(opened.urls().first().toLocalFile(),
                 QCoreApplication::applicationDirPath() + QStringLiteral("/DxUpdate.exe"));
    // The facade made for the test is the process's one.
    QCOMPARE(castcore::control().log().of("IsDirectX10Usable").size(), std::size_t(1));
}

void ProgramTest::displaysMirrorScreens_data()
{
    QTest::addColumn<QByteArray>("world"); // empty: no world file
    QTest::addColumn<bool>("mirrored");
    QTest::newRow("no world file") << QByteArray() << true;
    QTest::newRow("world without displays") << QByteArray(R"({"engine":{"driveIndex":3}})") << true;
    QTest::newRow("world names displays")
        << QByteArray(R"({"engine":{"displays":[{"x":0,"y":0,"width":640,"height":480}]}})") << false;
}

void ProgramTest::displaysMirrorScreens()
{
    QFETCH(QByteArray, world);
    QFETCH(bool, mirrored);
    testsupport::TempEnvironment env;
    if (!world.isEmpty())
        useWorld(env, world);
    castcore::mirrorRealScreens();
    const std::vector<castcore::DisplayRect> displays = castcore::control().world().displays;
    if (!mirrored) {
        QCOMPARE(displays.size(), std::size_t(1));
        QCOMPARE(displays[0].width, 640);
        return;
    }
    const QList<QScreen *> screens = QGuiApplication::screens();
    QCOMPARE(int(displays.size()), screens.size());
    for (int i = 0; i < screens.size(); ++i) {
        const QRect g = screens.at(i)->geometry();
        QCOMPARE(QRect(displays[size_t(i)].x, displays[size_t(i)].y, displays[size_t(i)].width,
                       displays[size_t(i)].height),
                 g);
    }
    // The offscreen screen is not the built-in world's 1920 x 1080 display.
    QVERIFY(displays[0].width != 1920);
    if (!world.isEmpty())
        QCOMPARE(castcore::control().world().driveIndex, 3);
}

QTEST_MAIN(ProgramTest)
#include "tst_program.moc"
