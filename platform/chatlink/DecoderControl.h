#pragma once

#include "ControlFace.h"

// Test face of the room-message decoder.
namespace chatlink {

class DecoderControl
{
public:
    // The next n calls of CreateMvMessageDecoder answer null.
    void failNextCreates(int n);
    // Every decoder call, with its text.
    mvplatform::CallLog &log() { return m_log; }
    void reset();

    // Used by the layer.
    bool takeCreateFailure();

private:
    mvplatform::CallLog m_log;
    mvplatform::Countdown m_failCreates;
};

DecoderControl &control();

} // namespace chatlink
