// Logger::write lines per second on 1 and 8 threads, beside a plain C loop
// that opens the same day file, appends one line of the same shape and
// closes it again.
#include "Logger.h"

#include <QDate>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

QString g_folder;
std::string g_file;

void BM_LoggerWrite(benchmark::State &state)
{
    Logger *log = Logger::instance();
    int n = 0;
    for (auto _ : state)
        log->write(Logger::LOG_INFO, "bench thread %d line %d: %s", state.thread_index(), ++n,
                   "room 1234 viewers 567 kbps 1800");
    state.SetItemsProcessed(state.iterations());
}

void BM_PlainCLoop(benchmark::State &state)
{
    int n = 0;
    char line[256];
    for (auto _ : state) {
        const int len = std::snprintf(line, sizeof line,
                                      "[2017-11-21 14:03:07.512] [LOG_INFO] {bench thread %d line %d: %s}\n",
                                      state.thread_index(), ++n, "room 1234 viewers 567 kbps 1800");
        FILE *f = std::fopen(g_file.c_str(), "a");
        if (f) {
            std::fwrite(line, 1, size_t(len), f);
            std::fclose(f);
        }
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(BM_LoggerWrite)->Threads(1)->Threads(8)->UseRealTime();
BENCHMARK(BM_PlainCLoop)->Threads(1)->Threads(8)->UseRealTime();

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    g_folder = dir.path() + QStringLiteral("/MorvaShow");
    QDir().mkpath(g_folder);
    Logger::instance()->setDirectory(g_folder);
    Logger::instance()->setLevel(Logger::LOG_INFO);
    g_file = QDir(g_folder).filePath(QStringLiteral("mvshow_%1.log")
                                         .arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))))
                 .toStdString();

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
