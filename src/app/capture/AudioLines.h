#pragma once

#include "ShellPorts.h"
#include "capture/SoundMixer.h"

#include <array>
#include <memory>

class QListWidget;
class QSlider;

namespace kelm {

class LevelMeters;
class Messenger;
struct MixerLineWidgets;
struct SourceLists;

// The chosen sound card and its recording path through the card's mixer:
// the destination line (chosen by the program, normally the recording), the
// source line that feeds it (the audio input list), and the controls of both
// lines (two hidden lists) on the two volume sliders. Every
// change goes to the card at once; choosing a card restarts the meters.
class AudioLines final : public MixerPort {
public:
    static constexpr int kMaxControls = 21;
    using Controls = std::array<MixerControl, kMaxControls>;

    AudioLines(const SourceLists& sources, const MixerLineWidgets& lines, SoundMixerDevices& mixers,
               Messenger& messenger, LevelMeters& meters);
    ~AudioLines() override;

    // Connects the sliders' value handlers.
    void wire();

    // MixerPort: what the status loop reads every tick.
    bool available() const override { return m_mixer != nullptr; }
    bool hasSelection() const override;
    int sourceControlValue() const override;
    int destinationControlValue() const override;
    void close() override { m_mixer.reset(); }

    // Selection handlers.
    void audioSourceSelected();
    void destLineSelected();
    void inputSelected();
    void sourceLinesSelected();
    void destinationLinesSelected();
    void sourceVolumeChanged();
    void destinationVolumeChanged();

    void listMixerDestinations();
    void listLineControls(const MixerLine& line, Controls& controls, QListWidget* list);
    int mixerControlValue(const MixerControl& control) const;
    bool setMixerControlValue(const MixerControl& control, int value);

    const Controls& sourceLineControls() const { return m_sourceLineControls; }
    const Controls& destinationLineControls() const { return m_destinationLineControls; }

private:
    void listSelected(const Controls& controls, QListWidget* list, QSlider* slider);
    // The value a slider shows when its list has no control to follow.
    int followedValue(const Controls& controls, const QListWidget* list,
                      const QSlider* slider) const;

    const SourceLists& m_sources;
    const MixerLineWidgets& m_lines;
    SoundMixerDevices& m_mixers;
    Messenger& m_messenger;
    LevelMeters& m_meters;
    std::unique_ptr<SoundMixer> m_mixer;
    Controls m_sourceLineControls{};
    Controls m_destinationLineControls{};
};

}  // namespace kelm
