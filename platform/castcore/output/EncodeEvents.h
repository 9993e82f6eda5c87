#pragma once

// What the encoder reports to its owner. Shared by FfmpegEncoder and the
// push, which reports through it directly.

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
    // Once, from the writing thread, when a recording ends by itself: the
    // file written, the system's error number (ENOSPC for a full disk, 0 when
    // no system error caused it, e.g. new video settings) and why, in words
    // for the log. Not called for a recording that its owner stopped.
    std::function<void(const std::string &path, int error, const std::string &why)> recordingEnded;
};

} // namespace castcore
