#pragma once

#include <QString>

#include <functional>

namespace kelm {

// What the engine can be told at creation. Tests use it to take a codec away.
struct EngineOptions {
    // Whether libavcodec's encoder of this name may be used ("wmv2", "wmav2").
    // Unset: every encoder libavcodec has.
    std::function<bool(const QString& codecName)> encoderAvailable;

    // When an ALSA device is the PulseAudio plugin ("default", "pulse" on a
    // desktop), read the same sound through the server's own interface; the
    // plugin costs several times the CPU. Off: always through ALSA.
    bool soundServerDirect = true;
};

}  // namespace kelm
