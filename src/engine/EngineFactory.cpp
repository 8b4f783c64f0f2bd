#include "EngineFactory.h"

#include "BackgroundEncoder.h"
#include "EngineError.h"
#include "RecordingEngine.h"

#include <gst/gst.h>

namespace kelm {
namespace {

// Without these the engine cannot capture, convert or hand over anything.
// Source elements of a particular kind (v4l2src, imagefreeze, ...) are checked
// when that kind of source is used.
constexpr const char* kEssentialElements[] = {
    "tee",        "queue",     "valve",        "capsfilter",    "appsink", "videoconvert",
    "videoscale", "videorate", "audioconvert", "audioresample", "alsasrc", "level",
};

std::unique_ptr<RecordingEngine> failed(EncoderStatus* status, const QString& why) {
    if (status) *status = engineStatus(EngineFailure::ElementMissing, why);
    return nullptr;
}

class RecordingEngineFactory final : public EncoderFactory {
public:
    explicit RecordingEngineFactory(EngineOptions options) : m_options(std::move(options)) {}

    std::unique_ptr<Encoder> create(EncoderStatus* status) override {
        auto engine = createRecordingEngine(m_options, status);
        if (!engine) return nullptr;
        return std::make_unique<BackgroundEncoder>(std::move(engine));
    }

private:
    EngineOptions m_options;
};

}  // namespace

std::unique_ptr<RecordingEngine> createRecordingEngine(EngineOptions options,
                                                       EncoderStatus* status) {
    GError* raw = nullptr;
    if (!gst_init_check(nullptr, nullptr, &raw)) {
        gst::ErrorPtr error(raw);
        return failed(status, QStringLiteral("GStreamer cannot start: ") +
                                  QString::fromUtf8(error ? error->message : "unknown"));
    }
    for (const char* name : kEssentialElements) {
        gst::ObjectUnref unref;
        GstElementFactory* factory = gst_element_factory_find(name);
        if (!factory)
            return failed(status, QStringLiteral("GStreamer element %1 is not installed")
                                      .arg(QLatin1StringView(name)));
        unref(factory);
    }
    qRegisterMetaType<kelm::RunState>();
    qRegisterMetaType<kelm::EncoderStatus>();
    qRegisterMetaType<kelm::PreviewFrame>();
    qRegisterMetaType<kelm::SoundLevels>();
    qRegisterMetaType<kelm::PictureMeasures>();
    if (status) *status = EncoderStatus::success();
    return std::make_unique<RecordingEngine>(std::move(options));
}

std::unique_ptr<EncoderFactory> createEngineFactory() {
    return createEngineFactory(EngineOptions{});
}

std::unique_ptr<EncoderFactory> createEngineFactory(EngineOptions options) {
    return std::make_unique<RecordingEngineFactory>(std::move(options));
}

}  // namespace kelm
