#include "SubtitleText.h"

namespace subtitletext {

QString separator()
{
    return QString(30, QLatin1Char(' '));
}

QString join(const QStringList &lines)
{
    return lines.join(separator());
}

QString engineText(const QStringList &lines, bool scrolling)
{
    if (scrolling)
        return join(lines) + separator();
    return lines.value(0);
}

QStringList split(const QString &kept)
{
    QStringList lines = kept.split(separator(), Qt::KeepEmptyParts);
    lines.removeAll(QString());
    return lines;
}

QString cleanLine(const QString &typed)
{
    return typed.trimmed();
}

Cut limit(const QString &text, int cursor, int limit)
{
    const int n = text.size();
    if (n <= limit)
        return {text, cursor};
    const int excess = n - limit;
    // A cursor that cannot have been where the text grew (set from outside):
    // the end is cut.
    int end = cursor >= excess && cursor <= n ? cursor : n;
    int start = end - excess;
    if (start > 0 && text.at(start).isLowSurrogate() && text.at(start - 1).isHighSurrogate())
        --start;
    if (end < n && text.at(end).isLowSurrogate() && text.at(end - 1).isHighSurrogate())
        ++end;
    QString out = text;
    out.remove(start, end - start);
    return {out, start};
}

} // namespace subtitletext
