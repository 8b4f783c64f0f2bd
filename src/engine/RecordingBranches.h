#pragma once

#include "GstHandles.h"
#include "PictureMeter.h"
#include "PictureScaler.h"
#include "encoder/EncoderError.h"
#include "encoder/EncoderProfile.h"

#include <gst/app/gstappsink.h>

#include <QSize>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace kelm {

// The recording's part of the capture graph: one branch on the picture tee and
// one on the sound tee, each ending in an appsink that hands raw samples on.
//
//   video tee ─ [gate] videorate ! I420 @ fps ! appsink ─ scaler ─ meter ─┐
//   audio tee ─ audioconvert ! audioresample ! S16 ! level ! appsink ──────┴─ held, then the sinks
//
// The branches are built before they are needed, so attaching them only
// links them; once removed, the graph builds fresh ones for the next
// recording. The gate lets pictures through from the first one captured at
// or after the moment the recording was asked for. Samples are held back
// until the owner has its writer ready, then handed on in order. The pictures
// keep the source's size in the branch; the scaler makes them the profile's
// (libswscale's bicubic filter) on the streaming thread.
//
// Threads: every method is called on the graph owner's thread. The sinks and
// the gate's report run on GStreamer's streaming threads.
class RecordingBranches final {
public:
    using SampleSink = std::function<void(gst::SamplePtr sample, quint64 runningTimeNs)>;
    // The first picture of the recording has passed the gate, captured at
    // this running time (in ns).
    using FirstPictureSink = std::function<void(quint64 runningTimeNs)>;
    // The measures of the recorded pictures, every few pictures.
    using PictureMeasureSink = std::function<void(const PictureMeasures& measures)>;

    RecordingBranches();
    RecordingBranches(const RecordingBranches&) = delete;
    RecordingBranches& operator=(const RecordingBranches&) = delete;
    ~RecordingBranches();

    // Builds the two branches, unlinked, into `bin` for the tees they are to
    // hang on (all three owned by the graph's pipeline); their elements follow
    // the bin's state. Called while none are built. On failure none are built,
    // and elements already added go with the pipeline.
    EncoderStatus build(GstBin* bin, GstElement* videoTee, GstElement* audioTee);
    bool built() const;

    // Links the built branches to their tees: pictures at the profile's frame
    // rate, scaled from the source's size `source` to `target`; sound at its
    // sample rate and channel count. The gate stays closed until a picture
    // captured at or after `gateFromNs` comes, whose running time goes to
    // `onFirstPicture`. Samples are held back until deliver().
    EncoderStatus attach(const EncoderProfile& profile, QSize source, QSize target,
                         quint64 gateFromNs, FirstPictureSink onFirstPicture);
    // Moves the closed gate: it now opens for the first picture captured at
    // or after this running time.
    void openGateFrom(quint64 runningTimeNs);
    bool attached() const;

    // Hands the samples held back, then every later one, to the sinks.
    void deliver(SampleSink video, SampleSink audio);
    // Hands the measures of every picture recorded from now on to `sink`.
    void measurePictures(PictureMeasureSink sink);
    // Drops buffers at the tee pads: nothing more reaches the sinks.
    void block();
    // Unlinks and removes the branches; the samples held back and the sinks
    // go with them.
    void remove();

private:
    struct Branch;
    struct Feed;

    template <bool IsVideo>
    static GstFlowReturn onRecordedSample(GstAppSink* sink, gpointer user);
    static GstPadProbeReturn gate(GstPad* pad, GstPadProbeInfo* info, gpointer user);
    void configureFeed(QSize source, QSize target, const EncoderProfile& profile,
                       quint64 gateFromNs, FirstPictureSink onFirstPicture);

    std::unique_ptr<Branch> m_video;
    std::unique_ptr<Branch> m_audio;
    // What the streaming threads reach. It lives as long as this object, so
    // a callback that comes while a branch is being taken away finds it.
    std::unique_ptr<Feed> m_feed;
};

}  // namespace kelm
