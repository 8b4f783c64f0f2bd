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
struct MainForm;

// The chosen sound card and its recording path through the card's mixer:
// the destination line (chosen by the program, normally the recording), the
// source line that feeds it (`cboInput`), and the controls of both lines
// (hidden lists `List2`, `List3`) on the sliders `Slider1`, `Slider2`. Every
// change goes to the card at once; choosing a card restarts the meters.
class AudioLines final : public MixerPort {
public:
    static constexpr int kMaxControls = 21;
    using Controls = std::array<MixerControl, kMaxControls>;

    AudioLines(MainForm& form, SoundMixerDevices& mixers, Messenger& messenger,
               LevelMeters& meters);
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
    void list2Selected();
    void list3Selected();
    void slider1Changed();
    void slider2Changed();

    void ListMixerDestinations();
    void ListLineControls(const MixerLine& line, Controls& controls, QListWidget* list);
    int GetMixerControlValue(const MixerControl& control) const;
    bool SetMixerControlValue(const MixerControl& control, int value);

    const Controls& sourceLineControls() const { return m_sourceLineControls; }
    const Controls& destinationLineControls() const { return m_destinationLineControls; }

private:
    void listSelected(const Controls& controls, QListWidget* list, QSlider* slider);
    // The value a slider shows when its list has no control to follow.
    int followedValue(const Controls& controls, const QListWidget* list,
                      const QSlider* slider) const;

    MainForm& m_form;
    SoundMixerDevices& m_mixers;
    Messenger& m_messenger;
    LevelMeters& m_meters;
    std::unique_ptr<SoundMixer> m_mixer;
    Controls m_sourceLineControls{};
    Controls m_destinationLineControls{};
};

}  // namespace kelm
