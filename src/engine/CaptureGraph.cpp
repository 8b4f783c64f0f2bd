#include "CaptureGraph.h"

#include "EngineError.h"
#include "GstChain.h"
#include "MeterFeed.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace kelm {

// State the streaming threads reach through raw pointers. The graph brings its
// pipelines to NULL before this goes away, so no callback outlives it; the
// owner-thread functions posted from the bus hold it weakly.
struct CaptureGraph::Shared {
    CaptureGraph* graph = nullptr;  // cleared when the graph goes (owner thread)
    Post post;
    PreviewSink preview;
    std::atomic<bool> previewInFlight{false};

    std::mutex mutex;                 // guards the fields below
    std::condition_variable changed;  // any of them changed
    bool videoFlowing = false;
    bool audioFlowing = false;
    QSize videoSize;
    EncoderStatus firstFailure;
    // The running time of the recording's first picture, once it has passed
    // the gate of the branches being attached.
    std::optional<quint64> firstPictureNs;

    // The test sources "flash" and "beep": when the first flash was shown.
    std::atomic<qint64> flashPhaseNs{-1};

    // When each source last reached its tee.
    SourceActivity activity;

    // Where the recorded sound's levels go; empty while nothing records.
    std::mutex soundMeasuredMutex;
    std::function<void(const SoundLevels&)> soundMeasured;
};

namespace {

constexpr int kStartTimeoutMs = 5000;
// How long closing the sources may take before the graph lets them go.
constexpr std::chrono::milliseconds kCloseLimit{5000};

}  // namespace

CaptureGraph::CaptureGraph(Post post, FailureSink onFailure, PreviewSink onPreview)
    : m_post(std::move(post)),
      m_onFailure(std::move(onFailure)),
      m_shared(std::make_shared<Shared>()) {
    m_shared->graph = this;
    m_shared->post = m_post;
    m_shared->preview = std::move(onPreview);
}

CaptureGraph::~CaptureGraph() {
    stop();
    std::lock_guard lock(m_shared->mutex);
    m_shared->graph = nullptr;
}

void CaptureGraph::detachShared() {
    auto fresh = std::make_shared<Shared>();
    fresh->graph = this;
    fresh->post = m_shared->post;
    fresh->preview = m_shared->preview;
    const std::shared_ptr<Shared> old = std::exchange(m_shared, std::move(fresh));
    std::lock_guard lock(old->mutex);
    old->graph = nullptr;
}

void CaptureGraph::stop() {
    // The pacer first: it pushes into the graph.
    m_sources.stopVideoFile();
    blockRecording();
    m_recording.remove();
    if (!m_pipeline.closeWithin(kCloseLimit, m_shared)) {
        // Its streaming threads may still call back into the old state;
        // the next graph gets state of its own.
        qCWarning(lcEngine).noquote() << "the sources did not close within" << kCloseLimit.count()
                                      << "ms; they are left to close on their own";
        detachShared();
    }
    m_sources.reset();
    // The card is closed (or left to a pipeline that closes on its own, which
    // keeps the meter feed's copy of the claim until it does).
    m_soundCard.reset();
    m_videoTee = m_audioTee = m_previewValve = nullptr;
    m_shared->previewInFlight = false;
    std::lock_guard lock(m_shared->mutex);
    m_shared->videoFlowing = m_shared->audioFlowing = false;
    m_shared->videoSize = {};
    m_shared->firstFailure = EncoderStatus::success();
}

EncoderStatus CaptureGraph::start(const ResolvedVideoInput& video, const ResolvedAudioInput& audio,
                                  std::shared_ptr<SoundCardClaim> soundCard) {
    EncoderStatus status = build(video, audio, std::move(soundCard));
    if (!status.ok()) return status;
    return play();
}

gst::ElementPtr CaptureGraph::element(const char* name) const {
    if (!m_pipeline) return gst::ElementPtr(nullptr);
    return gst::ElementPtr(gst_bin_get_by_name(m_pipeline.bin(), name));
}

EncoderStatus CaptureGraph::build(const ResolvedVideoInput& video, const ResolvedAudioInput& audio,
                                  std::shared_ptr<SoundCardClaim> soundCard) {
    stop();
    m_soundCard = std::move(soundCard);
    m_pipeline = gst::Pipeline(gst::adoptElement(gst_pipeline_new("kelm-sg1")));
    // A video file's own pipeline reports its failures as the graph's bus does.
    std::weak_ptr<Shared> weak = m_shared;
    auto onLoopError = [weak](GstMessage* error) {
        if (auto shared = weak.lock()) noteError(shared.get(), error);
    };
    EncoderStatus status = m_sources.build(m_pipeline.bin(), video, audio, &m_shared->flashPhaseNs,
                                           std::move(onLoopError));
    if (status.ok()) status = buildPreview();
    if (status.ok()) status = buildAudioTee();
    if (status.ok() && m_soundCard)
        status = buildMeterFeed(m_pipeline.bin(), m_audioTee, m_soundCard, m_sources.audioName());
    if (status.ok()) status = m_recording.build(m_pipeline.bin(), m_videoTee, m_audioTee);
    if (!status.ok()) {
        qCWarning(lcEngine).noquote() << "the sources cannot be built:" << status.description;
        stop();
    }
    return status;
}

EncoderStatus CaptureGraph::play() {
    if (!m_pipeline)
        return engineStatus(EngineFailure::Negotiation,
                            QStringLiteral("the sources are not built"));
    watchSourceFlow();
    installBusHandler(m_pipeline.get());
    // The system's monotonic clock, not the sound card's: a recording's time
    // then keeps to the wall clock from its first second on (the sound
    // server's clock starts late and catches up), and the sound is fitted
    // to it.
    GstClock* system = gst_system_clock_obtain();
    gst_pipeline_use_clock(GST_PIPELINE(m_pipeline.get()), system);
    gst_object_unref(system);
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->firstFailure.ok())
            m_shared->firstFailure = engineStatus(EngineFailure::Negotiation,
                                                  QStringLiteral("the sources cannot be started"));
    }
    m_sources.startVideoFile(m_pipeline.get());
    const EncoderStatus status = waitForSources();
    if (!status.ok()) {
        qCWarning(lcEngine).noquote() << "the sources do not start:" << status.description;
        stop();
    }
    return status;
}

// Marks when each source's first buffer has reached its tee, and what format
// the video source has settled on.
void CaptureGraph::watchSourceFlow() {
    auto flowProbe = [](GstPad* pad, GstPadProbeInfo* info, gpointer user) -> GstPadProbeReturn {
        auto* shared = static_cast<Shared*>(user);
        gst::ElementPtr tee(gst_pad_get_parent_element(pad));
        const bool video = g_str_equal(GST_ELEMENT_NAME(tee.get()), "video-tee");
        if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
            GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
            if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
            GstCaps* caps = nullptr;
            gst_event_parse_caps(event, &caps);
            qCInfo(lcEngine).noquote()
                << (video ? "video source negotiated" : "audio source negotiated")
                << capsText(caps);
            GstVideoInfo vinfo;
            if (video && gst_video_info_from_caps(&vinfo, caps)) {
                std::lock_guard lock(shared->mutex);
                shared->videoSize =
                    QSize(GST_VIDEO_INFO_WIDTH(&vinfo), GST_VIDEO_INFO_HEIGHT(&vinfo));
            }
        } else {
            shared->activity.noteDelivered(video ? SourceActivity::Source::Picture
                                                 : SourceActivity::Source::Sound);
            std::lock_guard lock(shared->mutex);
            (video ? shared->videoFlowing : shared->audioFlowing) = true;
        }
        shared->changed.notify_all();
        return GST_PAD_PROBE_OK;
    };
    for (GstElement* tee : {m_videoTee, m_audioTee}) {
        gst::PadPtr in(gst_element_get_static_pad(tee, "sink"));
        gst_pad_add_probe(in.get(),
                          static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                       GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                          flowProbe, m_shared.get(), nullptr);
    }
}

EncoderStatus CaptureGraph::waitForSources() {
    std::unique_lock lock(m_shared->mutex);
    Shared& s = *m_shared;
    const bool settled = s.changed.wait_for(lock, std::chrono::milliseconds(kStartTimeoutMs), [&] {
        return !s.firstFailure.ok() || (s.videoFlowing && s.audioFlowing);
    });
    if (!s.firstFailure.ok()) return s.firstFailure;
    if (settled) return EncoderStatus::success();
    if (!s.audioFlowing)
        return engineStatus(EngineFailure::AudioDevice,
                            QStringLiteral("%1 delivers no sound").arg(m_sources.audioName()));
    return engineStatus(EngineFailure::VideoDevice,
                        QStringLiteral("%1 delivers no picture").arg(m_sources.videoName()));
}

EncoderStatus CaptureGraph::buildPreview() {
    std::vector<GstElement*> chain;
    EncoderStatus status = makeChain(m_pipeline.bin(),
                                     {{"tee", "video-tee"},
                                      {"valve", "preview-valve"},
                                      {"queue", nullptr},
                                      {"videoconvert", nullptr},
                                      {"capsfilter", nullptr},
                                      {"appsink", "preview-sink"}},
                                     &chain);
    if (!status.ok()) return status;
    m_videoTee = chain[0];
    m_previewValve = chain[1];
    g_object_set(m_videoTee, "allow-not-linked", TRUE, nullptr);
    g_object_set(m_previewValve, "drop", TRUE, nullptr);
    g_object_set(chain[2], "leaky", 2, "max-size-buffers", 2u, "max-size-bytes", 0u,
                 "max-size-time", guint64{0}, nullptr);
    setCaps(chain[4], "video/x-raw,format=RGB");
    g_object_set(chain[5], "sync", FALSE, "max-buffers", 1u, "drop", TRUE, "async", FALSE, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink* sink, gpointer user) -> GstFlowReturn {
        auto* shared = static_cast<Shared*>(user);
        gst::SamplePtr sample(gst_app_sink_pull_sample(sink));
        if (!sample || shared->previewInFlight.exchange(true))
            return GST_FLOW_OK;  // the monitor has not taken the last one yet
        GstVideoInfo info;
        GstVideoFrame frame;
        if (!gst_video_info_from_caps(&info, gst_sample_get_caps(sample.get())) ||
            !gst_video_frame_map(&frame, &info, gst_sample_get_buffer(sample.get()),
                                 GST_MAP_READ)) {
            shared->previewInFlight = false;
            return GST_FLOW_OK;
        }
        PreviewFrame out;
        out.width = GST_VIDEO_FRAME_WIDTH(&frame);
        out.height = GST_VIDEO_FRAME_HEIGHT(&frame);
        out.stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
        out.rgb = QByteArray(static_cast<const char*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                             out.stride * out.height);
        gst_video_frame_unmap(&frame);
        shared->preview(std::move(out));
        return GST_FLOW_OK;
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(chain[5]), &callbacks, m_shared.get(), nullptr);
    if (!gst_element_link(m_sources.videoBin(), m_videoTee))
        return engineStatus(EngineFailure::Negotiation,
                            QStringLiteral("%1: cannot link it").arg(m_sources.videoName()));
    return status;
}

EncoderStatus CaptureGraph::buildAudioTee() {
    std::vector<GstElement*> chain;
    EncoderStatus status = makeChain(m_pipeline.bin(), {{"tee", "audio-tee"}}, &chain);
    if (!status.ok()) return status;
    // Between recordings the sound goes nowhere: the tee drops it.
    m_audioTee = chain[0];
    g_object_set(m_audioTee, "allow-not-linked", TRUE, nullptr);
    if (!gst_element_link(m_sources.audioBin(), m_audioTee))
        return engineStatus(EngineFailure::Negotiation,
                            QStringLiteral("%1: cannot link it").arg(m_sources.audioName()));
    return status;
}

void CaptureGraph::noteError(Shared* shared, GstMessage* message) {
    std::weak_ptr<Shared> weak;
    {
        std::lock_guard lock(shared->mutex);
        if (!shared->graph) return;  // a graph that let its sources go
        if (shared->firstFailure.ok())
            shared->firstFailure = shared->graph->statusForMessage(message);
        weak = shared->graph->m_shared;
    }
    shared->changed.notify_all();
    auto held = std::shared_ptr<GstMessage>(gst_message_ref(message), gst_message_unref);
    shared->post([weak, held] {
        if (auto alive = weak.lock(); alive && alive->graph)
            alive->graph->handleMessage(held.get());
    });
}

// The recording branch's `level` reading, on the streaming thread that
// measured it: one RMS level per channel, in dB.
void CaptureGraph::noteLevels(Shared* shared, GstMessage* message) {
    const GstStructure* structure = gst_message_get_structure(message);
    if (!structure || !gst_structure_has_name(structure, "level")) return;
    const GValue* rms = gst_structure_get_value(structure, "rms");
    if (!rms || !G_VALUE_HOLDS_BOXED(rms)) return;
    const auto* channels = static_cast<const GValueArray*>(g_value_get_boxed(rms));
    if (!channels) return;
    SoundLevels levels;
    for (guint i = 0; i < channels->n_values; ++i) {
        const GValue* value = &channels->values[i];
        if (G_VALUE_HOLDS_DOUBLE(value)) levels.rmsDb.append(g_value_get_double(value));
    }
    std::lock_guard lock(shared->soundMeasuredMutex);
    if (shared->soundMeasured) shared->soundMeasured(levels);
}

void CaptureGraph::installBusHandler(GstElement* pipeline) {
    gst::BusPtr bus(gst_element_get_bus(pipeline));
    // Runs on whichever thread posts. Only failures, the end of a stream and
    // the recorded sound's levels are of interest; everything else is
    // dropped here so nothing piles up on the bus. The work itself is done on
    // the owner's thread.
    gst_bus_set_sync_handler(
        bus.get(),
        [](GstBus*, GstMessage* message, gpointer user) -> GstBusSyncReply {
            // A dropped message belongs to the handler, which must release it.
            gst::MessagePtr owned(message);
            const GstMessageType type = GST_MESSAGE_TYPE(message);
            if (type == GST_MESSAGE_ERROR || type == GST_MESSAGE_EOS)
                noteError(static_cast<Shared*>(user), message);
            else if (type == GST_MESSAGE_ELEMENT)
                noteLevels(static_cast<Shared*>(user), message);
            return GST_BUS_DROP;
        },
        m_shared.get(), nullptr);
}

EncoderStatus CaptureGraph::statusForMessage(GstMessage* message) const {
    return m_sources.failureFor(message, m_pipeline.get());
}

void CaptureGraph::handleMessage(GstMessage* message) {
    if (!m_pipeline) return;
    const EncoderStatus status = statusForMessage(message);
    qCWarning(lcEngine).noquote() << "the sources stopped:" << status.description;
    stop();
    if (m_onFailure) m_onFailure(status);
}

QSize CaptureGraph::waitForVideoSize(int timeoutMs) const {
    if (!m_videoTee) return {};
    std::unique_lock lock(m_shared->mutex);
    m_shared->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return !m_shared->videoSize.isEmpty() || !m_shared->firstFailure.ok();
    });
    return m_shared->videoSize;
}

quint64 CaptureGraph::runningTimeNs() const {
    if (!m_pipeline) return 0;
    GstClock* clock = gst_element_get_clock(m_pipeline.get());
    if (!clock) return 0;
    const GstClockTime now = gst_clock_get_time(clock);
    gst_object_unref(clock);
    const GstClockTime base = gst_element_get_base_time(m_pipeline.get());
    return now > base ? now - base : 0;
}

EncoderStatus CaptureGraph::attachRecording(const EncoderProfile& profile, QSize size,
                                            quint64 fromRunningTimeNs, int timeoutMs,
                                            quint64* firstPictureNs) {
    if (!m_pipeline)
        return engineStatus(EngineFailure::Negotiation, QStringLiteral("the sources do not run"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const quint64 soundBefore = m_shared->activity.deliveries(SourceActivity::Source::Sound);
    EncoderStatus status = readyRecordingBranches();
    if (status.ok()) status = linkRecordingBranches(profile, size, fromRunningTimeNs, timeoutMs);
    if (status.ok() && m_sources.videoFile()) status = rewindVideoFile(timeoutMs);
    if (status.ok()) status = waitForFirstSamples(deadline, soundBefore, firstPictureNs);
    if (!status.ok()) detachRecording();
    return status;
}

// Branches a recording left linked go, and fresh ones take their place.
EncoderStatus CaptureGraph::readyRecordingBranches() {
    if (m_recording.built() && !m_recording.attached()) return EncoderStatus::success();
    detachRecording();
    if (m_recording.built()) return EncoderStatus::success();
    return m_recording.build(m_pipeline.bin(), m_videoTee, m_audioTee);
}

EncoderStatus CaptureGraph::linkRecordingBranches(const EncoderProfile& profile, QSize size,
                                                  quint64 fromRunningTimeNs, int timeoutMs) {
    const QSize source = waitForVideoSize(timeoutMs);
    if (source.isEmpty())
        return engineStatus(EngineFailure::VideoDevice,
                            QStringLiteral("%1 has no picture").arg(m_sources.videoName()));
    const QSize target = size.isEmpty() ? source : QSize(size.width() & ~1, size.height() & ~1);
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->firstPictureNs.reset();
    }
    // With a video file the gate waits for the file's first picture.
    const quint64 gateFromNs = m_sources.videoFile() ? G_MAXUINT64 : fromRunningTimeNs;
    std::weak_ptr<Shared> weak = m_shared;
    return m_recording.attach(profile, source, target, gateFromNs, [weak](quint64 runningTimeNs) {
        const std::shared_ptr<Shared> shared = weak.lock();
        if (!shared) return;
        std::lock_guard lock(shared->mutex);
        shared->firstPictureNs = runningTimeNs;
        shared->changed.notify_all();
    });
}

// The recording starts at the video file's first picture: the file starts
// again, and the gate opens for the time that picture is pushed at.
EncoderStatus CaptureGraph::rewindVideoFile(int timeoutMs) {
    quint64 first = 0;
    EncoderStatus status;
    if (!m_sources.videoFile()->rewind(timeoutMs, &first))
        status = engineStatus(EngineFailure::VideoDevice,
                              QStringLiteral("%1 cannot start again").arg(m_sources.videoName()));
    m_recording.openGateFrom(first);
    return status;
}

EncoderStatus CaptureGraph::waitForFirstSamples(std::chrono::steady_clock::time_point deadline,
                                                quint64 soundBefore, quint64* firstPictureNs) {
    std::unique_lock lock(m_shared->mutex);
    Shared& s = *m_shared;
    s.changed.wait_until(lock, deadline, [&] { return s.firstPictureNs || !s.firstFailure.ok(); });
    // Sound that has stopped coming would give a file of pictures alone, or a
    // trail of files a few seconds long while the recorder tries again: the
    // recording starts only once the sound flows.
    const auto sound = SourceActivity::Source::Sound;
    const bool soundCame = s.changed.wait_until(lock, deadline, [&] {
        return !s.firstFailure.ok() || s.activity.deliveries(sound) > soundBefore;
    });
    if (!s.firstFailure.ok()) return s.firstFailure;
    if (!s.firstPictureNs)
        return engineStatus(
            EngineFailure::VideoDevice,
            SourceActivity::silenceCause(m_sources.videoName(),
                                         s.activity.silentForMs(SourceActivity::Source::Picture)));
    if (!soundCame)
        return engineStatus(
            EngineFailure::AudioDevice,
            SourceActivity::silenceCause(m_sources.audioName(), s.activity.silentForMs(sound)));
    *firstPictureNs = *s.firstPictureNs;
    return EncoderStatus::success();
}

void CaptureGraph::deliverRecording(SampleSink video, SampleSink audio) {
    m_recording.deliver(std::move(video), std::move(audio));
}

void CaptureGraph::measureRecording(MeasureSinks sinks) {
    m_recording.measurePictures(std::move(sinks.picture));
    std::lock_guard lock(m_shared->soundMeasuredMutex);
    m_shared->soundMeasured = std::move(sinks.sound);
}

void CaptureGraph::blockRecording() {
    m_recording.block();
    std::lock_guard lock(m_shared->soundMeasuredMutex);
    m_shared->soundMeasured = nullptr;
}

void CaptureGraph::detachRecording() {
    if (!m_recording.attached()) return;
    blockRecording();
    m_recording.remove();
    // Fresh branches for the next recording, so its start only links them.
    if (m_pipeline) {
        const EncoderStatus built = m_recording.build(m_pipeline.bin(), m_videoTee, m_audioTee);
        if (!built.ok())
            qCWarning(lcEngine).noquote()
                << "no recording branch for the next recording:" << built.description;
    }
}

bool CaptureGraph::recordingAttached() const {
    return m_recording.attached();
}

EncoderStatus CaptureGraph::quietSource(qint64 limitMs) const {
    if (!m_pipeline) return EncoderStatus::success();
    const SourceActivity& activity = m_shared->activity;
    const qint64 picture = activity.silentForMs(SourceActivity::Source::Picture);
    if (picture > limitMs)
        return engineStatus(EngineFailure::VideoDevice,
                            SourceActivity::silenceCause(m_sources.videoName(), picture));
    const qint64 sound = activity.silentForMs(SourceActivity::Source::Sound);
    if (sound > limitMs)
        return engineStatus(EngineFailure::AudioDevice,
                            SourceActivity::silenceCause(m_sources.audioName(), sound));
    return EncoderStatus::success();
}

void CaptureGraph::previewDelivered() {
    m_shared->previewInFlight = false;
}

void CaptureGraph::setPreviewEnabled(bool enabled) {
    if (m_previewValve) g_object_set(m_previewValve, "drop", enabled ? FALSE : TRUE, nullptr);
    if (!enabled) m_shared->previewInFlight = false;
}

}  // namespace kelm
