#pragma once

#include <QString>
#include <QStringList>

namespace testsupport {

// Reads what the daily log wrote under the current TMPDIR.
class LogCapture
{
public:
    // The path of today's log file: <temp>/MorvaShow/mvshow_yyyyMMdd.log.
    static QString todayPath();
    // Every line of today's file, without line ends; empty when there is none.
    static QStringList lines();
    // Only the text between the braces of each stamped line.
    static QStringList texts();
    // True when some line's text contains the fragment.
    static bool contains(const QString &fragment);
};

} // namespace testsupport
