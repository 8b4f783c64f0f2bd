#pragma once

#include "encoder/EncoderError.h"

#include <gst/gst.h>

#include <QLoggingCategory>
#include <QString>

namespace kelm {

// Every way the engine can fail, by where it failed. The one function below
// turns them into the component's error numbers, so the numbers the recorder
// selects on are decided in one place.
enum class EngineFailure {
    ElementMissing,     // a GStreamer element the engine needs is not installed
    ProfileRefused,     // the profile text does not parse or cannot be encoded
    VideoCodecMissing,  // no encoder for the profile's video codec
    AudioCodecMissing,  // no encoder for the profile's audio codec
    AudioDevice,        // the sound card is missing, busy or refuses the format
    VideoDevice,        // the capture device or picture/video file cannot be used
    FileInUse,          // another recorder holds the output file
    FileExists,         // a file (an earlier recording) already has the output file's name
    OutputFileCreate,   // the output file cannot be created (no folder, no right, ...)
    DiskFull,           // the output file's device has no room left (or a quota is used up)
    OutputFileWrite,    // writing the output file failed otherwise (I/O error, file deleted)
    InvalidArgument,    // no output file name, an input of unknown form
    Negotiation,        // the pipeline could not agree on formats or stopped
    Encoding,           // libavcodec / libavformat refused a frame or packet
};

// `detail` is the cause as the operator's log shows it: the system's reason
// with the file or device it concerns.
EncoderStatus engineStatus(EngineFailure failure, const QString& detail);

// GStreamer's words for an error message, on one line: its text and, from
// its debug string, the system's reason ("Device or resource busy"). The
// whole debug string goes to the engine's log.
QString gstErrorText(GstMessage* error);

// libav's error text for a negative return value.
QString avErrorText(int averror);

// The system's text for an errno value.
QString systemErrorText(int errnum);

// What happened to the output file, in plain words for the operator: the
// file's path and the system's reason.
enum class OutputFileStage { Create, Write, Deleted };
QString outputFileCause(OutputFileStage stage, int errnum, const QString& path);

// The failure kind of a write that failed with `errnum`.
EngineFailure writeFailureFor(int errnum);
// The engine's log: negotiated formats, codec settings, and every failure
// with GStreamer's own words ("kelm.engine").
Q_DECLARE_LOGGING_CATEGORY(lcEngine)

}  // namespace kelm
