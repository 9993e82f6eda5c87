#pragma once

#include <QString>
#include <QVector>

// One row of the area-code list: what the drop-down shows and the code it
// stands for. Codes repeat ("+1" for three regions), so a row, not its code,
// names a region.
struct DialCodeEntry
{
    QString label; // two blanks, the region's name, a blank run, the code
    QString code;  // "+" and 1 to 4 digits, e.g. "+86"
};

// The fixed list of regions and their international dialling codes offered
// by the phone sign-in: the four Chinese regions first, then the others in
// the pinyin order of their names. Built once, on first use; never changes.
class CountryDialCodeTable
{
public:
    static int count();
    // The row at `row` (0 .. count() - 1); an empty entry outside that range.
    static const DialCodeEntry &entry(int row);
    static const QVector<DialCodeEntry> &rows();

private:
    CountryDialCodeTable() = delete;
};
