#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>

#include <functional>

// The users that the room assistant muted itself, kept in the SQLite file
// "DisableChatUser.db" of the working directory on Qt's default connection,
// so that the next assistant (after signing out and in again) takes up the
// same connection. One table "UserInfoTab": the id as decimal text and the
// time it was stored, in milliseconds since the epoch.
//
// A file that another program holds locked fails each statement after at
// most kBusyTimeoutMs, with one line in the log per store.
//
// Failures are written to the debug output and answered with plain values;
// nothing is shown to the user, and the assistant works on without its
// labels. GUI thread only: the connection belongs to the thread that opened
// it.
class MutedUserStore
{
public:
    // Milliseconds since 1970-01-01 UTC.
    using Clock = std::function<qint64()>;

    static const char *const kFileName;  // "DisableChatUser.db"
    static const char *const kTableName; // "UserInfoTab"
    // A stored mute counts as recent for one hour, the mute's own length.
    static constexpr qint64 kRecentMs = 3600000;
    // How long a statement waits for a file another program holds locked.
    static constexpr int kBusyTimeoutMs = 250;

    // Without a clock the system's wall clock is read.
    explicit MutedUserStore(Clock clock = {});
    // Closes the connection; its registration stays for the next store.
    ~MutedUserStore();

    MutedUserStore(const MutedUserStore &) = delete;
    MutedUserStore &operator=(const MutedUserStore &) = delete;

    // Opens the file and makes the table when it is missing.
    void openUserDb();
    bool userTableExists(const QString &table);
    bool createUserTable();
    bool isUserStored(int uid);
    // True when a row was added; false when the user was stored already (the
    // first time stays) or the insert failed.
    bool storeUser(int uid);
    // True when the statement ran, also when no row matched.
    bool deleteStoredUser(const QString &uid);
    // Appends the ids stored less than an hour ago, in row order. Older rows
    // are skipped, not removed.
    void recentStoredUsers(QStringList &users);

private:
    // The failure to the debug output, and a lock once to the log.
    void reportFailure(const QSqlError &error);
    void noteLock(const QSqlError &error);

    QSqlDatabase m_db;
    bool m_lockReported = false;
    Clock m_clock;
};
