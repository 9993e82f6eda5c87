#include "AudioEngine.h"

#include "AudioMixer.h"
#include "PulseCapture.h"
#include "PulseClient.h"
#include "RetryBackoff.h"
#include "ThreadSignalStack.h"
#include "WorldAudioDevice.h"

#include <QString>

#include <algorithm>
#include <optional>

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

void AudioEngine::Wakeup::wake()
{
    std::lock_guard<std::mutex> lock(mutex);
    woken = true;
    cv.notify_all();
}

bool AudioEngine::Wakeup::wait(std::chrono::milliseconds pause)
{
    std::unique_lock<std::mutex> lock(mutex);
    const auto news = [this] { return woken || stopping; };
    if (pause.count() < 0)
        cv.wait(lock, news);
    else
        cv.wait_for(lock, pause, news);
    woken = false;
    return !stopping;
}

AudioEngine::AudioEngine(AudioSink *sink, std::function<void(int type, int level)> level)
    : m_mixer(new AudioMixer(sink, std::move(level)))
    , m_wake(std::make_shared<Wakeup>())
{
}

AudioEngine::~AudioEngine()
{
    stop();
    // Inputs hold the server connection: they go first, the connection last.
    m_mixer.reset();
    for (ServerDevice &d : m_opened)
        d.capture.reset();
    m_server.reset();
}

std::function<void()> AudioEngine::wakeKeeper() const
{
    return [wake = m_wake] { wake->wake(); };
}

std::shared_ptr<PulseClient> AudioEngine::server()
{
    if (m_server && m_server->isReady())
        return m_server;
    m_server.reset();
    if (mediaNowUs() < m_retryAfterUs)
        return nullptr;
    bool timedOut = false;
    m_server = PulseClient::connect(kConnectTimeout, &timedOut, wakeKeeper());
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
    ServerDevice &opened = m_opened[device.kind - 1];
    const bool onServer = std::find(m_serverKeys.begin(), m_serverKeys.end(), device.key) != m_serverKeys.end();
    if (!onServer) {
        m_mixer->setInput(device.kind, std::make_shared<WorldAudioDevice>(device.toneHz));
        opened = ServerDevice{{}, nullptr, opened.generation + 1, false};
        qInfo("engine: sound device %s opened (world, tone %g Hz)", utf8(device.key).constData(), device.toneHz);
        return true;
    }
    std::string why;
    const std::shared_ptr<PulseCapture> capture =
        PulseCapture::open(server(), utf8(device.key).toStdString(), kRequestTimeout, &why);
    if (!capture) {
        qWarning("engine: cannot record %s: %s", utf8(device.key).constData(), why.c_str());
        qWarning("engine: cannot open sound device %s", utf8(device.key).constData());
        return false;
    }
    m_mixer->setInput(device.kind, capture);
    opened = ServerDevice{device.key, capture, opened.generation + 1, false};
    qInfo("engine: sound device %s opened (server)", utf8(device.key).constData());
    return true;
}

void AudioEngine::setVolume(int channel, int value)
{
    m_mixer->setVolume(channel, value);
}

void AudioEngine::start()
{
    std::lock_guard<std::mutex> run(m_runMutex);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_mixer->start();
    }
    if (!m_keeper.joinable()) {
        m_wake->stopping = false;
        m_keeper = std::thread(&AudioEngine::keep, this);
    }
}

void AudioEngine::stop()
{
    std::lock_guard<std::mutex> run(m_runMutex);
    if (m_keeper.joinable()) {
        m_wake->stopping = true;
        m_wake->wake();
        m_keeper.join();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mixer->stop();
}

void AudioEngine::keep()
{
    const mvplatform::ThreadSignalStack signalStack; // a crash here still writes its dump
    using Clock = std::chrono::steady_clock;
    RetryBackoff backoff;
    bool outage = false;
    std::optional<Clock::time_point> lastReopen;
    for (;;) {
        bool lost = false;
        std::shared_ptr<PulseClient> client;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (ServerDevice &d : m_opened) {
                if (d.key.empty() || (d.capture && !d.capture->ended()))
                    continue;
                lost = true;
                if (!d.lost)
                    qWarning("engine: sound device %s lost; it is opened again when it returns",
                             utf8(d.key).constData());
                d.lost = true;
            }
            if (m_server && m_server->isReady())
                client = m_server;
        }
        if (!lost) {
            outage = false;
            if (!m_wake->wait(std::chrono::milliseconds(-1)))
                return;
            continue;
        }
        if (!outage) {
            outage = true;
            // A device that ends again soon after it was reopened is not tried
            // at once: a server that keeps ending streams costs a pause each.
            if (lastReopen && Clock::now() - *lastReopen < RetryBackoff::kLongest) {
                if (!m_wake->wait(backoff.next()))
                    return;
                continue;
            }
            backoff.reset();
        }
        if (!client) {
            client = PulseClient::connect(kConnectTimeout, nullptr, wakeKeeper(), &m_wake->stopping);
            if (client) {
                qInfo("engine: the sound server answers again");
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_server && m_server->isReady())
                    client = m_server;
                else
                    m_server = client;
            }
        }
        if (client && reopenLost(client)) {
            lastReopen = Clock::now();
            continue;
        }
        if (!m_wake->wait(backoff.next()))
            return;
    }
}

bool AudioEngine::reopenLost(const std::shared_ptr<PulseClient> &client)
{
    struct Lost
    {
        int kind;
        std::u16string key;
        uint64_t generation;
    };
    std::vector<Lost> lost;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (int kind : {AudioMicrophone, AudioSystemSound}) {
            const ServerDevice &d = m_opened[kind - 1];
            if (!d.key.empty() && (!d.capture || d.capture->ended()))
                lost.push_back({kind, d.key, d.generation});
        }
    }
    bool all = true;
    for (const Lost &l : lost) {
        if (m_wake->stopping)
            return false;
        // By its own source name: another device never stands in for it.
        std::string why;
        std::shared_ptr<PulseCapture> capture =
            PulseCapture::open(client, utf8(l.key).toStdString(), kRequestTimeout, &why);
        if (!capture) {
            all = false;
            continue;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        ServerDevice &d = m_opened[l.kind - 1];
        if (d.generation != l.generation)
            continue; // opened anew meanwhile; that one stands
        d.capture = capture;
        d.lost = false;
        m_mixer->setInput(l.kind, capture);
        qInfo("engine: sound device %s opened again (server)", utf8(l.key).constData());
    }
    return all;
}

} // namespace castcore
