#include "RecordingBranches.h"

#include "EngineError.h"
#include "GstChain.h"

#include <algorithm>
#include <utility>

namespace kelm {

// One branch: its elements (owned by the pipeline while it lives), the tee it
// hangs on and, while linked, the tee's request pad.
struct RecordingBranches::Branch {
    GstBin* bin = nullptr;
    GstElement* tee = nullptr;
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

// State the streaming threads reach through a raw pointer: the gate on the
// picture branch, the samples held back until the owner hands them on, the
// sinks, and the scaler.
struct RecordingBranches::Feed {
    std::mutex mutex;  // guards the fields below
    bool gateOpen = false;
    quint64 gateFromNs = 0;
    FirstPictureSink onFirstPicture;
    bool delivering = false;
    struct Held {
        bool video;
        gst::SamplePtr sample;
        quint64 runningTimeNs;
    };
    std::vector<Held> held;
    SampleSink videoSink;
    SampleSink audioSink;
    PictureMeasureSink pictureMeasured;
    PictureScaler scaler;
    PictureMeter meter;  // the streaming thread's alone while a branch is linked
    bool loggedVideo = false;
    bool loggedAudio = false;
};

namespace {

quint64 runningTimeOf(GstSample* sample) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    const GstSegment* segment = gst_sample_get_segment(sample);
    if (!buffer || !GST_BUFFER_PTS_IS_VALID(buffer) || !segment) return 0;
    const guint64 rt =
        gst_segment_to_running_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    return rt == GST_CLOCK_TIME_NONE ? 0 : rt;
}

}  // namespace

RecordingBranches::RecordingBranches() : m_feed(std::make_unique<Feed>()) {}

RecordingBranches::~RecordingBranches() = default;

EncoderStatus RecordingBranches::build(GstBin* bin, GstElement* videoTee, GstElement* audioTee) {
    auto video = std::make_unique<Branch>();
    auto audio = std::make_unique<Branch>();
    video->bin = audio->bin = bin;
    video->tee = videoTee;
    audio->tee = audioTee;
    // The pictures keep the source's size here; the scaler on the sink's
    // callback makes them the profile's (one pass, bicubic, no extra copy).
    EncoderStatus status =
        makeChain(bin, {{"videorate", nullptr}, {"capsfilter", nullptr}, {"appsink", nullptr}},
                  &video->elements);
    if (status.ok())
        status = makeChain(bin,
                           {{"audioconvert", nullptr},
                            {"audioresample", nullptr},
                            {"capsfilter", nullptr},
                            {"level", nullptr},
                            {"appsink", nullptr}},
                           &audio->elements);
    // Elements already added go with the pipeline; the branches own no pad yet.
    if (!status.ok()) return status;
    // The first picture that passes the gate is the first recorded, not one
    // from the start of the graph's time.
    g_object_set(video->elements[0], "skip-to-first", TRUE, nullptr);
    g_object_set(audio->elements[3], "interval", guint64{100} * GST_MSECOND, "post-messages", TRUE,
                 nullptr);
    auto connectSink = [this](GstElement* sink, bool isVideo) {
        g_object_set(sink, "sync", FALSE, "max-buffers", 0u, "async", FALSE, nullptr);
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = isVideo ? &RecordingBranches::onRecordedSample<true>
                                       : &RecordingBranches::onRecordedSample<false>;
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, m_feed.get(), nullptr);
    };
    connectSink(video->elements.back(), true);
    connectSink(audio->elements.back(), false);
    for (Branch* branch : {video.get(), audio.get()})
        for (auto it = branch->elements.rbegin(); it != branch->elements.rend(); ++it)
            gst_element_sync_state_with_parent(*it);
    m_video = std::move(video);
    m_audio = std::move(audio);
    return status;
}

bool RecordingBranches::built() const {
    return static_cast<bool>(m_video);
}

EncoderStatus RecordingBranches::attach(const EncoderProfile& profile, QSize source, QSize target,
                                        quint64 gateFromNs, FirstPictureSink onFirstPicture) {
    const QByteArray videoCaps = QByteArrayLiteral("video/x-raw,format=I420,framerate=") +
                                 QByteArray::number(profile.frameRateNum) + '/' +
                                 QByteArray::number(profile.frameRateDen);
    setCaps(m_video->elements[1], videoCaps.constData());
    const QByteArray audioCaps = "audio/x-raw,format=S16LE,layout=interleaved,rate=" +
                                 QByteArray::number(profile.sampleRate) +
                                 ",channels=" + QByteArray::number(profile.channels);
    setCaps(m_audio->elements[2], audioCaps.constData());
    configureFeed(source, target, profile, gateFromNs, std::move(onFirstPicture));
    EncoderStatus status;
    for (Branch* branch : {m_video.get(), m_audio.get()}) {
        GstPad* pad = gst_element_request_pad_simple(branch->tee, "src_%u");
        branch->teePad.reset(branch->tee, pad);
        if (branch == m_video.get())
            branch->gateProbe = gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER,
                                                  &RecordingBranches::gate, m_feed.get(), nullptr);
        gst::PadPtr sink(gst_element_get_static_pad(branch->elements.front(), "sink"));
        if (gst_pad_link(pad, sink.get()) != GST_PAD_LINK_OK)
            status = engineStatus(EngineFailure::Negotiation,
                                  QStringLiteral("cannot link a recording branch"));
    }
    return status;
}

void RecordingBranches::configureFeed(QSize source, QSize target, const EncoderProfile& profile,
                                      quint64 gateFromNs, FirstPictureSink onFirstPicture) {
    std::lock_guard lock(m_feed->mutex);
    Feed& f = *m_feed;
    f.gateOpen = false;
    f.gateFromNs = gateFromNs;
    f.onFirstPicture = std::move(onFirstPicture);
    f.delivering = false;
    f.held.clear();
    f.videoSink = nullptr;
    f.audioSink = nullptr;
    f.loggedVideo = f.loggedAudio = false;
    f.pictureMeasured = nullptr;
    f.scaler.configure(source, target, profile.frameRateNum, profile.frameRateDen);
    // Measures every fifth of a second.
    const int picturesPerSecond =
        profile.frameRateDen > 0 ? profile.frameRateNum / profile.frameRateDen : 25;
    f.meter.reset(std::max(1, picturesPerSecond / 5));
}

// The gate on the picture branch: nothing passes before the first picture of
// the recording, whose time it reports.
GstPadProbeReturn RecordingBranches::gate(GstPad*, GstPadProbeInfo* info, gpointer user) {
    auto* feed = static_cast<Feed*>(user);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    FirstPictureSink report;
    {
        std::lock_guard lock(feed->mutex);
        if (feed->gateOpen) return GST_PAD_PROBE_OK;
        if (!buffer || !GST_BUFFER_PTS_IS_VALID(buffer) ||
            GST_BUFFER_PTS(buffer) < feed->gateFromNs)
            return GST_PAD_PROBE_DROP;
        feed->gateOpen = true;
        report = feed->onFirstPicture;
    }
    // Outside the lock: the report takes the graph's own.
    if (report) report(GST_BUFFER_PTS(buffer));
    return GST_PAD_PROBE_OK;
}

void RecordingBranches::openGateFrom(quint64 runningTimeNs) {
    std::lock_guard lock(m_feed->mutex);
    m_feed->gateFromNs = runningTimeNs;
}

bool RecordingBranches::attached() const {
    return (m_video && m_video->teePad.get()) || (m_audio && m_audio->teePad.get());
}

void RecordingBranches::measurePictures(PictureMeasureSink sink) {
    std::lock_guard lock(m_feed->mutex);
    m_feed->pictureMeasured = std::move(sink);
}

void RecordingBranches::deliver(SampleSink video, SampleSink audio) {
    std::lock_guard lock(m_feed->mutex);
    Feed& f = *m_feed;
    f.videoSink = std::move(video);
    f.audioSink = std::move(audio);
    // In order, under the lock: later samples wait until these are handed on.
    for (auto& h : f.held) {
        SampleSink& target = h.video ? f.videoSink : f.audioSink;
        if (target) target(std::move(h.sample), h.runningTimeNs);
    }
    f.held.clear();
    f.delivering = true;
}

template <bool IsVideo>
GstFlowReturn RecordingBranches::onRecordedSample(GstAppSink* sink, gpointer user) {
    auto* feed = static_cast<Feed*>(user);
    gst::SamplePtr sample(gst_app_sink_pull_sample(sink));
    if (!sample) return GST_FLOW_OK;
    const quint64 rt = runningTimeOf(sample.get());
    // The scaler is used by this thread only while a recording is linked;
    // the owner replaces it only before linking the next.
    PictureScaler* scaler = nullptr;
    {
        std::lock_guard lock(feed->mutex);
        bool& logged = IsVideo ? feed->loggedVideo : feed->loggedAudio;
        if (!logged) {
            logged = true;
            qCInfo(lcEngine).noquote()
                << (IsVideo ? "recording pictures as" : "recording sound as")
                << capsText(gst_sample_get_caps(sample.get()))
                << (IsVideo && feed->scaler.active()
                        ? QStringLiteral("scaled to ") + capsText(feed->scaler.caps())
                        : QString());
        }
        if (IsVideo && feed->scaler.active()) scaler = &feed->scaler;
    }
    if (scaler) {
        sample = scaler->scale(sample.get());
        if (!sample) return GST_FLOW_OK;
    }
    PictureMeasures measures;
    const bool measured = IsVideo && feed->meter.addSample(sample.get(), &measures);
    std::lock_guard lock(feed->mutex);
    if (measured && feed->pictureMeasured) feed->pictureMeasured(measures);
    if (!feed->delivering) {
        feed->held.push_back({IsVideo, std::move(sample), rt});
        return GST_FLOW_OK;
    }
    SampleSink& target = IsVideo ? feed->videoSink : feed->audioSink;
    if (target) target(std::move(sample), rt);
    return GST_FLOW_OK;
}

void RecordingBranches::block() {
    for (Branch* branch : {m_video.get(), m_audio.get()}) {
        if (!branch || !branch->teePad.get() || branch->dropProbe) continue;
        branch->dropProbe = gst_pad_add_probe(
            branch->teePad.get(),
            static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                         GST_PAD_PROBE_TYPE_BUFFER_LIST),
            [](GstPad*, GstPadProbeInfo*, gpointer) { return GST_PAD_PROBE_DROP; }, nullptr,
            nullptr);
    }
    std::lock_guard lock(m_feed->mutex);
    m_feed->videoSink = nullptr;
    m_feed->audioSink = nullptr;
    m_feed->pictureMeasured = nullptr;
    m_feed->delivering = false;
    m_feed->held.clear();
}

void RecordingBranches::remove() {
    m_video.reset();
    m_audio.reset();
    std::lock_guard lock(m_feed->mutex);
    m_feed->held.clear();
    m_feed->videoSink = nullptr;
    m_feed->audioSink = nullptr;
    m_feed->pictureMeasured = nullptr;
    m_feed->delivering = false;
    m_feed->onFirstPicture = nullptr;
}

}  // namespace kelm
