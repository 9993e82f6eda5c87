#include "EncodeLibraryClient.h"

#include "EncodeLibrary.h"

namespace castcore {

EncodeLibraryClient::EncodeLibraryClient(EncodeEvents events) : m_events(std::move(events)) {}

EncodeLibraryClient::~EncodeLibraryClient()
{
    m_encoder.store(nullptr, std::memory_order_release);
    m_owned.reset();
}

Encoder *EncodeLibraryClient::ensureEncoder()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_owned) {
        m_owned = EncodeLibrary::createEncoder(m_events);
        if (!m_owned)
            return nullptr;
        if (m_configured)
            m_owned->configure(m_width, m_height, m_fps, m_bitRate);
        m_encoder.store(m_owned.get(), std::memory_order_release);
    }
    return m_owned.get();
}

void EncodeLibraryClient::configure(int width, int height, int fps, int bitRate)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_configured = true;
    m_width = width;
    m_height = height;
    m_fps = fps;
    m_bitRate = bitRate;
    if (m_owned)
        m_owned->configure(width, height, fps, bitRate);
}

void EncodeLibraryClient::connect(const std::string &url)
{
    if (Encoder *r = ensureEncoder())
        r->connect(url);
    else if (m_events.pushState)
        m_events.pushState(url, false);
}

void EncodeLibraryClient::setLive(bool live)
{
    // Ending what never began needs no library.
    if (Encoder *r = live ? ensureEncoder() : encoder())
        r->setLive(live);
}

bool EncodeLibraryClient::startRecording(const std::string &path)
{
    Encoder *r = ensureEncoder();
    return r && r->startRecording(path);
}

void EncodeLibraryClient::stopRecording()
{
    if (Encoder *r = encoder())
        r->stopRecording();
}

bool EncodeLibraryClient::recording() const
{
    const Encoder *r = encoder();
    return r && r->recording();
}

bool EncodeLibraryClient::active() const
{
    const Encoder *r = encoder();
    return r && r->active();
}

SendLatency EncodeLibraryClient::sendLatency() const
{
    const Encoder *r = encoder();
    return r ? r->sendLatency() : SendLatency{};
}

void EncodeLibraryClient::onCanvas(const QImage &canvas, int64_t ptsUs)
{
    if (Encoder *r = encoder())
        r->onCanvas(canvas, ptsUs);
}

void EncodeLibraryClient::onAudio(const int16_t *samples, int frames, int64_t ptsUs)
{
    if (Encoder *r = encoder())
        r->onAudio(samples, frames, ptsUs);
}

} // namespace castcore
