#pragma once

#include "AlsaLevelCapture.h"
#include "AlsaMixer.h"
#include "AlsaSoundCards.h"
#include "EngineFactory.h"
#include "MainWindow.h"
#include "V4l2Io.h"
#include "V4l2VideoDevices.h"
#include "recorder/Clock.h"

namespace kelm {

// The machine's own clock, recording engine, V4L2 devices and ALSA sound
// cards, mixers and level capture: what KELM records with, gathered once for
// the program and for the tools and benchmarks that run its main window for
// real. Must outlive the main window it is handed to.
struct RealBackEnds {
    SystemClock clock;
    V4l2SystemIo v4l2;
    V4l2VideoDevices videoDevices{v4l2};
    // The engine brings the device to the chosen settings before its picture
    // source streams.
    std::unique_ptr<EncoderFactory> engine = createEngineFactory([this] {
        EngineOptions options;
        options.videoDevices = &videoDevices;
        return options;
    }());
    AlsaSoundCards soundCards;
    AlsaMixerDevices soundMixers{soundCards};
    AlsaLevelCapture levelCapture{soundCards};

    // Hands these to the main window; the rest of `deps` is the caller's.
    void fill(MainWindowDeps& deps) {
        deps.clock = &clock;
        deps.encoderFactory = engine.get();
        deps.videoDevices = &videoDevices;
        deps.soundCards = &soundCards;
        deps.soundMixers = &soundMixers;
        deps.levelCapture = &levelCapture;
    }
};

}  // namespace kelm
