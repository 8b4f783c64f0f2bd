#pragma once

#include "GstHandles.h"

#include <gst/app/gstappsink.h>
#include "SourceResolver.h"
#include "encoder/Encoder.h"
#include "encoder/EncoderProfile.h"

#include <QSize>

#include <atomic>
#include <functional>
#include <memory>

namespace kelm {

// The live GStreamer graph of the source group: the video and audio sources,
// converted to I420 pictures and raw sound, each into a tee. The preview
// branch (RGB, behind a valve) hangs on the video tee for as long as the graph
// lives; a recording adds one branch to each tee that ends in an appsink and
// takes it away again while the sources and the preview keep running.
//
//   video source ! videoconvert ! I420 ! tee ─ valve ! queue ! videoconvert ! RGB ! appsink
//   (preview)
//                                           └ videoscale ! videorate ! I420 WxH@fps ! appsink
//   audio source ! audioconvert ! audioresample ! tee
//                                                 └ audioconvert ! audioresample ! S16 ! appsink
//
// A video file is decoded in a pipeline of its own, played in a loop into an
// intervideosink, and read here by intervideosrc, so the graph keeps a steady
// rate whatever the file does.
//
// Threads: every method is called on the owner's thread. The callbacks run on
// GStreamer's streaming threads and must only hand work over; the owner
// supplies `post`, which runs a function later on its own thread.
class CaptureGraph final {
public:
    using Post = std::function<void(std::function<void()>)>;
    using SampleSink = std::function<void(gst::SamplePtr sample, quint64 runningTimeNs)>;
    using PreviewSink = std::function<void(PreviewFrame frame)>;
    using FailureSink = std::function<void(EncoderStatus status)>;

    CaptureGraph(Post post, FailureSink onFailure, PreviewSink onPreview);
    CaptureGraph(const CaptureGraph&) = delete;
    CaptureGraph& operator=(const CaptureGraph&) = delete;
    ~CaptureGraph();

    // Builds the graph for these sources and brings it to PLAYING. Waits until
    // the sources run (up to a few seconds); on failure nothing is left running.
    EncoderStatus start(const ResolvedVideoInput& video, const ResolvedAudioInput& audio);
    bool running() const { return static_cast<bool>(m_pipeline); }

    // The size of the source pictures, once the first one has been negotiated;
    // waits up to timeoutMs for it. Empty when none arrived.
    QSize waitForVideoSize(int timeoutMs) const;

    // The pipeline's current running time, in ns.
    quint64 runningTimeNs() const;

    // Adds the recording branches: pictures of `size` (empty: the source's
    // size) at the profile's frame rate, sound at its rate and channel count.
    EncoderStatus attachRecording(const EncoderProfile& profile, QSize size, SampleSink video,
                                  SampleSink audio);
    // Drops buffers at the tee pads: nothing more reaches the recording sinks.
    void blockRecording();
    // Unlinks and removes the recording branches (after blockRecording()).
    void detachRecording();
    bool recordingAttached() const;

    void setPreviewEnabled(bool enabled);
    // The owner has taken the last preview frame; the next one may come.
    void previewDelivered();

    // Brings everything to NULL and drops the graph; no thread of it is left.
    void stop();

private:
    struct Branch;
    struct Shared;

    EncoderStatus buildVideoSource(const ResolvedVideoInput& video, GstElement** tail);
    EncoderStatus buildAudioSource(const ResolvedAudioInput& audio, GstElement** tail);
    EncoderStatus buildLoopPipeline(const QString& path, const QString& channel);
    // Plays the video file and waits for its first picture; `caps` gets the
    // picture size and rate for the graph's intervideosrc.
    EncoderStatus startLoopPipeline(QByteArray* caps);
    void installBusHandler(GstElement* pipeline);
    template <bool IsVideo>
    static GstFlowReturn onRecordedSample(GstAppSink* sink, gpointer user);
    void handleMessage(GstMessage* message);
    EncoderStatus statusForMessage(GstMessage* message) const;

    Post m_post;
    FailureSink m_onFailure;
    gst::Pipeline m_loop;              // decodes a video file in a loop, if the source is one
    gst::Pipeline m_pipeline;          // the live graph
    GstElement* m_videoBin = nullptr;  // borrowed from m_pipeline
    GstElement* m_audioBin = nullptr;
    GstElement* m_videoTee = nullptr;
    GstElement* m_audioTee = nullptr;
    GstElement* m_previewValve = nullptr;
    std::unique_ptr<Branch> m_videoBranch;
    std::unique_ptr<Branch> m_audioBranch;
    // What the streaming threads' callbacks reach; kept alive by them.
    std::shared_ptr<Shared> m_shared;
};

}  // namespace kelm
