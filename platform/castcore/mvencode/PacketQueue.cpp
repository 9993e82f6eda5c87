#include "PacketQueue.h"

namespace castcore {

int PacketQueue::push(EncodedPacket packet)
{
    int dropped = 0;
    if (!packet.packet)
        return packet.video ? 1 : 0; // out of memory
    const bool waiting = !m_packets.empty() || !m_inFlight.empty();
    const int64_t oldestUs = !m_inFlight.empty() ? m_inFlight.front().ptsUs
                                                 : (!m_packets.empty() ? m_packets.front().ptsUs : 0);
    if (waiting && packet.ptsUs - oldestUs > m_maxSpanUs) {
        for (const EncodedPacket &queued : m_packets)
            dropped += queued.video ? 1 : 0;
        m_packets.clear();
        m_inFlight.clear();
        m_waitKeyframe = true;
    }
    if (m_waitKeyframe) {
        if (!packet.keyframe()) {
            // Sound waits too: resuming both at the keyframe keeps them together.
            return dropped + (packet.video ? 1 : 0);
        }
        m_waitKeyframe = false;
    }
    m_packets.push_back(std::move(packet));
    return dropped;
}

EncodedPacket PacketQueue::pop()
{
    EncodedPacket packet = std::move(m_packets.front());
    m_packets.pop_front();
    return packet;
}

void PacketQueue::clear()
{
    m_packets.clear();
    m_inFlight.clear();
    m_waitKeyframe = false;
}

void PacketQueue::written(int64_t ptsUs, int64_t end)
{
    m_inFlight.push_back({ptsUs, end});
}

void PacketQueue::acknowledged(int64_t count)
{
    while (!m_inFlight.empty() && m_inFlight.front().end <= count)
        m_inFlight.pop_front();
}

} // namespace castcore
