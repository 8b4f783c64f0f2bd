#include "CaptureGraph.h"

#include "EngineError.h"
#include "PictureScaler.h"
#include "TestSignals.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/video/video.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
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

    // The recording: the gate on the picture branch, samples held back until
    // the owner hands them on, and the scaler.
    bool gateOpen = false;
    quint64 gateFromNs = 0;
    quint64 firstPictureNs = 0;
    bool delivering = false;
    struct Held {
        bool video;
        gst::SamplePtr sample;
        quint64 runningTimeNs;
    };
    std::vector<Held> held;
    SampleSink videoSink;
    SampleSink audioSink;
    PictureScaler scaler;
    bool loggedVideo = false;
    bool loggedAudio = false;

    // The test sources "flash" and "beep": when the first flash was shown.
    std::atomic<qint64> flashPhaseNs{-1};

    // When each source last reached its tee.
    SourceActivity activity;
};

// One recording branch: its elements (owned by the pipeline while it lives)
// and, while linked, the tee's request pad it hangs on.
struct CaptureGraph::Branch {
    GstBin* bin = nullptr;
    std::vector<GstElement*> elements;  // upstream first
    gst::RequestPad teePad;
    gulong gateProbe = 0;
    gulong dropProbe = 0;

    ~Branch() {
        if (teePad.get()) {
            GstPad* sink = gst_element_get_static_pad(elements.front(), "sink");
            gst_pad_unlink(teePad.get(), sink);
            gst_object_unref(sink);
            teePad.reset();
        }
        for (auto it = elements.rbegin(); it != elements.rend(); ++it) {
            gst_element_set_state(*it, GST_STATE_NULL);
            gst_bin_remove(bin, *it);
        }
    }
};

namespace {

constexpr int kStartTimeoutMs = 5000;
// How long closing the sources may take before the graph lets them go.
constexpr std::chrono::milliseconds kCloseLimit{5000};

GstElement* make(const char* factory, const char* name = nullptr) {
    return gst_element_factory_make(factory, name);
}

EncoderStatus missing(const char* factory) {
    return engineStatus(
        EngineFailure::ElementMissing,
        QStringLiteral("GStreamer element %1 is not installed").arg(QLatin1StringView(factory)));
}

// Makes the elements, adds them to the bin and links them in order. Any
// missing element fails the whole chain (and leaves nothing added).
EncoderStatus makeChain(GstBin* bin,
                        std::initializer_list<std::pair<const char*, const char*>> elements,
                        std::vector<GstElement*>* out) {
    std::vector<GstElement*> made;
    for (const auto& [factory, name] : elements) {
        GstElement* e = make(factory, name);
        if (!e) {
            for (GstElement* m : made) gst_object_unref(gst_object_ref_sink(m));
            return missing(factory);
        }
        made.push_back(e);
    }
    for (GstElement* e : made) gst_bin_add(bin, e);
    for (std::size_t i = 1; i < made.size(); ++i) {
        if (!gst_element_link(made[i - 1], made[i]))
            return engineStatus(EngineFailure::Negotiation,
                                QStringLiteral("cannot link %1 to %2")
                                    .arg(QString::fromUtf8(GST_ELEMENT_NAME(made[i - 1])),
                                         QString::fromUtf8(GST_ELEMENT_NAME(made[i]))));
    }
    *out = std::move(made);
    return EncoderStatus::success();
}

void setCaps(GstElement* capsfilter, const char* text) {
    gst::CapsPtr caps(gst_caps_from_string(text));
    g_object_set(capsfilter, "caps", caps.get(), nullptr);
}

QString capsText(GstCaps* caps) {
    gst::CharPtr text(caps ? gst_caps_to_string(caps) : nullptr);
    return text ? QString::fromUtf8(text.get()) : QStringLiteral("(none)");
}

quint64 runningTimeOf(GstSample* sample) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    const GstSegment* segment = gst_sample_get_segment(sample);
    if (!buffer || !GST_BUFFER_PTS_IS_VALID(buffer) || !segment) return 0;
    const guint64 rt =
        gst_segment_to_running_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    return rt == GST_CLOCK_TIME_NONE ? 0 : rt;
}

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
    old->videoSink = nullptr;
    old->audioSink = nullptr;
}

void CaptureGraph::stop() {
    // The pacer first: it pushes into the graph.
    if (m_loop) m_loop->stop();
    m_videoBranch.reset();
    m_audioBranch.reset();
    if (!m_pipeline.closeWithin(kCloseLimit, m_shared)) {
        // Its streaming threads may still call back into the old state;
        // the next graph gets state of its own.
        qCWarning(lcEngine).noquote() << "the sources did not close within" << kCloseLimit.count()
                                      << "ms; they are left to close on their own";
        detachShared();
    }
    m_loop.reset();
    // The card is closed (or left to a pipeline that closes on its own, which
    // keeps the meter feed's copy of the claim until it does).
    m_soundCard.reset();
    m_videoBin = m_audioBin = m_videoTee = m_audioTee = m_previewValve = nullptr;
    m_shared->previewInFlight = false;
    std::lock_guard lock(m_shared->mutex);
    m_shared->videoFlowing = m_shared->audioFlowing = false;
    m_shared->videoSize = {};
    m_shared->videoSink = nullptr;
    m_shared->audioSink = nullptr;
    m_shared->held.clear();
    m_shared->delivering = false;
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
    GstBin* bin = m_pipeline.bin();
    m_videoBin = gst_bin_new("video-source");
    m_audioBin = gst_bin_new("audio-source");
    gst_bin_add_many(bin, m_videoBin, m_audioBin, nullptr);

    GstElement* videoTail = nullptr;
    GstElement* audioTail = nullptr;
    EncoderStatus status = buildVideoSource(video, &videoTail);
    if (status.ok()) status = buildAudioSource(audio, &audioTail);
    if (status.ok()) status = buildPreview(videoTail);
    std::vector<GstElement*> chain;
    if (status.ok()) status = makeChain(bin, {{"tee", "audio-tee"}}, &chain);
    if (status.ok()) {
        // Between recordings the sound goes nowhere: the tee drops it.
        m_audioTee = chain[0];
        g_object_set(m_audioTee, "allow-not-linked", TRUE, nullptr);
        if (!gst_element_link(audioTail, m_audioTee))
            status = engineStatus(EngineFailure::Negotiation,
                                  QStringLiteral("%1: cannot link it").arg(m_audioSource));
    }
    if (status.ok() && m_soundCard) status = buildMeterFeed();
    if (status.ok()) status = buildBranches();
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
    EncoderStatus status;

    // Mark when each source's first buffer has reached its tee, and what
    // format the video source has settled on.
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
    if (m_loop) {
        gst::ElementPtr appsrc(gst_bin_get_by_name(GST_BIN(m_videoBin), "video-file"));
        m_loop->start(m_pipeline.get(), appsrc.get());
    }
    status = waitForSources();
    if (!status.ok()) {
        qCWarning(lcEngine).noquote() << "the sources do not start:" << status.description;
        stop();
    }
    return status;
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
                            QStringLiteral("%1 delivers no sound").arg(m_audioSource));
    return engineStatus(EngineFailure::VideoDevice,
                        QStringLiteral("%1 delivers no picture").arg(m_videoSource));
}

EncoderStatus CaptureGraph::buildPreview(GstElement* videoTail) {
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
    if (!gst_element_link(videoTail, m_videoTee))
        return engineStatus(EngineFailure::Negotiation,
                            QStringLiteral("%1: cannot link it").arg(m_videoSource));
    return status;
}

// The level meters' share of the sound: 16-bit stereo at 44100 Hz, handed
// over on the streaming thread. A leaky queue keeps a slow meter from ever
// holding up the source or the recording.
EncoderStatus CaptureGraph::buildMeterFeed() {
    std::vector<GstElement*> chain;
    EncoderStatus status = makeChain(m_pipeline.bin(),
                                     {{"queue", "meter-queue"},
                                      {"audioconvert", nullptr},
                                      {"audioresample", nullptr},
                                      {"capsfilter", nullptr},
                                      {"appsink", "meter-sink"}},
                                     &chain);
    if (!status.ok()) return status;
    g_object_set(chain[0], "leaky", 2, "max-size-buffers", 0u, "max-size-bytes", 0u,
                 "max-size-time", guint64{200} * GST_MSECOND, nullptr);
    setCaps(chain[3], "audio/x-raw,format=S16LE,layout=interleaved,rate=44100,channels=2");
    g_object_set(chain[4], "sync", FALSE, "async", FALSE, "max-buffers", 8u, "drop", TRUE, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink* sink, gpointer user) -> GstFlowReturn {
        const auto& claim = *static_cast<std::shared_ptr<SoundCardClaim>*>(user);
        gst::SamplePtr sample(gst_app_sink_pull_sample(sink));
        GstBuffer* buffer = sample ? gst_sample_get_buffer(sample.get()) : nullptr;
        GstMapInfo map;
        if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ)) return GST_FLOW_OK;
        claim->deliver(reinterpret_cast<const std::int16_t*>(map.data), int(map.size / 4));
        gst_buffer_unmap(buffer, &map);
        return GST_FLOW_OK;
    };
    gst_app_sink_set_callbacks(
        GST_APP_SINK(chain[4]), &callbacks, new std::shared_ptr<SoundCardClaim>(m_soundCard),
        [](gpointer user) { delete static_cast<std::shared_ptr<SoundCardClaim>*>(user); });
    if (!gst_element_link(m_audioTee, chain[0]))
        return engineStatus(EngineFailure::Negotiation,
                            QStringLiteral("%1: cannot feed the level meters").arg(m_audioSource));
    return status;
}

EncoderStatus CaptureGraph::buildVideoSource(const ResolvedVideoInput& video, GstElement** tail) {
    GstBin* bin = GST_BIN(m_videoBin);
    std::vector<GstElement*> chain;
    EncoderStatus status;
    using Kind = ResolvedVideoInput::Kind;
    const QByteArray location = video.location.toUtf8();
    switch (video.kind) {
        case Kind::TestPattern: {
            m_videoSource = QStringLiteral("test picture");
            status =
                makeChain(bin, {{"videotestsrc", "video-test"}, {"capsfilter", nullptr}}, &chain);
            if (!status.ok()) break;
            const bool flash = location == "flash";
            g_object_set(chain[0], "is-live", TRUE, nullptr);
            if (flash) {
                gst_util_set_object_arg(G_OBJECT(chain[0]), "pattern", "black");
                addFlash(chain[0], &m_shared->flashPhaseNs);
            } else if (!location.isEmpty()) {
                gst_util_set_object_arg(G_OBJECT(chain[0]), "pattern", location.constData());
            }
            setCaps(chain[1], flash ? "video/x-raw,format=I420,width=720,height=576,framerate=25/1,"
                                      "pixel-aspect-ratio=1/1"
                                    : "video/x-raw,width=720,height=576,framerate=25/1,"
                                      "pixel-aspect-ratio=1/1");
            break;
        }
        case Kind::CaptureDevice:
            m_videoSource = QStringLiteral("video device ") + video.location;
            status = makeChain(
                bin, {{"v4l2src", "video-device"}, {"capsfilter", "video-device-caps"}}, &chain);
            if (status.ok()) {
                g_object_set(chain[0], "device", location.constData(), nullptr);
                // The source sets its standard on the device when it opens
                // it, and only a known one.
                if (video.norm != 0) {
                    GParamSpec* normProperty =
                        g_object_class_find_property(G_OBJECT_GET_CLASS(chain[0]), "norm");
                    GEnumClass* norms =
                        normProperty ? G_PARAM_SPEC_ENUM(normProperty)->enum_class : nullptr;
                    if (norms && g_enum_get_value(norms, gint(video.norm)))
                        g_object_set(chain[0], "norm", gint(video.norm), nullptr);
                    else
                        qCWarning(lcEngine).noquote()
                            << m_videoSource << "has no standard" << Qt::hex << video.norm;
                }
                // Capture cards offer raw pictures; a camera that also offers
                // JPEG must not pick it, nothing here decodes it. The chosen
                // picture format is the only one the source may deliver.
                const QByteArray caps =
                    video.pictureFormat.isEmpty()
                        ? QByteArray("video/x-raw")
                        : "video/x-raw,format=" + video.pictureFormat.toLatin1();
                setCaps(chain[1], caps.constData());
            }
            break;
        case Kind::Picture: {
            m_videoSource = QStringLiteral("picture ") + video.location;
            status = makeChain(bin, {{"filesrc", nullptr}, {"decodebin", nullptr}}, &chain);
            std::vector<GstElement*> frozen;
            if (status.ok())
                status = makeChain(
                    bin,
                    {{"videoconvert", nullptr}, {"capsfilter", nullptr}, {"imagefreeze", nullptr}},
                    &frozen);
            if (status.ok()) {
                g_object_set(chain[0], "location", location.constData(), nullptr);
                // Converted once, before it is repeated 25 times a second.
                setCaps(frozen[1], "video/x-raw,format=I420");
                g_object_set(frozen[2], "is-live", TRUE, nullptr);
                g_signal_connect(chain[1], "pad-added", G_CALLBACK(linkDecodedVideoPad), frozen[0]);
                chain = frozen;
            }
            break;
        }
        case Kind::VideoFile: {
            m_videoSource = QStringLiteral("video file ") + video.location;
            std::weak_ptr<Shared> weak = m_shared;
            m_loop = std::make_unique<VideoFileLoop>([weak](GstMessage* error) {
                if (auto shared = weak.lock()) noteError(shared.get(), error);
            });
            gst::CapsPtr caps;
            status = m_loop->open(video.location, kStartTimeoutMs, &caps);
            if (status.ok()) status = makeChain(bin, {{"appsrc", "video-file"}}, &chain);
            if (status.ok()) {
                // Live, so the graph runs on the clock; the pacer never waits
                // for room, a picture it cannot hand over is dropped.
                g_object_set(chain[0], "is-live", TRUE, "format", GST_FORMAT_TIME, "caps",
                             caps.get(), "block", FALSE, "max-bytes", guint64{64} << 20, nullptr);
            }
            break;
        }
        case Kind::None:
            return engineStatus(EngineFailure::VideoDevice, QStringLiteral("no video input"));
    }
    if (!status.ok()) return status;
    std::vector<GstElement*> convert;
    status = makeChain(bin, {{"videoconvert", nullptr}, {"capsfilter", nullptr}}, &convert);
    if (!status.ok()) return status;
    setCaps(convert[1], "video/x-raw,format=I420");
    if (!gst_element_link(chain.back(), convert[0]))
        return engineStatus(EngineFailure::Negotiation,
                            QStringLiteral("%1: cannot convert its pictures").arg(m_videoSource));
    gst::PadPtr out(gst_element_get_static_pad(convert[1], "src"));
    gst_element_add_pad(m_videoBin, gst_ghost_pad_new("src", out.get()));
    *tail = m_videoBin;
    return status;
}

EncoderStatus CaptureGraph::buildAudioSource(const ResolvedAudioInput& audio, GstElement** tail) {
    GstBin* bin = GST_BIN(m_audioBin);
    std::vector<GstElement*> chain;
    EncoderStatus status;
    const QByteArray location = audio.location.toUtf8();
    switch (audio.kind) {
        case ResolvedAudioInput::Kind::TestTone:
            m_audioSource = QStringLiteral("test tone");
            status = makeChain(bin, {{"audiotestsrc", "audio-test"}}, &chain);
            if (status.ok() && location == "beep") {
                g_object_set(chain[0], "is-live", TRUE, nullptr);
                gst_util_set_object_arg(G_OBJECT(chain[0]), "wave", "silence");
                addBeep(chain[0], &m_shared->flashPhaseNs);
            } else if (status.ok()) {
                g_object_set(chain[0], "is-live", TRUE, "volume", 0.3, nullptr);
                if (!location.isEmpty())
                    gst_util_set_object_arg(G_OBJECT(chain[0]), "wave", location.constData());
            }
            break;
        case ResolvedAudioInput::Kind::SoundServer:
            m_audioSource = QStringLiteral("sound card ") + audio.location +
                            QStringLiteral(" (through the sound server)");
            if (GstElementFactory* pulse = gst_element_factory_find("pulsesrc")) {
                gst_object_unref(pulse);
                status = makeChain(bin, {{"pulsesrc", "audio-device"}}, &chain);
                if (status.ok()) g_object_set(chain[0], "client-name", "KELM", nullptr);
                break;
            }
            [[fallthrough]];  // without GStreamer's PulseAudio plugin: through ALSA
        case ResolvedAudioInput::Kind::CaptureDevice:
            m_audioSource = QStringLiteral("sound card ") + audio.location;
            status = makeChain(bin, {{"alsasrc", "audio-device"}}, &chain);
            if (status.ok()) g_object_set(chain[0], "device", location.constData(), nullptr);
            break;
        case ResolvedAudioInput::Kind::None:
            return engineStatus(EngineFailure::AudioDevice, QStringLiteral("no sound card chosen"));
    }
    if (!status.ok()) return status;
    // 48 kHz stereo when the source offers it: the TV profile records that,
    // so the usual recording needs no resampling.
    std::vector<GstElement*> convert;
    status = makeChain(
        bin, {{"capsfilter", nullptr}, {"audioconvert", nullptr}, {"audioresample", nullptr}},
        &convert);
    if (!status.ok()) return status;
    setCaps(convert[0],
            "audio/x-raw,format=S16LE,rate=48000,channels=2; audio/x-raw,rate=48000; audio/x-raw");
    if (!gst_element_link(chain.back(), convert[0]))
        return engineStatus(EngineFailure::Negotiation,
                            QStringLiteral("%1: cannot convert its sound").arg(m_audioSource));
    gst::PadPtr out(gst_element_get_static_pad(convert[2], "src"));
    gst_element_add_pad(m_audioBin, gst_ghost_pad_new("src", out.get()));
    *tail = m_audioBin;
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

void CaptureGraph::installBusHandler(GstElement* pipeline) {
    gst::BusPtr bus(gst_element_get_bus(pipeline));
    // Runs on whichever thread posts. Only failures and the end of a stream
    // are of interest; everything else is dropped here so nothing piles up
    // on the bus. The work itself is done on the owner's thread.
    gst_bus_set_sync_handler(
        bus.get(),
        [](GstBus*, GstMessage* message, gpointer user) -> GstBusSyncReply {
            // A dropped message belongs to the handler, which must release it.
            gst::MessagePtr owned(message);
            const GstMessageType type = GST_MESSAGE_TYPE(message);
            if (type == GST_MESSAGE_ERROR || type == GST_MESSAGE_EOS)
                noteError(static_cast<Shared*>(user), message);
            return GST_BUS_DROP;
        },
        m_shared.get(), nullptr);
}

EncoderStatus CaptureGraph::statusForMessage(GstMessage* message) const {
    const bool error = GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR;
    const QString text = error ? gstErrorText(message) : QStringLiteral("the stream ended");
    GstObject* source = GST_MESSAGE_SRC(message);
    if (source && m_audioBin && gst_object_has_as_ancestor(source, GST_OBJECT(m_audioBin)))
        return engineStatus(EngineFailure::AudioDevice,
                            m_audioSource + QStringLiteral(": ") + text);
    // The video file's own pipeline is not part of the graph.
    const bool fromLoop = source && m_pipeline && source != GST_OBJECT(m_pipeline.get()) &&
                          !gst_object_has_as_ancestor(source, GST_OBJECT(m_pipeline.get()));
    if (fromLoop ||
        (source && m_videoBin && gst_object_has_as_ancestor(source, GST_OBJECT(m_videoBin))))
        return engineStatus(EngineFailure::VideoDevice,
                            m_videoSource + QStringLiteral(": ") + text);
    return engineStatus(EngineFailure::Negotiation, text);
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

EncoderStatus CaptureGraph::buildBranches() {
    GstBin* bin = m_pipeline.bin();
    auto videoBranch = std::make_unique<Branch>();
    auto audioBranch = std::make_unique<Branch>();
    videoBranch->bin = audioBranch->bin = bin;
    // The pictures keep the source's size here; the scaler on the sink's
    // callback makes them the profile's (one pass, bicubic, no extra copy).
    EncoderStatus status =
        makeChain(bin, {{"videorate", nullptr}, {"capsfilter", nullptr}, {"appsink", nullptr}},
                  &videoBranch->elements);
    if (status.ok())
        status = makeChain(bin,
                           {{"audioconvert", nullptr},
                            {"audioresample", nullptr},
                            {"capsfilter", nullptr},
                            {"appsink", nullptr}},
                           &audioBranch->elements);
    // Elements already added go with the pipeline; the branches own no pad yet.
    if (!status.ok()) return status;
    // The first picture that passes the gate is the first recorded, not one
    // from the start of the graph's time.
    g_object_set(videoBranch->elements[0], "skip-to-first", TRUE, nullptr);
    auto connectSink = [this](GstElement* sink, bool isVideo) {
        g_object_set(sink, "sync", FALSE, "max-buffers", 0u, "async", FALSE, nullptr);
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = isVideo ? &CaptureGraph::onRecordedSample<true>
                                       : &CaptureGraph::onRecordedSample<false>;
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, m_shared.get(), nullptr);
    };
    connectSink(videoBranch->elements.back(), true);
    connectSink(audioBranch->elements.back(), false);
    for (Branch* branch : {videoBranch.get(), audioBranch.get()})
        for (auto it = branch->elements.rbegin(); it != branch->elements.rend(); ++it)
            gst_element_sync_state_with_parent(*it);
    m_videoBranch = std::move(videoBranch);
    m_audioBranch = std::move(audioBranch);
    return status;
}

EncoderStatus CaptureGraph::attachRecording(const EncoderProfile& profile, QSize size,
                                            quint64 fromRunningTimeNs, int timeoutMs,
                                            quint64* firstPictureNs) {
    if (!m_pipeline)
        return engineStatus(EngineFailure::Negotiation, QStringLiteral("the sources do not run"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const quint64 soundBefore = m_shared->activity.deliveries(SourceActivity::Source::Sound);
    if (!m_videoBranch || m_videoBranch->teePad.get()) {
        detachRecording();
        if (!m_videoBranch) {
            const EncoderStatus built = buildBranches();
            if (!built.ok()) return built;
        }
    }
    const QSize source = waitForVideoSize(timeoutMs);
    if (source.isEmpty())
        return engineStatus(EngineFailure::VideoDevice,
                            QStringLiteral("%1 has no picture").arg(m_videoSource));
    const QSize target = size.isEmpty() ? source : QSize(size.width() & ~1, size.height() & ~1);
    auto& v = m_videoBranch->elements;
    auto& a = m_audioBranch->elements;
    const QByteArray videoCaps = QByteArrayLiteral("video/x-raw,format=I420,framerate=") +
                                 QByteArray::number(profile.frameRateNum) + '/' +
                                 QByteArray::number(profile.frameRateDen);
    setCaps(v[1], videoCaps.constData());
    const QByteArray audioCaps = "audio/x-raw,format=S16LE,layout=interleaved,rate=" +
                                 QByteArray::number(profile.sampleRate) +
                                 ",channels=" + QByteArray::number(profile.channels);
    setCaps(a[2], audioCaps.constData());
    {
        std::lock_guard lock(m_shared->mutex);
        Shared& s = *m_shared;
        s.gateOpen = false;
        // With a video file the gate waits for the file's first picture.
        s.gateFromNs = m_loop ? G_MAXUINT64 : fromRunningTimeNs;
        s.firstPictureNs = 0;
        s.delivering = false;
        s.held.clear();
        s.videoSink = nullptr;
        s.audioSink = nullptr;
        s.loggedVideo = s.loggedAudio = false;
        s.scaler.configure(source, target, profile.frameRateNum, profile.frameRateDen);
    }
    // The gate on the picture branch: nothing passes before the first picture
    // of the recording, whose time it notes.
    auto gate = [](GstPad*, GstPadProbeInfo* info, gpointer user) -> GstPadProbeReturn {
        auto* shared = static_cast<Shared*>(user);
        GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        std::lock_guard lock(shared->mutex);
        if (shared->gateOpen) return GST_PAD_PROBE_OK;
        if (!buffer || !GST_BUFFER_PTS_IS_VALID(buffer) ||
            GST_BUFFER_PTS(buffer) < shared->gateFromNs)
            return GST_PAD_PROBE_DROP;
        shared->gateOpen = true;
        shared->firstPictureNs = GST_BUFFER_PTS(buffer);
        shared->changed.notify_all();
        return GST_PAD_PROBE_OK;
    };
    EncoderStatus status;
    for (auto [branch, tee] :
         {std::pair{m_videoBranch.get(), m_videoTee}, std::pair{m_audioBranch.get(), m_audioTee}}) {
        GstPad* pad = gst_element_request_pad_simple(tee, "src_%u");
        branch->teePad.reset(tee, pad);
        if (branch == m_videoBranch.get())
            branch->gateProbe =
                gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, gate, m_shared.get(), nullptr);
        gst::PadPtr sink(gst_element_get_static_pad(branch->elements.front(), "sink"));
        if (gst_pad_link(pad, sink.get()) != GST_PAD_LINK_OK)
            status = engineStatus(EngineFailure::Negotiation,
                                  QStringLiteral("cannot link a recording branch"));
    }
    if (status.ok() && m_loop) {
        quint64 first = 0;
        if (!m_loop->rewind(timeoutMs, &first))
            status = engineStatus(EngineFailure::VideoDevice,
                                  QStringLiteral("%1 cannot start again").arg(m_videoSource));
        std::lock_guard lock(m_shared->mutex);
        m_shared->gateFromNs = first;
    }
    if (status.ok()) {
        std::unique_lock lock(m_shared->mutex);
        Shared& s = *m_shared;
        s.changed.wait_until(lock, deadline, [&] { return s.gateOpen || !s.firstFailure.ok(); });
        // Sound that has stopped coming would give a file of pictures alone,
        // or a trail of files a few seconds long while the recorder tries
        // again: the recording starts only once the sound flows.
        const auto sound = SourceActivity::Source::Sound;
        const bool soundCame = s.changed.wait_until(lock, deadline, [&] {
            return !s.firstFailure.ok() || s.activity.deliveries(sound) > soundBefore;
        });
        if (!s.firstFailure.ok())
            status = s.firstFailure;
        else if (!s.gateOpen)
            status = engineStatus(
                EngineFailure::VideoDevice,
                SourceActivity::silenceCause(
                    m_videoSource, s.activity.silentForMs(SourceActivity::Source::Picture)));
        else if (!soundCame)
            status = engineStatus(
                EngineFailure::AudioDevice,
                SourceActivity::silenceCause(m_audioSource, s.activity.silentForMs(sound)));
        else
            *firstPictureNs = s.firstPictureNs;
    }
    if (!status.ok()) detachRecording();
    return status;
}

void CaptureGraph::deliverRecording(SampleSink video, SampleSink audio) {
    std::vector<Shared::Held> held;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->videoSink = std::move(video);
        m_shared->audioSink = std::move(audio);
        // In order, under the lock: later samples wait until these are handed on.
        for (auto& h : m_shared->held) {
            SampleSink& target = h.video ? m_shared->videoSink : m_shared->audioSink;
            if (target) target(std::move(h.sample), h.runningTimeNs);
        }
        m_shared->held.clear();
        m_shared->delivering = true;
    }
}

template <bool IsVideo>
GstFlowReturn CaptureGraph::onRecordedSample(GstAppSink* sink, gpointer user) {
    auto* shared = static_cast<Shared*>(user);
    gst::SamplePtr sample(gst_app_sink_pull_sample(sink));
    if (!sample) return GST_FLOW_OK;
    const quint64 rt = runningTimeOf(sample.get());
    // The scaler is used by this thread only while a recording is linked;
    // the owner replaces it only before linking the next.
    PictureScaler* scaler = nullptr;
    {
        std::lock_guard lock(shared->mutex);
        bool& logged = IsVideo ? shared->loggedVideo : shared->loggedAudio;
        if (!logged) {
            logged = true;
            qCInfo(lcEngine).noquote()
                << (IsVideo ? "recording pictures as" : "recording sound as")
                << capsText(gst_sample_get_caps(sample.get()))
                << (IsVideo && shared->scaler.active()
                        ? QStringLiteral("scaled to ") + capsText(shared->scaler.caps())
                        : QString());
        }
        if (IsVideo && shared->scaler.active()) scaler = &shared->scaler;
    }
    if (scaler) {
        sample = scaler->scale(sample.get());
        if (!sample) return GST_FLOW_OK;
    }
    std::lock_guard lock(shared->mutex);
    if (!shared->delivering) {
        shared->held.push_back({IsVideo, std::move(sample), rt});
        return GST_FLOW_OK;
    }
    SampleSink& target = IsVideo ? shared->videoSink : shared->audioSink;
    if (target) target(std::move(sample), rt);
    return GST_FLOW_OK;
}

void CaptureGraph::blockRecording() {
    for (Branch* branch : {m_videoBranch.get(), m_audioBranch.get()}) {
        if (!branch || !branch->teePad.get() || branch->dropProbe) continue;
        branch->dropProbe = gst_pad_add_probe(
            branch->teePad.get(),
            static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                         GST_PAD_PROBE_TYPE_BUFFER_LIST),
            [](GstPad*, GstPadProbeInfo*, gpointer) { return GST_PAD_PROBE_DROP; }, nullptr,
            nullptr);
    }
    std::lock_guard lock(m_shared->mutex);
    m_shared->videoSink = nullptr;
    m_shared->audioSink = nullptr;
    m_shared->delivering = false;
    m_shared->held.clear();
}

void CaptureGraph::detachRecording() {
    if (!recordingAttached()) return;
    blockRecording();
    m_videoBranch.reset();
    m_audioBranch.reset();
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->held.clear();
    }
    // Fresh branches for the next recording, so its start only links them.
    if (m_pipeline) {
        const EncoderStatus built = buildBranches();
        if (!built.ok())
            qCWarning(lcEngine).noquote()
                << "no recording branch for the next recording:" << built.description;
    }
}

EncoderStatus CaptureGraph::quietSource(qint64 limitMs) const {
    if (!m_pipeline) return EncoderStatus::success();
    const SourceActivity& activity = m_shared->activity;
    const qint64 picture = activity.silentForMs(SourceActivity::Source::Picture);
    if (picture > limitMs)
        return engineStatus(EngineFailure::VideoDevice,
                            SourceActivity::silenceCause(m_videoSource, picture));
    const qint64 sound = activity.silentForMs(SourceActivity::Source::Sound);
    if (sound > limitMs)
        return engineStatus(EngineFailure::AudioDevice,
                            SourceActivity::silenceCause(m_audioSource, sound));
    return EncoderStatus::success();
}

bool CaptureGraph::recordingAttached() const {
    return (m_videoBranch && m_videoBranch->teePad.get()) ||
           (m_audioBranch && m_audioBranch->teePad.get());
}

void CaptureGraph::previewDelivered() {
    m_shared->previewInFlight = false;
}

void CaptureGraph::setPreviewEnabled(bool enabled) {
    if (m_previewValve) g_object_set(m_previewValve, "drop", enabled ? FALSE : TRUE, nullptr);
    if (!enabled) m_shared->previewInFlight = false;
}

}  // namespace kelm
