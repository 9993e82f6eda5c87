#pragma once

// Sound: the microphone (type 1) and the system sound (type 2) through
// PulseAudio when a server runs, else the world's devices (silence or a
// tone). Both are scaled by their volumes, mixed into one 48 kHz stereo
// stream on one mixer thread, timestamped on the engine's clock and handed
// to the sink; their peak levels are reported every 100 ms.
// While it runs, a keeper thread holds the server's devices open: when the
// server or a device goes away it tries again, with growing pauses, and each
// device that returns is recorded again on its own input. Meanwhile the
// stream goes on in silence.

#include "CastCoreWorld.h"
#include "MediaSinks.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace castcore {

class AudioMixer;
class PulseCapture;
class PulseClient;

class AudioEngine
{
public:
    // `level(type, 0..100)`: peak over the last 100 ms, from the mixer thread.
    AudioEngine(AudioSink *sink, std::function<void(int type, int level)> level);
    ~AudioEngine();

    // The server's sources (kind 1) and the monitors of its sinks (kind 2)
    // when a server answers, else the world's devices.
    std::vector<AudioDevice> devices(const World &world);
    // Opens the device for its kind (replacing the open one of that kind).
    bool open(const AudioDevice &device);
    // Channel 1 microphone, 2 system sound; 0..100, 0 is silence.
    void setVolume(int channel, int value);
    // Starts or stops the mixer thread (levels and sink) and the keeper.
    void start();
    void stop();

private:
    AudioEngine(const AudioEngine &) = delete;
    AudioEngine &operator=(const AudioEngine &) = delete;

    // Wakes the keeper early: from the server's thread on news, from ours
    // to stop. Shared with the connections, which may outlive the engine.
    struct Wakeup
    {
        std::mutex mutex;
        std::condition_variable cv;
        bool woken = false;
        std::atomic<bool> stopping{false};

        void wake();
        // False once stopping; `pause` < 0 waits for news alone.
        bool wait(std::chrono::milliseconds pause);
    };

    // A device open on the server, kept by its source name.
    struct ServerDevice
    {
        std::u16string key; // empty: the kind has none on the server
        std::shared_ptr<PulseCapture> capture;
        uint64_t generation = 0; // counts opens, so a late reopen cannot undo one
        bool lost = false;       // its end has been logged
    };

    // The connection to the sound server, made afresh when the last one
    // ended; null while none answers. Called with m_mutex held.
    std::shared_ptr<PulseClient> server();
    std::function<void()> wakeKeeper() const;
    void keep();
    bool reopenLost(const std::shared_ptr<PulseClient> &client);

    std::mutex m_mutex;
    std::unique_ptr<AudioMixer> m_mixer;
    std::shared_ptr<PulseClient> m_server;
    std::vector<std::u16string> m_serverKeys; // sources of the last listing
    int64_t m_retryAfterUs = 0;               // after a server too slow to answer
    ServerDevice m_opened[2];                 // by kind - 1

    std::mutex m_runMutex; // start and stop
    const std::shared_ptr<Wakeup> m_wake;
    std::thread m_keeper;
};

} // namespace castcore
