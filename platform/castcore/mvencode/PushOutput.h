#pragma once

// The push: FLV over FFmpeg's RTMP protocol, on its own network thread.
// connect() opens the connection (publish handshake and header, 10 s at
// most) and reports through pushState; while live, encoded packets wait in a
// bounded send queue (whole GOPs leave it when the network falls behind) and
// the thread writes them, reporting kbps once a second. A write error ends
// the connection and reports pushState false once; a later connect()
// continues with the same encoder from a fresh keyframe.
//
// On a slow link the backlog must stay where it can be dropped: the kernel
// is let keep only a little unsent data, and what the peer has not yet
// acknowledged counts in the queue's span, so viewers stay close to live.
// A peer that stops acknowledging is given up 8 s after it stopped, and
// frames dropped are reported as they leave, from the thread that drops them.

#include "EncodeEvents.h"
#include "EncodedStream.h"
#include "IoDeadline.h"
#include "LatencyMeter.h"
#include "MuxWriter.h"
#include "PacketQueue.h"
#include "SendLatency.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace castcore {

class PushOutput
{
public:
    // `params` gives the encoders' parameters (opening them if needed);
    // `wantKeyframe` asks the encoder for a keyframe on its next picture.
    PushOutput(EncodeEvents events, std::function<StreamParamsPtr()> params,
               std::function<void()> wantKeyframe);
    ~PushOutput(); // ends a live stream with its trailer (2 s at most)
    PushOutput(const PushOutput &) = delete;
    PushOutput &operator=(const PushOutput &) = delete;

    void connect(const std::string &url);
    void setLive(bool live);
    bool live() const;

    // Encoder thread: queues a reference to the packet while live.
    void submit(const EncodedPacket &packet);
    // Encoder thread: a canvas that never reached the encoder.
    void countEncoderDrop();
    // Since live last began; any thread.
    SendLatency latency() const { return m_latency.read(); }

private:
    void run();
    void connectTo(const std::string &url, std::unique_lock<std::mutex> &lock);
    void sendQueued(std::unique_lock<std::mutex> &lock);
    void endStream(std::unique_lock<std::mutex> &lock);
    void reportKbps();
    void noteDropped(int frames); // under m_mutex
    void reportDrops();
    void forgetSocket(); // network thread, under m_mutex

    EncodeEvents m_events;
    std::function<StreamParamsPtr()> m_params;
    std::function<void()> m_wantKeyframe;
    IoDeadline m_deadline;
    LatencyMeter m_latency;
    MuxWriter m_writer;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    PacketQueue m_queue;
    std::string m_url;
    std::string m_pendingUrl;
    bool m_connectPending = false;
    bool m_connecting = false;
    bool m_connected = false;
    bool m_live = false;
    bool m_endPending = false;
    bool m_stop = false;
    int64_t m_framesSeen = 0;
    int64_t m_framesDropped = 0;
    int64_t m_framesReported = 0;
    std::mutex m_reportMutex; // keeps reports in order across threads
    // The connection's TCP socket (FFmpeg's), -1 when not known. Set and
    // cleared by the network thread under m_mutex, before FFmpeg closes it.
    int m_socket = -1;
    int64_t m_kbpsBytes = 0;
    std::chrono::steady_clock::time_point m_kbpsSince;
    std::thread m_thread;
};

} // namespace castcore
