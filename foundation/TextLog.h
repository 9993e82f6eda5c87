#pragma once

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/thread/thread.hpp>
#include <boost/unordered_map.hpp>

#include <atomic>
#include <cstdarg>
#include <cstddef>
#include <ctime>
#include <list>
#include <string>

// General text logs: named loggers switched from outside through a level
// file each, path loggers named by file, and a writer thread that moves the
// buffered text to disk every two seconds, so callers never wait for the disk.

// The file name with its date stamp in front, after the last '\' or '/' of
// the path, or in front of the whole path when it has no separator. Modes:
// 0 none, 1 year, 2 year and month, 4 month-day_hour, 5 adds the minute,
// 6 adds the second; 3 and any other value month-day.
std::string TextLogDatedPath(const char *path, int dateMode, const std::tm &localTime);

// Writes the hex dump of the bytes into out (zeroed first) and returns its
// length; 0 when the bytes are null or longer than TextLogMaxDumpBytes.
std::size_t TextLogFormatHex(char *out, std::size_t capacity, const void *bytes, int length);

constexpr int TextLogMaxDumpBytes = 204800;
constexpr std::size_t TextLogBufferBytes = 1048576;
constexpr std::size_t TextLogChunkBytes = 4096;

// Text not yet written, per file, in 4096-byte chunks from a pool.
class TextLogFileCache
{
public:
    static TextLogFileCache &Instance();

    // Appends the pieces one after the other, with no other writer's text
    // between them.
    void Append(const std::string &path, const char *first, std::size_t firstLength,
                const char *second = nullptr, std::size_t secondLength = 0);

    // Writes every file's chunks in order; a file that cannot be opened
    // loses its chunks.
    void FlushAll();

private:
    struct Chunk
    {
        char *data;
        std::size_t used;
    };
    using ChunkList = std::list<Chunk>;

    TextLogFileCache() = default;
    ~TextLogFileCache();
    void AppendLocked(ChunkList &chunks, const char *text, std::size_t length);
    static void WriteChunks(const std::string &path, ChunkList &chunks);
    static void FreeChunks(ChunkList &chunks);

    boost::mutex m_mutex;
    boost::unordered_map<std::string, ChunkList> m_files;
};

// One named logger.
class TextLog
{
public:
    TextLog();

    void SetFilePath(const char *path);
    void SetLevelFilePath(const char *path);
    void SetDateMode(int mode) { m_dateMode = mode; }
    void SetThreshold(int threshold) { m_threshold = threshold; }

    bool IsEnabled() const { return m_enabled; }
    int Threshold() const { return m_threshold; }
    int DateMode() const { return m_dateMode; }
    std::string FilePath() const;

    // Missing file: disabled. Otherwise enabled at the number the file's
    // text begins with. An empty level-file path changes nothing.
    void ReloadLevelFile();

    // Always writes (enabled or not), without a level.
    void Write(const char *format, ...) __attribute__((format(printf, 2, 3)));
    // Writes when enabled and the level is not below the threshold.
    void WriteLevel(int level, const char *format, ...) __attribute__((format(printf, 3, 4)));
    void WriteV(const char *format, va_list args);
    // One stamped line of already formatted text.
    void WriteLine(const char *text, std::size_t length);

private:
    char m_filePath[512];
    char m_levelFilePath[512];
    std::atomic<bool> m_enabled{true};
    std::atomic<int> m_threshold{50};
    std::atomic<int> m_dateMode{0};
    mutable boost::mutex m_mutex;
};

// One path logger; the writer thread drops them every round, so a new date
// stamp is taken up by the next write.
class TextLogFile
{
public:
    TextLogFile(const std::string &path, int dateMode);

    void WriteV(const char *format, va_list args);
    void WriteLine(const char *text, std::size_t length);
    void WriteTaggedV(const char *tag, const char *sourceFile, int sourceLine,
                      const char *format, va_list args);

    const std::string &DatedPath() const { return m_datedPath; }

private:
    std::string m_datedPath;
    boost::mutex m_mutex;
};

class TextLogManager
{
public:
    static constexpr int MaxLoggers = 100;
    static constexpr int MaxNameLength = 255;
    static constexpr int RoundMs = 2000;

    // Created by the first call; at exit its thread stops and whatever is
    // still cached is written.
    static TextLogManager &Instance();

    // A new logger in the first free slot: its index, or -1 when all slots
    // are taken. The level file, when given, is read at once.
    int CreateLogger(const char *name, const char *filePath, int threshold,
                     const char *levelFilePath = nullptr, int dateMode = 0);
    // Case-insensitive; null when there is none.
    TextLog *FindLogger(const char *name);
    // The slot "Default" writing "Text.log" at threshold 40, switched by
    // "Text.level".
    int AddDefaultLogger();

    void SetLogDirectory(const char *directory);
    std::string LogDirectory() const;

    // Created when missing. Call under PathMutex().
    TextLogFile *GetFileLogger(const std::string &path, int dateMode = 0);
    boost::mutex &PathMutex() { return m_pathMutex; }

    // Rounds the writer has finished (flush included); a line written now is
    // on disk once this has grown by two.
    unsigned CompletedRounds() const { return m_completedRounds; }

    TextLogManager(const TextLogManager &) = delete;
    TextLogManager &operator=(const TextLogManager &) = delete;

private:
    struct Slot
    {
        std::string name;
        TextLog *log = nullptr;
    };

    TextLogManager();
    ~TextLogManager();
    void Run();
    void DeletePathLoggers();

    Slot m_slots[MaxLoggers];
    boost::unordered_map<std::string, TextLogFile *> m_pathLoggers;
    std::string m_directory = ".";
    mutable boost::mutex m_pathMutex;
    mutable boost::mutex m_slotsMutex;
    boost::mutex m_stopMutex;
    boost::condition_variable m_wake;
    bool m_stop = false;
    unsigned m_round = 0;
    std::atomic<unsigned> m_completedRounds{0};
    boost::thread m_thread;
};

// Formats and writes one line to the named logger when it exists, is enabled
// and the level is not below its threshold.
void WriteTextLog(const char *loggerName, int level, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
// The same without a level: only the enabled switch counts.
void WriteTextLogNoLevel(const char *loggerName, const char *format, ...)
    __attribute__((format(printf, 2, 3)));

// The hex dump of the bytes as one line of the named logger, when it is
// enabled; the level-checked form also needs the level to reach the threshold.
void DumpTextLogHex(const char *loggerName, const void *bytes, int length);
void DumpTextLogHexLevel(const char *loggerName, int level, const void *bytes, int length);

// One line to <log directory>/<path> with the date stamp of the mode.
void WriteTextLogFile(const char *path, int dateMode, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
// The same line headed by the thread id, the time, a tag and a source place.
void WriteTextLogFileTagged(const char *path, int dateMode, const char *tag,
                            const char *sourceFile, int sourceLine, const char *format, ...)
    __attribute__((format(printf, 6, 7)));
void DumpTextLogFileHex(const char *path, int dateMode, const void *bytes, int length);
