#include "KeywordList.h"

const QString KeywordList::kPlaceholder = QStringLiteral("txt_DisableChat_text3");

QString KeywordList::settingFromInput(const QString &input)
{
    return input == kPlaceholder ? QString() : input;
}

void KeywordList::setKeywords(const QString &setting)
{
    m_keywords.clear();
    for (const QString &part : setting.split(QLatin1Char(' '), Qt::KeepEmptyParts)) {
        if (!part.isEmpty())
            m_keywords << part;
    }
}

bool KeywordList::ContainsKeyword(const QString &text) const
{
    for (const QString &keyword : m_keywords) {
        if (text.contains(keyword, Qt::CaseSensitive))
            return true;
    }
    return false;
}
