#pragma once

// Every test executable records the calls its layers receive, from before
// main(): each carries CallRecording.cpp (cmake/MorvaHelpers.cmake). The
// program carries none of this and records nothing.
namespace testsupport {

// Whether call logs recorded before this executable turned recording on:
// what the program runs with.
bool callsRecordedAtStart();

// While it lives, call logs record nothing, as in the program.
class RecordingOff
{
public:
    RecordingOff();
    ~RecordingOff();
    RecordingOff(const RecordingOff &) = delete;
    RecordingOff &operator=(const RecordingOff &) = delete;
};

} // namespace testsupport
