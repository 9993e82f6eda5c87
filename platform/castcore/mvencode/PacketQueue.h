#pragma once

// A send queue bounded by the time it spans. When it overflows (the output is
// slower than the encoder) it drops whole GOPs: everything queued goes, and
// video is taken again only from the next keyframe, so the receiver never
// sees a picture that refers to a lost one. Not thread-safe: its owner locks.
//
// A network output also tells it what left the queue but still waits in the
// connection (written, not yet acknowledged by the peer): that counts in the
// span too, since the receiver is behind by all of it. It cannot be taken
// back, so an overflow drops only what is queued, and forgets the rest.

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

    // A popped packet was written out; its last byte is byte `end` of the
    // connection (counted as the peer acknowledges them).
    void written(int64_t ptsUs, int64_t end);
    // The peer has acknowledged `count` bytes of the connection.
    void acknowledged(int64_t count);

private:
    struct InFlight
    {
        int64_t ptsUs;
        int64_t end;
    };

    std::deque<EncodedPacket> m_packets;
    std::deque<InFlight> m_inFlight;
    int64_t m_maxSpanUs;
    bool m_waitKeyframe = false;
};

} // namespace castcore
