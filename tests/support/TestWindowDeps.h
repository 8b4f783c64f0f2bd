#pragma once

#include "MainWindow.h"
#include "SystemParts.h"

namespace kelm::test {

// The devices a test window records with: a test's fakes, or its choice of
// real ones.
struct TestDevices {
    const Clock* clock = nullptr;
    EncoderFactory* encoderFactory = nullptr;
    VideoDeviceList* videoDevices = nullptr;
    SoundCardList* soundCards = nullptr;
    SoundMixerDevices* soundMixers = nullptr;
    LevelCapture* levelCapture = nullptr;
    Messenger* messenger = nullptr;
    ProcessControl* process = nullptr;
};

// What every test builds its main window from: its devices, and the
// machine's own parts (`system`) for the rest. A test then replaces the
// parts it fakes (the media folder's storage, the tray, the launcher ...).
inline MainWindowDeps testWindowDeps(const QString& programDir, const TestDevices& devices,
                                     SystemParts& system) {
    MainWindowDeps deps;
    deps.programDir = programDir;
    system.fill(deps);
    deps.clock = devices.clock;
    deps.encoderFactory = devices.encoderFactory;
    deps.videoDevices = devices.videoDevices;
    deps.soundCards = devices.soundCards;
    deps.soundMixers = devices.soundMixers;
    deps.levelCapture = devices.levelCapture;
    deps.messenger = devices.messenger;
    deps.process = devices.process;
    return deps;
}

}  // namespace kelm::test
