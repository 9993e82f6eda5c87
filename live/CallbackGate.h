#pragma once

#include <condition_variable>
#include <mutex>

// Lets library callbacks into the facade until it closes. close() waits for
// the callbacks already inside, so after it returns nothing that came in
// through the gate is still running, and nothing else gets in.
class CallbackGate
{
public:
    // Held by a callback for as long as it runs; false when the gate was closed.
    class Pass
    {
    public:
        explicit Pass(CallbackGate &gate);
        ~Pass();
        Pass(const Pass &) = delete;
        Pass &operator=(const Pass &) = delete;
        explicit operator bool() const { return m_entered; }

    private:
        CallbackGate &m_gate;
        bool m_entered;
    };

    void close();
    bool isOpen() const;

private:
    bool enter();
    void leave();

    mutable std::mutex m_mutex;
    std::condition_variable m_left;
    int m_inside = 0;
    bool m_closed = false;
};
