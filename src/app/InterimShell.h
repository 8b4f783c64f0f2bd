#pragma once

#include "ShellPorts.h"

namespace kelm {

// Stand-ins for the shell windows until those are built: they do the least
// that keeps the recorder's sequences correct (no monitor window is visible,
// no tray icon is added).

class HiddenMonitor final : public MonitorPort {
public:
    bool isVisible() const override { return false; }
    void sendToBack() override {}
    void reapplyOnTop() override {}
    void attachSourceView() override {}
    void applyMonitorButton(bool) override {}
    void stopFollowTimer() override {}
    void setEncoderViewRunning(bool) override {}
    void unload() override {}
};

class NoTray final : public TrayPort {
public:
    bool isAdded() const override { return false; }
    void restoreFromTray() override {}
    void update(int, const QString&) override {}
};

class NoSplash final : public SplashPort {
public:
    void showSplash() override {}
    void unloadSplash() override {}
};

class PlainMenus final : public MenuStylingPort {
public:
    void install() override { m_active = true; }
    bool isActive() const override { return m_active; }
    void detach() override { m_active = false; }

private:
    bool m_active = false;
};

}  // namespace kelm
