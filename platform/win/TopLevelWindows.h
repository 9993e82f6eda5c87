#pragma once

#include <QRect>
#include <QVector>
#include <QWindow>

namespace mvplatform {

// One top-level window of the desktop, as the screen-region picker frames it.
struct TopLevelWindow
{
    WId id = 0;
    QRect rect; // outer rectangle, border included, in desktop coordinates
};

// The desktop's top-level windows that are viewable (mapped, with every
// ancestor mapped), topmost first.
//
// On X11 these are the children of the root window, read through libxcb;
// under a window manager they are its frames. Other platforms have no list
// to give: the answer is empty. Tests steer the answer on any platform.
class TopLevelWindows
{
public:
    static QVector<TopLevelWindow> list();

    // Control face.
    static void steer(const QVector<TopLevelWindow> &windows);
    static void reset();
};

} // namespace mvplatform
