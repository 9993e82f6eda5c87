#pragma once

#include <QStringList>

namespace testsupport {

// Collects what the code writes to Qt's debug output (qDebug, qWarning, ...)
// while it lives, and still passes every message on to the handler that was
// installed before it (Qt Test's, so ignoreMessage() keeps working).
class DebugCapture
{
public:
    DebugCapture();
    ~DebugCapture();

    DebugCapture(const DebugCapture &) = delete;
    DebugCapture &operator=(const DebugCapture &) = delete;

    QStringList messages() const;
    bool contains(const QString &fragment) const;
    void clear();
};

} // namespace testsupport
