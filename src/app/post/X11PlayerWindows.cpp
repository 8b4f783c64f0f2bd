#include "PlayerWindows.h"

#include <xcb/xcb.h>
#include <QByteArray>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kelm {

namespace {

// One reply of libxcb, freed with free() as libxcb wants.
template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> reply(T* raw) {
    return Reply<T>(raw, &std::free);
}

// PlayerWindows on an X11 display: the window tree from the root down, titles
// from _NET_WM_NAME (UTF-8) or WM_NAME, and WM_DELETE_WINDOW to close.
class X11PlayerWindows final : public PlayerWindows {
public:
    explicit X11PlayerWindows(xcb_connection_t* connection) : m_connection(connection) {
        m_netWmName = atom("_NET_WM_NAME");
        m_utf8 = atom("UTF8_STRING");
        m_protocols = atom("WM_PROTOCOLS");
        m_deleteWindow = atom("WM_DELETE_WINDOW");
    }
    ~X11PlayerWindows() override { xcb_disconnect(m_connection); }

    // The tree is walked a level at a time: every request of a level is sent
    // before any reply is read, so a desktop of hundreds of windows costs a
    // few round trips to the X server per level, not a few per window.
    QList<WindowId> windowsTitled(const QString& text) override {
        QList<WindowId> found;
        const QByteArray wanted = text.toUtf8();
        std::vector<xcb_window_t> level;
        for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
             it.rem; xcb_screen_next(&it))
            level.push_back(it.data->root);
        // No real desktop nests deeper; a broken tree must not go on for ever.
        for (int depth = 0; depth < 32 && !level.empty(); ++depth) {
            if (depth > 0) {
                const std::vector<QByteArray> titles = titlesOf(level);
                for (size_t i = 0; i < level.size(); ++i)
                    if (titles[i].contains(wanted)) found << WindowId(level[i]);
            }
            level = childrenOf(level);
        }
        return found;
    }

    void requestClose(WindowId window) override {
        xcb_client_message_event_t event;
        std::memset(&event, 0, sizeof event);
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = xcb_window_t(window);
        event.type = m_protocols;
        event.data.data32[0] = m_deleteWindow;
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(m_connection, 0, xcb_window_t(window), XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(m_connection);
    }

private:
    xcb_atom_t atom(const char* name) {
        auto r = reply(xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, std::uint16_t(std::strlen(name)), name),
            nullptr));
        return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    std::vector<xcb_get_property_cookie_t> askProperty(const std::vector<xcb_window_t>& windows,
                                                       xcb_atom_t name, xcb_atom_t type) {
        // Titles are read up to 255 characters, as far as any player needs.
        std::vector<xcb_get_property_cookie_t> cookies;
        cookies.reserve(windows.size());
        for (xcb_window_t w : windows)
            cookies.push_back(xcb_get_property(m_connection, 0, w, name, type, 0, 255));
        return cookies;
    }

    QByteArray propertyText(xcb_get_property_cookie_t cookie) {
        auto r = reply(xcb_get_property_reply(m_connection, cookie, nullptr));
        if (!r || r->format != 8) return {};
        return QByteArray(static_cast<const char*>(xcb_get_property_value(r.get())),
                          xcb_get_property_value_length(r.get()));
    }

    // _NET_WM_NAME, or WM_NAME where a window has none.
    std::vector<QByteArray> titlesOf(const std::vector<xcb_window_t>& windows) {
        const auto utf8 = askProperty(windows, m_netWmName, m_utf8);
        const auto plain = askProperty(windows, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
        std::vector<QByteArray> titles(windows.size());
        for (size_t i = 0; i < windows.size(); ++i) {
            titles[i] = propertyText(utf8[i]);
            QByteArray old = propertyText(plain[i]);  // read in any case: every reply is taken
            if (titles[i].isEmpty()) titles[i] = std::move(old);
        }
        return titles;
    }

    std::vector<xcb_window_t> childrenOf(const std::vector<xcb_window_t>& windows) {
        std::vector<xcb_query_tree_cookie_t> cookies;
        cookies.reserve(windows.size());
        for (xcb_window_t w : windows) cookies.push_back(xcb_query_tree(m_connection, w));
        std::vector<xcb_window_t> children;
        for (xcb_query_tree_cookie_t cookie : cookies) {
            auto tree = reply(xcb_query_tree_reply(m_connection, cookie, nullptr));
            if (!tree) continue;  // the window went away meanwhile
            const xcb_window_t* first = xcb_query_tree_children(tree.get());
            children.insert(children.end(), first,
                            first + xcb_query_tree_children_length(tree.get()));
        }
        return children;
    }

    xcb_connection_t* m_connection;
    xcb_atom_t m_netWmName = XCB_ATOM_NONE;
    xcb_atom_t m_utf8 = XCB_ATOM_NONE;
    xcb_atom_t m_protocols = XCB_ATOM_NONE;
    xcb_atom_t m_deleteWindow = XCB_ATOM_NONE;
};

}  // namespace

std::unique_ptr<PlayerWindows> createPlayerWindows() {
    const char* display = std::getenv("DISPLAY");
    if (display && *display) {
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        if (connection && !xcb_connection_has_error(connection))
            return std::make_unique<X11PlayerWindows>(connection);
        if (connection) xcb_disconnect(connection);
    }
    return std::make_unique<NoPlayerWindows>();
}

}  // namespace kelm
