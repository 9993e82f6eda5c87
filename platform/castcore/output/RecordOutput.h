#pragma once

// One recording: a fragmented MP4 (empty initial index, a fragment at each
// keyframe and at least every second, each flushed to the file) written on
// its own thread, so a crash leaves a file playable up to its last fragment.
// A write error (a full disk) ends the recording, keeping what was written.

#include "EncodedStream.h"
#include "IoDeadline.h"
#include "MuxWriter.h"
#include "PacketQueue.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace castcore {

class RecordOutput
{
public:
    RecordOutput(std::string path, StreamParamsPtr params);
    ~RecordOutput(); // close()
    RecordOutput(const RecordOutput &) = delete;
    RecordOutput &operator=(const RecordOutput &) = delete;

    // Creates the file and starts the writing thread; false with `error`
    // when the file cannot be created.
    bool start(std::string *error);
    // Writes what is queued and the trailer, closes the file and returns.
    void close();
    // Encoder thread: queues a reference to the packet.
    void submit(const EncodedPacket &packet);
    // The recording ended by itself (write error, new encoder settings).
    bool ended() const { return m_ended.load(); }
    const std::string &path() const { return m_path; }

private:
    void run();
    void end(const char *why, const std::string &detail);

    std::string m_path;
    StreamParamsPtr m_params;
    IoDeadline m_deadline;
    MuxWriter m_writer;
    std::atomic<bool> m_ended{false};

    std::mutex m_mutex;
    std::condition_variable m_wake;
    PacketQueue m_queue;
    bool m_finish = false;
    std::mutex m_closeMutex;
    std::thread m_thread;
};

} // namespace castcore
