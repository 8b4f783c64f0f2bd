#pragma once

#include "SourceResolver.h"
#include "VideoFileLoop.h"
#include "encoder/EncoderError.h"

#include <gst/gst.h>

#include <QString>

#include <atomic>
#include <memory>
#include <vector>

namespace kelm {

// The capture graph's two sources, each a bin of its own in the graph's
// pipeline that ends in a "src" ghost pad: I420 pictures from the video
// input, raw sound from the audio input (48 kHz stereo where the source
// offers it).
//
//   video-source: v4l2src "video-device" ! capsfilter "video-device-caps"
//                 | videotestsrc "video-test" ! capsfilter
//                 | filesrc ! decodebin ! videoconvert ! I420 ! imagefreeze
//                 | appsrc "video-file" (fed by a VideoFileLoop)
//                 ! videoconvert ! I420
//   audio-source: alsasrc | pulsesrc "audio-device" | audiotestsrc "audio-test"
//                 ! capsfilter ! audioconvert ! audioresample
//
// Each source has a name for the failures that concern it ("video device
// /dev/video0", "sound card default").
//
// Threads: every method is called on the graph owner's thread; the test
// signals and decodebin's pads are handled on streaming threads.
class SourceBins final {
public:
    // Builds both sources into `pipeline`. The test signals "flash" and "beep"
    // share `flashPhaseNs`; a video file is decoded in a pipeline of its own,
    // whose failures go to `onLoopError`. On failure, the bins built so far go
    // with the pipeline.
    EncoderStatus build(GstBin* pipeline, const ResolvedVideoInput& video,
                        const ResolvedAudioInput& audio, std::atomic<qint64>* flashPhaseNs,
                        VideoFileLoop::ErrorSink onLoopError);

    // The bins, borrowed from the pipeline; null before build().
    GstElement* videoBin() const { return m_videoBin; }
    GstElement* audioBin() const { return m_audioBin; }
    // What failures call the sources: "video device /dev/video0".
    const QString& videoName() const { return m_videoName; }
    const QString& audioName() const { return m_audioName; }
    // The video file's pacer; null unless the video source is a video file.
    VideoFileLoop* videoFile() const { return m_loop.get(); }

    // The failure a message of the graph's bus stands for (an error, or the
    // end of a stream), named after the source it came from. A message from
    // outside `pipeline`, the graph's, comes from the video file's own
    // pipeline.
    EncoderStatus failureFor(GstMessage* message, GstElement* pipeline) const;

    // Starts pacing a video file's pictures into the graph, which has just
    // been set to PLAYING.
    void startVideoFile(GstElement* pipeline);
    // Stops a video file's pacer: it pushes into the graph, so it stops first.
    void stopVideoFile();
    // Lets go of the bins and the video file's pacer; the names stay.
    void reset();

private:
    EncoderStatus buildVideo(const ResolvedVideoInput& video, std::atomic<qint64>* flashPhaseNs,
                             VideoFileLoop::ErrorSink onLoopError);
    EncoderStatus testPatternSource(const ResolvedVideoInput& video,
                                    std::atomic<qint64>* flashPhaseNs,
                                    std::vector<GstElement*>* chain);
    EncoderStatus captureDeviceSource(const ResolvedVideoInput& video,
                                      std::vector<GstElement*>* chain);
    EncoderStatus pictureSource(const ResolvedVideoInput& video, std::vector<GstElement*>* chain);
    EncoderStatus videoFileSource(const ResolvedVideoInput& video,
                                  VideoFileLoop::ErrorSink onLoopError,
                                  std::vector<GstElement*>* chain);
    EncoderStatus convertPictures(GstElement* tail);
    EncoderStatus buildAudio(const ResolvedAudioInput& audio, std::atomic<qint64>* flashPhaseNs);
    EncoderStatus convertSound(GstElement* tail);

    GstElement* m_videoBin = nullptr;  // borrowed from the pipeline
    GstElement* m_audioBin = nullptr;
    QString m_videoName;
    QString m_audioName;
    std::unique_ptr<VideoFileLoop> m_loop;  // decodes a video file, if the source is one
};

}  // namespace kelm
