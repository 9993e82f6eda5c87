#include "TextLog.h"

#include <boost/pool/singleton_pool.hpp>

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <strings.h>
#include <system_error>
#include <vector>

namespace {

struct FormatBufferTag {};
struct ChunkTag {};

// One 1 MiB block at a time: the pool grows by single blocks, so an idle
// process holds no more than the writers ever used at once.
using FormatBufferPool = boost::singleton_pool<FormatBufferTag, TextLogBufferBytes,
                                               boost::default_user_allocator_new_delete,
                                               boost::details::pool::default_mutex, 1, 0>;
using ChunkPool = boost::singleton_pool<ChunkTag, TextLogChunkBytes>;

// Past this the dump stops; a full line still fits the 1 MiB buffer after it.
constexpr std::size_t DumpStopBytes = 1048546;
constexpr std::size_t DumpLineBytes = 16 * 3 + 1 + 16 + 2;

// A formatting buffer from the pool, given back when it goes out of scope.
class FormatBuffer
{
public:
    FormatBuffer()
        : m_data(static_cast<char *>(FormatBufferPool::malloc()))
    {
    }
    ~FormatBuffer()
    {
        if (m_data)
            FormatBufferPool::free(m_data);
    }
    FormatBuffer(const FormatBuffer &) = delete;
    FormatBuffer &operator=(const FormatBuffer &) = delete;

    char *data() const { return m_data; }

    // vsnprintf into the buffer; text beyond it is cut. Returns the length.
    std::size_t format(const char *format, va_list args)
    {
        if (!m_data || !format)
            return 0;
        const int n = std::vsnprintf(m_data, TextLogBufferBytes, format, args);
        if (n < 0) {
            m_data[0] = '\0';
            return 0;
        }
        return std::min<std::size_t>(std::size_t(n), TextLogBufferBytes - 1);
    }

private:
    char *m_data;
};

struct LocalTime
{
    std::tm tm;
    int milliseconds;
};

LocalTime localNow()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    LocalTime t{};
    const time_t secs = ts.tv_sec;
    localtime_r(&secs, &t.tm);
    t.milliseconds = int(ts.tv_nsec / 1000000);
    return t;
}

// The stamp in front of every line; the line break comes first, so a file
// starts with an empty line.
int lineStamp(char *out, std::size_t size, const LocalTime &t)
{
    return std::snprintf(out, size, "\r\n[%02d-%02d %02d:%02d:%02d.%03d]:  ", t.tm.tm_mon + 1,
                         t.tm.tm_mday, t.tm.tm_hour, t.tm.tm_min, t.tm.tm_sec, t.milliseconds);
}

void copyField(char (&field)[512], const char *text)
{
    std::snprintf(field, sizeof field, "%s", text ? text : "");
}

// Formats into a pooled buffer and hands the text on.
template <typename Write>
void formatLine(const char *format, va_list args, Write write)
{
    FormatBuffer buffer;
    const std::size_t n = buffer.format(format, args);
    if (buffer.data())
        write(buffer.data(), n);
}

void writeStampedLine(const std::string &path, const char *text, std::size_t length)
{
    char stamp[64];
    const int n = lineStamp(stamp, sizeof stamp, localNow());
    TextLogFileCache::Instance().Append(path, stamp, std::size_t(n), text, length);
}

} // namespace

std::string TextLogDatedPath(const char *path, int dateMode, const std::tm &t)
{
    const std::string full = path ? path : "";
    char stamp[64];
    switch (dateMode) {
    case 0:
        return full;
    case 1:
        std::snprintf(stamp, sizeof stamp, "%04d", t.tm_year + 1900);
        break;
    case 2:
        std::snprintf(stamp, sizeof stamp, "%04d%02d", t.tm_year + 1900, t.tm_mon + 1);
        break;
    case 4:
        std::snprintf(stamp, sizeof stamp, "%02d-%02d_%02d", t.tm_mon + 1, t.tm_mday, t.tm_hour);
        break;
    case 5:
        std::snprintf(stamp, sizeof stamp, "%02d-%02d_%02d%02d", t.tm_mon + 1, t.tm_mday,
                      t.tm_hour, t.tm_min);
        break;
    case 6:
        std::snprintf(stamp, sizeof stamp, "%02d-%02d_%02d:%02d%02d", t.tm_mon + 1, t.tm_mday,
                      t.tm_hour, t.tm_min, t.tm_sec);
        break;
    default:
        std::snprintf(stamp, sizeof stamp, "%02d-%02d", t.tm_mon + 1, t.tm_mday);
        break;
    }
    const std::size_t separator = full.find_last_of("\\/");
    const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    return full.substr(0, nameStart) + stamp + full.substr(nameStart);
}

std::size_t TextLogFormatHex(char *out, std::size_t capacity, const void *bytes, int length)
{
    if (!out || capacity == 0)
        return 0;
    std::memset(out, 0, capacity);
    if (!bytes || length < 0 || length > TextLogMaxDumpBytes || capacity < 64 + DumpLineBytes)
        return 0;
    const auto *data = static_cast<const unsigned char *>(bytes);
    int n = std::snprintf(out, capacity, "DataLen = %d, %.4x  at: %p\r\n", length,
                          unsigned(length), bytes);
    std::size_t pos = std::min<std::size_t>(std::size_t(std::max(n, 0)), capacity - 1);
    const std::size_t stop = std::min(DumpStopBytes, capacity - DumpLineBytes - 1);
    static const char hexDigits[] = "0123456789ABCDEF";
    for (int line = 0; line < length && pos <= stop; line += 16) {
        const int count = std::min(16, length - line);
        for (int i = 0; i < 16; ++i) {
            if (i < count) {
                const unsigned char b = data[line + i];
                out[pos++] = hexDigits[b >> 4];
                out[pos++] = hexDigits[b & 0x0F];
            } else {
                out[pos++] = ' ';
                out[pos++] = ' ';
            }
            out[pos++] = ' ';
        }
        out[pos++] = '\t';
        for (int i = 0; i < count; ++i) {
            const unsigned char b = data[line + i];
            char c = char(b);
            if (b == 0)
                c = ' ';
            else if (b <= 32 || b == 0xCC)
                c = '.';
            out[pos++] = c;
        }
        out[pos++] = '\r';
        out[pos++] = '\n';
    }
    return pos;
}

// ---------------------------------------------------------------------------

TextLogFileCache &TextLogFileCache::Instance()
{
    static TextLogFileCache cache;
    return cache;
}

TextLogFileCache::~TextLogFileCache()
{
    for (auto &entry : m_files)
        FreeChunks(entry.second);
}

void TextLogFileCache::Append(const std::string &path, const char *first, std::size_t firstLength,
                              const char *second, std::size_t secondLength)
{
    boost::mutex::scoped_lock lock(m_mutex);
    ChunkList &chunks = m_files[path];
    AppendLocked(chunks, first, firstLength);
    if (second)
        AppendLocked(chunks, second, secondLength);
}

void TextLogFileCache::AppendLocked(ChunkList &chunks, const char *text, std::size_t length)
{
    while (length > 0) {
        if (chunks.empty() || chunks.back().used == TextLogChunkBytes) {
            char *data = static_cast<char *>(ChunkPool::malloc());
            if (!data)
                return;
            chunks.push_back(Chunk{data, 0});
        }
        Chunk &last = chunks.back();
        const std::size_t n = std::min(length, TextLogChunkBytes - last.used);
        std::memcpy(last.data + last.used, text, n);
        last.used += n;
        text += n;
        length -= n;
    }
}

void TextLogFileCache::FlushAll()
{
    boost::unordered_map<std::string, ChunkList> waiting;
    {
        boost::mutex::scoped_lock lock(m_mutex);
        waiting.swap(m_files);
    }
    // The disk is touched only after the lock is released.
    for (auto &entry : waiting)
        WriteChunks(entry.first, entry.second);
}

void TextLogFileCache::WriteChunks(const std::string &path, ChunkList &chunks)
{
    // A path's folders (the socket stack writes under "./log/") are made on
    // its first write; nothing else makes them.
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code ignored;
    if (!folder.empty())
        std::filesystem::create_directories(folder, ignored);
    if (FILE *f = std::fopen(path.c_str(), "ab")) {
        for (const Chunk &c : chunks)
            std::fwrite(c.data, 1, c.used, f);
        std::fclose(f);
    }
    FreeChunks(chunks);
}

void TextLogFileCache::FreeChunks(ChunkList &chunks)
{
    for (const Chunk &c : chunks)
        ChunkPool::free(c.data);
    chunks.clear();
}

// ---------------------------------------------------------------------------

TextLog::TextLog()
{
    copyField(m_filePath, "TextLog.txt");
    copyField(m_levelFilePath, "");
}

void TextLog::SetFilePath(const char *path)
{
    boost::mutex::scoped_lock lock(m_mutex);
    copyField(m_filePath, path);
}

void TextLog::SetLevelFilePath(const char *path)
{
    boost::mutex::scoped_lock lock(m_mutex);
    copyField(m_levelFilePath, path);
}

std::string TextLog::FilePath() const
{
    boost::mutex::scoped_lock lock(m_mutex);
    return m_filePath;
}

void TextLog::ReloadLevelFile()
{
    std::string levelFile;
    {
        boost::mutex::scoped_lock lock(m_mutex);
        levelFile = m_levelFilePath;
    }
    if (levelFile.empty())
        return;
    FILE *f = std::fopen(levelFile.c_str(), "r");
    if (!f) {
        m_enabled = false;
        return;
    }
    char text[64] = {};
    const std::size_t n = std::fread(text, 1, sizeof text - 1, f);
    std::fclose(f);
    text[n] = '\0';
    m_threshold = std::atoi(text);
    m_enabled = true;
}

void TextLog::Write(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    WriteV(format, args);
    va_end(args);
}

void TextLog::WriteLevel(int level, const char *format, ...)
{
    if (!m_enabled || level < m_threshold)
        return;
    va_list args;
    va_start(args, format);
    WriteV(format, args);
    va_end(args);
}

void TextLog::WriteV(const char *format, va_list args)
{
    formatLine(format, args, [this](const char *text, std::size_t n) { WriteLine(text, n); });
}

void TextLog::WriteLine(const char *text, std::size_t length)
{
    const LocalTime t = localNow();
    char stamp[64];
    const int n = lineStamp(stamp, sizeof stamp, t);
    boost::mutex::scoped_lock lock(m_mutex);
    TextLogFileCache::Instance().Append(TextLogDatedPath(m_filePath, m_dateMode, t.tm), stamp,
                                        std::size_t(n), text, length);
}

// ---------------------------------------------------------------------------

TextLogFile::TextLogFile(const std::string &path, int dateMode)
    : m_datedPath(TextLogDatedPath(path.c_str(), dateMode, localNow().tm))
{
}

void TextLogFile::WriteV(const char *format, va_list args)
{
    formatLine(format, args, [this](const char *text, std::size_t n) { WriteLine(text, n); });
}

void TextLogFile::WriteLine(const char *text, std::size_t length)
{
    boost::mutex::scoped_lock lock(m_mutex);
    writeStampedLine(m_datedPath, text, length);
}

void TextLogFile::WriteTaggedV(const char *tag, const char *sourceFile, int sourceLine,
                               const char *format, va_list args)
{
    FormatBuffer buffer;
    const std::size_t n = buffer.format(format, args);
    if (!buffer.data())
        return;
    const LocalTime t = localNow();
    std::vector<char> head(512 + (tag ? std::strlen(tag) : 0)
                           + (sourceFile ? std::strlen(sourceFile) : 0));
    const int h = std::snprintf(head.data(), head.size(),
                                "\r\n%u [%02d-%02d %02d:%02d:%02d.%03d]: [%s] %s:%d ",
                                unsigned(syscall(SYS_gettid)), t.tm.tm_mon + 1, t.tm.tm_mday,
                                t.tm.tm_hour, t.tm.tm_min, t.tm.tm_sec, t.milliseconds,
                                tag ? tag : "", sourceFile ? sourceFile : "", sourceLine);
    boost::mutex::scoped_lock lock(m_mutex);
    TextLogFileCache::Instance().Append(m_datedPath, head.data(),
                                        std::min(std::size_t(std::max(h, 0)), head.size() - 1),
                                        buffer.data(), n);
}

// ---------------------------------------------------------------------------

TextLogManager &TextLogManager::Instance()
{
    static TextLogManager manager;
    return manager;
}

TextLogManager::TextLogManager()
{
    // Built first, so the cache outlives the manager's last flush at exit.
    TextLogFileCache::Instance();
    m_thread = boost::thread([this] { Run(); });
}

TextLogManager::~TextLogManager()
{
    {
        boost::mutex::scoped_lock lock(m_stopMutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    {
        boost::mutex::scoped_lock lock(m_pathMutex);
        DeletePathLoggers();
    }
    {
        boost::mutex::scoped_lock lock(m_slotsMutex);
        for (Slot &slot : m_slots) {
            delete slot.log;
            slot.log = nullptr;
        }
    }
    // Text written since the last round still reaches its file.
    TextLogFileCache::Instance().FlushAll();
}

int TextLogManager::CreateLogger(const char *name, const char *filePath, int threshold,
                                 const char *levelFilePath, int dateMode)
{
    boost::mutex::scoped_lock lock(m_slotsMutex);
    for (int i = 0; i < MaxLoggers; ++i) {
        Slot &slot = m_slots[i];
        if (slot.log)
            continue;
        slot.name = std::string(name ? name : "").substr(0, MaxNameLength);
        slot.log = new TextLog;
        slot.log->SetFilePath(filePath);
        slot.log->SetThreshold(threshold);
        slot.log->SetDateMode(dateMode);
        if (levelFilePath) {
            slot.log->SetLevelFilePath(levelFilePath);
            slot.log->ReloadLevelFile();
        }
        return i;
    }
    return -1;
}

TextLog *TextLogManager::FindLogger(const char *name)
{
    if (!name)
        return nullptr;
    boost::mutex::scoped_lock lock(m_slotsMutex);
    for (Slot &slot : m_slots) {
        if (slot.log && strcasecmp(slot.name.c_str(), name) == 0)
            return slot.log;
    }
    return nullptr;
}

int TextLogManager::AddDefaultLogger()
{
    return CreateLogger("Default", "Text.log", 40, "Text.level");
}

void TextLogManager::SetLogDirectory(const char *directory)
{
    boost::mutex::scoped_lock lock(m_pathMutex);
    m_directory = directory ? directory : "";
}

std::string TextLogManager::LogDirectory() const
{
    boost::mutex::scoped_lock lock(m_pathMutex);
    return m_directory;
}

TextLogFile *TextLogManager::GetFileLogger(const std::string &path, int dateMode)
{
    TextLogFile *&logger = m_pathLoggers[path];
    if (!logger)
        logger = new TextLogFile(path, dateMode);
    return logger;
}

void TextLogManager::DeletePathLoggers()
{
    for (auto &entry : m_pathLoggers)
        delete entry.second;
    m_pathLoggers.clear();
}

void TextLogManager::Run()
{
    for (;;) {
        {
            boost::mutex::scoped_lock lock(m_slotsMutex);
            for (Slot &slot : m_slots) {
                if (slot.log)
                    slot.log->ReloadLevelFile();
            }
        }
        {
            boost::mutex::scoped_lock lock(m_pathMutex);
            DeletePathLoggers();
        }
        if (++m_round % 30 == 0)
            FormatBufferPool::release_memory();
        TextLogFileCache::Instance().FlushAll();
        ++m_completedRounds;

        boost::mutex::scoped_lock lock(m_stopMutex);
        m_wake.timed_wait(lock, boost::posix_time::milliseconds(RoundMs), [this] { return m_stop; });
        if (m_stop)
            break;
    }
}

// ---------------------------------------------------------------------------

namespace {

void writeToFileLogger(const char *path, int dateMode, const std::function<void(TextLogFile &)> &write)
{
    TextLogManager &manager = TextLogManager::Instance();
    // Joined with this platform's separator.
    const std::string joined = manager.LogDirectory() + "/" + (path ? path : "");
    boost::mutex::scoped_lock lock(manager.PathMutex());
    write(*manager.GetFileLogger(joined, dateMode));
}

void dumpInto(const void *bytes, int length, const std::function<void(const char *, std::size_t)> &write)
{
    if (!bytes || length > TextLogMaxDumpBytes)
        return;
    FormatBuffer buffer;
    if (!buffer.data())
        return;
    const std::size_t n = TextLogFormatHex(buffer.data(), TextLogBufferBytes, bytes, length);
    write(buffer.data(), n);
}

} // namespace

void WriteTextLog(const char *loggerName, int level, const char *format, ...)
{
    TextLog *log = TextLogManager::Instance().FindLogger(loggerName);
    if (!log || !log->IsEnabled() || level < log->Threshold())
        return;
    va_list args;
    va_start(args, format);
    log->WriteV(format, args);
    va_end(args);
}

void WriteTextLogNoLevel(const char *loggerName, const char *format, ...)
{
    TextLog *log = TextLogManager::Instance().FindLogger(loggerName);
    if (!log || !log->IsEnabled())
        return;
    va_list args;
    va_start(args, format);
    log->WriteV(format, args);
    va_end(args);
}

void DumpTextLogHex(const char *loggerName, const void *bytes, int length)
{
    TextLog *log = TextLogManager::Instance().FindLogger(loggerName);
    if (!log || !log->IsEnabled())
        return;
    dumpInto(bytes, length, [log](const char *text, std::size_t n) { log->WriteLine(text, n); });
}

void DumpTextLogHexLevel(const char *loggerName, int level, const void *bytes, int length)
{
    TextLog *log = TextLogManager::Instance().FindLogger(loggerName);
    if (!log || level < log->Threshold())
        return;
    DumpTextLogHex(loggerName, bytes, length);
}

void WriteTextLogFile(const char *path, int dateMode, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    writeToFileLogger(path, dateMode, [&](TextLogFile &logger) { logger.WriteV(format, args); });
    va_end(args);
}

void WriteTextLogFileTagged(const char *path, int dateMode, const char *tag,
                            const char *sourceFile, int sourceLine, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    writeToFileLogger(path, dateMode, [&](TextLogFile &logger) {
        logger.WriteTaggedV(tag, sourceFile, sourceLine, format, args);
    });
    va_end(args);
}

void DumpTextLogFileHex(const char *path, int dateMode, const void *bytes, int length)
{
    writeToFileLogger(path, dateMode, [&](TextLogFile &logger) {
        dumpInto(bytes, length,
                 [&logger](const char *text, std::size_t n) { logger.WriteLine(text, n); });
    });
}
