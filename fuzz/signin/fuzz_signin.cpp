// The two answers the outside-account sign-in reads: the sign-in answer of
// the client API and its own server-time answer. The first input byte picks
// which address the answer comes from; the rest is the body.
#include "FuzzSupport.h"
#include "LoginManager.h"
#include "UrlOpenRecorder.h"
#include "WebEndpoints.h"

namespace {

LoginManager *g_manager = nullptr;
testsupport::UrlOpenRecorder *g_browser = nullptr; // a first-use answer opens a page

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::startApplication();
    g_browser = new testsupport::UrlOpenRecorder;
    g_manager = new LoginManager;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QUrl from = (data[0] & 1) ? QUrl(WebEndpoints::serverTimeUrl())
                                     : QUrl(WebEndpoints::oauthSigninUrl(QStringLiteral("qq")));
    g_manager->handleNetworkResponse(new fuzzsupport::BufferReply(from, fuzzsupport::bytes(data + 1, size - 1)));
    g_manager->serverTime();
    g_browser->clear();
    fuzzsupport::deleteLaterObjects();
    return 0;
}
