#pragma once

#include "ControlFace.h"

#include <string>

// Test face of the room-message decoder. Ops: "CreateMvMessageDecoder",
// "GetMessageType", "DecodeChat", "DecodeGift", "DecodeEffect",
// "DecodeMonthlyTicket", "DecodeBlacklist".
namespace chatlink {

class DecoderControl
{
public:
    // The next n calls of CreateMvMessageDecoder answer null.
    void failNextCreates(int n);
    // Every decoder call, with its text.
    mvplatform::CallLog &log() { return m_log; }
    // Scripted answers by op: GetMessageType answers the scripted type
    // whatever the text; a Decode op answers a scripted non-zero value and
    // leaves the record alone (a scripted 0 is ignored: a filled record
    // comes from the text).
    mvplatform::Script<int> &results() { return m_results; }
    // A closed gate holds every call of its op.
    mvplatform::Gates &gates() { return m_gates; }
    // True once no call is in the decoder (held ones included); false on
    // timeout.
    bool waitIdle(int timeoutMs = 5000) const { return m_activity.waitIdle(timeoutMs); }
    // Forgets scripts and the call log and opens every gate.
    void reset();

    // Used by the layer.
    bool takeCreateFailure();
    mvplatform::Activity &activity() { return m_activity; }

private:
    mvplatform::CallLog m_log;
    mvplatform::Countdown m_failCreates;
    mvplatform::Script<int> m_results;
    mvplatform::Gates m_gates;
    mvplatform::Activity m_activity;
};

DecoderControl &control();

} // namespace chatlink
