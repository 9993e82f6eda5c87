#include "TopLevelWindows.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace mvplatform {

namespace {

std::mutex g_mutex;
std::optional<QVector<TopLevelWindow>> g_steered;

struct FreeReply
{
    void operator()(void *p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeReply>;

// A connection of its own for each question: the list is asked for rarely
// (once per picker), and nothing has to be shared with Qt's connection.
QVector<TopLevelWindow> fromX11()
{
    QVector<TopLevelWindow> result;
    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return result;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem) {
        xcb_disconnect(c);
        return result;
    }

    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, it.data->root), nullptr));
    if (tree) {
        const xcb_window_t *children = xcb_query_tree_children(tree.get());
        const int n = xcb_query_tree_children_length(tree.get());
        // Ask everything first, then read the answers: one round trip in all.
        std::vector<xcb_get_window_attributes_cookie_t> attributes(n);
        std::vector<xcb_get_geometry_cookie_t> geometries(n);
        for (int i = 0; i < n; ++i) {
            attributes[i] = xcb_get_window_attributes(c, children[i]);
            geometries[i] = xcb_get_geometry(c, children[i]);
        }
        // The server lists children bottom first.
        for (int i = n - 1; i >= 0; --i) {
            Reply<xcb_get_window_attributes_reply_t> a(xcb_get_window_attributes_reply(c, attributes[i], nullptr));
            Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, geometries[i], nullptr));
            // A window destroyed in between answers with an error: skipped.
            if (!a || !g || a->map_state != XCB_MAP_STATE_VIEWABLE)
                continue;
            TopLevelWindow w;
            w.id = children[i];
            const int border = g->border_width;
            w.rect = QRect(g->x, g->y, g->width + 2 * border, g->height + 2 * border);
            result.append(w);
        }
    }
    xcb_disconnect(c);
    return result;
}

} // namespace

QVector<TopLevelWindow> TopLevelWindows::list()
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_steered)
            return *g_steered;
    }
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return fromX11();
    return {};
}

void TopLevelWindows::steer(const QVector<TopLevelWindow> &windows)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_steered = windows;
}

void TopLevelWindows::reset()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_steered.reset();
}

} // namespace mvplatform
