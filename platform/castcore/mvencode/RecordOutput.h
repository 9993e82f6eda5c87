#pragma once

// One recording: a fragmented MP4 (empty initial index, a fragment at each
// keyframe and at least every second, each flushed to the file) written on
// its own thread, so a crash leaves a file playable up to its last fragment.
//
// The writing thread owns the recording: finish() only asks it to write
// what is queued and the trailer and returns at once, whatever the disk
// does. A disk that does not take the end within kFinishLimit is given up on
// (a FIFO nobody reads; a write stuck in the kernel on a dead disk just
// keeps its thread), keeping every fragment written. A write error (a full
// disk) ends the recording by itself, keeping what was written, and is
// reported once through RecordingReport.

#include "EncodedStream.h"
#include "IoDeadline.h"
#include "MuxWriter.h"
#include "PacketQueue.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace castcore {

// The owner's word that a recording ended by itself, passed on only while
// the owner is there: close() waits for a report under way and lets none
// start after it. The callback must not wait for the owner's thread.
class RecordingReport
{
public:
    using Ended = std::function<void(const std::string &path, int error, const std::string &why)>;
    explicit RecordingReport(Ended ended) : m_ended(std::move(ended)) {}

    void ended(const std::string &path, int error, const std::string &why);
    void close();

private:
    std::mutex m_mutex;
    Ended m_ended;
};

class RecordOutput : public std::enable_shared_from_this<RecordOutput>
{
public:
    static constexpr std::chrono::seconds kFinishLimit{10};

    // Creates the file for `path` without replacing any (RecordFile) and
    // starts the writing thread; null with `error` when no file can be
    // created. `params` are the encoders' at the start; the header takes
    // those of the first packet, written when it comes.
    static std::shared_ptr<RecordOutput> start(const std::string &path, StreamParamsPtr params,
                                               std::shared_ptr<RecordingReport> report, std::string *error);
    ~RecordOutput();
    RecordOutput(const RecordOutput &) = delete;
    RecordOutput &operator=(const RecordOutput &) = delete;

    // Encoder thread: queues a copy of the packet, made by encoders with
    // `params`. Ignored once finish() was asked or the recording ended.
    void submit(const EncodedPacket &packet, const StreamParamsPtr &params);
    // Writes what is queued and the trailer on the writing thread, bounded by
    // kFinishLimit; returns at once. The recording is then not reported.
    void finish();
    // Whether the writing thread is done, waiting up to `limit` for it.
    bool waitDone(std::chrono::milliseconds limit);
    // The same, but given up at once when one write has taken `stall`: a
    // disk that stopped answering is not waited for.
    bool waitDone(std::chrono::milliseconds limit, std::chrono::milliseconds stall);
    // The recording ended by itself (write error, new encoder settings).
    bool ended() const { return m_ended.load(); }
    // The file written, and the name it was asked for.
    const std::string &path() const { return m_path; }
    const std::string &requestedPath() const { return m_requested; }

private:
    RecordOutput(std::string requested, std::string path, int fd, StreamParamsPtr params,
                 std::shared_ptr<RecordingReport> report);
    void run();
    bool writeHeader();
    bool writePacket(const EncodedPacket &packet);
    void finishFile();
    void endBySelf(const std::string &why, int error, bool trailer);
    StreamParamsPtr headerParams();
    void noteCaughtUp(); // under m_mutex

    const std::string m_requested;
    const std::string m_path;
    int m_fd;
    std::shared_ptr<RecordingReport> m_report;
    IoDeadline m_deadline;
    MuxWriter m_writer;
    bool m_headerWritten = false; // writing thread
    std::atomic<bool> m_ended{false};
    std::atomic<int64_t> m_writingSinceUs{0}; // when the write under way began; 0: none

    std::mutex m_mutex;
    std::condition_variable m_wake;
    StreamParamsPtr m_params;
    bool m_paramsFromPacket = false;
    PacketQueue m_queue;
    bool m_finish = false;
    bool m_behind = false; // frames are being left out
    int64_t m_leftOut = 0;
    bool m_done = false;
};

} // namespace castcore
