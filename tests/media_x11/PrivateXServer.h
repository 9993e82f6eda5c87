#pragma once

// An X server of the test's own, for what the shared one under xvfb-run
// cannot show: a server without MIT-SHM, or one reached over TCP on
// 127.0.0.1, which will not attach a client's shared memory (it cannot tell
// whose it is). While it runs DISPLAY names it; the old value comes back and
// the server ends on exit.

#include <QByteArray>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <xcb/xcb.h>

namespace mediax11 {

class PrivateXServer
{
public:
    enum class Reach
    {
        Local, // its unix socket
        Tcp,   // 127.0.0.1, through its TCP port
    };

    PrivateXServer() = default;
    ~PrivateXServer();

    PrivateXServer(const PrivateXServer &) = delete;
    PrivateXServer &operator=(const PrivateXServer &) = delete;

    // Starts Xvfb on a free display with one `size` screen of depth 24 and
    // `extraArgs`, and waits until it takes connections. False (see
    // errorString()) when it does not within the time.
    bool start(const QSize &size, const QStringList &extraArgs, Reach reach = Reach::Local, int timeoutMs = 20000);

    // As DISPLAY names it.
    QString display() const { return m_display; }
    QString errorString() const { return m_error; }

    // Shows the four quadrant colours over `rect` (root coordinates), in
    // windows that last as long as the server object; false when the server
    // did not take them.
    bool showQuadrants(const QRect &rect);

private:
    void stop();

    QProcess m_process;
    QString m_display;
    QString m_error;
    xcb_connection_t *m_painter = nullptr;
    bool m_variableSet = false;
    bool m_hadDisplay = false;
    QByteArray m_savedDisplay;
};

} // namespace mediax11
