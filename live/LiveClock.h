#pragma once

#include <QElapsedTimer>
#include <QString>

// The broadcast's elapsed-time clock. It runs on a monotonic timer, so a
// change of the system time does not move it, and it counts hours past a
// day instead of wrapping at 24.
class LiveClock
{
public:
    void start() { m_timer.start(); }
    bool isRunning() const { return m_timer.isValid(); }
    // 0 until started.
    qint64 elapsedMs() const { return m_timer.isValid() ? m_timer.elapsed() : 0; }
    QString text() const { return format(elapsedMs()); }

    // "hh:mm:ss" of whole seconds; the hours take as many digits as they need.
    static QString format(qint64 ms);

private:
    QElapsedTimer m_timer;
};
