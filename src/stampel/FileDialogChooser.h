#pragma once

#include "RecordingChooser.h"

namespace kelm {

// The open dialog of Stampel: ".wmv" files, an existing file only.
class FileDialogChooser final : public RecordingChooser {
public:
    QString chooseRecording(QWidget* parent, const QString& currentPath) override;
};

}  // namespace kelm
