#include "MutedUserStore.h"

#include "DebugCapture.h"
#include "LogCapture.h"
#include "TempEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

using testsupport::DebugCapture;
using testsupport::TempEnvironment;

namespace {

// A wall-clock reading past 2^31, so a time cut to 32 bits shows.
constexpr qint64 kStart = 1765000000123;

const char kReadBack[] = "readback";

// One row of the file as a second connection reads it.
struct StoredRow
{
    QString userID;
    QString userIDType;
    qint64 timeSpan = 0;
    QString timeSpanType;
};

// Opens the store's file in the working folder over a connection of its
// own, not the store's.
class ReadBack
{
public:
    explicit ReadBack(const QString &folder)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(kReadBack));
        db.setDatabaseName(folder + QStringLiteral("/DisableChatUser.db"));
        m_open = db.open();
    }
    ~ReadBack() { QSqlDatabase::removeDatabase(QLatin1String(kReadBack)); }

    bool isOpen() const { return m_open; }

    QList<StoredRow> rows() const
    {
        QList<StoredRow> rows;
        QSqlQuery q(QSqlDatabase::database(QLatin1String(kReadBack)));
        if (!q.exec(QStringLiteral("select userID, typeof(userID), timeSpan, typeof(timeSpan) from UserInfoTab")))
            return rows;
        while (q.next())
            rows << StoredRow{q.value(0).toString(), q.value(1).toString(), q.value(2).toLongLong(),
                              q.value(3).toString()};
        return rows;
    }

    QStringList ids() const
    {
        QStringList ids;
        for (const StoredRow &row : rows())
            ids << row.userID;
        return ids;
    }

    QString tableSql() const
    {
        QSqlQuery q(QSqlDatabase::database(QLatin1String(kReadBack)));
        q.exec(QStringLiteral("select sql from sqlite_master where type='table' and name='UserInfoTab'"));
        return q.next() ? q.value(0).toString() : QString();
    }

private:
    bool m_open = false;
};

} // namespace

class TestRoomStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstOpenMakesFileAndTable();
    void nextStoreReusesConnectionAndRows();
    void storesIdAsTextAndTimeAsWholeNumber();
    void secondStoreKeepsFirstTime();
    void presenceMatchesWholeIds();
    void recentListKeepsStrictHour_data();
    void recentListKeepsStrictHour();
    void recentListAppendsInRowOrder();
    void deleteMatchesTextByNumber_data();
    void deleteMatchesTextByNumber();
    void unopenableFileLeavesStoreEmpty();
    void unreadableFileLeavesStoreEmpty();
    void lockedFileAnswersQuickly();

private:
    MutedUserStore &openStore();

    std::unique_ptr<TempEnvironment> m_env;
    std::unique_ptr<MutedUserStore> m_store;
    qint64 m_now = kStart;
};

void TestRoomStore::init()
{
    m_env = std::make_unique<TempEnvironment>();
    QVERIFY(m_env->isValid());
    m_now = kStart;
}

void TestRoomStore::cleanup()
{
    m_store.reset();
    m_env.reset();
}

MutedUserStore &TestRoomStore::openStore()
{
    m_store = std::make_unique<MutedUserStore>([this] { return m_now; });
    m_store->openUserDb();
    return *m_store;
}

void TestRoomStore::firstOpenMakesFileAndTable()
{
    const QString file = m_env->workPath() + QStringLiteral("/DisableChatUser.db");
    QVERIFY(!QFile::exists(file));
    DebugCapture debug;
    openStore();
    QVERIFY(QFile::exists(file));
    QCOMPARE(debug.messages(), QStringList{QStringLiteral("table created!")});
    QVERIFY(m_store->userTableExists(QStringLiteral("UserInfoTab")));
    QVERIFY(!m_store->userTableExists(QStringLiteral("userinfotab2")));

    ReadBack back(m_env->workPath());
    QVERIFY(back.isOpen());
    // SQLite keeps the statement with its keywords in capitals.
    QCOMPARE(back.tableSql(), QStringLiteral("CREATE TABLE UserInfoTab (userID varchar(30), timeSpan int)"));
    QVERIFY(back.rows().isEmpty());
}

void TestRoomStore::nextStoreReusesConnectionAndRows()
{
    openStore().storeUser(77);
    const QString defaultName = QLatin1String(QSqlDatabase::defaultConnection);
    m_store.reset();
    // The connection closes with its store but stays registered.
    QVERIFY(QSqlDatabase::contains(defaultName));
    QVERIFY(!QSqlDatabase::database(defaultName, false).isOpen());

    DebugCapture debug;
    openStore();
    QVERIFY(debug.messages().isEmpty()); // the table is there: nothing made, nothing failed
    QVERIFY(QSqlDatabase::database(defaultName, false).isOpen());
    QVERIFY(m_store->isUserStored(77));
    QCOMPARE(QSqlDatabase::connectionNames(), QStringList{defaultName});
}

void TestRoomStore::storesIdAsTextAndTimeAsWholeNumber()
{
    QVERIFY(openStore().storeUser(123456));
    ReadBack back(m_env->workPath());
    const QList<StoredRow> rows = back.rows();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].userID, QStringLiteral("123456"));
    QCOMPARE(rows[0].userIDType, QStringLiteral("text"));
    QCOMPARE(rows[0].timeSpan, kStart);
    QCOMPARE(rows[0].timeSpanType, QStringLiteral("integer"));
}

void TestRoomStore::secondStoreKeepsFirstTime()
{
    MutedUserStore &store = openStore();
    QVERIFY(store.storeUser(77));
    m_now = kStart + 1800000;
    QVERIFY(!store.storeUser(77));
    ReadBack back(m_env->workPath());
    const QList<StoredRow> rows = back.rows();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].timeSpan, kStart);
    // The first time counts, so the hour runs out 30 minutes from now.
    m_now = kStart + 3600000;
    QStringList recent;
    store.recentStoredUsers(recent);
    QVERIFY(recent.isEmpty());
}

void TestRoomStore::presenceMatchesWholeIds()
{
    MutedUserStore &store = openStore();
    QVERIFY(!store.isUserStored(77));
    QVERIFY(store.storeUser(77));
    QVERIFY(store.isUserStored(77));
    QVERIFY(!store.isUserStored(7));
    QVERIFY(!store.isUserStored(770));
    QVERIFY(!store.isUserStored(-77));
}

void TestRoomStore::recentListKeepsStrictHour_data()
{
    QTest::addColumn<qint64>("age");
    QTest::addColumn<bool>("listed");
    QTest::newRow("just stored") << qint64(0) << true;
    QTest::newRow("59 minutes") << qint64(59 * 60000) << true;
    QTest::newRow("one ms short of the hour") << qint64(3599999) << true;
    QTest::newRow("exactly the hour") << qint64(3600000) << false;
    QTest::newRow("past the hour") << qint64(3600001) << false;
    QTest::newRow("two hours") << qint64(7200000) << false;
}

void TestRoomStore::recentListKeepsStrictHour()
{
    QFETCH(qint64, age);
    QFETCH(bool, listed);
    MutedUserStore &store = openStore();
    QVERIFY(store.storeUser(123456));
    m_now = kStart + age;
    QStringList recent;
    store.recentStoredUsers(recent);
    QCOMPARE(recent, listed ? QStringList{QStringLiteral("123456")} : QStringList());
    // Old rows are skipped, never pruned.
    QCOMPARE(ReadBack(m_env->workPath()).ids(), QStringList{QStringLiteral("123456")});
}

void TestRoomStore::recentListAppendsInRowOrder()
{
    MutedUserStore &store = openStore();
    QVERIFY(store.storeUser(5));
    m_now = kStart + 10;
    QVERIFY(store.storeUser(9));
    m_now = kStart + 20;
    QVERIFY(store.storeUser(3));
    m_now = kStart + 3600005; // 5 is past its hour, 9 and 3 are not
    QStringList recent{QStringLiteral("kept")};
    store.recentStoredUsers(recent);
    QCOMPARE(recent, (QStringList{QStringLiteral("kept"), QStringLiteral("9"), QStringLiteral("3")}));
}

void TestRoomStore::deleteMatchesTextByNumber_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QStringList>("left");
    const QString a = QStringLiteral("123456");
    const QString b = QStringLiteral("77");
    QTest::newRow("stored id") << a << QStringList{b};
    QTest::newRow("leading zeros read as the number") << QStringLiteral("0077") << QStringList{a};
    QTest::newRow("not stored") << QStringLiteral("999") << QStringList{a, b};
    QTest::newRow("no number") << QStringLiteral("abc") << QStringList{a, b};
    QTest::newRow("empty") << QString() << QStringList{a, b};
}

void TestRoomStore::deleteMatchesTextByNumber()
{
    QFETCH(QString, id);
    QFETCH(QStringList, left);
    MutedUserStore &store = openStore();
    QVERIFY(store.storeUser(123456));
    QVERIFY(store.storeUser(77));
    QVERIFY(store.deleteStoredUser(id));
    QCOMPARE(ReadBack(m_env->workPath()).ids(), left);
}

void TestRoomStore::unopenableFileLeavesStoreEmpty()
{
    // A folder where the file should be: SQLite cannot open it.
    QVERIFY(QDir(m_env->workPath()).mkdir(QStringLiteral("DisableChatUser.db")));
    DebugCapture debug;
    MutedUserStore &store = openStore();
    const QStringList opening = debug.messages();
    QCOMPARE(opening.size(), 2); // the connection's error, then the notice
    QVERIFY(opening[0].contains(QStringLiteral("unable to open database file")));
    QCOMPARE(opening[1], QStringLiteral("failed to connect."));

    debug.clear();
    QVERIFY(!store.isUserStored(77));
    QVERIFY(!store.storeUser(77));
    QVERIFY(!debug.messages().isEmpty());
    debug.clear();
    QVERIFY(!store.deleteStoredUser(QStringLiteral("77")));
    QVERIFY(!debug.messages().isEmpty());
    QStringList recent{QStringLiteral("kept")};
    store.recentStoredUsers(recent);
    QCOMPARE(recent, QStringList{QStringLiteral("kept")});
}

void TestRoomStore::unreadableFileLeavesStoreEmpty()
{
    // Opens, but holds no database: the table can be neither found nor made.
    QFile junk(m_env->workPath() + QStringLiteral("/DisableChatUser.db"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    DebugCapture debug;
    MutedUserStore &store = openStore();
    // Neither the look-up nor the creation reaches the table; each says why.
    QCOMPARE(debug.messages().size(), 2);
    QVERIFY(debug.messages()[0].contains(QStringLiteral("file is not a database")));
    QVERIFY(debug.messages()[1].contains(QStringLiteral("file is not a database")));
    QVERIFY(!store.storeUser(77));
    QVERIFY(!store.isUserStored(77));
    QStringList recent;
    store.recentStoredUsers(recent);
    QVERIFY(recent.isEmpty());
    QCOMPARE(junk.size(), qint64(4096));
}

void TestRoomStore::lockedFileAnswersQuickly()
{
    {
        MutedUserStore &store = openStore();
        QVERIFY(store.storeUser(61));
        m_store.reset();
    }
    // Another program holds the file locked, as another copy of the program
    // would in the middle of a write.
    const QString holder = QStringLiteral("holder");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), holder);
        db.setDatabaseName(m_env->workPath() + QStringLiteral("/DisableChatUser.db"));
        QVERIFY(db.open());
        QSqlQuery lock(db);
        QVERIFY(lock.exec(QStringLiteral("begin exclusive")));
    }

    // Every statement gives up after a short wait (Qt's own 5 s would hold
    // the GUI thread for each); 2 s is a wide bound around it.
    QElapsedTimer took;
    took.start();
    MutedUserStore &store = openStore();
    QVERIFY2(took.elapsed() < 2000, qPrintable(QString::number(took.elapsed())));
    took.restart();
    QVERIFY(!store.storeUser(62));
    QVERIFY2(took.elapsed() < 2000, qPrintable(QString::number(took.elapsed())));
    took.restart();
    QStringList recent;
    store.recentStoredUsers(recent);
    QVERIFY(recent.isEmpty());
    QVERIFY2(took.elapsed() < 2000, qPrintable(QString::number(took.elapsed())));
    took.restart();
    QVERIFY(!store.deleteStoredUser(QStringLiteral("61")));
    QVERIFY2(took.elapsed() < 2000, qPrintable(QString::number(took.elapsed())));

    // Said once in the log, however many statements met the lock.
    const QStringList said = testsupport::LogCapture::texts().filter(QStringLiteral("DisableChatUser.db is locked"));
    QCOMPARE(said.size(), 1);

    // Once the other program lets go, the same store carries on.
    {
        QSqlDatabase db = QSqlDatabase::database(holder, false);
        QSqlQuery release(db);
        QVERIFY(release.exec(QStringLiteral("rollback")));
        db.close();
    }
    QSqlDatabase::removeDatabase(holder);
    QVERIFY(store.storeUser(62));
    recent.clear();
    store.recentStoredUsers(recent);
    QCOMPARE(recent, (QStringList{QStringLiteral("61"), QStringLiteral("62")}));
}

QTEST_GUILESS_MAIN(TestRoomStore)
#include "tst_roomstore.moc"
