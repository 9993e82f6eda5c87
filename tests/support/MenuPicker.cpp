#include "MenuPicker.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>

namespace testsupport {

MenuPicker::MenuPicker(const QString &choice, QObject *parent)
    : QObject(parent)
    , m_choice(choice)
{
    connect(&m_poll, &QTimer::timeout, this, &MenuPicker::poll);
    m_poll.start(5);
}

void MenuPicker::poll()
{
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    if (!menu || !menu->isVisible())
        return;
    m_poll.stop();
    m_seen = true;
    QAction *chosen = nullptr;
    for (QAction *a : menu->actions()) {
        m_texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
        if (!a->isSeparator() && !m_choice.isEmpty() && a->text() == m_choice)
            chosen = a;
    }
    if (chosen) {
        m_chosen = true;
        menu->setActiveAction(chosen);
        QTest::keyClick(menu, Qt::Key_Return);
    } else {
        QTest::keyClick(menu, Qt::Key_Escape);
    }
}

} // namespace testsupport
