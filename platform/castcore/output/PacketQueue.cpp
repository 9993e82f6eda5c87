#include "PacketQueue.h"

namespace castcore {

int PacketQueue::push(EncodedPacket packet)
{
    int dropped = 0;
    if (!packet.packet)
        return packet.video ? 1 : 0; // out of memory
    if (!m_packets.empty() && packet.ptsUs - m_packets.front().ptsUs > m_maxSpanUs) {
        for (const EncodedPacket &queued : m_packets)
            dropped += queued.video ? 1 : 0;
        m_packets.clear();
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
    m_waitKeyframe = false;
}

} // namespace castcore
