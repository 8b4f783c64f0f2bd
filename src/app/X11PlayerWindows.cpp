#include "PlayerWindows.h"

#include <xcb/xcb.h>
#include <QByteArray>
#include <cstdlib>
#include <cstring>

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

    QList<WindowId> windowsTitled(const QString& text) override {
        QList<WindowId> found;
        const QByteArray wanted = text.toUtf8();
        for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
             it.rem; xcb_screen_next(&it))
            walk(it.data->root, wanted, found, 0);
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

    QByteArray property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type) {
        // Titles are read up to 255 characters, as far as any player needs.
        auto r = reply(xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, name, type, 0, 255), nullptr));
        if (!r || r->format != 8) return {};
        return QByteArray(static_cast<const char*>(xcb_get_property_value(r.get())),
                          xcb_get_property_value_length(r.get()));
    }

    QByteArray title(xcb_window_t window) {
        QByteArray t = property(window, m_netWmName, m_utf8);
        return t.isEmpty() ? property(window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING) : t;
    }

    void walk(xcb_window_t window, const QByteArray& wanted, QList<WindowId>& found, int depth) {
        if (depth > 0 && title(window).contains(wanted)) found << WindowId(window);
        if (depth >= 32)
            return;  // no real desktop nests deeper; a broken tree must not recurse for ever
        auto tree = reply(
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr));
        if (!tree) return;  // the window went away meanwhile
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
            walk(children[i], wanted, found, depth + 1);
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
