#pragma once

#include <functional>
#include <string>
#include <thread>

namespace authport {

// What the control face reaches in each live service: its thread and its
// listener. The services register themselves; the control face knows no more
// of them than this.
class ServiceLink
{
public:
    virtual void post(std::function<void()> task, int delayMs) = 0;
    // Until the service thread has nothing due and nothing running.
    virtual bool waitIdle(int timeoutMs) = 0;
    virtual std::thread::id threadId() const = 0;
    virtual void notifyNetEvent(int code) = 0;
    virtual void notifyRoomMessage(const std::string &text) = 0;
    virtual void notifyLiveClosed(int state, int reserved) = 0;

protected:
    ~ServiceLink() = default;
};

} // namespace authport
