#include "AudioEngine.h"

#include "AudioMixer.h"
#include "PulseCapture.h"
#include "PulseClient.h"
#include "WorldAudioDevice.h"

#include <QString>

#include <algorithm>
#include <chrono>

namespace castcore {

namespace {

constexpr std::chrono::milliseconds kConnectTimeout{1500};
constexpr std::chrono::milliseconds kRequestTimeout{1000};
// A server that let a connection time out is not asked again for this long,
// so that listing devices does not stall the caller each time.
constexpr int64_t kSlowServerPauseUs = 3000000;

QByteArray utf8(const std::u16string &text)
{
    return QString::fromStdU16String(text).toUtf8();
}

} // namespace

AudioEngine::AudioEngine(AudioSink *sink, std::function<void(int type, int level)> level)
    : m_mixer(new AudioMixer(sink, std::move(level)))
{
}

AudioEngine::~AudioEngine()
{
    // Inputs hold the server connection: they go first, the connection last.
    m_mixer.reset();
    m_server.reset();
}

std::shared_ptr<PulseClient> AudioEngine::server()
{
    if (m_server && m_server->isReady())
        return m_server;
    m_server.reset();
    if (mediaNowUs() < m_retryAfterUs)
        return nullptr;
    bool timedOut = false;
    m_server = PulseClient::connect(kConnectTimeout, &timedOut);
    if (timedOut) {
        qWarning("engine: the sound server did not answer within %lld ms; using the world's devices",
                 static_cast<long long>(kConnectTimeout.count()));
        m_retryAfterUs = mediaNowUs() + kSlowServerPauseUs;
    }
    return m_server;
}

std::vector<AudioDevice> AudioEngine::devices(const World &world)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_serverKeys.clear();
    if (const std::shared_ptr<PulseClient> client = server()) {
        if (std::optional<std::vector<AudioDevice>> listed = client->sources(kRequestTimeout)) {
            for (const AudioDevice &d : *listed)
                m_serverKeys.push_back(d.key);
            return *listed;
        }
    }
    return world.audioDevices;
}

bool AudioEngine::open(const AudioDevice &device)
{
    if (device.kind != AudioMicrophone && device.kind != AudioSystemSound) {
        qWarning("engine: sound device %s has no kind %d", utf8(device.key).constData(), device.kind);
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    const bool onServer = std::find(m_serverKeys.begin(), m_serverKeys.end(), device.key) != m_serverKeys.end();
    if (!onServer) {
        m_mixer->setInput(device.kind, std::make_shared<WorldAudioDevice>(device.toneHz));
        qInfo("engine: sound device %s opened (world, tone %g Hz)", utf8(device.key).constData(), device.toneHz);
        return true;
    }
    const std::shared_ptr<PulseCapture> capture =
        PulseCapture::open(server(), utf8(device.key).toStdString(), kRequestTimeout);
    if (!capture) {
        qWarning("engine: cannot open sound device %s", utf8(device.key).constData());
        return false;
    }
    m_mixer->setInput(device.kind, capture);
    qInfo("engine: sound device %s opened (server)", utf8(device.key).constData());
    return true;
}

void AudioEngine::setVolume(int channel, int value)
{
    m_mixer->setVolume(channel, value);
}

void AudioEngine::start()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mixer->start();
}

void AudioEngine::stop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mixer->stop();
}

} // namespace castcore
