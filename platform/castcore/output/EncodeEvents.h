#pragma once

// What the encoding road reports to its owner. Shared by the pipeline and
// the push, which reports through it directly.

#include <cstdint>
#include <functional>
#include <string>

namespace castcore {

struct EncodeEvents
{
    // The push's outcome: after connect() (connected or not), and later a
    // connection lost while live (false).
    std::function<void(const std::string &url, bool connected)> pushState;
    // Once a second while live: kilobits per second actually sent.
    std::function<void(float kbps)> kbps;
    // When frames leave the send queue: the total and its share of all frames.
    std::function<void(int64_t total, float percent)> framesDropped;
    // Once, from the writing thread, when a recording ends by itself (a
    // write error, new video settings): the file written and why, in words.
    // Not called for a recording that the owner stopped.
    std::function<void(const std::string &path, const std::string &why)> recordingEnded;
};

} // namespace castcore
