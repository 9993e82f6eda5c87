#include "LogCapture.h"

#include <QDate>
#include <QDir>
#include <QFile>

namespace testsupport {

QString LogCapture::todayPath()
{
    return QDir::tempPath() + QStringLiteral("/MorvaShow/mvshow_")
        + QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".log");
}

QStringList LogCapture::lines()
{
    QFile f(todayPath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString all = QString::fromUtf8(f.readAll());
    QStringList out = all.split(QLatin1Char('\n'));
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    for (QString &l : out)
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    return out;
}

QStringList LogCapture::texts()
{
    QStringList out;
    for (const QString &l : lines()) {
        const int open = l.indexOf(QLatin1Char('{'));
        if (open >= 0 && l.endsWith(QLatin1Char('}')))
            out << l.mid(open + 1, l.size() - open - 2);
    }
    return out;
}

bool LogCapture::contains(const QString &fragment)
{
    for (const QString &t : texts())
        if (t.contains(fragment))
            return true;
    return false;
}

} // namespace testsupport
