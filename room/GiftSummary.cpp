#include "GiftSummary.h"

namespace {

QString brown(const QString &html)
{
    return QStringLiteral("<font style=\"font-size:14px;color:#a55c12\">%1</font>").arg(html);
}

QString blue(const QString &html)
{
    return QStringLiteral("<font style=\"font-size:14px;color:#007eff\">%1</font>").arg(html);
}

QString ticketText(int lev)
{
    switch (lev) {
    case 1:
        return QStringLiteral("送出初级功勋月票一张");
    case 2:
        return QStringLiteral("送出中级功勋月票一张");
    case 3:
        return QStringLiteral("送出高级功勋月票一张");
    default:
        return QString();
    }
}

} // namespace

void GiftSummary::addDonation(const QString &nickName, int price)
{
    m_donors[nickName] += price;
}

void GiftSummary::addAmber(const AmberRecord &gift)
{
    m_ambers << gift;
}

void GiftSummary::addMerit(const MeritRecord &ticket)
{
    m_merits << ticket;
}

bool GiftSummary::isEmpty() const
{
    return m_donors.isEmpty() && m_merits.isEmpty() && m_ambers.isEmpty();
}

void GiftSummary::clear()
{
    m_donors.clear();
    m_merits.clear();
    m_ambers.clear();
}

QStringList GiftSummary::paragraphs(const QDateTime &now) const
{
    QStringList lines;
    lines << brown(now.toString(QStringLiteral("yyyy-MM-dd hh:mm")));
    for (auto it = m_donors.cbegin(); it != m_donors.cend(); ++it)
        // One pass over both: a "%1" in a name stays text.
        lines << brown(QStringLiteral("%1赠送主播%2珍珠").arg(it.key().toHtmlEscaped(), QString::number(it.value())));
    for (const MeritRecord &ticket : m_merits)
        lines << blue(ticket.user_name.toHtmlEscaped() + ticketText(ticket.lev));
    for (const AmberRecord &gift : m_ambers)
        lines << brown(gift.nick_name.toHtmlEscaped() + QStringLiteral("赠送主播一个%1").arg(gift.gift_name.toHtmlEscaped()));
    return lines;
}

QStringList GiftSummary::takeSummary(const QDateTime &now)
{
    if (isEmpty())
        return QStringList();
    const QStringList lines = paragraphs(now);
    clear();
    return lines;
}
