#pragma once

// One connection to a PulseAudio server, run by libpulse's threaded main
// loop: its callbacks (and our capture streams') run on that loop's thread.
// Calls here come from other threads and never wait longer than they are
// told to.

#include "CastCoreWorld.h"

#include <pulse/context.h>
#include <pulse/thread-mainloop.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace castcore {

class PulseClient
{
public:
    // Connects to the server libpulse finds (PULSE_SERVER, client.conf, the
    // user's runtime folder) without spawning one. Null when none answers in
    // time or `cancel` turns true; `timedOut` then tells a slow server from a
    // missing one. `changed` runs on the loop's thread when the connection,
    // once made, ends, when a stream of it ends or the server gains a source.
    static std::shared_ptr<PulseClient> connect(std::chrono::milliseconds timeout, bool *timedOut,
                                                std::function<void()> changed = {},
                                                const std::atomic<bool> *cancel = nullptr);
    ~PulseClient();

    PulseClient(const PulseClient &) = delete;
    PulseClient &operator=(const PulseClient &) = delete;

    bool isReady() const;
    // Sources that are not monitors as microphones, the monitors of the
    // sinks as system sound; key = source name, name = its description.
    // Nothing when the server does not answer in time.
    std::optional<std::vector<AudioDevice>> sources(std::chrono::milliseconds timeout);

    // For the streams of this connection: hold the loop's lock around every
    // call on the context or a stream (never on the loop's own thread).
    pa_context *context() const { return m_context; }
    void lock();
    void unlock();
    // Server thread, after a change a waiter may be waiting for.
    void wake();
    // Server thread: tells the owner that something it keeps may have ended
    // or may be back.
    void changed();
    // Waits until `done` answers true, the connection ends or time runs out.
    bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout);

private:
    PulseClient() = default;
    static void onContextState(pa_context *context, void *self);
    static void onEvent(pa_context *context, pa_subscription_event_type_t type, uint32_t index, void *self);

    pa_threaded_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
    std::atomic<int> m_state{PA_CONTEXT_UNCONNECTED};
    std::atomic<bool> m_wasReady{false};
    std::mutex m_waitMutex;
    std::condition_variable m_waitCv;
    std::function<void()> m_changed; // set before the loop runs
};

// Holds a client's loop lock for a scope.
class PulseLock
{
public:
    explicit PulseLock(PulseClient &client) : m_client(client) { m_client.lock(); }
    ~PulseLock() { m_client.unlock(); }
    PulseLock(const PulseLock &) = delete;
    PulseLock &operator=(const PulseLock &) = delete;

private:
    PulseClient &m_client;
};

} // namespace castcore
