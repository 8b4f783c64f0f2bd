#pragma once

#include "RecorderContext.h"

namespace kelm {

class EncoderControl;
class SoundCardList;
class StateBinding;
class VideoDeviceList;
class Toolbar;

// The video source and sound card lists of the main window and what choosing
// an entry does to the encoder's sources.
class CaptureSources final {
public:
    CaptureSources(RecorderContext& context, EncoderControl& encoderControl,
                   StateBinding& stateBinding, VideoDeviceList& videoDevices,
                   SoundCardList& soundCards)
        : m_ctx(context),
          m_encoder(encoderControl),
          m_state(stateBinding),
          m_videoDevices(videoDevices),
          m_soundCards(soundCards) {}

    // Fills the video source list: the capture devices, then "Videó fájl".
    // True when at least one capture device was found.
    bool ListVideoDevices();
    // Fills the sound card list and selects the first card. False when the
    // list was filled already or no card can record.
    bool ListSoundCards();

    void videoSourceSelected();
    void videoInputSelected();
    void audioSourceSelected();
    void audioInputSelected();

    // The tuner lists (types, standards, pixel formats).
    void FillTunerLists();

private:
    void switchMonitor(bool on);

    RecorderContext& m_ctx;
    EncoderControl& m_encoder;
    StateBinding& m_state;
    VideoDeviceList& m_videoDevices;
    SoundCardList& m_soundCards;
};

}  // namespace kelm
