#pragma once

#include "AudioStreamEncoder.h"
#include "AvHandles.h"
#include "EngineError.h"
#include "GstHandles.h"
#include "OutputFile.h"
#include "VideoStreamEncoder.h"
#include "encoder/Encoder.h"
#include "encoder/EncoderError.h"
#include "encoder/EncoderProfile.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace kelm {

// Writes one recording: raw I420 pictures and S16 interleaved sound from the
// capture pipeline are encoded with libavcodec (WMV2, WMA2), one encoder
// object per stream, and muxed by libavformat's ASF muxer into the .wmv file,
// on the writer's own thread.
//
// Timestamps count from 0 at the running time given to start() (see the
// stream encoders for how each stream keeps to it). Every packet is flushed
// to the file at once, so a killed process leaves a file that plays up to its
// last packet.
//
// When the file cannot be written on (the device is full, a write fails, the
// file is deleted) the writer stops by itself, finishes what was written so
// that the file plays to its last whole packet (with duration and size in its
// header wherever room was kept for them, see OutputFile), and reports a
// failure, never a normal end; failureCause() says what happened in plain
// words.
//
// The header says when the recording's first sample was captured (the file
// properties' creation date), what was recorded (title and author in the
// content description, the plan and the profile as named entries of the
// extended content description), and a maximum bit rate that covers the
// whole file: the muxer writes only the streams' nominal rates there, which
// the packets, the header and the index together exceed, so the field is
// raised to the file's real overall rate once the file is finished.
//
// Threads: setFileCalls(), setDescription(), open(), start(), finish(), failureCause() and the
// destructor on the owner's thread; pushVideo()/pushAudio() on any thread (the
// pipeline's streaming threads); statistics() on any thread, lock-free.
class AsfWriter final : private PacketSink {
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
        qint64 videoFrames = 0;  // pictures written
    };

    AsfWriter();
    AsfWriter(const AsfWriter&) = delete;
    AsfWriter& operator=(const AsfWriter&) = delete;
    ~AsfWriter();

    // The system calls the file is written through; the kernel's unless a
    // test puts others in before open().
    void setFileCalls(std::shared_ptr<FileCalls> calls) { m_fileCalls = std::move(calls); }

    // What the header says about the recording (see above); before open().
    // `firstSampleUtc` invalid: no creation date.
    void setDescription(const RecordingTags& tags, const QDateTime& firstSampleUtc);

    // Opens both encoders and the file and writes the file header. `width` x
    // `height` is the picture size to encode (the profile's, or the source's
    // for a 0 x 0 profile; rounded down to even). durationLimitMs 0: no limit.
    // The file is created exclusively: when the name is taken, nothing is
    // touched and the open fails with FileExists ("... already exists"). A
    // file that cannot be created fails with OutputFileCreate. A failed open
    // leaves no file behind.
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

    // Gives up a file that was opened but never started: closes it and
    // removes it again, as if the recording had never begun.
    void discard();

    // The first failure in plain words for the operator (Hungarian, with the
    // file's path and the system's reason), where the file is the cause;
    // empty otherwise. Read after open() or finish() returned.
    QString failureCause() const { return m_failureCause; }

    Statistics statistics() const;
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    struct Item {
        StreamEncoder* target;  // nullptr: the end
        gst::SamplePtr sample;
        quint64 runningTimeNs;
    };
    enum class EndReason { Stopped, LimitReached, Failed };

    bool writePacket(AVPacket* packet) override;
    void fail(EngineFailure failure, const QString& detail) override;
    bool fileStillWritable();
    void failFile(OutputFileStage stage, int errnum);
    void push(Item item);
    void run();
    bool limitReached() const;
    void close(EndReason reason);
    void setMetadata();
    bool patchMaximumBitrate();
    EncoderStatus discardCreatedFile(EncoderStatus status);

    QString m_path;
    RecordingTags m_tags;
    QDateTime m_firstSampleUtc;
    std::shared_ptr<FileCalls> m_fileCalls;
    std::unique_ptr<OutputFile> m_file;
    av::OutputPtr m_output;  // the muxer; declared after the file it writes to
    std::unique_ptr<AudioStreamEncoder> m_audio;
    std::unique_ptr<VideoStreamEncoder> m_video;
    int m_width = 0;
    int m_height = 0;
    int m_sampleRate = 0;
    quint64 m_startNs = 0;
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
    QString m_failureCause;  // likewise

    std::atomic<qint64> m_fileBytes{0};
    std::atomic<qint64> m_durationMs{0};
};

}  // namespace kelm
