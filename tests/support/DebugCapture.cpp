#include "DebugCapture.h"

#include <QtGlobal>

#include <mutex>

namespace testsupport {

namespace {

std::mutex g_mutex;
QStringList g_messages;
QtMessageHandler g_previous = nullptr;
int g_active = 0;

void captureHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // Engine threads may still log while a capture ends on the test's
    // thread: the handler to pass on is read under the lock too.
    QtMessageHandler previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_messages << message;
        previous = g_previous;
    }
    if (previous)
        previous(type, context, message);
}

} // namespace

DebugCapture::DebugCapture()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_active++ == 0) {
        g_messages.clear();
        g_previous = qInstallMessageHandler(captureHandler);
    }
}

DebugCapture::~DebugCapture()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (--g_active == 0) {
        qInstallMessageHandler(g_previous);
        g_previous = nullptr;
    }
}

QStringList DebugCapture::messages() const
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_messages;
}

bool DebugCapture::contains(const QString &fragment) const
{
    std::lock_guard<std::mutex> lock(g_mutex);
    for (const QString &m : g_messages) {
        if (m.contains(fragment))
            return true;
    }
    return false;
}

void DebugCapture::clear()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_messages.clear();
}

} // namespace testsupport
