// Closing a pipeline whose streaming thread does not let go: the owner gets
// its thread back within the limit, and what the callbacks use stays alive
// until the pipeline has really closed.

#include "GstHandles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace kelm {
namespace {

using namespace std::chrono_literals;

// A flowing pipeline whose sink pad blocks the first buffer until released,
// so its state change to NULL waits on the streaming thread.
struct StuckPipeline {
    std::mutex mutex;
    std::condition_variable changed;
    bool stuck = false;
    bool released = false;
    gst::Pipeline pipeline;

    StuckPipeline() {
        gst_init(nullptr, nullptr);
        GError* error = nullptr;
        pipeline = gst::Pipeline(
            gst::adoptElement(gst_parse_launch("videotestsrc ! fakesink name=sink", &error)));
        if (error) ADD_FAILURE() << error->message;
        if (error) g_error_free(error);
        gst::ElementPtr sink(gst_bin_get_by_name(pipeline.bin(), "sink"));
        gst::PadPtr pad(gst_element_get_static_pad(sink.get(), "sink"));
        gst_pad_add_probe(
            pad.get(), GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad*, GstPadProbeInfo*, gpointer user) -> GstPadProbeReturn {
                auto* self = static_cast<StuckPipeline*>(user);
                std::unique_lock lock(self->mutex);
                self->stuck = true;
                self->changed.notify_all();
                self->changed.wait(lock, [&] { return self->released; });
                return GST_PAD_PROBE_OK;
            },
            this, nullptr);
    }
    void waitUntilStuck() {
        gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 5s, [&] { return stuck; }));
    }
    void release() {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
};

TEST(PipelineClose, AStuckStreamingThreadCannotHoldTheOwnerPastTheLimit) {
    // Heap-held: the probe reaches it until the pipeline has closed.
    auto stuck = std::make_shared<StuckPipeline>();
    stuck->waitUntilStuck();
    std::weak_ptr<StuckPipeline> watch = stuck;
    gst::Pipeline pipeline = std::move(stuck->pipeline);

    const auto began = std::chrono::steady_clock::now();
    EXPECT_FALSE(pipeline.closeWithin(200ms, stuck));
    const auto took = std::chrono::steady_clock::now() - began;
    EXPECT_GE(took, 200ms);
    EXPECT_LT(took, 2s);
    EXPECT_FALSE(pipeline) << "the owner no longer holds the pipeline";

    // The closing thread still keeps what the streaming thread uses.
    StuckPipeline* raw = stuck.get();
    stuck.reset();
    EXPECT_FALSE(watch.expired());

    raw->release();
    for (int i = 0; i < 500 && !watch.expired(); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(watch.expired()) << "released once the pipeline has closed";
}

TEST(PipelineClose, APipelineThatClosesInTimeIsClosedBeforeTheCallReturns) {
    auto flowing = std::make_shared<StuckPipeline>();
    flowing->release();  // the probe lets every buffer through
    flowing->waitUntilStuck();
    gst::Pipeline pipeline = std::move(flowing->pipeline);
    GstElement* element = GST_ELEMENT(gst_object_ref(pipeline.get()));

    EXPECT_TRUE(pipeline.closeWithin(5s, flowing));
    GstState state = GST_STATE_VOID_PENDING;
    gst_element_get_state(element, &state, nullptr, 0);
    EXPECT_EQ(state, GST_STATE_NULL);
    EXPECT_FALSE(pipeline) << "the owner no longer holds the pipeline";
    EXPECT_EQ(flowing.use_count(), 1) << "the keep-alive went with it";
    gst_object_unref(element);
}

}  // namespace
}  // namespace kelm
