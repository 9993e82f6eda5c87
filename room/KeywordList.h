#pragma once

#include <QString>
#include <QStringList>

// The broadcaster's mute keywords, parsed from the keyword setting: the text
// is cut at every single blank (U+0020) and the empty parts are dropped. Tabs
// and other white space stay part of a keyword; duplicates stay; there is no
// limit on the number.
class KeywordList
{
public:
    // The keyword field's placeholder, stored as the empty text.
    static const QString kPlaceholder; // "txt_DisableChat_text3"

    // The text the keyword field's content is stored as.
    static QString settingFromInput(const QString &input);

    void setKeywords(const QString &setting);
    const QStringList &keywords() const { return m_keywords; }

    // True when `text` holds one of the keywords, case-sensitive; false for
    // an empty list.
    bool ContainsKeyword(const QString &text) const;

private:
    QStringList m_keywords;
};
