#pragma once

#include <QString>
#include <QStringList>

// The text rules of the subtitle page, apart from any widget.
namespace subtitletext {

// Longest line, in UTF-16 units.
constexpr int kLineLimit = 30;

// 30 blanks: joins the lines, ends the scrolling text, splits a kept text.
QString separator();

// The lines, newest first, joined by the separator.
QString join(const QStringList &lines);
// What the engine shows: every line plus one more separator while
// scrolling, the newest line alone while still.
QString engineText(const QStringList &lines, bool scrolling);
// The lines of a kept text: split at the separator, empty parts dropped.
QStringList split(const QString &kept);

// A line as it is taken: blanks at either end removed, since a separator
// next to them would no longer split the kept text where it was joined.
QString cleanLine(const QString &typed);

struct Cut
{
    QString text;
    int cursor;
};
// Text over the limit loses the units typed last, those just before the
// cursor, never half of a surrogate pair. Text within it comes back as is.
Cut limit(const QString &text, int cursor, int limit = kLineLimit);

} // namespace subtitletext
