#pragma once

#include "capture/SoundMixer.h"

namespace kelm {

class AlsaSoundCards;

// Sound card mixers from ALSA's simple mixer, presented as destinations,
// source lines and controls:
//  - "Playback" (when the card plays): its own controls are the master
//    element's volume and switch; its source lines the other elements that
//    play;
//  - "Capture" (the recording destination): its own controls are the capture
//    source selector, when the card has one, then the capture element's
//    volume and switch; its source lines are the selector's choices (its
//    last choice is item 0, its first the highest item) or, without a
//    selector, the elements that capture. A source line's controls are the
//    capture volume and switch of the element of its name.
class AlsaMixerDevices final : public SoundMixerDevices {
public:
    explicit AlsaMixerDevices(const AlsaSoundCards& cards) : m_cards(cards) {}
    std::unique_ptr<SoundMixer> open(const QString& card) override;

private:
    const AlsaSoundCards& m_cards;
};

}  // namespace kelm
