// The player's window on a real X server (Xvfb): found by a part of its title
// anywhere in the window tree, and asked to close as its close button does.

#include "PlayerWindows.h"

#include <gtest/gtest.h>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <xcb/xcb.h>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace kelm;

namespace {

class Xvfb {
public:
    Xvfb() {
        m_server.setProgram(QStringLiteral("Xvfb"));
        // -displayfd: the server picks a free display and writes its number.
        m_server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                               QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                               QStringLiteral("-screen"), QStringLiteral("0"),
                               QStringLiteral("640x480x24")});
        m_server.start();
        if (!m_server.waitForStarted(5000)) return;
        for (int i = 0; i < 100 && m_display.isEmpty(); ++i) {
            m_server.waitForReadyRead(100);
            const QByteArray line = m_server.readLine().trimmed();
            if (!line.isEmpty()) m_display = QStringLiteral(":") + QString::fromLatin1(line);
        }
    }
    ~Xvfb() {
        m_server.terminate();
        m_server.waitForFinished(5000);
    }
    QString display() const { return m_display; }

private:
    QProcess m_server;
    QString m_display;
};

struct Disconnect {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

// A window of `parent` titled `title` that takes WM_DELETE_WINDOW.
xcb_window_t makeWindow(xcb_connection_t* c, xcb_window_t parent, const char* title,
                        bool utf8Title) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t w = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, parent, 0, 0, 100, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    if (utf8Title)
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom(c, "_NET_WM_NAME"),
                            atom(c, "UTF8_STRING"), 8, std::uint32_t(std::strlen(title)), title);
    else
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            std::uint32_t(std::strlen(title)), title);
    const xcb_atom_t deleteWindow = atom(c, "WM_DELETE_WINDOW");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom(c, "WM_PROTOCOLS"), XCB_ATOM_ATOM, 32, 1,
                        &deleteWindow);
    xcb_map_window(c, w);
    xcb_flush(c);
    return w;
}

// The window that got WM_DELETE_WINDOW, or 0 when none came within a second.
xcb_window_t deleteRequestTo(xcb_connection_t* c) {
    const xcb_atom_t deleteWindow = atom(c, "WM_DELETE_WINDOW");
    for (int i = 0; i < 100; ++i) {
        while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
            const bool isClose =
                (e->response_type & 0x7f) == XCB_CLIENT_MESSAGE &&
                reinterpret_cast<xcb_client_message_event_t*>(e)->data.data32[0] == deleteWindow;
            const xcb_window_t w = reinterpret_cast<xcb_client_message_event_t*>(e)->window;
            std::free(e);
            if (isClose) return w;
        }
        QThread::msleep(10);
    }
    return 0;
}

}  // namespace

TEST(PostPlayerWindows, PlayerWindowIsFoundByTitleAnywhereInTheTreeAndAskedToClose) {
    Xvfb server;
    if (server.display().isEmpty()) GTEST_SKIP() << "no X server (Xvfb) to run on";
    const QByteArray display = server.display().toLatin1();
    std::unique_ptr<xcb_connection_t, Disconnect> c(xcb_connect(display.constData(), nullptr));
    ASSERT_FALSE(xcb_connection_has_error(c.get()));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c.get())).data->root;

    // a window manager's frame around the player's own window
    const xcb_window_t frame = makeWindow(c.get(), root, "frame", false);
    const xcb_window_t player = makeWindow(c.get(), frame, "preview-teszttv--idx.wmv - mpv", true);
    makeWindow(c.get(), root, "KELM", false);

    const QByteArray saved = qgetenv("DISPLAY");
    qputenv("DISPLAY", display);
    std::unique_ptr<PlayerWindows> windows = createPlayerWindows();
    qputenv("DISPLAY", saved);

    EXPECT_TRUE(windows->windowsTitled(QStringLiteral("nothing-like-it")).isEmpty());
    const QList<PlayerWindows::WindowId> found =
        windows->windowsTitled(QStringLiteral("preview-teszttv--idx.wmv"));
    ASSERT_EQ(found, (QList<PlayerWindows::WindowId>{player}));
    windows->requestClose(found.front());
    EXPECT_EQ(deleteRequestTo(c.get()), player);

    // an old-style title (WM_NAME) is found as well
    const xcb_window_t second = makeWindow(c.get(), root, "preview-teszttv--idx.wmv", false);
    EXPECT_EQ(windows->windowsTitled(QStringLiteral("preview-teszttv--idx.wmv")).size(), 2);
    EXPECT_TRUE(
        windows->windowsTitled(QStringLiteral("preview-teszttv--idx.wmv")).contains(second));
}

TEST(PostPlayerWindows, WithoutADisplayThereAreNoWindowsToClose) {
    const QByteArray saved = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    std::unique_ptr<PlayerWindows> windows = createPlayerWindows();
    if (!saved.isNull()) qputenv("DISPLAY", saved);
    EXPECT_TRUE(windows->windowsTitled(QString()).isEmpty());
}
