// What the desktop session keeps for the program: the autostart entry and
// the default folder of recordings.
#include "RecordFolder.h"
#include "StartWithLogin.h"
#include "TempEnvironment.h"

#include <QtTest>

using mvplatform::RecordFolder;
using mvplatform::StartWithLogin;

class TestDesktop : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void entryStartsTheProgram();
    void execValueQuotesAndEscapes_data();
    void execValueQuotesAndEscapes();
    void offRemovesTheEntry();
    void badNamesWriteNothing_data();
    void badNamesWriteNothing();
    void unwritableProgramKeepsTheEarlierEntry();
    void unwritableFolderIsReported();

    void recordFolderInVideosFolder();
    void recordFolderWithoutUserDirs();

private:
    QString autostartDir() const { return m_env->configHome() + QStringLiteral("/autostart"); }
    QByteArray read(const QString &path) const;

    QScopedPointer<testsupport::TempEnvironment> m_env;
};

void TestDesktop::init()
{
    m_env.reset(new testsupport::TempEnvironment);
    QVERIFY(m_env->isValid());
}

void TestDesktop::cleanup()
{
    m_env.reset();
}

QByteArray TestDesktop::read(const QString &path) const
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TestDesktop::entryStartsTheProgram()
{
    const QString entry = autostartDir() + QStringLiteral("/MorvaShow.desktop");
    QCOMPARE(StartWithLogin::entryPath(QStringLiteral("MorvaShow")), entry);
    QVERIFY(!StartWithLogin::isSet(QStringLiteral("MorvaShow")));

    QVERIFY(StartWithLogin::set(QStringLiteral("MorvaShow"), QStringLiteral("/opt/摩瓦 Show/mvShow"), true));
    QVERIFY(StartWithLogin::isSet(QStringLiteral("MorvaShow")));
    QCOMPARE(read(entry), QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=MorvaShow\n"
                                         "Exec=\"/opt/摩瓦 Show/mvShow\"\n").toUtf8());

    // Switching on again replaces the entry.
    QVERIFY(StartWithLogin::set(QStringLiteral("MorvaShow"), QStringLiteral("/usr/bin/mvShow"), true));
    QCOMPARE(read(entry), QByteArray("[Desktop Entry]\n"
                                     "Type=Application\n"
                                     "Name=MorvaShow\n"
                                     "Exec=\"/usr/bin/mvShow\"\n"));
    QCOMPARE(QDir(autostartDir()).entryList(QDir::Files), QStringList{QStringLiteral("MorvaShow.desktop")});
}

void TestDesktop::execValueQuotesAndEscapes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("exec");
    QTest::newRow("plain") << QStringLiteral("/opt/mv/mvShow") << QStringLiteral("\"/opt/mv/mvShow\"");
    QTest::newRow("blank") << QStringLiteral("/opt/My App/mvShow") << QStringLiteral("\"/opt/My App/mvShow\"");
    QTest::newRow("dollar") << QStringLiteral("/a$b/m") << QStringLiteral("\"/a\\\\$b/m\"");
    QTest::newRow("quote") << QStringLiteral("/a\"b/m") << QStringLiteral("\"/a\\\\\"b/m\"");
    QTest::newRow("backtick") << QStringLiteral("/a`b/m") << QStringLiteral("\"/a\\\\`b/m\"");
    QTest::newRow("backslash") << QStringLiteral("/a\\b/m") << QStringLiteral("\"/a\\\\\\\\b/m\"");
    QTest::newRow("percent") << QStringLiteral("/100%/m") << QStringLiteral("\"/100%%/m\"");
}

void TestDesktop::execValueQuotesAndEscapes()
{
    QFETCH(QString, path);
    QFETCH(QString, exec);
    QCOMPARE(StartWithLogin::execValue(path), exec);
}

void TestDesktop::offRemovesTheEntry()
{
    // Removing what is not there is no failure.
    QVERIFY(StartWithLogin::set(QStringLiteral("MorvaShow"), QStringLiteral("/opt/mv/mvShow"), false));
    QVERIFY(StartWithLogin::set(QStringLiteral("MorvaShow"), QStringLiteral("/opt/mv/mvShow"), true));
    QVERIFY(StartWithLogin::set(QStringLiteral("Other"), QStringLiteral("/opt/other"), true));
    QVERIFY(StartWithLogin::set(QStringLiteral("MorvaShow"), QString(), false));
    QVERIFY(!StartWithLogin::isSet(QStringLiteral("MorvaShow")));
    // Only its own entry goes.
    QCOMPARE(QDir(autostartDir()).entryList(QDir::Files), QStringList{QStringLiteral("Other.desktop")});
}

void TestDesktop::badNamesWriteNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << QString();
    QTest::newRow("dot") << QStringLiteral(".");
    QTest::newRow("dot dot") << QStringLiteral("..");
    QTest::newRow("folder") << QStringLiteral("../escape");
    QTest::newRow("line break") << QStringLiteral("Morva\nShow");
}

void TestDesktop::badNamesWriteNothing()
{
    QFETCH(QString, name);
    QCOMPARE(StartWithLogin::entryPath(name), QString());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^start with login: no entry can be named")));
    QVERIFY(!StartWithLogin::set(name, QStringLiteral("/opt/mv/mvShow"), true));
    QVERIFY(!StartWithLogin::isSet(name));
    QVERIFY(!QFile::exists(autostartDir()));
    QVERIFY(!QFile::exists(m_env->configHome() + QStringLiteral("/escape.desktop")));
}

void TestDesktop::unwritableProgramKeepsTheEarlierEntry()
{
    QVERIFY(StartWithLogin::set(QStringLiteral("MorvaShow"), QStringLiteral("/opt/mv/mvShow"), true));
    const QByteArray before = read(StartWithLogin::entryPath(QStringLiteral("MorvaShow")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^start with login: the program path")));
    QVERIFY(!StartWithLogin::set(QStringLiteral("MorvaShow"), QStringLiteral("/opt/mv\nX-Evil=1"), true));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^start with login: the program path")));
    QVERIFY(!StartWithLogin::set(QStringLiteral("MorvaShow"), QString(), true));
    QCOMPARE(read(StartWithLogin::entryPath(QStringLiteral("MorvaShow"))), before);
}

void TestDesktop::unwritableFolderIsReported()
{
    // A file where the autostart folder belongs.
    QVERIFY(QDir().mkpath(m_env->configHome()));
    QFile blocker(autostartDir());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^start with login: cannot create the folder")));
    QVERIFY(!StartWithLogin::set(QStringLiteral("MorvaShow"), QStringLiteral("/opt/mv/mvShow"), true));
    QVERIFY(!StartWithLogin::isSet(QStringLiteral("MorvaShow")));
}

void TestDesktop::recordFolderInVideosFolder()
{
    QVERIFY(QDir().mkpath(m_env->configHome()));
    QFile dirs(m_env->configHome() + QStringLiteral("/user-dirs.dirs"));
    QVERIFY(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_VIDEOS_DIR=\"" + QFile::encodeName(m_env->root()) + "/Filme\"\n");
    dirs.close();
    QCOMPARE(RecordFolder::defaultPath(), m_env->root() + QStringLiteral("/Filme/摩瓦视频"));
    // Only the path: nothing is created.
    QVERIFY(!QFile::exists(m_env->root() + QStringLiteral("/Filme")));
}

void TestDesktop::recordFolderWithoutUserDirs()
{
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(m_env->root()));
    const QString folder = RecordFolder::defaultPath();
    qputenv("HOME", oldHome);
    QCOMPARE(folder, m_env->root() + QStringLiteral("/Videos/摩瓦视频"));
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
