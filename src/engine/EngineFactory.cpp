#include "EngineFactory.h"

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
    "videoscale", "videorate", "audioconvert", "audioresample", "alsasrc",
};

class RecordingEngineFactory final : public EncoderFactory {
public:
    explicit RecordingEngineFactory(EngineOptions options) : m_options(std::move(options)) {}

    std::unique_ptr<Encoder> create(EncoderStatus* status) override {
        GError* raw = nullptr;
        if (!gst_init_check(nullptr, nullptr, &raw)) {
            gst::ErrorPtr error(raw);
            return fail(status, QStringLiteral("GStreamer cannot start: ") +
                                    QString::fromUtf8(error ? error->message : "unknown"));
        }
        for (const char* name : kEssentialElements) {
            gst::ObjectUnref unref;
            GstElementFactory* factory = gst_element_factory_find(name);
            if (!factory)
                return fail(status, QStringLiteral("GStreamer element %1 is not installed")
                                        .arg(QLatin1StringView(name)));
            unref(factory);
        }
        qRegisterMetaType<kelm::RunState>();
        qRegisterMetaType<kelm::EncoderStatus>();
        qRegisterMetaType<kelm::PreviewFrame>();
        if (status) *status = EncoderStatus::success();
        return std::make_unique<RecordingEngine>(m_options);
    }

private:
    static std::unique_ptr<Encoder> fail(EncoderStatus* status, const QString& why) {
        if (status) *status = engineStatus(EngineFailure::ElementMissing, why);
        return nullptr;
    }

    EngineOptions m_options;
};

}  // namespace

std::unique_ptr<EncoderFactory> createEngineFactory() {
    return createEngineFactory(EngineOptions{});
}

std::unique_ptr<EncoderFactory> createEngineFactory(EngineOptions options) {
    return std::make_unique<RecordingEngineFactory>(std::move(options));
}

}  // namespace kelm
