#include "EngineThreads.h"

#include "CastCoreControl.h"

namespace castcore {

EngineThreads::EngineThreads()
    : m_library("castcore-lib")
    , m_video("castcore-canvas") // the compositor's frame clock runs here
{
}

void EngineThreads::post(std::function<void()> task)
{
    if (control().inlineCallbacks())
        task();
    else
        m_library.post(std::move(task));
}

void EngineThreads::runOnLibrary(const std::function<void()> &task)
{
    if (control().inlineCallbacks())
        task();
    else
        m_library.run(task);
}

void EngineThreads::runOnVideo(const std::function<void()> &task)
{
    if (control().inlineCallbacks())
        task();
    else
        m_video.run(task);
}

bool EngineThreads::waitIdle(int timeoutMs)
{
    // The library thread may hand work to the video thread and back; two
    // rounds settle both.
    for (int round = 0; round < 2; ++round) {
        if (!m_library.waitIdle(timeoutMs) || !m_video.waitIdle(timeoutMs))
            return false;
    }
    return true;
}

void EngineThreads::stop()
{
    m_library.stop();
    m_video.stop();
}

} // namespace castcore
