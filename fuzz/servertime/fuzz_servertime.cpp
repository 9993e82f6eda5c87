// The web API's timestamp answer as the process-wide server clock reads it.
#include "FuzzSupport.h"
#include "WebEndpoints.h"
#include "WebRequester.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The manager deletes itself with its reply, as after a real query.
    auto *manager = new ServerTimeManager;
    manager->handleNetworkResponse(
        new fuzzsupport::BufferReply(QUrl(WebEndpoints::serverTimeUrl()), fuzzsupport::bytes(data, size)));
    fuzzsupport::deleteLaterObjects();
    return 0;
}
