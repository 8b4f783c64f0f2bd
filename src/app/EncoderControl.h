#pragma once

#include "RecorderContext.h"
#include "encoder/EncoderError.h"

namespace kelm {

class Toolbar;

// Prepares the output of a recording and starts the encoder on it, turning
// every failure into the operator's message and a log line.
class EncoderControl final {
public:
    explicit EncoderControl(RecorderContext& context) : m_ctx(context) {}

    // Binds the audio input, hands over the profile, settles the time fields
    // of an immediate recording, names the output file and sets the length.
    // A rejection by the encoder is returned; start() meets it again.
    EncoderStatus PrepareOutputFile();

    // Starts the recording prepared by PrepareOutputFile. Reports its own
    // failures; the caller decides what to show next.
    void StartEncoder();

    // The end of a recording's data view binding, for the recording control.
    void bindPreviewToMonitor();

private:
    // Handles a failed start. Returns true when the normal path goes on (the
    // output file was renamed and the recording runs under the new name).
    bool handleStartError(const EncoderStatus& status, bool renameAllowed);
    void fatalComponentMissing();
    Toolbar& toolbar();

    RecorderContext& m_ctx;
};

}  // namespace kelm
