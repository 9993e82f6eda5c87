#include "MutedUserStore.h"

#include "Logger.h"

#include <QDateTime>
#include <QDebug>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

const char *const MutedUserStore::kFileName = "DisableChatUser.db";
const char *const MutedUserStore::kTableName = "UserInfoTab";

MutedUserStore::MutedUserStore(Clock clock)
    : m_clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentMSecsSinceEpoch(); }))
{
}

MutedUserStore::~MutedUserStore()
{
    if (m_db.isValid())
        m_db.close();
}

namespace {

// SQLite's answers while another connection holds the file: SQLITE_BUSY and
// SQLITE_LOCKED.
bool isLockError(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    return code == QLatin1String("5") || code == QLatin1String("6");
}

// Prepares `sql`, binds `values` in order as positional input parameters and
// runs it. A statement that does not prepare is not run, so the reason stays
// the query's last error.
bool run(QSqlQuery &query, const QString &sql, const QVariantList &values = {})
{
    if (!query.prepare(sql))
        return false;
    for (const QVariant &value : values)
        query.addBindValue(value);
    return query.exec();
}

} // namespace

void MutedUserStore::openUserDb()
{
    const QString name = QString::fromLatin1(QSqlDatabase::defaultConnection);
    // A connection left by an earlier store is taken up as it is; opening it
    // under its old settings first would only open it twice.
    if (QSqlDatabase::contains(name))
        m_db = QSqlDatabase::database(name, false);
    else
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    m_db.setDatabaseName(QString::fromLatin1(kFileName));
    // Every statement runs on the GUI thread: a file another program holds
    // locked must fail it quickly, not after Qt's default 5 s.
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!m_db.open()) {
        qDebug() << m_db.lastError();
        qDebug() << "failed to connect.";
        return;
    }
    if (!userTableExists(QString::fromLatin1(kTableName)))
        createUserTable();
}

bool MutedUserStore::userTableExists(const QString &table)
{
    QSqlQuery query(m_db);
    if (run(query, QStringLiteral("select count(*) from sqlite_master where type='table' and name=?;"), {table})
        && query.next())
        return query.value(0).toInt() != 0;
    reportFailure(query.lastError());
    return false;
}

bool MutedUserStore::createUserTable()
{
    QSqlQuery query(m_db);
    if (!run(query, QStringLiteral("create table UserInfoTab (userID varchar(30), timeSpan int)"))) {
        reportFailure(query.lastError());
        return false;
    }
    qDebug() << "table created!";
    return true;
}

bool MutedUserStore::isUserStored(int uid)
{
    QSqlQuery query(m_db);
    if (!run(query, QStringLiteral("select count(*) from UserInfoTab where userID=?"), {QStringLiteral("%1").arg(uid)})) {
        noteLock(query.lastError());
        return false;
    }
    return query.next() && query.value(0).toInt() != 0;
}

bool MutedUserStore::storeUser(int uid)
{
    if (isUserStored(uid))
        return false;
    QSqlQuery query(m_db);
    if (!run(query, QStringLiteral("insert into UserInfoTab values(?,?)"),
             {QStringLiteral("%1").arg(uid), static_cast<qint64>(m_clock())})) {
        reportFailure(query.lastError());
        return false;
    }
    return true;
}

bool MutedUserStore::deleteStoredUser(const QString &uid)
{
    QSqlQuery query(m_db);
    // Bound as a number; SQLite gives it the column's text affinity, so
    // 123456 matches the stored "123456".
    if (!run(query, QStringLiteral("delete from UserInfoTab where userID=?"), {uid.toInt(nullptr, 10)})) {
        reportFailure(query.lastError());
        return false;
    }
    return true;
}

void MutedUserStore::recentStoredUsers(QStringList &users)
{
    QSqlQuery query(m_db);
    if (!run(query, QStringLiteral("select * from UserInfoTab "))) {
        noteLock(query.lastError());
        return;
    }
    while (query.next()) {
        const QString uid = query.value(QStringLiteral("userID")).toString();
        const qint64 storedAt = query.value(QStringLiteral("timeSpan")).toLongLong();
        // now - storedAt < one hour, written so that any time in the file,
        // however far off, compares without overflow.
        if (storedAt > m_clock() - kRecentMs)
            users << uid;
    }
}

void MutedUserStore::reportFailure(const QSqlError &error)
{
    qDebug() << error;
    noteLock(error);
}

void MutedUserStore::noteLock(const QSqlError &error)
{
    if (!isLockError(error) || m_lockReported)
        return;
    m_lockReported = true;
    Logger::instance()->write(Logger::LOG_WARN,
                              "%s is locked by another program: the room assistant goes on without its "
                              "own-mute records",
                              kFileName);
}
