#pragma once

#include "RoomRecords.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// What the room received since the last summary: free-gift donations summed
// per donor, monthly tickets and paid gifts in arrival order. Once a minute
// the assistant takes the summary's paragraphs for its gift browser.
class GiftSummary
{
public:
    void addDonation(const QString &nickName, int price);
    void addAmber(const AmberRecord &gift);
    void addMerit(const MeritRecord &ticket);

    bool isEmpty() const;
    void clear();

    // Donor totals, ordered by name.
    const QMap<QString, qint64> &donorTotals() const { return m_donors; }
    const QList<MeritRecord> &merits() const { return m_merits; }
    const QList<AmberRecord> &ambers() const { return m_ambers; }

    // The paragraphs for one summary, each an HTML fragment: the time line
    // ("yyyy-MM-dd hh:mm" of `now`), then the donors in name order, the
    // monthly tickets and the paid gifts in arrival order. Names and gift
    // names are escaped, so markup in them shows as text.
    QStringList paragraphs(const QDateTime &now) const;

    // The minute's paragraphs, after which the collections are empty; none
    // for a quiet minute.
    QStringList takeSummary(const QDateTime &now);

private:
    // Summed in 64 bits: a minute of donations cannot overflow the total.
    QMap<QString, qint64> m_donors;
    QList<MeritRecord> m_merits;
    QList<AmberRecord> m_ambers;
};
