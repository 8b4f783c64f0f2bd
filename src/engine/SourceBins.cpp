#include "SourceBins.h"

#include "EngineError.h"
#include "GstChain.h"
#include "TestSignals.h"

namespace kelm {

namespace {

// How long a video file may take to give its first picture: as long as the
// graph waits for its sources to start.
constexpr int kVideoFileOpenTimeoutMs = 5000;

}  // namespace

EncoderStatus SourceBins::build(GstBin* pipeline, const ResolvedVideoInput& video,
                                const ResolvedAudioInput& audio, std::atomic<qint64>* flashPhaseNs,
                                VideoFileLoop::ErrorSink onLoopError) {
    m_videoBin = gst_bin_new("video-source");
    m_audioBin = gst_bin_new("audio-source");
    gst_bin_add_many(pipeline, m_videoBin, m_audioBin, nullptr);
    EncoderStatus status = buildVideo(video, flashPhaseNs, std::move(onLoopError));
    if (status.ok()) status = buildAudio(audio, flashPhaseNs);
    return status;
}

EncoderStatus SourceBins::failureFor(GstMessage* message, GstElement* pipeline) const {
    const bool error = GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR;
    const QString text = error ? gstErrorText(message) : QStringLiteral("the stream ended");
    GstObject* source = GST_MESSAGE_SRC(message);
    if (source && m_audioBin && gst_object_has_as_ancestor(source, GST_OBJECT(m_audioBin)))
        return engineStatus(EngineFailure::AudioDevice, m_audioName + QStringLiteral(": ") + text);
    // The video file's own pipeline is not part of the graph.
    const bool fromLoop = source && pipeline && source != GST_OBJECT(pipeline) &&
                          !gst_object_has_as_ancestor(source, GST_OBJECT(pipeline));
    if (fromLoop ||
        (source && m_videoBin && gst_object_has_as_ancestor(source, GST_OBJECT(m_videoBin))))
        return engineStatus(EngineFailure::VideoDevice, m_videoName + QStringLiteral(": ") + text);
    return engineStatus(EngineFailure::Negotiation, text);
}

void SourceBins::startVideoFile(GstElement* pipeline) {
    if (!m_loop) return;
    gst::ElementPtr appsrc(gst_bin_get_by_name(GST_BIN(m_videoBin), "video-file"));
    m_loop->start(pipeline, appsrc.get());
}

void SourceBins::stopVideoFile() {
    if (m_loop) m_loop->stop();
}

void SourceBins::reset() {
    m_loop.reset();
    m_videoBin = m_audioBin = nullptr;
}

EncoderStatus SourceBins::buildVideo(const ResolvedVideoInput& video,
                                     std::atomic<qint64>* flashPhaseNs,
                                     VideoFileLoop::ErrorSink onLoopError) {
    std::vector<GstElement*> chain;
    EncoderStatus status;
    using Kind = ResolvedVideoInput::Kind;
    switch (video.kind) {
        case Kind::TestPattern:
            status = testPatternSource(video, flashPhaseNs, &chain);
            break;
        case Kind::CaptureDevice:
            status = captureDeviceSource(video, &chain);
            break;
        case Kind::Picture:
            status = pictureSource(video, &chain);
            break;
        case Kind::VideoFile:
            status = videoFileSource(video, std::move(onLoopError), &chain);
            break;
        case Kind::None:
            return engineStatus(EngineFailure::VideoDevice, QStringLiteral("no video input"));
    }
    if (!status.ok()) return status;
    return convertPictures(chain.back());
}

EncoderStatus SourceBins::testPatternSource(const ResolvedVideoInput& video,
                                            std::atomic<qint64>* flashPhaseNs,
                                            std::vector<GstElement*>* chain) {
    m_videoName = QStringLiteral("test picture");
    const QByteArray location = video.location.toUtf8();
    EncoderStatus status = makeChain(
        GST_BIN(m_videoBin), {{"videotestsrc", "video-test"}, {"capsfilter", nullptr}}, chain);
    if (!status.ok()) return status;
    GstElement* source = (*chain)[0];
    const bool flash = location == "flash";
    g_object_set(source, "is-live", TRUE, nullptr);
    if (flash) {
        gst_util_set_object_arg(G_OBJECT(source), "pattern", "black");
        addFlash(source, flashPhaseNs);
    } else if (!location.isEmpty()) {
        gst_util_set_object_arg(G_OBJECT(source), "pattern", location.constData());
    }
    setCaps((*chain)[1], flash ? "video/x-raw,format=I420,width=720,height=576,framerate=25/1,"
                                 "pixel-aspect-ratio=1/1"
                               : "video/x-raw,width=720,height=576,framerate=25/1,"
                                 "pixel-aspect-ratio=1/1");
    return status;
}

EncoderStatus SourceBins::captureDeviceSource(const ResolvedVideoInput& video,
                                              std::vector<GstElement*>* chain) {
    m_videoName = QStringLiteral("video device ") + video.location;
    EncoderStatus status =
        makeChain(GST_BIN(m_videoBin),
                  {{"v4l2src", "video-device"}, {"capsfilter", "video-device-caps"}}, chain);
    if (!status.ok()) return status;
    GstElement* source = (*chain)[0];
    g_object_set(source, "device", video.location.toUtf8().constData(), nullptr);
    // The source sets its standard on the device when it opens it, and only
    // a known one.
    if (video.norm != 0) {
        GParamSpec* normProperty = g_object_class_find_property(G_OBJECT_GET_CLASS(source), "norm");
        GEnumClass* norms = normProperty ? G_PARAM_SPEC_ENUM(normProperty)->enum_class : nullptr;
        if (norms && g_enum_get_value(norms, gint(video.norm)))
            g_object_set(source, "norm", gint(video.norm), nullptr);
        else
            qCWarning(lcEngine).noquote()
                << m_videoName << "has no standard" << Qt::hex << video.norm;
    }
    // Capture cards offer raw pictures; a camera that also offers JPEG must
    // not pick it, nothing here decodes it. The chosen picture format is the
    // only one the source may deliver.
    const QByteArray caps = video.pictureFormat.isEmpty()
                                ? QByteArray("video/x-raw")
                                : "video/x-raw,format=" + video.pictureFormat.toLatin1();
    setCaps((*chain)[1], caps.constData());
    return status;
}

EncoderStatus SourceBins::pictureSource(const ResolvedVideoInput& video,
                                        std::vector<GstElement*>* chain) {
    m_videoName = QStringLiteral("picture ") + video.location;
    GstBin* bin = GST_BIN(m_videoBin);
    std::vector<GstElement*> file;
    std::vector<GstElement*> frozen;
    EncoderStatus status = makeChain(bin, {{"filesrc", nullptr}, {"decodebin", nullptr}}, &file);
    if (status.ok())
        status = makeChain(
            bin, {{"videoconvert", nullptr}, {"capsfilter", nullptr}, {"imagefreeze", nullptr}},
            &frozen);
    if (!status.ok()) return status;
    g_object_set(file[0], "location", video.location.toUtf8().constData(), nullptr);
    // Converted once, before it is repeated 25 times a second.
    setCaps(frozen[1], "video/x-raw,format=I420");
    g_object_set(frozen[2], "is-live", TRUE, nullptr);
    g_signal_connect(file[1], "pad-added", G_CALLBACK(linkDecodedVideoPad), frozen[0]);
    *chain = frozen;
    return status;
}

EncoderStatus SourceBins::videoFileSource(const ResolvedVideoInput& video,
                                          VideoFileLoop::ErrorSink onLoopError,
                                          std::vector<GstElement*>* chain) {
    m_videoName = QStringLiteral("video file ") + video.location;
    m_loop = std::make_unique<VideoFileLoop>(std::move(onLoopError));
    gst::CapsPtr caps;
    EncoderStatus status = m_loop->open(video.location, kVideoFileOpenTimeoutMs, &caps);
    if (status.ok()) status = makeChain(GST_BIN(m_videoBin), {{"appsrc", "video-file"}}, chain);
    if (!status.ok()) return status;
    // Live, so the graph runs on the clock; the pacer never waits for room, a
    // picture it cannot hand over is dropped.
    g_object_set((*chain)[0], "is-live", TRUE, "format", GST_FORMAT_TIME, "caps", caps.get(),
                 "block", FALSE, "max-bytes", guint64{64} << 20, nullptr);
    return status;
}

EncoderStatus SourceBins::convertPictures(GstElement* tail) {
    std::vector<GstElement*> convert;
    EncoderStatus status = makeChain(
        GST_BIN(m_videoBin), {{"videoconvert", nullptr}, {"capsfilter", nullptr}}, &convert);
    if (!status.ok()) return status;
    setCaps(convert[1], "video/x-raw,format=I420");
    if (!gst_element_link(tail, convert[0]))
        return engineStatus(EngineFailure::Negotiation,
                            QStringLiteral("%1: cannot convert its pictures").arg(m_videoName));
    gst::PadPtr out(gst_element_get_static_pad(convert[1], "src"));
    gst_element_add_pad(m_videoBin, gst_ghost_pad_new("src", out.get()));
    return status;
}

EncoderStatus SourceBins::buildAudio(const ResolvedAudioInput& audio,
                                     std::atomic<qint64>* flashPhaseNs) {
    GstBin* bin = GST_BIN(m_audioBin);
    std::vector<GstElement*> chain;
    EncoderStatus status;
    const QByteArray location = audio.location.toUtf8();
    switch (audio.kind) {
        case ResolvedAudioInput::Kind::TestTone:
            m_audioName = QStringLiteral("test tone");
            status = makeChain(bin, {{"audiotestsrc", "audio-test"}}, &chain);
            if (status.ok() && location == "beep") {
                g_object_set(chain[0], "is-live", TRUE, nullptr);
                gst_util_set_object_arg(G_OBJECT(chain[0]), "wave", "silence");
                addBeep(chain[0], flashPhaseNs);
            } else if (status.ok() && toneCutsFor(location).silenceMs > 0) {
                g_object_set(chain[0], "is-live", TRUE, "volume", 0.3, nullptr);
                addToneCuts(chain[0], toneCutsFor(location));
            } else if (status.ok()) {
                g_object_set(chain[0], "is-live", TRUE, "volume", 0.3, nullptr);
                if (!location.isEmpty())
                    gst_util_set_object_arg(G_OBJECT(chain[0]), "wave", location.constData());
            }
            break;
        case ResolvedAudioInput::Kind::SoundServer:
            m_audioName = QStringLiteral("sound card ") + audio.location +
                          QStringLiteral(" (through the sound server)");
            if (GstElementFactory* pulse = gst_element_factory_find("pulsesrc")) {
                gst_object_unref(pulse);
                status = makeChain(bin, {{"pulsesrc", "audio-device"}}, &chain);
                if (status.ok()) g_object_set(chain[0], "client-name", "KELM", nullptr);
                break;
            }
            [[fallthrough]];  // without GStreamer's PulseAudio plugin: through ALSA
        case ResolvedAudioInput::Kind::CaptureDevice:
            m_audioName = QStringLiteral("sound card ") + audio.location;
            status = makeChain(bin, {{"alsasrc", "audio-device"}}, &chain);
            if (status.ok()) g_object_set(chain[0], "device", location.constData(), nullptr);
            break;
        case ResolvedAudioInput::Kind::None:
            return engineStatus(EngineFailure::AudioDevice, QStringLiteral("no sound card chosen"));
    }
    if (!status.ok()) return status;
    return convertSound(chain.back());
}

// 48 kHz stereo when the source offers it: the TV profile records that, so
// the usual recording needs no resampling.
EncoderStatus SourceBins::convertSound(GstElement* tail) {
    std::vector<GstElement*> convert;
    EncoderStatus status = makeChain(
        GST_BIN(m_audioBin),
        {{"capsfilter", nullptr}, {"audioconvert", nullptr}, {"audioresample", nullptr}}, &convert);
    if (!status.ok()) return status;
    setCaps(convert[0],
            "audio/x-raw,format=S16LE,rate=48000,channels=2; audio/x-raw,rate=48000; audio/x-raw");
    if (!gst_element_link(tail, convert[0]))
        return engineStatus(EngineFailure::Negotiation,
                            QStringLiteral("%1: cannot convert its sound").arg(m_audioName));
    gst::PadPtr out(gst_element_get_static_pad(convert[2], "src"));
    gst_element_add_pad(m_audioBin, gst_ghost_pad_new("src", out.get()));
    return status;
}

}  // namespace kelm
