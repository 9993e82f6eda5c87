#include "QtMessageLog.h"

#include "Logger.h"

#include <QStringList>

#include <cstdio>

namespace {

int logLevelOf(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return Logger::LOG_DEBUG;
    case QtInfoMsg:
        return Logger::LOG_INFO;
    case QtWarningMsg:
        return Logger::LOG_WARN;
    case QtCriticalMsg:
        return Logger::LOG_ERROR;
    case QtFatalMsg:
        return Logger::LOG_FATAL;
    }
    return Logger::LOG_WARN;
}

// Qt's auto-connection names every slot of the "on_<object>_<signal>" form
// that no child's signal matches. The program's slots keep such names on
// purpose: the line is a note for the log, not something a user acts on.
bool isNoteOnly(const QString &message)
{
    return message.startsWith(QLatin1String("QMetaObject::connectSlotsByName: No matching signal for "));
}

} // namespace

void QtMessageLog::install()
{
    qInstallMessageHandler(&QtMessageLog::handle);
}

void QtMessageLog::handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const int level = logLevelOf(type);
    // Lines below the log's level are not even split: most debug output is
    // dropped in a normal run.
    if (level >= Logger::instance()->level()) {
        // One log line per text line keeps the file readable line by line
        // (an indented JSON document is many lines).
        QStringList lines = message.split(QLatin1Char('\n'));
        if (lines.size() > 1 && lines.last().isEmpty())
            lines.removeLast();
        for (const QString &line : qAsConst(lines))
            Logger::instance()->write(level, "%s", line.toUtf8().constData());
    }
    if (type == QtDebugMsg || type == QtInfoMsg || isNoteOnly(message))
        return;
    const QByteArray text = qFormatLogMessage(type, context, message).toLocal8Bit();
    std::fprintf(stderr, "%s\n", text.constData());
    std::fflush(stderr);
}
