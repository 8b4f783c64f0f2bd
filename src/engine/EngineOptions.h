#pragma once

#include <QString>

#include "capture/CaptureDevices.h"

#include <functional>
#include <memory>

namespace kelm {

class SoundCardSharing;

// What the engine can be told at creation. Tests use it to take a codec away.
struct EngineOptions {
    // Whether libavcodec's encoder of this name may be used ("wmv2", "wmav2").
    // Unset: every encoder libavcodec has.
    std::function<bool(const QString& codecName)> encoderAvailable;

    // When an ALSA device is the PulseAudio plugin ("default", "pulse" on a
    // desktop), read the same sound through the server's own interface; the
    // plugin costs several times the CPU. Off: always through ALSA.
    bool soundServerDirect = true;

    // The video capture devices: a "DEVICE://" entry's node is found through
    // them, and the device is brought to its input, standard, format and
    // channel through them while the picture source does not stream. They
    // must outlive the engine and be callable from its thread. Unset: the
    // nodes under /dev are searched, and only the standard and the format
    // reach the device, through the picture source itself.
    VideoDeviceList* videoDevices = nullptr;
    // The level meters' side of the sound cards: the engine claims a card
    // there before it opens it, so the meters close their own capture of it
    // first, and hands them the card's sound while its sources hold it.
    // Unset: the engine opens cards without asking anyone.
    std::shared_ptr<SoundCardSharing> soundCardSharing;
};

}  // namespace kelm
