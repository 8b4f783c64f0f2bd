#pragma once

#include "ShellPorts.h"

namespace kelm {

// Stand-ins for the mixer and the level meter until those are built: they do
// the least that keeps the recorder's sequences correct (no mixer is open).

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
