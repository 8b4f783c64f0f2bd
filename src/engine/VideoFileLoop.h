#pragma once

#include "GstHandles.h"
#include "encoder/EncoderError.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace kelm {

// decodebin's "pad-added" handler: a picture pad is linked to `target`, the
// element waiting for the decoded pictures; other pads are left alone.
void linkDecodedVideoPad(GstElement* decodebin, GstPad* pad, gpointer target);

// A video file played in a loop as a live picture source of the capture
// graph. A pipeline of its own decodes the file into an appsink, a few
// pictures ahead; a pacing thread takes one picture per frame interval of the
// file's rate, on the capture graph's clock, and pushes it into the graph's
// appsrc stamped with that running time. Every picture of the file goes out
// once and in order, so a recording shows the file frame for frame; only
// when decoding falls behind is the last picture sent again (and counted).
// The end of the file joins its start without a gap (segment seeks).
//
// Threads: open(), start(), rewind() and stop() on the owner's thread;
// `onError` is called on a GStreamer thread with the decoder's error message.
class VideoFileLoop final {
public:
    using ErrorSink = std::function<void(GstMessage* error)>;

    explicit VideoFileLoop(ErrorSink onError) : m_onError(std::move(onError)) {}
    VideoFileLoop(const VideoFileLoop&) = delete;
    VideoFileLoop& operator=(const VideoFileLoop&) = delete;
    ~VideoFileLoop() { stop(); }

    // Builds the decoding pipeline for the file and waits (up to timeoutMs)
    // for its first picture. On success `caps` are the pictures' caps with
    // the file's frame rate (25/1 when the file gives none).
    EncoderStatus open(const QString& path, int timeoutMs, gst::CapsPtr* caps);

    // Starts pacing pictures into `appsrc`, timed by the clock of `graph`,
    // which has just been set to PLAYING.
    void start(GstElement* graph, GstElement* appsrc);

    // Seeks back to the first picture and waits (up to timeoutMs) until it is
    // decoded; `firstPictureNs` gets the running time it will be pushed at.
    bool rewind(int timeoutMs, quint64* firstPictureNs);

    // Ends the pacing thread and the decoding pipeline.
    void stop();

    // Pictures sent again because decoding fell behind.
    qint64 repeatedPictures() const { return m_repeated.load(); }

private:
    // The steps of open().
    EncoderStatus buildDecoder();
    void installBusHandler();
    EncoderStatus startDecoding(int timeoutMs);
    EncoderStatus takeFirstPicture(int timeoutMs, gst::CapsPtr* caps);
    // The failure of open(), with the decoder's own words when it has given
    // any; the decoding pipeline goes.
    EncoderStatus failed(const QString& what);
    // The decoding pipeline's bus, on whichever thread posts.
    static GstBusSyncReply onBusMessage(GstBus* bus, GstMessage* message, gpointer user);
    void run();
    GstClockTime slotTime(quint64 slot) const;
    static bool seekToStart(GstElement* pipeline, GstSeekFlags extraFlags);

    ErrorSink m_onError;
    QString m_path;
    gst::Pipeline m_pipeline;
    GstElement* m_sink = nullptr;  // borrowed from m_pipeline
    GstElement* m_appsrc = nullptr;
    gst::ElementPtr m_graph;
    int m_rateNum = 25;
    int m_rateDen = 1;
    std::atomic<qint64> m_repeated{0};

    std::mutex m_mutex;  // guards the fields below
    std::condition_variable m_changed;
    bool m_stopping = false;
    bool m_rewinding = false;  // the owner is seeking: the pacer sends the last picture again
    struct BufferUnref {
        void operator()(GstBuffer* buffer) const { gst_buffer_unref(buffer); }
    };
    using BufferPtr = std::unique_ptr<GstBuffer, BufferUnref>;
    // Pictures are kept as buffers: a sample held back would stop the appsink
    // from reusing its own.
    static BufferPtr pull(GstElement* sink, GstClockTime timeout);

    BufferPtr m_pending;             // the next picture to send, taken before the queue
    quint64 m_nextSlot = 0;          // index of the next frame interval
    GstClockTime m_firstSlotNs = 0;  // running time of slot 0
    GstClockID m_waiting = nullptr;  // the pacer's clock wait, to be unscheduled by stop()
    QString m_error;                 // the decoder's first error, for open()

    std::thread m_thread;
};

}  // namespace kelm
