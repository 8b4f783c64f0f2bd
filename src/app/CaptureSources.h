#pragma once

#include "encoder/EncoderError.h"

#include "RecorderContext.h"
#include "TunerSettings.h"

namespace kelm {

class AudioLines;
class EncoderControl;
class SoundCardList;
class StateBinding;
class VideoDeviceList;

// The video source and input lists and the sound card list of the main
// window, and what choosing an entry does to the encoder's sources, the
// capture device and the sound card. The tuner lists are TunerSettings', the
// sound card's lines AudioLines'.
class CaptureSources final {
public:
    CaptureSources(RecorderContext& context, EncoderControl& encoderControl,
                   StateBinding& stateBinding, VideoDeviceList& videoDevices,
                   SoundCardList& soundCards, AudioLines& audioLines)
        : m_ctx(context),
          m_encoder(encoderControl),
          m_state(stateBinding),
          m_videoDevices(videoDevices),
          m_soundCards(soundCards),
          m_audio(audioLines),
          m_tuner(context, stateBinding, videoDevices) {}

    // Connects the tuner lists' and the sound card lines' own handlers.
    void wire();

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
    void FillTunerLists() { m_tuner.FillTunerLists(); }
    TunerSettings& tuner() { return m_tuner; }

private:
    void switchMonitor(bool on);
    // The chosen capture device's sources answered: its inputs are listed.
    void videoSourcePrepared(const QString& source, const EncoderStatus& prepared);

    RecorderContext& m_ctx;
    EncoderControl& m_encoder;
    StateBinding& m_state;
    VideoDeviceList& m_videoDevices;
    SoundCardList& m_soundCards;
    AudioLines& m_audio;
    TunerSettings m_tuner;
};

}  // namespace kelm
