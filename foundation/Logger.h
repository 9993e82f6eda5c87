#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>
#include <mutex>

// The program's daily log: one line per call, appended to
// <directory>/mvshow_yyyyMMdd.log, where the directory defaults to
// QDir::tempPath() + "/MorvaShow". The temporary folder is shared by every
// user of the machine: when that directory belongs to another user (or is
// not a folder we may write to) the lines go to this user's own folder
// beside it instead, <directory>-<user id> (see userTempFolder). The file is
// opened and closed for every line, and each line is one append-mode write,
// so every line reaches the file whole when threads write at once. Failures
// (no folder, no file) lose the line silently.
class Logger
{
public:
    // Level values; every caller passes one of these as a constant.
    enum Level { LOG_DEBUG = 0, LOG_INFO = 1, LOG_WARN = 2, LOG_ERROR = 3, LOG_FATAL = 4 };

    // Longest text of one line in bytes; longer texts are cut on a whole
    // UTF-8 character at or below this size.
    static constexpr int kMaxTextBytes = 8191;

    // The single instance, created on first use and never destroyed.
    static Logger *instance();

    // QDir::tempPath() + "/MorvaShow", read now (TMPDIR is honoured).
    static QString defaultDirectory();

    // "LOG_DEBUG" ... "LOG_FATAL"; "LOG_UNKNOWN" for any other value.
    static const char *levelName(int level);

    void setLevel(int level);
    int level() const;

    // Replaces the folder of the log files (the constructor sets the default).
    // Tests that redirect TMPDIR re-point the log with this.
    void setDirectory(const QString &directory);
    // The folder asked for; the lines may go to this user's folder beside it.
    QString directory() const;

    // Formats with printf conventions and appends
    // "[yyyy-MM-dd hh:mm:ss.zzz] [LEVEL] {text}" to the day's file. An empty
    // format writes an empty line. Lines below the minimum level are dropped.
    void write(int level, const char *format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 3, 4)))
#endif
        ;

    // The same line, sent to Qt's debug output instead of the file.
    void writeToDebugOutput(int level, const char *format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 3, 4)))
#endif
        ;

    // Milliseconds since the epoch (UTC). Tests replace the wall clock with
    // their own; nullptr restores the system clock.
    using ClockFunction = int64_t (*)();
    static void setClockForTesting(ClockFunction clock);

    Logger(const Logger &) = delete;
    Logger &operator=(const Logger &) = delete;

private:
    Logger();
    ~Logger() = default;

    void appendLine(int level, const char *text, bool emptyLine);
    // This user's folder for the directory, encoded, ending with '/'; empty
    // when there is none. Remembered while the directory stays the same.
    QByteArray lookUpFolder(const QString &directory);

    mutable std::mutex m_mutex; // guards the directory
    QString m_directory;        // guarded by m_mutex
    QByteArray m_dirBytes;      // lookUpFolder(m_directory), empty until looked up
    std::atomic<int> m_level{0};
};
