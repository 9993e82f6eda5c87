#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace castcore {

// One thread of the engine's own (the library thread, the video thread) that
// runs posted callbacks in order.
class CallbackThread
{
public:
    explicit CallbackThread(const char *name);
    ~CallbackThread();

    CallbackThread(const CallbackThread &) = delete;
    CallbackThread &operator=(const CallbackThread &) = delete;

    void post(std::function<void()> task);
    // Runs the task on this thread and returns when it is done; runs it at
    // once when called from this thread.
    void run(const std::function<void()> &task);
    // Waits until nothing is queued or running; false on timeout.
    bool waitIdle(int timeoutMs);
    std::thread::id id() const { return m_id; }
    void stop();

private:
    void loop();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_tasks;
    bool m_running = false;
    bool m_stopping = false;
    std::thread m_thread;
    std::thread::id m_id;
};

} // namespace castcore

namespace castcore {

// The engine's two threads. Callbacks run there, or on the caller's thread
// while the control face asks for inline callbacks.
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

private:
    CallbackThread m_library;
    CallbackThread m_video;
};

} // namespace castcore
