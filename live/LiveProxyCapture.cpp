#include "LiveProxy.h"

#include "Logger.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

Logger *logger()
{
    return Logger::instance();
}

// The desktop geometry of a screen; empty for a screen that does not exist.
QRect screenGeometry(int display)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    return display >= 0 && display < screens.size() ? screens.at(display)->geometry() : QRect();
}

int scaledEdge(int edge, int canvas, int desktop)
{
    return int(double(edge) * canvas / desktop + 0.5);
}

} // namespace

int LiveProxy::displayCount()
{
    int n = 0;
    if (m_scene)
        m_scene->GetDisplayCount(&n);
    return n;
}

void LiveProxy::displayRect(int display, int *x, int *y, int *w, int *h)
{
    if (m_scene)
        m_scene->GetDisplayRect(display, x, y, w, h);
}

int LiveProxy::addFullScreenCapture(int display, int layer)
{
    logger()->write(Logger::LOG_INFO, "add full screen: %d.", display);
    int x = 0, y = 0, w = 0, h = 0;
    displayRect(display, &x, &y, &w, &h);
    const int id = m_scene ? m_scene->AddScreenCapture(display, 0, 0, w, h) : -1;
    if (id > 0) {
        int z = 0;
        const std::string name = registerNewItem(id, "fullscreen", layer, false, &z);
        int sx = 0, sy = 0, sw = 0, sh = 0;
        getItemSourceRect(id, &sx, &sy, &sw, &sh);
        logger()->write(Logger::LOG_INFO, "add ful screen capture %s success: id(%d) z(%d) [%d,%d] [%d,%d] .",
                        name.c_str(), id, z, w, h, sw, sh);
    }
    return id;
}

int LiveProxy::addScreenCapture(const QRect &region, int display, int layer)
{
    logger()->write(Logger::LOG_INFO, "add screen capture.");
    const int id =
        m_scene ? m_scene->AddScreenCapture(display, region.left(), region.top(), region.width(), region.height()) : -1;
    if (id <= 0)
        return id;
    int z = 0;
    const std::string name = registerNewItem(id, "screencapture", layer, true, &z);
    logger()->write(Logger::LOG_INFO, "add screen capture %s success: id(%d) z(%d).", name.c_str(), id, z);
    int x = 0, y = 0, w = 0, h = 0;
    getItemRect(id, &x, &y, &w, &h);
    const QRect placed = mapScreenRectToCanvas(QRect(x, y, w, h), screenGeometry(display));
    setItemGeometry(id, placed.left(), placed.top(), placed.width(), placed.height());
    return id;
}

QRect LiveProxy::mapScreenRectToCanvas(const QRect &a, const QRect &b) const
{
    if (b.width() == 0 || b.height() == 0)
        return a;
    return QRect(QPoint(scaledEdge(a.left(), m_outputWidth, b.width()), scaledEdge(a.top(), m_outputHeight, b.height())),
                 QPoint(scaledEdge(a.right(), m_outputWidth, b.width()),
                        scaledEdge(a.bottom(), m_outputHeight, b.height())));
}

int LiveProxy::systemDriveIndex()
{
    return m_systemInfo ? m_systemInfo->GetDriveIndex() : -1;
}

std::intptr_t LiveProxy::forwardNativeMessage(WId window, uint32_t message, std::uintptr_t wParam,
                                              std::intptr_t lParam)
{
    if (!window || !m_engine || !m_plugins)
        return 0;
    return m_plugins->OnWindowMessage(window, message, wParam, lParam);
}
