#pragma once

#include <QString>
#include <QtGlobal>

// Routes Qt's message output (qDebug, qInfo, qWarning, qCritical, qFatal and
// Qt's own messages) into the daily log, one log line per line of text, at
// the matching level: debug LOG_DEBUG, info LOG_INFO, warning LOG_WARN,
// critical LOG_ERROR, fatal LOG_FATAL. Only warnings and above also reach
// the standard error stream, formatted as Qt formats them, so the console
// holds what a user may have to act on and the diagnostics stay in the log;
// the warnings of Qt's auto-connection about slots that no signal matches
// stay in the log too.
class QtMessageLog
{
public:
    // Makes handle() the process's message handler.
    static void install();

    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message);
};
