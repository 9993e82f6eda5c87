#include "MutedUserStore.h"

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
    qDebug() << query.lastError();
    return false;
}

bool MutedUserStore::createUserTable()
{
    QSqlQuery query(m_db);
    if (!run(query, QStringLiteral("create table UserInfoTab (userID varchar(30), timeSpan int)"))) {
        qDebug() << query.lastError();
        return false;
    }
    qDebug() << "table created!";
    return true;
}

bool MutedUserStore::isUserStored(int uid)
{
    QSqlQuery query(m_db);
    return run(query, QStringLiteral("select count(*) from UserInfoTab where userID=?"), {QStringLiteral("%1").arg(uid)})
        && query.next() && query.value(0).toInt() != 0;
}

bool MutedUserStore::storeUser(int uid)
{
    if (isUserStored(uid))
        return false;
    QSqlQuery query(m_db);
    if (!run(query, QStringLiteral("insert into UserInfoTab values(?,?)"),
             {QStringLiteral("%1").arg(uid), static_cast<qint64>(m_clock())})) {
        qDebug() << query.lastError();
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
        qDebug() << query.lastError();
        return false;
    }
    return true;
}

void MutedUserStore::recentStoredUsers(QStringList &users)
{
    QSqlQuery query(m_db);
    if (!run(query, QStringLiteral("select * from UserInfoTab ")))
        return;
    while (query.next()) {
        const QString uid = query.value(QStringLiteral("userID")).toString();
        const qint64 storedAt = query.value(QStringLiteral("timeSpan")).toLongLong();
        // now - storedAt < one hour, written so that any time in the file,
        // however far off, compares without overflow.
        if (storedAt > m_clock() - kRecentMs)
            users << uid;
    }
}
