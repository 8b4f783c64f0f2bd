#pragma once

#include "capture/CaptureDevices.h"
#include "encoder/EncoderError.h"

#include <QString>

namespace kelm {

// What an input text of the source group stands for, resolved to what the
// capture pipeline opens.
struct ResolvedVideoInput {
    enum class Kind { None, CaptureDevice, Picture, VideoFile, TestPattern };
    Kind kind = Kind::None;
    QString location;  // device node, file path, or test pattern name
    QString input;     // the input text as given
    // A capture device: its video source list entry, and what its picture
    // source is built with: the V4L2 standard (0: the driver's own) and the
    // picture format as GStreamer names it (empty: AUTO, negotiated).
    QString deviceEntry;
    quint64 norm = 0;
    QString pictureFormat;
};

struct ResolvedAudioInput {
    // SoundServer: the ALSA device is the PulseAudio plugin; the same sound
    // is read through the server's own interface, which costs a fraction of
    // the plugin's CPU time.
    enum class Kind { None, CaptureDevice, SoundServer, TestTone };
    Kind kind = Kind::None;
    QString location;  // ALSA PCM name, or test wave name
    QString input;
};

// Turns input texts into sources and checks that they exist right now.
//
// Video: "DEVICE://<entry>" is the V4L2 capture node of that video source
// list entry: its card name, with " (<bus>)" after it when two cards share
// the name (VideoDeviceNames); a file path is a picture (frozen into a stream) when its
// content is an image, otherwise a video played in a loop.
// Audio: "Device://<name>" is an ALSA capture PCM, named either by its PCM
// name ("default", "pulse", "hw:1,0", ...) or by the description ALSA's device
// list gives for it (whole, first line, or with its line breaks as blanks).
// For tests and benchmarks only, "TEST://" (optionally followed by a
// videotestsrc pattern or audiotestsrc wave name, e.g. "TEST://ball") is a live
// test picture of 720x576 at 25 frames/s, or a live test tone.
//
// Failures: VideoInput for a video input that cannot be found, SoundCard for
// an audio input that cannot be opened for capture.
class SourceResolver final {
public:
    // `devices` finds a capture device's node when given; otherwise the
    // nodes under /dev are searched.
    static EncoderStatus resolveVideo(const QString& input, ResolvedVideoInput* out,
                                      VideoDeviceList* devices = nullptr);
    // allowSoundServer false: never SoundServer, always the ALSA device.
    static EncoderStatus resolveAudio(const QString& input, ResolvedAudioInput* out,
                                      bool allowSoundServer = true);

    // The ALSA PCM name an audio input opens ("Device://" inputs only; empty
    // for any other). Reads ALSA's device list, opens nothing.
    static QString audioPcmName(const QString& input);
    // Whether ALSA's configuration defines this PCM as the sound server's
    // plug-in (type pulse), read from the configuration without opening it.
    static bool servedBySoundServer(const QString& pcm);

    // Only checks the form of an input (scheme, non-empty name), not the device.
    static bool videoInputWellFormed(const QString& input);
    static bool audioInputWellFormed(const QString& input);
};

}  // namespace kelm
