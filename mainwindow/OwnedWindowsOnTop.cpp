#include "OwnedWindowsOnTop.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

OwnedWindowsOnTop::OwnedWindowsOnTop(QWidget *owner)
    : QObject(owner)
    , m_owner(owner)
{
    qApp->installEventFilter(this);
}

OwnedWindowsOnTop::~OwnedWindowsOnTop()
{
    qApp->removeEventFilter(this);
}

bool OwnedWindowsOnTop::owns(const QWidget *window) const
{
    // Menus and tips stack above everything by themselves; windows that
    // take no input (shadows) are decoration, not something to reach.
    const Qt::WindowType type = window->windowType();
    if (window == m_owner || !window->isWindow() || type == Qt::Popup || type == Qt::ToolTip
        || window->windowFlags().testFlag(Qt::WindowTransparentForInput))
        return false;
    for (const QWidget *p = window->parentWidget(); p; p = p->parentWidget()) {
        if (p == m_owner)
            return true;
    }
    return false;
}

void OwnedWindowsOnTop::raiseOwned()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && owns(w))
            w->raise();
    }
    // A modal window goes over the others it blocks.
    if (QWidget *modal = QApplication::activeModalWidget()) {
        if (owns(modal))
            modal->raise();
    }
}

bool OwnedWindowsOnTop::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        // The show event comes before the window is mapped: raised now, it
        // is mapped on top.
        auto *window = static_cast<QWidget *>(watched);
        if (owns(window))
            window->raise();
    } else if (event->type() == QEvent::WindowActivate && watched == m_owner) {
        raiseOwned();
    }
    return QObject::eventFilter(watched, event);
}
