#pragma once

#include "ShellPorts.h"

namespace kelm {

// Stand-ins for the shell windows and the mixer until those are built: they do
// the least that keeps the recorder's sequences correct (no monitor window is
// visible, no tray icon is added, no mixer is open).

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

class NoMixer final : public MixerPort {
public:
    bool available() const override { return false; }
    bool hasSelection() const override { return false; }
    int sourceControlValue() const override { return 0; }
    int destinationControlValue() const override { return 0; }
    void close() override {}
};

class NoLevelMeter final : public LevelMeterPort {
public:
    bool isOpen() const override { return false; }
    void stop() override {}
};

}  // namespace kelm
