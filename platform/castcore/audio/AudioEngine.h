#pragma once

// Sound: the microphone (type 1) and the system sound (type 2) through
// PulseAudio when a server runs, else the world's devices (silence or a
// tone). Both are scaled by their volumes, mixed into one 48 kHz stereo
// stream on one mixer thread, timestamped on the engine's clock and handed
// to the sink; their peak levels are reported every 100 ms.

#include "CastCoreWorld.h"
#include "MediaSinks.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace castcore {

class AudioMixer;
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
    // Starts or stops the mixer thread (levels and sink).
    void start();
    void stop();

private:
    AudioEngine(const AudioEngine &) = delete;
    AudioEngine &operator=(const AudioEngine &) = delete;

    // The connection to the sound server, made afresh when the last one
    // ended; null while none answers.
    std::shared_ptr<PulseClient> server();

    std::mutex m_mutex;
    std::unique_ptr<AudioMixer> m_mixer;
    std::shared_ptr<PulseClient> m_server;
    std::vector<std::u16string> m_serverKeys; // sources of the last listing
    int64_t m_retryAfterUs = 0;               // after a server too slow to answer
};

} // namespace castcore
