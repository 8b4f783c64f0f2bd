#pragma once

#include <array>
#include <cstddef>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QSlider;
class QStatusBar;
class QString;

namespace kelm {

class LedMeter;
class WaveformPicture;

// The main window's controls, in groups by the work they serve. Each
// collaborator is handed the groups it uses and nothing else; the groups hold
// no state of the recorder, only the controls that show and edit it.

// The capture source lists: the picture source and its tuner settings, the
// sound card and its input line. The list's choice is the operator's.
struct SourceLists {
    QComboBox* videoSource = nullptr;
    QComboBox* videoInput = nullptr;
    QComboBox* tvStandard = nullptr;
    QComboBox* pixelFormat = nullptr;
    QComboBox* channel = nullptr;
    QComboBox* tunerType = nullptr;
    QComboBox* audioSource = nullptr;
    QComboBox* audioInput = nullptr;

    QString videoSourceText() const;
    QString audioSourceText() const;
    // The picture of the recording comes from a picture file (a radio channel).
    bool pictureFileChosen() const;
    // Locks the lists while a recording is armed, and unlocks them after it.
    // A picture file has no video input to choose.
    void setEditable(bool editable);
};

// The sound card's mixer lines: the destination line the program chooses,
// the two control lists (hidden) and the two volume sliders.
struct MixerLineWidgets {
    QComboBox* destinationLine = nullptr;
    QListWidget* sourceLines = nullptr;
    QListWidget* destinationLines = nullptr;
    QSlider* sourceVolume = nullptr;
    QSlider* destinationVolume = nullptr;
};

// The level display: the LED meter and the left and right waveforms.
struct LevelWidgets {
    LedMeter* meter = nullptr;
    std::array<WaveformPicture*, 2> waveforms{};
};

// The start, end and duration fields.
struct TimeFieldWidgets {
    QLineEdit* start = nullptr;
    QLineEdit* end = nullptr;
    QLineEdit* duration = nullptr;
};

// The monitor window's zoom: its text and its scroll bar.
struct ZoomWidgets {
    QLineEdit* text = nullptr;
    QScrollBar* bar = nullptr;
};

// The event log's box and the button that shows or hides it.
struct LogPanelWidgets {
    QPushButton* toggle = nullptr;
    QPlainTextEdit* box = nullptr;
};

// The status bar: eight panels (the sixth stands behind the progress bar).
struct StatusBarWidgets {
    enum Panel {
        stFile = 0,
        stAudioBitrate,
        stAllBitrate,
        stEncodedTime,
        stImage,
        stTimeBar,
        stDate,
        stTime
    };
    QStatusBar* bar = nullptr;
    std::array<QLabel*, 8> panels{};
    QProgressBar* progress = nullptr;
    QLabel* signalAlarm = nullptr;  // beside the status icon, shown only during an alarm

    QLabel* panel(Panel p) const { return panels.at(std::size_t(p)); }
};

// Pick-only lists: setting a list's text to one of its entries selects it and
// runs `onSelected` at once; a text that is not in the list changes nothing.
bool setListText(QComboBox* list, const QString& text, const std::function<void()>& onSelected);

}  // namespace kelm
