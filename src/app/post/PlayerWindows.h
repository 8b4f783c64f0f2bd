#pragma once

#include <QList>
#include <QString>
#include <memory>

namespace kelm {

// The desktop's windows, as the preview chain needs them to close the player
// that still shows the previous preview. Called on the GUI thread.
class PlayerWindows {
public:
    using WindowId = quint64;
    virtual ~PlayerWindows() = default;
    // Every top-level and child window whose title contains `text`.
    virtual QList<WindowId> windowsTitled(const QString& text) = 0;
    // Asks the window to close, as its own close button does; returns at once.
    virtual void requestClose(WindowId window) = 0;
};

// Where there is no window system (a server without a display, Qt's
// offscreen platform) there are no player windows to close.
class NoPlayerWindows final : public PlayerWindows {
public:
    QList<WindowId> windowsTitled(const QString&) override { return {}; }
    void requestClose(WindowId) override {}
};

// The X11 desktop when one is reachable through $DISPLAY, otherwise
// NoPlayerWindows.
std::unique_ptr<PlayerWindows> createPlayerWindows();

}  // namespace kelm
