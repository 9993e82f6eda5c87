#pragma once

// What an encode encoder reports, kept for the checks, a connect that
// waits for a receiver that is still starting, and a wait for a stopped
// recording's file to be finished.

#include "DebugCapture.h"
#include "EncodeLibraryClient.h"

#include <QString>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace mediatest {

// A recording that ended by itself, as reported.
struct RecordingEnd
{
    std::string path;
    int error = 0;
    std::string why;
};

// What the encoder reported, from whichever thread.
class EncodeEventLog
{
public:
    castcore::EncodeEvents events();
    int states(const std::string &url, bool connected) const;
    int kbpsReports() const;
    float lastKbps() const;
    std::vector<RecordingEnd> recordingEnds() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<std::string, bool>> m_states;
    std::vector<float> m_kbps;
    std::vector<RecordingEnd> m_ends;
};

// connect() until the receiver answers (it starts listening a little after
// its process starts); true when pushState(url, true) came.
bool connectWhenListening(castcore::EncodeLibraryClient &encoder, EncodeEventLog &log, const std::string &url);

// A stop returns before the file is finished; its writer logs when it is.
// True once it did (within 20 s).
bool waitFinished(const testsupport::DebugCapture &capture, const QString &file);

} // namespace mediatest
