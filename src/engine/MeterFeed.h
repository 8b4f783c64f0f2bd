#pragma once

#include "capture/SoundCardSharing.h"
#include "encoder/EncoderError.h"

#include <gst/gst.h>

#include <QString>

#include <memory>

namespace kelm {

// The level meters' share of the sound while the capture graph holds their
// sound card: a branch on the audio tee that hands 16-bit stereo at 44100 Hz
// to the card's claim, on the streaming thread. A leaky queue keeps a slow
// meter from ever holding up the source or the recording.
//
//   audio tee ─ queue "meter-queue" ! audioconvert ! audioresample
//               ! S16 stereo 44100 Hz ! appsink "meter-sink" ─ claim
//
// Builds the branch into `bin` and links it to `audioTee` (owner thread);
// the branch keeps a copy of `claim` until its sink goes. `audioName` is what
// a failure calls the audio source.
EncoderStatus buildMeterFeed(GstBin* bin, GstElement* audioTee,
                             std::shared_ptr<SoundCardClaim> claim, const QString& audioName);

}  // namespace kelm
