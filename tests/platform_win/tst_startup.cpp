// The system checks of start-up: the OS version and its name, the start's
// first steps, the DirectX question, and opening files and pages.
#include "DirectXQuestion.h"
#include "Logger.h"
#include "ModalDriver.h"
#include "ModalWatchdog.h"
#include "OsVersion.h"
#include "OsVersionName.h"
#include "ProgramStart.h"
#include "ShellOpen.h"
#include "TempEnvironment.h"
#include "UrlOpenRecorder.h"
#include "WebEndpoints.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTranslator>
#include <QtTest>

using mvplatform::OsVersion;
using mvplatform::ShellOpen;

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void versionNames_data();
    void versionNames();
    void versionDefaultsToNt61();
    void failedQueryGivesZerosAndNoName();
    void versionFromWorldFile_data();
    void versionFromWorldFile();
    void numbersMayBeLeftOut();

    void systemCheck_data();
    void systemCheck();
    void prepareSetsNameFolderAndLogLevel();
    void qtTextsInChinese_data();
    void qtTextsInChinese();

    void directXQuestion_data();
    void directXQuestion();

    void openFileAndPage();
    void badPageAddressIsRefused_data();
    void badPageAddressIsRefused();

private:
    void useWorld(const QByteArray &json);
    QScopedPointer<testsupport::TempEnvironment> m_env;
};

void TestStartup::cleanup()
{
    OsVersion::reset();
    WebEndpoints::clearOverrides();
    qunsetenv("MORVASHOW_WORLD");
    m_env.reset();
}

void TestStartup::useWorld(const QByteArray &json)
{
    m_env.reset(new testsupport::TempEnvironment);
    const QString path = m_env->root() + QStringLiteral("/world.json");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(json);
    f.close();
    qputenv("MORVASHOW_WORLD", QFile::encodeName(path));
}

void TestStartup::versionNames_data()
{
    QTest::addColumn<int>("platformId");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<QString>("name");
    QTest::newRow("98") << 1 << 4 << 10 << QStringLiteral("Windows 98");
    QTest::newRow("ME") << 1 << 4 << 90 << QStringLiteral("Windows ME");
    QTest::newRow("95") << 1 << 4 << 0 << QStringLiteral("Windows 95");
    QTest::newRow("old family, any other") << 1 << 5 << 10 << QStringLiteral("Windows 95");
    QTest::newRow("Vista") << 2 << 6 << 0 << QStringLiteral("Windows Vista");
    QTest::newRow("2000") << 2 << 5 << 0 << QStringLiteral("Windows 2000");
    QTest::newRow("XP") << 2 << 5 << 1 << QStringLiteral("Windows XP");
    QTest::newRow("NT") << 2 << 4 << 0 << QStringLiteral("Windows NT");
    QTest::newRow("NT 5.2") << 2 << 5 << 2 << QString();
    QTest::newRow("7") << 2 << 6 << 1 << QString();
    QTest::newRow("10") << 2 << 10 << 0 << QString();
    QTest::newRow("NT 4.10 is no 98") << 2 << 4 << 10 << QString();
    QTest::newRow("other platform") << 3 << 5 << 1 << QString();
    QTest::newRow("platform 0") << 0 << 6 << 0 << QString();
}

void TestStartup::versionNames()
{
    QFETCH(int, platformId);
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(QString, name);
    OsVersion::steer(platformId, major, minor);
    int p = -1;
    int ma = -1;
    int mi = -1;
    const QString got = osVersionName(&p, &ma, &mi);
    QCOMPARE(got, name);
    QCOMPARE(got.isNull(), name.isNull());
    QCOMPARE(p, platformId);
    QCOMPARE(ma, major);
    QCOMPARE(mi, minor);
}

void TestStartup::versionDefaultsToNt61()
{
    const mvplatform::OsVersionInfo v = OsVersion::query();
    QVERIFY(v.ok);
    QCOMPARE(v.platformId, 2);
    QCOMPARE(v.major, 6);
    QCOMPARE(v.minor, 1);
    int p = 0;
    int ma = 0;
    int mi = 0;
    QCOMPARE(osVersionName(&p, &ma, &mi), QString());
    QCOMPARE(p, 2);
    QCOMPARE(ma, 6);
    QCOMPARE(mi, 1);
}

void TestStartup::failedQueryGivesZerosAndNoName()
{
    OsVersion::steerFailure();
    int p = -1;
    int ma = -1;
    int mi = -1;
    QCOMPARE(osVersionName(&p, &ma, &mi), QString());
    QCOMPARE(p, 0);
    QCOMPARE(ma, 0);
    QCOMPARE(mi, 0);

    // A steered answer outranks the world file; reset returns to it.
    OsVersion::reset();
    QCOMPARE(OsVersion::query().platformId, 2);
}

void TestStartup::versionFromWorldFile_data()
{
    QTest::addColumn<QByteArray>("world");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("platformId");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::newRow("XP") << QByteArray(R"({"os":{"platformId":2,"major":5,"minor":1}})") << true << 2 << 5 << 1;
    QTest::newRow("98") << QByteArray(R"({"os":{"platformId":1,"major":4,"minor":10}})") << true << 1 << 4 << 10;
    QTest::newRow("fails") << QByteArray(R"({"os":{"fails":true}})") << false << 0 << 0 << 0;
    QTest::newRow("only major") << QByteArray(R"({"os":{"major":5}})") << true << 2 << 5 << 1;
    QTest::newRow("text numbers keep the default") << QByteArray(R"({"os":{"major":"5"}})") << true << 2 << 6 << 1;
    QTest::newRow("no os section") << QByteArray(R"({"compositor":true})") << true << 2 << 6 << 1;
    QTest::newRow("os not an object") << QByteArray(R"({"os":5})") << true << 2 << 6 << 1;
    QTest::newRow("malformed file") << QByteArray("{os") << true << 2 << 6 << 1;
}

void TestStartup::versionFromWorldFile()
{
    QFETCH(QByteArray, world);
    QFETCH(bool, ok);
    QFETCH(int, platformId);
    QFETCH(int, major);
    QFETCH(int, minor);
    useWorld(world);
    const mvplatform::OsVersionInfo v = OsVersion::query();
    QCOMPARE(v.ok, ok);
    QCOMPARE(v.platformId, platformId);
    QCOMPARE(v.major, major);
    QCOMPARE(v.minor, minor);
}

void TestStartup::numbersMayBeLeftOut()
{
    OsVersion::steer(2, 5, 1);
    QCOMPARE(osVersionName(nullptr, nullptr, nullptr), QStringLiteral("Windows XP"));
    int major = 0;
    QCOMPARE(osVersionName(nullptr, &major, nullptr), QStringLiteral("Windows XP"));
    QCOMPARE(major, 5);
}

void TestStartup::systemCheck_data()
{
    QTest::addColumn<int>("platformId");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<bool>("fails");
    QTest::addColumn<QString>("refusal"); // null: supported, no box
    QTest::newRow("7") << 2 << 6 << 1 << false << QString();
    QTest::newRow("Vista") << 2 << 6 << 0 << false << QString();
    QTest::newRow("10") << 2 << 10 << 0 << false << QString();
    QTest::newRow("XP") << 2 << 5 << 1 << false << QStringLiteral("暂不支持 Windows XP");
    QTest::newRow("NT 5.2, no name") << 2 << 5 << 2 << false << QStringLiteral("暂不支持 ");
    QTest::newRow("98, major 4") << 1 << 4 << 10 << false << QStringLiteral("暂不支持 Windows 98");
    QTest::newRow("old family, major 6") << 1 << 6 << 0 << false << QStringLiteral("暂不支持 Windows 95");
    QTest::newRow("query failed") << 0 << 0 << 0 << true << QStringLiteral("暂不支持 ");
}

void TestStartup::systemCheck()
{
    QFETCH(int, platformId);
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(bool, fails);
    QFETCH(QString, refusal);
    if (fails)
        OsVersion::steerFailure();
    else
        OsVersion::steer(platformId, major, minor);

    testsupport::ModalWatchdog watchdog;
    testsupport::ModalDriver driver;
    if (!refusal.isNull())
        driver.pressNext(QStringLiteral("pushButton_ok"));
    QCOMPARE(ProgramStart::systemSupported(), refusal.isNull());
    QVERIFY(driver.waitDone());
    QVERIFY2(driver.errors().isEmpty(), qPrintable(driver.errors().join(QLatin1Char('\n'))));
    QVERIFY(watchdog.firedOn().isEmpty());
    if (refusal.isNull()) {
        QVERIFY(watchdog.ended().isEmpty());
        return;
    }
    QCOMPARE(driver.seen().size(), 1);
    QCOMPARE(driver.last().className, QStringLiteral("UiToolTipDialog"));
    QCOMPARE(driver.last().text(QStringLiteral("tipinfolabel")), refusal);
}

void TestStartup::prepareSetsNameFolderAndLogLevel()
{
    testsupport::TempEnvironment env;
    QVERIFY(QDir::currentPath() != QCoreApplication::applicationDirPath());
    const QString oldName = QCoreApplication::applicationName();
    const int oldLevel = Logger::instance()->level();
    Logger::instance()->setLevel(0);

    ProgramStart::prepare();
    const QString name = QCoreApplication::applicationName();
    const QString folder = QDir::currentPath();
    const int level = Logger::instance()->level();
    const bool noSiblings = QCoreApplication::testAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    const bool rasterOnly = QCoreApplication::testAttribute(Qt::AA_ForceRasterWidgets);
    QCoreApplication::setApplicationName(oldName);
    Logger::instance()->setLevel(oldLevel);

    QCOMPARE(name, QStringLiteral("MorvaShow"));
    QCOMPARE(QFileInfo(folder).canonicalFilePath(),
             QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath());
    QCOMPARE(level, 1);
    QVERIFY(noSiblings);
    // Windows able to hold GL children would load the GL driver at start.
    QVERIFY(rasterOnly);
}

void TestStartup::qtTextsInChinese_data()
{
    QTest::addColumn<bool>("installed"); // else a folder without Qt's catalogue
    QTest::addColumn<QString>("ok");
    QTest::addColumn<QString>("cancel");
    QTest::addColumn<QString>("fileName"); // the file dialog's label
    QTest::addColumn<QString>("lookIn");
    QTest::newRow("Qt's catalogue") << true << QStringLiteral("确定") << QStringLiteral("取消")
                                    << QStringLiteral("文件名称(&N)：") << QStringLiteral("查找范围：");
    QTest::newRow("catalogue missing") << false << QStringLiteral("OK") << QStringLiteral("Cancel")
                                       << QStringLiteral("File &name:") << QStringLiteral("Look in:");
}

void TestStartup::qtTextsInChinese()
{
    QFETCH(bool, installed);
    QFETCH(QString, ok);
    QFETCH(QString, cancel);
    QFETCH(QString, fileName);
    QFETCH(QString, lookIn);
    m_env.reset(new testsupport::TempEnvironment);
    const QString empty = m_env->root() + QStringLiteral("/no-translations");
    QVERIFY(QDir().mkpath(empty));
    if (!installed)
        QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("Qt's Chinese translations (qtbase_zh_CN.qm) are "
                                                                     "missing in %1: Qt's own texts stay in English")
                                                          .arg(empty)));
    std::unique_ptr<QTranslator> translator(ProgramStart::loadQtTranslations(installed ? QString() : empty));
    QCOMPARE(translator != nullptr, installed);

    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(box.button(QDialogButtonBox::Ok)->text(), ok);
    QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), cancel);
    QFileDialog files(nullptr, QString(), empty);
    files.setOption(QFileDialog::DontUseNativeDialog);
    QCOMPARE(files.findChild<QLabel *>(QStringLiteral("fileNameLabel"))->text(), fileName);
    QCOMPARE(files.findChild<QLabel *>(QStringLiteral("lookInLabel"))->text(), lookIn);

    // Removing the translator brings Qt's English back for what comes next.
    translator.reset();
    QDialogButtonBox after(QDialogButtonBox::Ok);
    QCOMPARE(after.button(QDialogButtonBox::Ok)->text(), QStringLiteral("OK"));
}

void TestStartup::directXQuestion_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("startsUpdate");
    QTest::newRow("yes") << QStringLiteral("Yes") << true;
    QTest::newRow("no") << QStringLiteral("No") << false;
}

void TestStartup::directXQuestion()
{
    QFETCH(QString, answer);
    QFETCH(bool, startsUpdate);
    QVERIFY(WebEndpoints::setHost(WebEndpoints::Forum, QStringLiteral("127.0.0.1:4711")));
    testsupport::UrlOpenRecorder opened({QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https")});
    testsupport::ModalDriver driver;
    driver.pressNext(answer);

    DirectXQuestion::ask();
    QVERIFY(driver.waitDone());
    QVERIFY2(driver.errors().isEmpty(), qPrintable(driver.errors().join(QLatin1Char('\n'))));

    const testsupport::ModalSnapshot box = driver.last();
    QCOMPARE(box.windowTitle, QStringLiteral("提示"));
    QCOMPARE(box.text(QStringLiteral("qt_msgbox_label")),
             QStringLiteral("DX10未安装或是硬件不支持！\r\n\t请先启动DxUpdate.exe安装(修复)DX10后再尝试使用该软件，点击确定运行DxUpdate.exe。"));
    QVERIFY(box.hasButton(QStringLiteral("Yes")));
    QVERIFY(box.hasButton(QStringLiteral("No")));

    QList<QUrl> expected;
    if (startsUpdate)
        expected << QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + QStringLiteral("/DxUpdate.exe"));
    expected << QUrl(QStringLiteral("https://127.0.0.1:4711/forum.php?mod=viewthread&tid=3"));
    QCOMPARE(opened.urls(), expected);
}

void TestStartup::openFileAndPage()
{
    testsupport::UrlOpenRecorder opened({QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https")});
    QVERIFY(ShellOpen::openFile(QStringLiteral("/opt/摩瓦/Dx Update.exe")));
    QVERIFY(ShellOpen::openPage(QStringLiteral("http://127.0.0.1:8/a?b=1&c=%E6%91%A9")));
    QVERIFY(!ShellOpen::openFile(QString()));
    QCOMPARE(opened.urls().size(), 2);
    QCOMPARE(opened.urls().at(0).toLocalFile(), QStringLiteral("/opt/摩瓦/Dx Update.exe"));
    QCOMPARE(opened.urls().at(1).toString(QUrl::FullyEncoded), QStringLiteral("http://127.0.0.1:8/a?b=1&c=%E6%91%A9"));
}

void TestStartup::badPageAddressIsRefused_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("empty") << QString();
    QTest::newRow("no scheme") << QStringLiteral("127.0.0.1/forum.php");
    QTest::newRow("space in host") << QStringLiteral("http://127.0 .0.1/");
}

void TestStartup::badPageAddressIsRefused()
{
    QFETCH(QString, address);
    testsupport::UrlOpenRecorder opened({QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https")});
    QVERIFY(!ShellOpen::openPage(address));
    QVERIFY(opened.urls().isEmpty());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
