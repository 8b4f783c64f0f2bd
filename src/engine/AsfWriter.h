#pragma once

#include "AvHandles.h"
#include "EngineError.h"
#include "GstHandles.h"
#include "encoder/EncoderError.h"
#include "encoder/EncoderProfile.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kelm {

// Writes one recording: raw I420 pictures and S16 interleaved sound from the
// capture pipeline are encoded with libavcodec (WMV2, WMA2) and muxed by
// libavformat's ASF muxer into the .wmv file, on the writer's own thread.
//
// Timestamps count from 0 at the running time given to start(): the first
// picture at or after it is frame 0 and every later picture the next frame
// (the pipeline delivers a constant rate), the sound is trimmed or padded so
// its first sample lies at 0. Every packet is flushed to the file at once, so
// a killed process leaves a file that plays up to its last packet.
//
// Threads: open(), start(), finish() and the destructor on the owner's thread;
// pushVideo()/pushAudio() on any thread (the pipeline's streaming threads);
// statistics() on any thread, lock-free.
class AsfWriter final {
public:
    using EncoderLookup = std::function<bool(const QString& codecName)>;
    // Called once on the writer thread when the writer ends by itself: the
    // duration limit was reached (success) or writing failed. The owner then
    // calls finish() from its own thread.
    using EndedByItself = std::function<void(const EncoderStatus&)>;

    struct Statistics {
        qint64 fileBytes = 0;    // bytes in the file so far
        qint64 audioBytes = 0;   // audio payload bytes
        qint64 videoBytes = 0;   // video payload bytes
        qint64 durationMs = 0;   // media time written, in ms
        qint64 videoFrames = 0;  // pictures encoded
    };

    AsfWriter() = default;
    AsfWriter(const AsfWriter&) = delete;
    AsfWriter& operator=(const AsfWriter&) = delete;
    ~AsfWriter();

    // Opens both encoders and the file and writes the file header. `width` x
    // `height` is the picture size to encode (the profile's, or the source's
    // for a 0 x 0 profile; rounded down to even). durationLimitMs 0: no limit.
    EncoderStatus open(const QString& path, const EncoderProfile& profile, int width, int height,
                       qint64 durationLimitMs, const EncoderLookup& encoderAvailable);

    // Starts the writer thread; `startRunningTimeNs` is the pipeline running
    // time that becomes 0 in the file.
    void start(quint64 startRunningTimeNs, EndedByItself endedByItself);

    // Hands one sample over; the running time is that of its first picture or
    // sample. Samples are dropped once the writer has ended.
    void pushVideo(gst::SamplePtr sample, quint64 runningTimeNs);
    void pushAudio(gst::SamplePtr sample, quint64 runningTimeNs);

    // Encodes what is queued, flushes the encoders, writes the trailer and
    // index, closes the file and joins the thread. Returns the first failure
    // of the recording, if any. Safe to call more than once.
    EncoderStatus finish();

    Statistics statistics() const;
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    enum class ItemKind { Video, Audio, End };
    struct Item {
        ItemKind kind;
        gst::SamplePtr sample;
        quint64 runningTimeNs;
    };
    enum class EndReason { Stopped, LimitReached };

    void push(Item item);
    void run();
    bool writeVideo(GstSample* sample, quint64 runningTimeNs);
    bool writeAudio(GstSample* sample, quint64 runningTimeNs);
    bool encodeAudioFrames(bool flushPartial);
    bool sendFrame(AVCodecContext* codec, AVStream* stream, AVFrame* frame);
    bool limitReached() const;
    void close(EndReason reason);
    void fail(EngineFailure failure, const QString& detail);

    // libav objects; owned by the writer thread between start() and its end.
    av::OutputPtr m_output;
    av::CodecContextPtr m_video;
    av::CodecContextPtr m_audio;
    AVStream* m_videoStream = nullptr;
    AVStream* m_audioStream = nullptr;
    av::FramePtr m_videoFrame;
    av::FramePtr m_audioFrame;
    av::PacketPtr m_packet;
    int m_width = 0;
    int m_height = 0;
    int m_channels = 2;
    int m_sampleRate = 0;

    // Time keeping, writer thread only.
    quint64 m_startNs = 0;
    qint64 m_frameDurationNs = 0;
    qint64 m_videoFramesIn = 0;      // pictures accepted (next frame number)
    qint64 m_videoLimitFrames = 0;   // 0: no limit
    qint64 m_audioSamplesIn = 0;     // samples accepted, counted from 0
    qint64 m_audioLimitSamples = 0;  // 0: no limit
    qint64 m_audioFramesOut = 0;     // encoder frames sent
    bool m_audioStarted = false;
    std::vector<std::vector<float>> m_audioFifo;  // one per channel
    bool m_closed = false;
    bool m_openOk = false;

    // Queue between the streaming threads and the writer thread.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Item> m_queue;
    bool m_accepting = false;
    qint64 m_droppedItems = 0;
    std::thread m_thread;
    EndedByItself m_endedByItself;
    EncoderStatus m_status;  // first failure; written by the writer thread before it ends

    std::atomic<qint64> m_fileBytes{0};
    std::atomic<qint64> m_audioBytes{0};
    std::atomic<qint64> m_videoBytes{0};
    std::atomic<qint64> m_durationMs{0};
    std::atomic<qint64> m_videoFramesOut{0};
};

}  // namespace kelm
