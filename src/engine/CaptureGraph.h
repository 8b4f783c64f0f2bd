#pragma once

#include "GstHandles.h"
#include "RecordingBranches.h"
#include "SourceActivity.h"
#include "SourceBins.h"
#include "SourceResolver.h"
#include "capture/SoundCardSharing.h"
#include "encoder/Encoder.h"
#include "encoder/EncoderProfile.h"

#include <QSize>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace kelm {

// The live GStreamer graph of the source group: the video and audio sources
// (SourceBins), converted to I420 pictures and raw sound, each into a
// tee. The preview branch (RGB, behind a valve) hangs on the video tee for as
// long as the graph lives; a recording links one branch to each tee that
// ends in an appsink (RecordingBranches) and takes them away again while the
// sources and the preview keep running.
//
//   video source ! videoconvert ! I420 ! tee ─ valve ! queue ! videoconvert ! RGB ! appsink
//   (preview)                               └ [gate] videorate ! WxH@fps ! appsink ─ scaler
//   audio source ! audioconvert ! audioresample ! tee
//                                                 ├ audioconvert ! audioresample ! S16 ! level
//                                                 │   ! appsink
//   (level meters, with a claimed sound card)     └ queue ! audioconvert ! audioresample
//                                                   ! S16 stereo 44100 Hz ! appsink ─ claim
//
// The recording branches are built before they are needed (when the graph
// starts, and again after each recording), so attaching one only links it.
// The gate lets pictures through from the first one captured at or after the
// moment the recording was asked for; the pictures are scaled to the
// profile's size with libswscale's bicubic filter on the streaming thread.
//
// A video file is decoded in a pipeline of its own and paced into the graph
// frame by frame (VideoFileLoop), so the graph keeps a steady rate whatever
// the file does, and a recording starts at the file's first picture.
//
// Threads: every method is called on the owner's thread. The callbacks run on
// GStreamer's streaming threads and must only hand work over; the owner
// supplies `post`, which runs a function later on its own thread. Waits are
// on a condition the streaming threads and the bus signal, with a deadline.
class CaptureGraph final {
public:
    using Post = std::function<void(std::function<void()>)>;
    using SampleSink = RecordingBranches::SampleSink;
    using PreviewSink = std::function<void(PreviewFrame frame)>;
    // The failure's description is its cause in plain words.
    using FailureSink = std::function<void(EncoderStatus status)>;
    // The recorded streams' measures for the signal alarms, on the streaming
    // threads: must only hand them over.
    struct MeasureSinks {
        std::function<void(const SoundLevels& levels)> sound;
        std::function<void(const PictureMeasures& measures)> picture;
    };

    CaptureGraph(Post post, FailureSink onFailure, PreviewSink onPreview);
    CaptureGraph(const CaptureGraph&) = delete;
    CaptureGraph& operator=(const CaptureGraph&) = delete;
    ~CaptureGraph();

    // Builds the graph for these sources and brings it to PLAYING. Returns as
    // soon as both sources deliver (or fail; at most a few seconds); on
    // failure nothing is left running.
    //
    // `soundCard`: the claim on the sound card the audio source opens. The
    // graph holds it until its sources have closed the card, and hands the
    // card's sound to the level meters through it while it runs.
    EncoderStatus start(const ResolvedVideoInput& video, const ResolvedAudioInput& audio,
                        std::shared_ptr<SoundCardClaim> soundCard = nullptr);
    bool running() const { return static_cast<bool>(m_pipeline); }

    // The two halves of start(): build() makes and links every element and
    // leaves the graph stopped (its elements can be looked at; nothing is
    // opened), play() brings it to PLAYING and waits for the sources.
    EncoderStatus build(const ResolvedVideoInput& video, const ResolvedAudioInput& audio,
                        std::shared_ptr<SoundCardClaim> soundCard = nullptr);
    EncoderStatus play();
    // An element of the built graph by name ("video-device",
    // "video-device-caps", ...); null when there is none.
    gst::ElementPtr element(const char* name) const;

    // The size of the source pictures, once negotiated; waits up to timeoutMs
    // for it. Empty when none arrived.
    QSize waitForVideoSize(int timeoutMs) const;

    // The pipeline's current running time, in ns.
    quint64 runningTimeNs() const;

    // Links the recording branches: pictures of `size` (empty: the source's
    // size) at the profile's frame rate, sound at its rate and channel count.
    // The first picture let through is the first captured at or after
    // `fromRunningTimeNs`; with a video file, the file's first picture (the
    // file starts again). Waits (up to timeoutMs in all) for that picture and
    // for sound arriving after the call, and gives the picture's running time
    // in `firstPictureNs`; a source that delivers nothing in that time fails
    // the attach (VideoInput, SoundCard). Samples are held back until
    // deliverRecording().
    EncoderStatus attachRecording(const EncoderProfile& profile, QSize size,
                                  quint64 fromRunningTimeNs, int timeoutMs,
                                  quint64* firstPictureNs);
    // Hands the samples held back, then every later one, to the sinks.
    void deliverRecording(SampleSink video, SampleSink audio);
    // Hands the measures of the recorded sound and pictures to `sinks` from
    // now on, until the recording is blocked.
    void measureRecording(MeasureSinks sinks);
    // Drops buffers at the tee pads: nothing more reaches the recording sinks.
    void blockRecording();
    // Unlinks and removes the recording branches (after blockRecording()) and
    // builds fresh ones for the next recording.
    void detachRecording();
    bool recordingAttached() const;

    // A failure naming the first source that has delivered nothing for more
    // than `limitMs` (VideoInput for the picture, SoundCard for the sound);
    // success while both deliver. Lock-free: reads what the streaming
    // threads note, never waits on them.
    EncoderStatus quietSource(qint64 limitMs) const;

    void setPreviewEnabled(bool enabled);
    // The owner has taken the last preview frame; the next one may come.
    void previewDelivered();

    // Brings everything to NULL and drops the graph; no thread of it is left.
    void stop();

private:
    struct Shared;

    EncoderStatus buildPreview();
    EncoderStatus buildAudioTee();
    void watchSourceFlow();
    EncoderStatus waitForSources();
    void installBusHandler(GstElement* pipeline);
    static void noteError(Shared* shared, GstMessage* message);
    static void noteLevels(Shared* shared, GstMessage* message);
    void handleMessage(GstMessage* message);
    void detachShared();
    EncoderStatus statusForMessage(GstMessage* message) const;

    // The steps of attachRecording().
    EncoderStatus readyRecordingBranches();
    EncoderStatus linkRecordingBranches(const EncoderProfile& profile, QSize size,
                                        quint64 fromRunningTimeNs, int timeoutMs);
    EncoderStatus rewindVideoFile(int timeoutMs);
    EncoderStatus waitForFirstSamples(std::chrono::steady_clock::time_point deadline,
                                      quint64 soundBefore, quint64* firstPictureNs);

    Post m_post;
    FailureSink m_onFailure;
    gst::Pipeline m_pipeline;  // the live graph
    SourceBins m_sources;
    GstElement* m_videoTee = nullptr;  // borrowed from m_pipeline
    GstElement* m_audioTee = nullptr;
    GstElement* m_previewValve = nullptr;
    RecordingBranches m_recording;
    // The sound card the audio source holds; its meter feed keeps a copy.
    std::shared_ptr<SoundCardClaim> m_soundCard;
    // What the streaming threads' callbacks reach; kept alive by them.
    std::shared_ptr<Shared> m_shared;
};

}  // namespace kelm
