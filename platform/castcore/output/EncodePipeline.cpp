#include "EncodePipeline.h"

#include "EncodeLibrary.h"

namespace castcore {

EncodePipeline::EncodePipeline(EncodeEvents events) : m_events(std::move(events)) {}

EncodePipeline::~EncodePipeline()
{
    m_road.store(nullptr, std::memory_order_release);
    m_owned.reset();
}

EncodeRoad *EncodePipeline::ensureRoad()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_owned) {
        m_owned = EncodeLibrary::createRoad(m_events);
        if (!m_owned)
            return nullptr;
        if (m_configured)
            m_owned->configure(m_width, m_height, m_fps, m_bitRate);
        m_road.store(m_owned.get(), std::memory_order_release);
    }
    return m_owned.get();
}

void EncodePipeline::configure(int width, int height, int fps, int bitRate)
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

void EncodePipeline::connect(const std::string &url)
{
    if (EncodeRoad *r = ensureRoad())
        r->connect(url);
    else if (m_events.pushState)
        m_events.pushState(url, false);
}

void EncodePipeline::setLive(bool live)
{
    // Ending what never began needs no library.
    if (EncodeRoad *r = live ? ensureRoad() : road())
        r->setLive(live);
}

bool EncodePipeline::startRecording(const std::string &path)
{
    EncodeRoad *r = ensureRoad();
    return r && r->startRecording(path);
}

void EncodePipeline::stopRecording()
{
    if (EncodeRoad *r = road())
        r->stopRecording();
}

bool EncodePipeline::recording() const
{
    const EncodeRoad *r = road();
    return r && r->recording();
}

bool EncodePipeline::active() const
{
    const EncodeRoad *r = road();
    return r && r->active();
}

SendLatency EncodePipeline::sendLatency() const
{
    const EncodeRoad *r = road();
    return r ? r->sendLatency() : SendLatency{};
}

void EncodePipeline::onCanvas(const QImage &canvas, int64_t ptsUs)
{
    if (EncodeRoad *r = road())
        r->onCanvas(canvas, ptsUs);
}

void EncodePipeline::onAudio(const int16_t *samples, int frames, int64_t ptsUs)
{
    if (EncodeRoad *r = road())
        r->onAudio(samples, frames, ptsUs);
}

} // namespace castcore
