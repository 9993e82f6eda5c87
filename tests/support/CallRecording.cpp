#include "CallRecording.h"

#include "ControlFace.h"

namespace testsupport {
namespace {

struct TurnRecordingOn
{
    bool atStart = false;
    TurnRecordingOn()
    {
        atStart = mvplatform::CallLog::recording();
        mvplatform::CallLog::setRecording(true);
    }
};

const TurnRecordingOn g_recording;

} // namespace

bool callsRecordedAtStart()
{
    return g_recording.atStart;
}

RecordingOff::RecordingOff()
{
    mvplatform::CallLog::setRecording(false);
}

RecordingOff::~RecordingOff()
{
    mvplatform::CallLog::setRecording(true);
}

} // namespace testsupport
