#pragma once

#include <QString>

class QWidget;

namespace kelm {

// Asks the operator for a recording. Returns its full path, or an empty text
// when the choice was cancelled. The program uses a file dialog; tests answer
// with a path of their own.
class RecordingChooser {
public:
    virtual ~RecordingChooser() = default;
    // `currentPath` is the recording chosen last (empty at first), so the
    // dialog can open in its folder.
    virtual QString chooseRecording(QWidget* parent, const QString& currentPath) = 0;
};

}  // namespace kelm
