#pragma once

#include "encoder/EncoderError.h"

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
    OutputFile,         // the output file cannot be created or written
    InvalidArgument,    // no output file name, an input of unknown form
    Negotiation,        // the pipeline could not agree on formats or stopped
    Encoding,           // libavcodec / libavformat refused a frame or packet
};

EncoderStatus engineStatus(EngineFailure failure, const QString& detail);

// libav's error text for a negative return value.
QString avErrorText(int averror);

}  // namespace kelm
