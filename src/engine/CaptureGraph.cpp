#include "CaptureGraph.h"

#include "EngineError.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <QElapsedTimer>
#include <QThread>

#include <mutex>
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
    std::atomic<bool> videoFlowing{false};
    std::atomic<bool> audioFlowing{false};

    std::mutex mutex;  // guards the fields below
    SampleSink videoSink;
    SampleSink audioSink;
    EncoderStatus firstFailure;
};

// One recording branch: its elements (owned by the pipeline while it lives)
// and the tee's request pad it hangs on.
struct CaptureGraph::Branch {
    GstBin* bin = nullptr;
    std::vector<GstElement*> elements;  // upstream first
    gst::RequestPad teePad;
    gulong dropProbe = 0;

    ~Branch() {
        if (!teePad.get()) return;
        GstPad* sink = gst_element_get_static_pad(elements.front(), "sink");
        gst_pad_unlink(teePad.get(), sink);
        gst_object_unref(sink);
        teePad.reset();
        for (auto it = elements.rbegin(); it != elements.rend(); ++it) {
            gst_element_set_state(*it, GST_STATE_NULL);
            gst_bin_remove(bin, *it);
        }
    }
};

namespace {

constexpr int kStartTimeoutMs = 5000;

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

quint64 runningTimeOf(GstSample* sample) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    const GstSegment* segment = gst_sample_get_segment(sample);
    if (!buffer || !GST_BUFFER_PTS_IS_VALID(buffer) || !segment) return 0;
    const guint64 rt =
        gst_segment_to_running_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    return rt == GST_CLOCK_TIME_NONE ? 0 : rt;
}

// decodebin's picture pad goes to the element waiting for it.
void linkDecodedVideo(GstElement*, GstPad* pad, gpointer target) {
    gst::CapsPtr caps(gst_pad_get_current_caps(pad));
    if (!caps) caps.reset(gst_pad_query_caps(pad, nullptr));
    const GstStructure* s = caps ? gst_caps_get_structure(caps.get(), 0) : nullptr;
    if (!s || !g_str_has_prefix(gst_structure_get_name(s), "video/")) return;
    gst::PadPtr sink(gst_element_get_static_pad(GST_ELEMENT(target), "sink"));
    if (!gst_pad_is_linked(sink.get())) gst_pad_link(pad, sink.get());
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
    m_shared->graph = nullptr;
}

void CaptureGraph::stop() {
    m_videoBranch.reset();
    m_audioBranch.reset();
    m_pipeline.reset();
    m_loop.reset();
    m_videoBin = m_audioBin = m_videoTee = m_audioTee = m_previewValve = nullptr;
    m_shared->videoFlowing = false;
    m_shared->audioFlowing = false;
    m_shared->previewInFlight = false;
    std::lock_guard lock(m_shared->mutex);
    m_shared->videoSink = nullptr;
    m_shared->audioSink = nullptr;
    m_shared->firstFailure = EncoderStatus::success();
}

EncoderStatus CaptureGraph::start(const ResolvedVideoInput& video,
                                  const ResolvedAudioInput& audio) {
    stop();
    gst::ElementPtr pipeline = gst::adoptElement(gst_pipeline_new("kelm-sg1"));
    m_pipeline = gst::Pipeline(std::move(pipeline));
    GstBin* bin = m_pipeline.bin();

    m_videoBin = gst_bin_new("video-source");
    m_audioBin = gst_bin_new("audio-source");
    gst_bin_add_many(bin, m_videoBin, m_audioBin, nullptr);

    GstElement* videoTail = nullptr;
    GstElement* audioTail = nullptr;
    EncoderStatus status = buildVideoSource(video, &videoTail);
    if (status.ok()) status = buildAudioSource(audio, &audioTail);
    std::vector<GstElement*> chain;
    if (status.ok())
        status = makeChain(bin,
                           {{"tee", "video-tee"},
                            {"valve", "preview-valve"},
                            {"queue", nullptr},
                            {"videoconvert", nullptr},
                            {"capsfilter", nullptr},
                            {"appsink", "preview-sink"}},
                           &chain);
    if (status.ok()) {
        m_videoTee = chain[0];
        m_previewValve = chain[1];
        g_object_set(m_videoTee, "allow-not-linked", TRUE, nullptr);
        g_object_set(m_previewValve, "drop", TRUE, nullptr);
        g_object_set(chain[2], "leaky", 2, "max-size-buffers", 2u, "max-size-bytes", 0u,
                     "max-size-time", guint64{0}, nullptr);
        setCaps(chain[4], "video/x-raw,format=RGB");
        g_object_set(chain[5], "sync", FALSE, "max-buffers", 1u, "drop", TRUE, nullptr);
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
            status = engineStatus(EngineFailure::Negotiation,
                                  QStringLiteral("cannot link the video source"));
    }
    if (status.ok()) status = makeChain(bin, {{"tee", "audio-tee"}}, &chain);
    if (status.ok()) {
        // Between recordings the sound goes nowhere: the tee drops it.
        m_audioTee = chain[0];
        g_object_set(m_audioTee, "allow-not-linked", TRUE, nullptr);
        if (!gst_element_link(audioTail, m_audioTee))
            status = engineStatus(EngineFailure::Negotiation,
                                  QStringLiteral("cannot link the audio source"));
    }
    if (!status.ok()) {
        stop();
        return status;
    }

    // Mark when the first buffer of each source has reached its tee.
    auto flowProbe = [](GstPad*, GstPadProbeInfo*, gpointer flag) -> GstPadProbeReturn {
        static_cast<std::atomic<bool>*>(flag)->store(true);
        return GST_PAD_PROBE_REMOVE;
    };
    gst::PadPtr videoIn(gst_element_get_static_pad(m_videoTee, "sink"));
    gst::PadPtr audioIn(gst_element_get_static_pad(m_audioTee, "sink"));
    gst_pad_add_probe(videoIn.get(), GST_PAD_PROBE_TYPE_BUFFER, flowProbe, &m_shared->videoFlowing,
                      nullptr);
    gst_pad_add_probe(audioIn.get(), GST_PAD_PROBE_TYPE_BUFFER, flowProbe, &m_shared->audioFlowing,
                      nullptr);

    installBusHandler(m_pipeline.get());
    gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING);

    // Wait for both sources to deliver, or for the first failure.
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        {
            std::lock_guard lock(m_shared->mutex);
            status = m_shared->firstFailure;
        }
        if (!status.ok()) break;
        if (m_shared->videoFlowing && m_shared->audioFlowing) break;
        if (waited.elapsed() > kStartTimeoutMs) {
            status = !m_shared->audioFlowing
                         ? engineStatus(EngineFailure::AudioDevice,
                                        QStringLiteral("the sound card delivers nothing"))
                         : engineStatus(EngineFailure::VideoDevice,
                                        QStringLiteral("the video source delivers nothing"));
            break;
        }
        QThread::msleep(10);
    }
    if (!status.ok()) {
        stop();
        return status;
    }
    return status;
}

EncoderStatus CaptureGraph::buildVideoSource(const ResolvedVideoInput& video, GstElement** tail) {
    GstBin* bin = GST_BIN(m_videoBin);
    std::vector<GstElement*> chain;
    EncoderStatus status;
    using Kind = ResolvedVideoInput::Kind;
    const QByteArray location = video.location.toUtf8();
    switch (video.kind) {
        case Kind::TestPattern:
            status =
                makeChain(bin, {{"videotestsrc", "video-test"}, {"capsfilter", nullptr}}, &chain);
            if (status.ok()) {
                g_object_set(chain[0], "is-live", TRUE, nullptr);
                if (!location.isEmpty())
                    gst_util_set_object_arg(G_OBJECT(chain[0]), "pattern", location.constData());
                setCaps(chain[1],
                        "video/x-raw,width=720,height=576,framerate=25/1,pixel-aspect-ratio=1/1");
            }
            break;
        case Kind::CaptureDevice:
            status = makeChain(bin, {{"v4l2src", "video-device"}, {"capsfilter", nullptr}}, &chain);
            if (status.ok()) {
                g_object_set(chain[0], "device", location.constData(), nullptr);
                // Capture cards offer raw pictures; a camera that also offers
                // JPEG must not pick it, nothing here decodes it.
                setCaps(chain[1], "video/x-raw");
            }
            break;
        case Kind::Picture: {
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
                g_signal_connect(chain[1], "pad-added", G_CALLBACK(linkDecodedVideo), frozen[0]);
                chain = frozen;
            }
            break;
        }
        case Kind::VideoFile: {
            // One channel name per graph, so two engines never share pictures.
            const QString channel =
                QStringLiteral("kelm-%1").arg(reinterpret_cast<quintptr>(this), 0, 16);
            status = buildLoopPipeline(video.location, channel);
            QByteArray loopCaps;
            if (status.ok()) status = startLoopPipeline(&loopCaps);
            if (status.ok())
                status =
                    makeChain(bin, {{"intervideosrc", nullptr}, {"capsfilter", nullptr}}, &chain);
            if (status.ok()) {
                // intervideosrc makes pictures of whatever size it is asked for
                // and only later switches to the file's; asking for the file's
                // size from the start keeps one size for the whole graph.
                g_object_set(chain[0], "channel", channel.toUtf8().constData(), nullptr);
                setCaps(chain[1], loopCaps.constData());
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
                            QStringLiteral("cannot convert the video source"));
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
            status = makeChain(bin, {{"audiotestsrc", "audio-test"}}, &chain);
            if (status.ok()) {
                g_object_set(chain[0], "is-live", TRUE, "volume", 0.3, nullptr);
                if (!location.isEmpty())
                    gst_util_set_object_arg(G_OBJECT(chain[0]), "wave", location.constData());
            }
            break;
        case ResolvedAudioInput::Kind::SoundServer:
            if (GstElementFactory* pulse = gst_element_factory_find("pulsesrc")) {
                gst_object_unref(pulse);
                status = makeChain(bin, {{"pulsesrc", "audio-device"}}, &chain);
                if (status.ok()) g_object_set(chain[0], "client-name", "KELM", nullptr);
                break;
            }
            [[fallthrough]];  // without GStreamer's PulseAudio plugin: through ALSA
        case ResolvedAudioInput::Kind::CaptureDevice:
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
        return engineStatus(EngineFailure::Negotiation, QStringLiteral("cannot convert the sound"));
    gst::PadPtr out(gst_element_get_static_pad(convert[2], "src"));
    gst_element_add_pad(m_audioBin, gst_ghost_pad_new("src", out.get()));
    *tail = m_audioBin;
    return status;
}

EncoderStatus CaptureGraph::buildLoopPipeline(const QString& path, const QString& channel) {
    m_loop = gst::Pipeline(gst::adoptElement(gst_pipeline_new("kelm-video-loop")));
    std::vector<GstElement*> chain;
    // decodebin pulls from the file: demuxers then read whole chunks and
    // files indexed at their end (AVI, MP4) play and loop.
    EncoderStatus status =
        makeChain(m_loop.bin(), {{"filesrc", nullptr}, {"decodebin", nullptr}}, &chain);
    std::vector<GstElement*> out;
    if (status.ok())
        status = makeChain(
            m_loop.bin(),
            {{"videoconvert", nullptr}, {"capsfilter", nullptr}, {"intervideosink", "loop-sink"}},
            &out);
    if (!status.ok()) return status;
    g_object_set(chain[0], "location", path.toUtf8().constData(), nullptr);
    setCaps(out[1], "video/x-raw,format=I420");
    g_object_set(out[2], "channel", channel.toUtf8().constData(), nullptr);
    g_signal_connect(chain[1], "pad-added", G_CALLBACK(linkDecodedVideo), out[0]);
    installBusHandler(m_loop.get());
    return status;
}

EncoderStatus CaptureGraph::startLoopPipeline(QByteArray* caps) {
    if (gst_element_set_state(m_loop.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return engineStatus(EngineFailure::VideoDevice,
                            QStringLiteral("the video file cannot be played"));
    gst::ElementPtr sink(gst_bin_get_by_name(m_loop.bin(), "loop-sink"));
    gst::PadPtr pad(gst_element_get_static_pad(sink.get(), "sink"));
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < kStartTimeoutMs) {
        {
            std::lock_guard lock(m_shared->mutex);
            if (!m_shared->firstFailure.ok()) return m_shared->firstFailure;
        }
        gst::CapsPtr current(gst_pad_get_current_caps(pad.get()));
        GstVideoInfo info;
        if (current && gst_video_info_from_caps(&info, current.get())) {
            int num = GST_VIDEO_INFO_FPS_N(&info), den = GST_VIDEO_INFO_FPS_D(&info);
            if (num <= 0 || den <= 0) num = 25, den = 1;
            *caps = QByteArrayLiteral("video/x-raw,width=") +
                    QByteArray::number(GST_VIDEO_INFO_WIDTH(&info)) +
                    ",height=" + QByteArray::number(GST_VIDEO_INFO_HEIGHT(&info)) +
                    ",framerate=" + QByteArray::number(num) + '/' + QByteArray::number(den);
            return EncoderStatus::success();
        }
        QThread::msleep(10);
    }
    return engineStatus(EngineFailure::VideoDevice,
                        QStringLiteral("the video file has no pictures"));
}

void CaptureGraph::installBusHandler(GstElement* pipeline) {
    gst::BusPtr bus(gst_element_get_bus(pipeline));
    // Runs on whichever thread posts. Only failures, and the end of a looped
    // file, are of interest; everything else is dropped here so nothing piles
    // up on the bus. The work itself is done on the owner's thread.
    gst_bus_set_sync_handler(
        bus.get(),
        [](GstBus*, GstMessage* message, gpointer user) -> GstBusSyncReply {
            auto* shared = static_cast<Shared*>(user);
            // A dropped message belongs to the handler, which must release it.
            gst::MessagePtr owned(message);
            const GstMessageType type = GST_MESSAGE_TYPE(message);
            if (type != GST_MESSAGE_ERROR && type != GST_MESSAGE_EOS) return GST_BUS_DROP;
            if (type == GST_MESSAGE_ERROR) {
                std::lock_guard lock(shared->mutex);
                if (shared->firstFailure.ok() && shared->graph)
                    shared->firstFailure = shared->graph->statusForMessage(message);
            }
            std::weak_ptr<Shared> weak = shared->graph ? shared->graph->m_shared : nullptr;
            auto held = std::shared_ptr<GstMessage>(gst_message_ref(message), gst_message_unref);
            shared->post([weak, held] {
                if (auto alive = weak.lock(); alive && alive->graph)
                    alive->graph->handleMessage(held.get());
            });
            return GST_BUS_DROP;
        },
        m_shared.get(), nullptr);
}

EncoderStatus CaptureGraph::statusForMessage(GstMessage* message) const {
    GError* raw = nullptr;
    gchar* debug = nullptr;
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
        gst_message_parse_error(message, &raw, &debug);
    gst::ErrorPtr error(raw);
    gst::CharPtr debugText(debug);
    const QString text =
        error ? QString::fromUtf8(error->message) : QStringLiteral("the stream ended");
    GstObject* source = GST_MESSAGE_SRC(message);
    const bool fromLoop = m_loop && source &&
                          (source == GST_OBJECT(m_loop.get()) ||
                           gst_object_has_as_ancestor(source, GST_OBJECT(m_loop.get())));
    if (source && m_audioBin && gst_object_has_as_ancestor(source, GST_OBJECT(m_audioBin)))
        return engineStatus(EngineFailure::AudioDevice, QStringLiteral("sound card: ") + text);
    if (fromLoop ||
        (source && m_videoBin && gst_object_has_as_ancestor(source, GST_OBJECT(m_videoBin))))
        return engineStatus(EngineFailure::VideoDevice, QStringLiteral("video source: ") + text);
    return engineStatus(EngineFailure::Negotiation, text);
}

void CaptureGraph::handleMessage(GstMessage* message) {
    GstObject* source = GST_MESSAGE_SRC(message);
    const bool fromLoop = m_loop && source &&
                          (source == GST_OBJECT(m_loop.get()) ||
                           gst_object_has_as_ancestor(source, GST_OBJECT(m_loop.get())));
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS && fromLoop) {
        // The video file ended: play it again from the start.
        gst_element_seek_simple(
            m_loop.get(), GST_FORMAT_TIME,
            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT), 0);
        return;
    }
    if (!m_pipeline) return;
    const EncoderStatus status = statusForMessage(message);
    stop();
    if (m_onFailure) m_onFailure(status);
}

QSize CaptureGraph::waitForVideoSize(int timeoutMs) const {
    if (!m_videoTee) return {};
    QElapsedTimer waited;
    waited.start();
    gst::PadPtr pad(gst_element_get_static_pad(m_videoTee, "sink"));
    do {
        gst::CapsPtr caps(gst_pad_get_current_caps(pad.get()));
        GstVideoInfo info;
        if (caps && gst_video_info_from_caps(&info, caps.get()))
            return QSize(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info));
        QThread::msleep(10);
    } while (waited.elapsed() < timeoutMs);
    return {};
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
                                            SampleSink video, SampleSink audio) {
    if (!m_pipeline)
        return engineStatus(EngineFailure::Negotiation, QStringLiteral("the sources do not run"));
    detachRecording();
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->videoSink = std::move(video);
        m_shared->audioSink = std::move(audio);
    }
    GstBin* bin = m_pipeline.bin();
    auto videoBranch = std::make_unique<Branch>();
    auto audioBranch = std::make_unique<Branch>();
    videoBranch->bin = audioBranch->bin = bin;
    EncoderStatus status = makeChain(bin,
                                     {{"videoscale", nullptr},
                                      {"videorate", nullptr},
                                      {"capsfilter", nullptr},
                                      {"appsink", nullptr}},
                                     &videoBranch->elements);
    if (status.ok())
        status = makeChain(bin,
                           {{"audioconvert", nullptr},
                            {"audioresample", nullptr},
                            {"capsfilter", nullptr},
                            {"appsink", nullptr}},
                           &audioBranch->elements);
    if (!status.ok()) {
        // Elements already added go with the pipeline; the branches own no pad yet.
        return status;
    }
    auto& v = videoBranch->elements;
    auto& a = audioBranch->elements;
    // The picture is stretched to the profile's size, as the profile asks.
    g_object_set(v[0], "add-borders", FALSE, nullptr);
    QByteArray videoCaps = QByteArrayLiteral("video/x-raw,format=I420,framerate=") +
                           QByteArray::number(profile.frameRateNum) + '/' +
                           QByteArray::number(profile.frameRateDen);
    if (!size.isEmpty())
        videoCaps += ",width=" + QByteArray::number(size.width()) +
                     ",height=" + QByteArray::number(size.height());
    setCaps(v[2], videoCaps.constData());
    const QByteArray audioCaps = "audio/x-raw,format=S16LE,layout=interleaved,rate=" +
                                 QByteArray::number(profile.sampleRate) +
                                 ",channels=" + QByteArray::number(profile.channels);
    setCaps(a[2], audioCaps.constData());

    auto connectSink = [this](GstElement* sink, bool isVideo) {
        g_object_set(sink, "sync", FALSE, "max-buffers", 0u, nullptr);
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = isVideo ? &CaptureGraph::onRecordedSample<true>
                                       : &CaptureGraph::onRecordedSample<false>;
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, m_shared.get(), nullptr);
    };
    connectSink(v.back(), true);
    connectSink(a.back(), false);

    for (Branch* branch : {videoBranch.get(), audioBranch.get()}) {
        for (auto it = branch->elements.rbegin(); it != branch->elements.rend(); ++it)
            gst_element_sync_state_with_parent(*it);
    }
    for (auto [branch, tee] :
         {std::pair{videoBranch.get(), m_videoTee}, std::pair{audioBranch.get(), m_audioTee}}) {
        GstPad* pad = gst_element_request_pad_simple(tee, "src_%u");
        branch->teePad.reset(tee, pad);
        gst::PadPtr sink(gst_element_get_static_pad(branch->elements.front(), "sink"));
        if (gst_pad_link(pad, sink.get()) != GST_PAD_LINK_OK)
            status = engineStatus(EngineFailure::Negotiation,
                                  QStringLiteral("cannot link a recording branch"));
    }
    m_videoBranch = std::move(videoBranch);
    m_audioBranch = std::move(audioBranch);
    if (!status.ok()) detachRecording();
    return status;
}

template <bool IsVideo>
GstFlowReturn CaptureGraph::onRecordedSample(GstAppSink* sink, gpointer user) {
    auto* shared = static_cast<Shared*>(user);
    gst::SamplePtr sample(gst_app_sink_pull_sample(sink));
    if (!sample) return GST_FLOW_OK;
    const quint64 rt = runningTimeOf(sample.get());
    std::lock_guard lock(shared->mutex);
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
}

void CaptureGraph::detachRecording() {
    blockRecording();
    m_videoBranch.reset();
    m_audioBranch.reset();
}

bool CaptureGraph::recordingAttached() const {
    return m_videoBranch || m_audioBranch;
}

void CaptureGraph::previewDelivered() {
    m_shared->previewInFlight = false;
}

void CaptureGraph::setPreviewEnabled(bool enabled) {
    if (m_previewValve) g_object_set(m_previewValve, "drop", enabled ? FALSE : TRUE, nullptr);
    if (!enabled) m_shared->previewInFlight = false;
}

}  // namespace kelm
