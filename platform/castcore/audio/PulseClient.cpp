#include "PulseClient.h"

#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/operation.h>

#include <QString>

namespace castcore {

namespace {

std::u16string fromUtf8(const char *text)
{
    return text ? QString::fromUtf8(text).toStdU16String() : std::u16string();
}

bool isFinal(int state)
{
    return state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED;
}

struct SourceListing
{
    PulseClient *client = nullptr;
    std::vector<AudioDevice> devices;
    std::atomic<bool> done{false};
    bool failed = false;
};

void onSourceInfo(pa_context *, const pa_source_info *info, int eol, void *userdata)
{
    auto *listing = static_cast<SourceListing *>(userdata);
    if (eol != 0 || !info) {
        listing->failed = eol < 0;
        listing->done = true;
        listing->client->wake();
        return;
    }
    AudioDevice device;
    device.key = fromUtf8(info->name);
    device.name = fromUtf8(info->description && *info->description ? info->description : info->name);
    device.kind = info->monitor_of_sink != PA_INVALID_INDEX ? AudioSystemSound : AudioMicrophone;
    listing->devices.push_back(device);
}

} // namespace

std::shared_ptr<PulseClient> PulseClient::connect(std::chrono::milliseconds timeout, bool *timedOut)
{
    if (timedOut)
        *timedOut = false;
    std::shared_ptr<PulseClient> client(new PulseClient);
    client->m_loop = pa_threaded_mainloop_new();
    if (!client->m_loop)
        return nullptr;
    // The loop's thread is not running yet, so no lock is needed to set up.
    client->m_context = pa_context_new(pa_threaded_mainloop_get_api(client->m_loop), "MorvaShow");
    if (!client->m_context)
        return nullptr;
    pa_context_set_state_callback(client->m_context, &PulseClient::onContextState, client.get());
    if (pa_context_connect(client->m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return nullptr;
    if (pa_threaded_mainloop_start(client->m_loop) < 0)
        return nullptr;
    client->waitUntil([&] { return client->m_state == PA_CONTEXT_READY || isFinal(client->m_state); }, timeout);
    if (client->m_state == PA_CONTEXT_READY)
        return client;
    if (timedOut)
        *timedOut = !isFinal(client->m_state);
    return nullptr;
}

PulseClient::~PulseClient()
{
    if (!m_loop)
        return;
    if (m_context) {
        lock();
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        unlock();
    }
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

bool PulseClient::isReady() const
{
    return m_state == PA_CONTEXT_READY;
}

std::optional<std::vector<AudioDevice>> PulseClient::sources(std::chrono::milliseconds timeout)
{
    SourceListing listing;
    listing.client = this;
    pa_operation *op = nullptr;
    {
        PulseLock hold(*this);
        if (!isReady())
            return std::nullopt;
        op = pa_context_get_source_info_list(m_context, &onSourceInfo, &listing);
    }
    if (!op)
        return std::nullopt;
    waitUntil([&] { return listing.done.load(); }, timeout);
    {
        // Under the lock the callback is not running, and after the cancel it
        // never will: the listing may leave this scope.
        PulseLock hold(*this);
        if (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
            pa_operation_cancel(op);
        pa_operation_unref(op);
    }
    if (!listing.done || listing.failed)
        return std::nullopt;
    return std::move(listing.devices);
}

void PulseClient::lock()
{
    pa_threaded_mainloop_lock(m_loop);
}

void PulseClient::unlock()
{
    pa_threaded_mainloop_unlock(m_loop);
}

void PulseClient::wake()
{
    std::lock_guard<std::mutex> hold(m_waitMutex);
    m_waitCv.notify_all();
}

bool PulseClient::waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> hold(m_waitMutex);
    return m_waitCv.wait_for(hold, timeout, [&] { return done() || isFinal(m_state); }) && done();
}

void PulseClient::onContextState(pa_context *context, void *self)
{
    auto *client = static_cast<PulseClient *>(self);
    const pa_context_state_t state = pa_context_get_state(context);
    client->m_state = state;
    if (state == PA_CONTEXT_READY)
        client->m_wasReady = true;
    if (isFinal(state) && client->m_wasReady.exchange(false))
        qWarning("engine: sound server lost (%s); its devices fall silent",
                 pa_strerror(pa_context_errno(context)));
    client->wake();
}

} // namespace castcore
