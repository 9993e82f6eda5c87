#pragma once

#include <QObject>

class QWidget;

// Keeps the windows a top-level window owns (dialogs, tools and boxes whose
// parent chain leads to it) above it. A window manager does this from the
// transient-for hint; without one, an X server maps a window again where it
// last stood in the stacking order, which after the owner was raised is
// beneath it. So each owned window is raised as it shows, and the visible
// ones follow whenever the owner becomes the active window (a tray click or
// a second start raises and activates it).
class OwnedWindowsOnTop : public QObject
{
    Q_OBJECT

public:
    // Watches the application's show events for `owner`, which outlives it.
    explicit OwnedWindowsOnTop(QWidget *owner);
    ~OwnedWindowsOnTop() override;

    // Raises every visible window the owner owns, a modal one last.
    void raiseOwned();

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool owns(const QWidget *window) const;

    QWidget *m_owner;
};
