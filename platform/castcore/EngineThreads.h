#pragma once

#include "CallbackThread.h"

#include <functional>
#include <thread>

namespace castcore {

// The engine's two threads (the library thread, the video thread). Callbacks
// run there, or on the caller's thread while the control face asks for inline
// callbacks.
class EngineThreads
{
public:
    EngineThreads();

    // Library thread, without waiting.
    void post(std::function<void()> task);
    // Library thread, waiting for the task.
    void runOnLibrary(const std::function<void()> &task);
    // Video thread, waiting for the task.
    void runOnVideo(const std::function<void()> &task);
    bool waitIdle(int timeoutMs);
    void stop();
    std::thread::id libraryId() const { return m_library.id(); }
    std::thread::id videoId() const { return m_video.id(); }
    // The video thread itself, for the frame clock that runs on it.
    mvplatform::CallbackThread &video() { return m_video; }

private:
    mvplatform::CallbackThread m_library;
    mvplatform::CallbackThread m_video;
};

} // namespace castcore
