#include "CallbackGate.h"

CallbackGate::Pass::Pass(CallbackGate &gate)
    : m_gate(gate)
    , m_entered(gate.enter())
{
}

CallbackGate::Pass::~Pass()
{
    if (m_entered)
        m_gate.leave();
}

bool CallbackGate::enter()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_closed)
        return false;
    ++m_inside;
    return true;
}

void CallbackGate::leave()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (--m_inside == 0)
        m_left.notify_all();
}

void CallbackGate::close()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_closed = true;
    m_left.wait(lock, [this] { return m_inside == 0; });
}

bool CallbackGate::isOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_closed;
}
