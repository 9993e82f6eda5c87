// The room assistant's chat intake and its 200 ms keyword tick.
//   BM_ChatIntake:      one chat message queued for the keyword check and
//                       written to the chat log as a flushed line
//   BM_PlainWriteFlush: the same line written with fputs and flushed, the
//                       least any flushed log line costs
//   BM_MuteTick:        one tick over 1000 queued messages and 20 keywords
#include "ChatLogFile.h"
#include "KeywordList.h"
#include "MuteRequestQueue.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

QTemporaryDir *g_dir = nullptr;

ChatInfo message(int i)
{
    ChatInfo info;
    info.id = 100000 + i;
    info.sname = QStringLiteral("观众%1:").arg(i % 97);
    info.content = QStringLiteral("主播好，今天的直播真不错 %1").arg(i);
    info.lev = 3;
    return info;
}

void BM_ChatIntake(benchmark::State &state)
{
    ChatLogFile log;
    log.open(g_dir->filePath(QStringLiteral("intake.txt")));
    MuteRequestQueue queue;
    KeywordList keywords;
    const ChatInfo info = message(1);
    int n = 0;
    for (auto _ : state) {
        queue.addMessage(info);
        log.append(info.sname, info.content);
        // The tick empties the queue five times a second.
        if (++n % 1000 == 0)
            queue.takeDue(false, keywords);
    }
    log.truncateAndClose();
    state.SetItemsProcessed(state.iterations());
}

void BM_PlainWriteFlush(benchmark::State &state)
{
    const std::string path = g_dir->filePath(QStringLiteral("plain.txt")).toStdString();
    FILE *f = std::fopen(path.c_str(), "a");
    const ChatInfo info = message(1);
    const std::string line =
        ChatLogFile::messageLine(info.sname, info.content, QStringLiteral("2026-12-10 19:00:00")).toStdString();
    for (auto _ : state) {
        std::fputs(line.c_str(), f);
        std::fflush(f);
    }
    std::fclose(f);
    state.SetItemsProcessed(state.iterations());
}

void BM_MuteTick(benchmark::State &state)
{
    QStringList words;
    for (int i = 0; i < 20; ++i)
        words << QStringLiteral("关键字%1").arg(i);
    KeywordList keywords;
    keywords.setKeywords(words.join(QLatin1Char(' ')));
    MuteRequestQueue queue;
    for (auto _ : state) {
        state.PauseTiming();
        queue = MuteRequestQueue();
        for (int i = 0; i < 1000; ++i) {
            ChatInfo info = message(i);
            // One message in a hundred holds a keyword.
            if (i % 100 == 0)
                info.content += QStringLiteral("关键字19");
            queue.addMessage(info);
        }
        state.ResumeTiming();
        benchmark::DoNotOptimize(queue.takeDue(true, keywords));
    }
}

} // namespace

BENCHMARK(BM_ChatIntake)->UseRealTime();
BENCHMARK(BM_PlainWriteFlush)->UseRealTime();
BENCHMARK(BM_MuteTick)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
