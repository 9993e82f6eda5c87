#pragma once

#include <cstdint>

namespace castcore {

// How long after composition the push's video reached the socket: for each
// video packet sent since live last began, the time from its canvas's ptsUs
// to the moment its bytes were handed to the connection.
struct SendLatency
{
    int64_t packets = 0;
    int64_t totalUs = 0; // over all those packets: totalUs / packets is the mean
    int64_t lastUs = 0;
    int64_t maxUs = 0;
};

} // namespace castcore
