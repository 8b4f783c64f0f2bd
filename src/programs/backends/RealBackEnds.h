#pragma once

#include "AlsaLevelCapture.h"
#include "AlsaMixer.h"
#include "AlsaSoundCards.h"
#include "EngineFactory.h"
#include "MainWindow.h"
#include "SystemParts.h"
#include "V4l2Io.h"
#include "V4l2VideoDevices.h"
#include "capture/SoundCardSharing.h"
#include "recorder/Clock.h"

namespace kelm {

// The machine's own clock, recording engine, V4L2 devices and ALSA sound
// cards, mixers and level capture: what KELM records with, gathered once for
// the program and for the tools and benchmarks that run its main window for
// real. Must outlive the main window it is handed to. The engine and the
// level meters share the sound cards: one opener per card. The machine's
// other parts (file systems, timers, processes, windows) come with them.
struct RealBackEnds {
    SystemClock clock;
    std::shared_ptr<SoundCardSharing> soundCardSharing = SoundCardSharing::create();
    V4l2SystemIo v4l2;
    V4l2VideoDevices videoDevices{v4l2};
    // The engine brings the device to the chosen settings before its picture
    // source streams, and claims a sound card from the meters before it
    // opens it.
    std::unique_ptr<EncoderFactory> engine = createEngineFactory([this] {
        EngineOptions options;
        options.videoDevices = &videoDevices;
        options.soundCardSharing = soundCardSharing;
        return options;
    }());
    AlsaSoundCards soundCards;
    AlsaMixerDevices soundMixers{soundCards};
    AlsaLevelCapture levelCapture{soundCards, soundCardSharing};
    SystemParts system;

    // Hands these to the main window; the rest of `deps` (the process
    // control, and the shell windows a caller replaces) is the caller's.
    void fill(MainWindowDeps& deps) {
        system.fill(deps);
        deps.clock = &clock;
        deps.encoderFactory = engine.get();
        deps.videoDevices = &videoDevices;
        deps.soundCards = &soundCards;
        deps.soundMixers = &soundMixers;
        deps.levelCapture = &levelCapture;
    }
};

}  // namespace kelm
