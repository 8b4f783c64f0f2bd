#pragma once

#include "encoder/EncoderError.h"

#include "RecorderContext.h"
#include "TunerSettings.h"

namespace kelm {

class AudioLines;
class EncoderControl;
class SoundCardList;
class StateBinding;
class Toolbar;
class VideoDeviceList;
struct SourceLists;

// The video source and input lists and the sound card list of the main
// window, and what choosing an entry does to the encoder's sources, the
// capture device and the sound card. The tuner lists are TunerSettings', the
// sound card's lines AudioLines'.
class CaptureSources final {
public:
    // What the capture sources work with besides the shared context.
    struct Parts {
        EncoderControl& encoderControl;
        StateBinding& stateBinding;
        VideoDeviceList& videoDevices;
        SoundCardList& soundCards;
        AudioLines& audioLines;
        SourceLists& sources;
        Toolbar& toolbar;
    };

    CaptureSources(RecorderContext& context, Parts parts)
        : m_ctx(context),
          m_encoder(parts.encoderControl),
          m_state(parts.stateBinding),
          m_videoDevices(parts.videoDevices),
          m_soundCards(parts.soundCards),
          m_audio(parts.audioLines),
          m_sources(parts.sources),
          m_toolbar(parts.toolbar),
          m_tuner(context, parts.sources, parts.stateBinding, parts.videoDevices) {}

    // Connects the tuner lists' and the sound card lines' own handlers.
    void wire();

    // Fills the video source list: the capture devices, then "Videó fájl".
    // True when at least one capture device was found.
    bool listVideoDevices();
    // Fills the sound card list and selects the first card. False when the
    // list was filled already or no card can record.
    bool listSoundCards();

    void videoSourceSelected();
    void videoInputSelected();
    void audioSourceSelected();
    void audioInputSelected();

    // The tuner lists (types, standards, pixel formats).
    void fillTunerLists() { m_tuner.fillTunerLists(); }
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
    SourceLists& m_sources;
    Toolbar& m_toolbar;
    TunerSettings m_tuner;
};

}  // namespace kelm
