#include "VideoFileLoop.h"

#include "EngineError.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/video/video.h>

#include <chrono>

namespace kelm {
namespace {

// Pictures decoded ahead of the pacer: enough to bridge a busy moment and
// the seek at the end of each pass, little enough to cost no memory.
constexpr guint kDecodedAhead = 6;

}  // namespace

void linkDecodedVideoPad(GstElement*, GstPad* pad, gpointer target) {
    gst::CapsPtr caps(gst_pad_get_current_caps(pad));
    if (!caps) caps.reset(gst_pad_query_caps(pad, nullptr));
    const GstStructure* s = caps ? gst_caps_get_structure(caps.get(), 0) : nullptr;
    if (!s || !g_str_has_prefix(gst_structure_get_name(s), "video/")) return;
    gst::PadPtr sink(gst_element_get_static_pad(GST_ELEMENT(target), "sink"));
    if (!gst_pad_is_linked(sink.get())) gst_pad_link(pad, sink.get());
}

EncoderStatus VideoFileLoop::open(const QString& path, int timeoutMs, gst::CapsPtr* caps) {
    m_path = path;
    EncoderStatus status = buildDecoder();
    if (!status.ok()) return status;
    installBusHandler();
    status = startDecoding(timeoutMs);
    if (status.ok()) status = takeFirstPicture(timeoutMs, caps);
    if (!status.ok()) return status;
    gst::CharPtr capsText(gst_caps_to_string(caps->get()));
    qCInfo(lcEngine).noquote() << "video file" << path << "plays in a loop as" << capsText.get();
    return status;
}

//   filesrc ! decodebin ! videoconvert ! I420 ! appsink
EncoderStatus VideoFileLoop::buildDecoder() {
    m_pipeline = gst::Pipeline(gst::adoptElement(gst_pipeline_new("kelm-video-loop")));
    GstElement* src = gst_element_factory_make("filesrc", nullptr);
    GstElement* decode = gst_element_factory_make("decodebin", nullptr);
    GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
    GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
    m_sink = gst_element_factory_make("appsink", nullptr);
    for (GstElement* e : {src, decode, convert, filter, m_sink}) {
        if (!e) {
            for (GstElement* made : {src, decode, convert, filter, m_sink})
                if (made) gst_object_unref(gst_object_ref_sink(made));
            m_sink = nullptr;
            return engineStatus(EngineFailure::ElementMissing,
                                QStringLiteral("a GStreamer element for video files is missing"));
        }
    }
    gst_bin_add_many(m_pipeline.bin(), src, decode, convert, filter, m_sink, nullptr);
    gst_element_link(src, decode);
    gst_element_link_many(convert, filter, m_sink, nullptr);
    g_object_set(src, "location", m_path.toUtf8().constData(), nullptr);
    gst::CapsPtr i420(gst_caps_from_string("video/x-raw,format=I420"));
    g_object_set(filter, "caps", i420.get(), nullptr);
    // The sink only queues: the pacer takes the pictures, and decoding waits
    // while the queue is full.
    g_object_set(m_sink, "sync", FALSE, "max-buffers", kDecodedAhead, "drop", FALSE, nullptr);
    g_signal_connect(decode, "pad-added", G_CALLBACK(linkDecodedVideoPad), convert);
    return EncoderStatus::success();
}

void VideoFileLoop::installBusHandler() {
    gst::BusPtr bus(gst_element_get_bus(m_pipeline.get()));
    gst_bus_set_sync_handler(bus.get(), &VideoFileLoop::onBusMessage, this, nullptr);
}

GstBusSyncReply VideoFileLoop::onBusMessage(GstBus*, GstMessage* message, gpointer user) {
    auto* self = static_cast<VideoFileLoop*>(user);
    gst::MessagePtr owned(message);
    switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_SEGMENT_DONE:
        case GST_MESSAGE_EOS:
            // The next pass, seeking from GStreamer's own thread: not from a
            // streaming thread, and not from the pacer, which must go on
            // draining the pictures still queued.
            gst_element_call_async(
                self->m_pipeline.get(),
                [](GstElement* pipeline, gpointer eos) {
                    // Without a flush, so the pictures still queued go first;
                    // a file that ended without a segment (no seeking) starts
                    // again flushed.
                    if (eos || !seekToStart(pipeline, GST_SEEK_FLAG_NONE))
                        seekToStart(pipeline, GST_SEEK_FLAG_FLUSH);
                },
                GINT_TO_POINTER(GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS), nullptr);
            break;
        case GST_MESSAGE_ERROR: {
            {
                std::lock_guard lock(self->m_mutex);
                if (self->m_error.isEmpty()) self->m_error = gstErrorText(message);
            }
            self->m_changed.notify_all();
            if (self->m_onError) self->m_onError(message);
            break;
        }
        default:
            break;
    }
    return GST_BUS_DROP;
}

// Prerolled first, so the seek that starts looping mode finds the demuxer
// ready; the seek then replaces the preroll picture.
EncoderStatus VideoFileLoop::startDecoding(int timeoutMs) {
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE ||
        gst_element_get_state(m_pipeline.get(), nullptr, nullptr,
                              static_cast<GstClockTime>(timeoutMs) * GST_MSECOND) !=
            GST_STATE_CHANGE_SUCCESS)
        return failed(QStringLiteral("cannot be played"));
    if (!seekToStart(m_pipeline.get(), GST_SEEK_FLAG_FLUSH))
        qCWarning(lcEngine) << "video file" << m_path << "cannot be looped without a gap";
    gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING);
    return EncoderStatus::success();
}

// Waits for the first picture, which is the first the pacer sends; its caps,
// with the file's frame rate (25/1 when the file gives none), are the
// pictures' caps.
EncoderStatus VideoFileLoop::takeFirstPicture(int timeoutMs, gst::CapsPtr* caps) {
    gst::SamplePtr firstSample(gst_app_sink_try_pull_sample(
        GST_APP_SINK(m_sink), static_cast<GstClockTime>(timeoutMs) * GST_MSECOND));
    GstVideoInfo info;
    if (!firstSample || !gst_video_info_from_caps(&info, gst_sample_get_caps(firstSample.get())))
        return failed(QStringLiteral("has no pictures"));
    BufferPtr first(gst_buffer_ref(gst_sample_get_buffer(firstSample.get())));
    firstSample.reset();
    m_rateNum = GST_VIDEO_INFO_FPS_N(&info);
    m_rateDen = GST_VIDEO_INFO_FPS_D(&info);
    if (m_rateNum <= 0 || m_rateDen <= 0) m_rateNum = 25, m_rateDen = 1;
    GST_VIDEO_INFO_FPS_N(&info) = m_rateNum;
    GST_VIDEO_INFO_FPS_D(&info) = m_rateDen;
    caps->reset(gst_video_info_to_caps(&info));
    std::lock_guard lock(m_mutex);
    m_pending = std::move(first);
    return EncoderStatus::success();
}

EncoderStatus VideoFileLoop::failed(const QString& what) {
    QString cause;
    {
        std::lock_guard lock(m_mutex);
        cause = m_error;
    }
    m_pipeline.reset();
    m_sink = nullptr;
    return engineStatus(
        EngineFailure::VideoDevice,
        QStringLiteral("video file %1: %2").arg(m_path, cause.isEmpty() ? what : cause));
}

bool VideoFileLoop::seekToStart(GstElement* pipeline, GstSeekFlags extraFlags) {
    // A segment seek: at the end of the file the decoder reports the end of
    // the segment instead of ending the stream, and the next seek continues
    // without flushing the pictures still queued.
    return gst_element_seek(
        pipeline, 1.0, GST_FORMAT_TIME,
        static_cast<GstSeekFlags>(GST_SEEK_FLAG_SEGMENT | GST_SEEK_FLAG_ACCURATE | extraFlags),
        GST_SEEK_TYPE_SET, 0, GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE);
}

VideoFileLoop::BufferPtr VideoFileLoop::pull(GstElement* sink, GstClockTime timeout) {
    gst::SamplePtr sample(gst_app_sink_try_pull_sample(GST_APP_SINK(sink), timeout));
    GstBuffer* buffer = sample ? gst_sample_get_buffer(sample.get()) : nullptr;
    return BufferPtr(buffer ? gst_buffer_ref(buffer) : nullptr);
}

GstClockTime VideoFileLoop::slotTime(quint64 slot) const {
    return m_firstSlotNs + gst_util_uint64_scale(slot, GST_SECOND * static_cast<guint64>(m_rateDen),
                                                 static_cast<guint64>(m_rateNum));
}

void VideoFileLoop::start(GstElement* graph, GstElement* appsrc) {
    if (!m_pipeline || m_thread.joinable()) return;
    m_graph.reset(GST_ELEMENT(gst_object_ref(graph)));
    m_appsrc = appsrc;
    GstClock* clock = gst_element_get_clock(graph);
    const GstClockTime base = gst_element_get_base_time(graph);
    const GstClockTime now = clock ? gst_clock_get_time(clock) : base;
    if (clock) gst_object_unref(clock);
    {
        std::lock_guard lock(m_mutex);
        m_stopping = false;
        m_nextSlot = 0;
        m_firstSlotNs = now > base ? now - base : 0;
    }
    m_thread = std::thread([this] { run(); });
}

void VideoFileLoop::run() {
    GstClock* clock = gst_element_get_clock(m_graph.get());
    if (!clock) return;
    const GstClockTime base = gst_element_get_base_time(m_graph.get());
    const GstClockTime frameNs = gst_util_uint64_scale(GST_SECOND, static_cast<guint64>(m_rateDen),
                                                       static_cast<guint64>(m_rateNum));
    BufferPtr last;
    for (;;) {
        GstClockID wait = nullptr;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping) break;
            wait = gst_clock_new_single_shot_id(clock, base + slotTime(m_nextSlot));
            m_waiting = wait;
        }
        gst_clock_id_wait(wait, nullptr);
        BufferPtr next;
        GstClockTime pts = 0;
        {
            std::lock_guard lock(m_mutex);
            m_waiting = nullptr;
            gst_clock_id_unref(wait);
            if (m_stopping) break;
            if (m_pending)
                next = std::move(m_pending);
            else if (!m_rewinding)
                next = pull(m_sink, 0);
            pts = slotTime(m_nextSlot++);
        }
        if (next)
            last = std::move(next);
        else if (last)
            ++m_repeated;
        if (!last) continue;
        GstBuffer* buffer = gst_buffer_copy(last.get());
        GST_BUFFER_PTS(buffer) = pts;
        GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
        GST_BUFFER_DURATION(buffer) = frameNs;
        const GstFlowReturn flow = gst_app_src_push_buffer(GST_APP_SRC(m_appsrc), buffer);
        if (flow != GST_FLOW_OK && flow != GST_FLOW_FLUSHING) break;
    }
    gst_object_unref(clock);
}

bool VideoFileLoop::rewind(int timeoutMs, quint64* firstPictureNs) {
    if (!m_pipeline || !m_thread.joinable()) return false;
    {
        std::lock_guard lock(m_mutex);
        m_rewinding = true;
        m_pending.reset();
    }
    // A flushing seek empties the queue before it returns: whatever arrives
    // after it is the file's first picture.
    bool ok = seekToStart(m_pipeline.get(), GST_SEEK_FLAG_FLUSH);
    BufferPtr first;
    if (ok) first = pull(m_sink, static_cast<GstClockTime>(timeoutMs) * GST_MSECOND);
    std::lock_guard lock(m_mutex);
    m_rewinding = false;
    if (!first) return false;
    m_pending = std::move(first);
    *firstPictureNs = slotTime(m_nextSlot);
    return true;
}

void VideoFileLoop::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        if (m_waiting) gst_clock_id_unschedule(m_waiting);
    }
    m_changed.notify_all();
    if (m_thread.joinable()) m_thread.join();
    m_appsrc = nullptr;
    m_graph.reset();
    if (m_pipeline) {
        // The pacer no longer drains the sink. A seek of the next pass may be
        // queued on GStreamer's thread, holding the pipeline's state lock
        // while it waits for the demuxer, and the demuxer waits for room in
        // the full sink: let the sink drop, or the state change below waits
        // for ever.
        if (m_sink) gst_app_sink_set_drop(GST_APP_SINK(m_sink), TRUE);
        gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
        // A seek still queued on GStreamer's thread may outlive this object
        // with the pipeline; nothing it posts may reach this object then.
        gst::BusPtr bus(gst_element_get_bus(m_pipeline.get()));
        gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
    }
    m_pipeline.reset();
    m_sink = nullptr;
    std::lock_guard lock(m_mutex);
    m_pending.reset();
}

}  // namespace kelm
