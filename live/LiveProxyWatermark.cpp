#include "LiveProxy.h"

#include "Logger.h"
#include "WatermarkPlacement.h"

#include <QTime>

// The watermark source in its corner, and the beauty filter on the camera.

namespace {

unsigned secondsSinceMidnight()
{
    return unsigned(QTime(0, 0).secsTo(QTime::currentTime()));
}

} // namespace

int LiveProxy::addWatermark(int layer)
{
    Logger::instance()->write(Logger::LOG_INFO, "add watermark.");
    if (m_watermarkId > 0)
        return m_watermarkId;
    if (!m_scene)
        return -1;
    // A refused source is not held by the scene; the next try brings a new one.
    m_watermark = std::make_unique<WatermarkCapture>();
    const int id = m_scene->AddCustomCapture(m_watermark.get());
    if (id <= 0)
        return id;
    m_watermarkId = id;
    const int z = autoSetItemZorder(id, layer);
    m_scene->SetItemWatermark(id, 1);
    m_scene->SetItemWatermark(id, 2);
    m_scene->SetItemWatermark(id, 1);
    m_watermarkWidth = watermark::kRelativeWidth;
    m_watermarkHeight = watermark::kRelativeHeight;
    m_scene->SetItemRelativeRect(id, watermark::kStartX, watermark::kStartY, m_watermarkWidth, m_watermarkHeight);
    Logger::instance()->write(Logger::LOG_INFO, "add watermark success: id(%d) z(%d).", id, z);
    return id;
}

void LiveProxy::hopWatermark()
{
    if (m_watermarkId <= 0 || !m_scene)
        return;
    // Seeded from the time of day: hops within one second land alike.
    const std::optional<watermark::Spot> spot = watermark::hopForTick(watermark::kHopTicks, secondsSinceMidnight());
    if (spot) {
        m_scene->SetItemRelativeRect(m_watermarkId, spot->x, spot->y, 0.0f, 0.0f);
        publishOverlayFor(m_watermarkId);
    }
}

void LiveProxy::onTimer()
{
    ++m_ticks;
    if (m_ticks % watermark::kHopTicks == 0)
        hopWatermark();
    pollQrOnTick();
}

void LiveProxy::attachFilterToCamera(int id)
{
    if (itemType(id) != SceneItemCamera)
        return;
    if (m_videoFilter->attachedItem() > 0)
        m_videoFilter->detach();
    m_videoFilter->attach(id);
}

void LiveProxy::detachFilterFrom(int id)
{
    if (id > 0 && m_videoFilter->attachedItem() == id)
        m_videoFilter->detach();
}

void LiveProxy::setWhitening(int, int, int whitening, int)
{
    m_videoFilter->setWhitening(whitening);
}

void LiveProxy::setBlur(int, int blur, int, int)
{
    m_videoFilter->setBlur(blur);
}

void LiveProxy::setColourTemperature(int, int, int, int colourTemperature)
{
    m_videoFilter->setColourTemperature(colourTemperature);
}
