#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace testsupport {

// Meets the next popup menu that a test opens with a blocking exec() (a
// context menu): records the texts of its actions ("-" for a separator) and
// triggers the one named, as Return on it does, or closes the menu with
// Escape when none is named or the name is not there. Create it before the
// click that opens the menu.
class MenuPicker : public QObject
{
    Q_OBJECT

public:
    explicit MenuPicker(const QString &choice = QString(), QObject *parent = nullptr);

    // A menu was met.
    bool seen() const { return m_seen; }
    // The named action was there and was triggered.
    bool chosen() const { return m_chosen; }
    QStringList texts() const { return m_texts; }

private:
    void poll();

    QString m_choice;
    QTimer m_poll;
    bool m_seen = false;
    bool m_chosen = false;
    QStringList m_texts;
};

} // namespace testsupport
