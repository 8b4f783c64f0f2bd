#include "GstChain.h"

#include "EngineError.h"
#include "GstHandles.h"

namespace kelm {

namespace {

EncoderStatus missing(const char* factory) {
    return engineStatus(
        EngineFailure::ElementMissing,
        QStringLiteral("GStreamer element %1 is not installed").arg(QLatin1StringView(factory)));
}

}  // namespace

EncoderStatus makeChain(GstBin* bin,
                        std::initializer_list<std::pair<const char*, const char*>> elements,
                        std::vector<GstElement*>* out) {
    std::vector<GstElement*> made;
    for (const auto& [factory, name] : elements) {
        GstElement* e = gst_element_factory_make(factory, name);
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

}  // namespace kelm
