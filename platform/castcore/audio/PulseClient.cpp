#include "PulseClient.h"

#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/operation.h>
#include <pulse/subscribe.h>

#include <QString>

#include <algorithm>

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

std::shared_ptr<PulseClient> PulseClient::connect(std::chrono::milliseconds timeout, bool *timedOut,
                                                  std::function<void()> changed, const std::atomic<bool> *cancel)
{
    if (timedOut)
        *timedOut = false;
    std::shared_ptr<PulseClient> client(new PulseClient);
    client->m_changed = std::move(changed);
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
    const auto answered = [&] { return client->m_state == PA_CONTEXT_READY || isFinal(client->m_state); };
    // In short steps when it may be called off: a stopping owner does not
    // wait for a server that hangs.
    const auto step = cancel ? std::chrono::milliseconds(50) : timeout;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (answered() || left.count() <= 0 || (cancel && *cancel))
            break;
        client->waitUntil(answered, std::min(left, step));
    }
    if (client->m_state == PA_CONTEXT_READY && !(cancel && *cancel)) {
        // Sources that appear are news to the owner: a device it lost may be
        // back.
        PulseLock hold(*client);
        pa_context_set_subscribe_callback(client->m_context, &PulseClient::onEvent, client.get());
        if (pa_operation *op = pa_context_subscribe(client->m_context, PA_SUBSCRIPTION_MASK_SOURCE, nullptr, nullptr))
            pa_operation_unref(op);
        return client;
    }
    if (timedOut)
        *timedOut = !isFinal(client->m_state) && !(cancel && *cancel);
    return nullptr;
}

PulseClient::~PulseClient()
{
    if (!m_loop)
        return;
    if (m_context) {
        lock();
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
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

void PulseClient::changed()
{
    if (m_changed)
        m_changed();
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
    // Only a connection that was made can be lost: an attempt that fails is
    // no news to the owner, who would otherwise try again at once.
    const bool lost = isFinal(state) && client->m_wasReady.exchange(false);
    if (lost)
        qWarning("engine: sound server lost (%s); its devices are silent until it returns",
                 pa_strerror(pa_context_errno(context)));
    client->wake();
    if (lost)
        client->changed();
}

void PulseClient::onEvent(pa_context *, pa_subscription_event_type_t type, uint32_t, void *self)
{
    if ((type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) == PA_SUBSCRIPTION_EVENT_SOURCE
        && (type & PA_SUBSCRIPTION_EVENT_TYPE_MASK) == PA_SUBSCRIPTION_EVENT_NEW)
        static_cast<PulseClient *>(self)->changed();
}

} // namespace castcore
