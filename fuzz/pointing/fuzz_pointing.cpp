// The analytics host's answer to a report, which reaches the daily log when
// it carries an error text.
#include "FuzzSupport.h"
#include "MorvaPointing.h"
#include "WebEndpoints.h"

namespace {

MorvaPointing *g_pointing = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::startApplication();
    g_pointing = new MorvaPointing(QStringLiteral("1.0.0"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    g_pointing->handlePointingResult(
        new fuzzsupport::BufferReply(QUrl(WebEndpoints::analyticsUrl()), fuzzsupport::bytes(data, size)));
    fuzzsupport::deleteLaterObjects();
    return 0;
}
