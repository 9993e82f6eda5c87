#include "Logger.h"

#include "TextHelpers.h"
#include "UserTempFolder.h"

#include <QDir>
#include <QFile>
#include <QtGlobal>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kBufferBytes = Logger::kMaxTextBytes + 1;

// Formats into buf (kBufferBytes) and returns the text length. A text that
// does not fit is cut so that it ends on a whole UTF-8 character.
int formatText(char *buf, const char *format, va_list args)
{
    const int n = std::vsnprintf(buf, kBufferBytes, format, args);
    if (n < 0) {
        buf[0] = '\0';
        return 0;
    }
    if (n < kBufferBytes)
        return n;
    const int len = utf8CompletePrefixLength(buf, Logger::kMaxTextBytes);
    buf[len] = '\0';
    return len;
}

struct Stamp
{
    char date[9];   // yyyyMMdd
    char time[24];  // yyyy-MM-dd hh:mm:ss.zzz
};

// Writes the last `width` decimal digits of a non-negative value.
void putDigits(char *&out, int value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    out += width;
}

int64_t systemClock()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

std::atomic<Logger::ClockFunction> g_clock{&systemClock};

// One clock reading gives both the file's date and the line's stamp, so a
// line written across midnight cannot land in a file of the other day.
Stamp readClock()
{
    const int64_t now = g_clock.load(std::memory_order_relaxed)();
    int64_t secs64 = now / 1000;
    int ms = static_cast<int>(now % 1000);
    if (ms < 0) {
        ms += 1000;
        --secs64;
    }
    tm local{};
    const time_t secs = static_cast<time_t>(secs64);
    localtime_r(&secs, &local);
    const int year = local.tm_year + 1900;
    Stamp s;
    char *d = s.date;
    putDigits(d, year, 4);
    putDigits(d, local.tm_mon + 1, 2);
    putDigits(d, local.tm_mday, 2);
    *d = '\0';
    char *t = s.time;
    putDigits(t, year, 4);
    *t++ = '-';
    putDigits(t, local.tm_mon + 1, 2);
    *t++ = '-';
    putDigits(t, local.tm_mday, 2);
    *t++ = ' ';
    putDigits(t, local.tm_hour, 2);
    *t++ = ':';
    putDigits(t, local.tm_min, 2);
    *t++ = ':';
    putDigits(t, local.tm_sec, 2);
    *t++ = '.';
    putDigits(t, ms, 3);
    *t = '\0';
    return s;
}

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

int openAppend(const QByteArray &path)
{
    int fd;
    do {
        fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

Logger *Logger::instance()
{
    // Never destroyed: lines may be written while other statics go away.
    static Logger *const theLogger = new Logger;
    return theLogger;
}

QString Logger::defaultDirectory()
{
    return QDir::tempPath() + QStringLiteral("/MorvaShow");
}

const char *Logger::levelName(int level)
{
    switch (level) {
    case LOG_DEBUG: return "LOG_DEBUG";
    case LOG_INFO: return "LOG_INFO";
    case LOG_WARN: return "LOG_WARN";
    case LOG_ERROR: return "LOG_ERROR";
    case LOG_FATAL: return "LOG_FATAL";
    default: return "LOG_UNKNOWN";
    }
}

void Logger::setClockForTesting(ClockFunction clock)
{
    g_clock.store(clock ? clock : &systemClock, std::memory_order_relaxed);
}

Logger::Logger()
{
    setDirectory(defaultDirectory());
}

void Logger::setLevel(int level)
{
    m_level.store(level, std::memory_order_relaxed);
}

int Logger::level() const
{
    return m_level.load(std::memory_order_relaxed);
}

void Logger::setDirectory(const QString &directory)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_directory = directory;
    m_dirBytes.clear(); // looked up with the next line
}

QByteArray Logger::lookUpFolder(const QString &directory)
{
    const QString folder = userTempFolder(directory);
    QByteArray bytes;
    if (!folder.isEmpty())
        bytes = QFile::encodeName(folder) + '/';
    std::lock_guard<std::mutex> lock(m_mutex);
    // Deep copies: a QByteArray shared between threads frees its data inside
    // Qt, where ThreadSanitizer cannot see the reference count's ordering.
    if (m_directory == directory)
        m_dirBytes = QByteArray(bytes.constData(), bytes.size());
    return bytes;
}

QString Logger::directory() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_directory;
}

void Logger::write(int level, const char *format, ...)
{
    if (level < m_level.load(std::memory_order_relaxed))
        return;
    if (!format || !*format) {
        appendLine(level, "", true);
        return;
    }
    char buf[kBufferBytes];
    va_list args;
    va_start(args, format);
    formatText(buf, format, args);
    va_end(args);
    appendLine(level, buf, false);
}

void Logger::appendLine(int level, const char *text, bool emptyLine)
{
    const size_t textLen = std::strlen(text);

    // The formatted text is read as UTF-8 and written as UTF-8; malformed
    // bytes become U+FFFD as a text stream would write them.
    QByteArray repaired;
    if (!emptyLine && !isValidUtf8(text, textLen))
        repaired = QString::fromUtf8(text, static_cast<int>(textLen)).toUtf8();

    // Each line goes out as one append-mode write(2) of a whole line: the
    // kernel serialises appends to one file, so lines from different threads
    // never interleave, and opening and closing need no process-wide lock.
    QByteArray folder;
    QString directory;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        folder = QByteArray(m_dirBytes.constData(), m_dirBytes.size()); // not shared: see lookUpFolder
        directory = QString(m_directory.constData(), m_directory.size());
    }
    const Stamp stamp = readClock();

    std::string line;
    line.reserve(textLen + 64);
    if (emptyLine) {
        line.push_back('\n');
    } else {
        line.push_back('[');
        line.append(stamp.time);
        line.append("] [");
        line.append(levelName(level));
        line.append("] {");
        if (repaired.isNull())
            line.append(text, textLen);
        else
            line.append(repaired.constData(), static_cast<size_t>(repaired.size()));
        line.append("}\n");
    }
    QByteArray fileName("mvshow_");
    fileName.append(stamp.date).append(".log");

    // The folder is looked up (and made) for the first line, and again when
    // it has gone or changed hands since.
    int fd = -1;
    if (!folder.isEmpty())
        fd = openAppend(folder + fileName);
    if (fd < 0) {
        folder = lookUpFolder(directory);
        if (folder.isEmpty())
            return;
        fd = openAppend(folder + fileName);
    }
    if (fd < 0)
        return;
    writeAll(fd, line.data(), line.size());
    ::close(fd);
}

void Logger::writeToDebugOutput(int level, const char *format, ...)
{
    if (level < m_level.load(std::memory_order_relaxed))
        return;
    char buf[kBufferBytes];
    buf[0] = '\0';
    if (format && *format) {
        va_list args;
        va_start(args, format);
        formatText(buf, format, args);
        va_end(args);
    }
    const Stamp stamp = readClock();
    qDebug("[%s] [%s] {%s}", stamp.time, levelName(level), buf);
}
