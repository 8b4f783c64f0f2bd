#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <array>
#include <functional>

class QMainWindow;

namespace kelm {

class LedMeter;
class WaveformPicture;
class Toolbar;

// The controls of the main window, created and laid out once, under the names
// the rest of the recorder uses. It holds no behaviour: the collaborators of
// the main window read and write these controls.
struct MainForm {
    explicit MainForm(QMainWindow* window);

    Toolbar* toolbar = nullptr;

    // Video frame
    QComboBox* cboVideoSource = nullptr;
    QComboBox* cboVideoInput = nullptr;
    QComboBox* cboTVFormat = nullptr;
    QComboBox* cboPixelFormat = nullptr;
    QComboBox* cboChannel = nullptr;
    QComboBox* cboTVType = nullptr;

    // Audio frame
    QComboBox* cboAudioSource = nullptr;
    QComboBox* cboInput = nullptr;
    QComboBox* cboDestLine = nullptr;  // hidden: the program chooses
    QListWidget* List2 = nullptr;      // hidden: source-line controls
    QListWidget* List3 = nullptr;      // hidden: destination-line controls
    QSlider* Slider1 = nullptr;
    QSlider* Slider2 = nullptr;
    LedMeter* LEDMeter1 = nullptr;
    std::array<WaveformPicture*, 2> Scope{};  // left, right waveform

    // Time fields
    QLineEdit* txtStartTime = nullptr;
    QLineEdit* txtEnd = nullptr;
    QLineEdit* txtDuration = nullptr;

    // Monitor zoom
    QLineEdit* txtZoom = nullptr;
    QScrollBar* VScroll1 = nullptr;

    // Log panel and preview play button
    QPushButton* cmdPlay = nullptr;
    QPushButton* Command5 = nullptr;
    QPlainTextEdit* Text1 = nullptr;

    // Status bar: panels 1..8 (index 0..7) and the progress bar
    QStatusBar* StBar = nullptr;
    std::array<QLabel*, 8> panels{};
    QProgressBar* PrgBar1 = nullptr;
    // The bar's maximum is a fraction of the planned seconds: kept here as given,
    // shown scaled.
    double progressMaximum = 0;

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
    QLabel* panel(Panel p) const { return panels.at(size_t(p)); }

    // Timers of the window, intervals fixed.
    QTimer* Timer1 = nullptr;           // scheduler tick, 200 ms
    QTimer* Timer2 = nullptr;           // status tick, 300 ms
    QTimer* preStartSub = nullptr;      // 3000 ms
    QTimer* startSub = nullptr;         // 300 ms
    QTimer* startPreviewSub = nullptr;  // 300 ms
    QTimer* TimerCopy = nullptr;        // 3000 ms

    void setProgressMaximum(double maximum);
    void setProgressValue(double value);
    double progressValue() const;
};

// Pick-only lists: setting a list's text to one of its entries selects it and
// runs `onSelected` at once; a text that is not in the list changes nothing.
bool setListText(QComboBox* list, const QString& text, const std::function<void()>& onSelected);

}  // namespace kelm
