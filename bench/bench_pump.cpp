// Delay from UITaskQueueWnd::PostTask on a worker thread to the task running
// on the GUI thread, for the facade's period (100 ms) and a short one. Posts
// are spread at uneven moments so they fall anywhere within a period.
// Run: QT_QPA_PLATFORM=offscreen ./bench_pump [posts]
#include "UITaskQueueWnd.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

namespace {

struct Result
{
    double medianMs = 0;
    double p90Ms = 0;
    double worstMs = 0;
    double meanMs = 0;
};

Result measure(QApplication &app, int periodMs, int posts)
{
    UITaskQueueWnd pump;
    pump.Create(periodMs);

    using Clock = std::chrono::steady_clock;
    std::vector<double> delays; // GUI thread only
    delays.reserve(posts);

    std::thread worker([&] {
        std::mt19937 rng(12345u + periodMs);
        std::uniform_int_distribution<int> gapUs(0, periodMs * 1000 / 3 + 1000);
        for (int i = 0; i < posts; ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(gapUs(rng)));
            const Clock::time_point posted = Clock::now();
            pump.PostTask([&delays, posted, &app, posts] {
                delays.push_back(std::chrono::duration<double, std::milli>(Clock::now() - posted).count());
                if (int(delays.size()) == posts)
                    app.quit();
            });
        }
    });
    app.exec();
    worker.join();
    pump.Destroy();

    std::sort(delays.begin(), delays.end());
    Result r;
    r.medianMs = delays[delays.size() / 2];
    r.p90Ms = delays[delays.size() * 9 / 10];
    r.worstMs = delays.back();
    double sum = 0;
    for (double d : delays)
        sum += d;
    r.meanMs = sum / delays.size();
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int posts = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    std::printf("UITaskQueueWnd: PostTask on a worker -> run on the GUI thread (%d posts each)\n", posts);
    std::printf("%-10s %10s %10s %10s %10s\n", "period", "median", "p90", "worst", "mean");
    for (int period : {100, 10}) {
        const Result r = measure(app, period, posts);
        std::printf("%7d ms %7.2f ms %7.2f ms %7.2f ms %7.2f ms\n", period, r.medianMs, r.p90Ms,
                    r.worstMs, r.meanMs);
    }
    return 0;
}
