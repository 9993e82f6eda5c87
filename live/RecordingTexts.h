#pragma once

#include <QString>

// What the user is told when the recording beside a broadcast fails; the
// broadcast itself goes on.
namespace livetexts {

// The recorder refused to start (the record folder cannot be written).
QString recordingNotStartedMessage();
// The recording ended by itself; `error` is the system's error number that
// ended it, 0 when none did (the video settings changed).
QString recordingEndedMessage(int error);

} // namespace livetexts
