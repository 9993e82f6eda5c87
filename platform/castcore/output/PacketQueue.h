#pragma once

// A send queue bounded by the time it spans. When it overflows (the output is
// slower than the encoder) it drops whole GOPs: everything queued goes, and
// video is taken again only from the next keyframe, so the receiver never
// sees a picture that refers to a lost one. Not thread-safe: its owner locks.

#include "EncodedStream.h"

#include <deque>

namespace castcore {

class PacketQueue
{
public:
    explicit PacketQueue(int64_t maxSpanUs) : m_maxSpanUs(maxSpanUs) {}

    // Queues the packet or drops it; returns the number of video frames
    // dropped by this call (queued ones included).
    int push(EncodedPacket packet);
    bool empty() const { return m_packets.empty(); }
    EncodedPacket pop();
    void clear();
    // True after an overflow until a keyframe came in.
    bool waitingForKeyframe() const { return m_waitKeyframe; }

private:
    std::deque<EncodedPacket> m_packets;
    int64_t m_maxSpanUs;
    bool m_waitKeyframe = false;
};

} // namespace castcore
