#include "MeterFeed.h"

#include "EngineError.h"
#include "GstChain.h"
#include "GstHandles.h"

#include <gst/app/gstappsink.h>

#include <cstdint>
#include <vector>

namespace kelm {

EncoderStatus buildMeterFeed(GstBin* bin, GstElement* audioTee,
                             std::shared_ptr<SoundCardClaim> claim, const QString& audioName) {
    std::vector<GstElement*> chain;
    EncoderStatus status = makeChain(bin,
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
        GST_APP_SINK(chain[4]), &callbacks, new std::shared_ptr<SoundCardClaim>(std::move(claim)),
        [](gpointer user) { delete static_cast<std::shared_ptr<SoundCardClaim>*>(user); });
    if (!gst_element_link(audioTee, chain[0]))
        return engineStatus(EngineFailure::Negotiation,
                            QStringLiteral("%1: cannot feed the level meters").arg(audioName));
    return status;
}

}  // namespace kelm
