#pragma once

// Owning handles for the GStreamer and GLib objects the engine holds. Each one
// releases its object exactly once; no code path unrefs by hand.

#include <gst/gst.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace kelm::gst {

struct ObjectUnref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
struct CapsUnref {
    void operator()(GstCaps* caps) const { gst_caps_unref(caps); }
};
struct SampleUnref {
    void operator()(GstSample* sample) const { gst_sample_unref(sample); }
};
struct MessageUnref {
    void operator()(GstMessage* message) const { gst_message_unref(message); }
};
struct ErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
struct GFree {
    void operator()(gpointer p) const { g_free(p); }
};

using ElementPtr = std::unique_ptr<GstElement, ObjectUnref>;
using BusPtr = std::unique_ptr<GstBus, ObjectUnref>;
using PadPtr = std::unique_ptr<GstPad, ObjectUnref>;
using CapsPtr = std::unique_ptr<GstCaps, CapsUnref>;
using SamplePtr = std::unique_ptr<GstSample, SampleUnref>;
using MessagePtr = std::unique_ptr<GstMessage, MessageUnref>;
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;
using CharPtr = std::unique_ptr<gchar, GFree>;

// Takes ownership of a newly created element, sinking its floating reference.
inline ElementPtr adoptElement(GstElement* element) {
    return ElementPtr(element ? GST_ELEMENT(gst_object_ref_sink(element)) : nullptr);
}

// A pipeline that is brought to the NULL state before its last reference
// goes: streaming threads end before any of the engine's objects they use.
class Pipeline final {
public:
    Pipeline() = default;
    explicit Pipeline(ElementPtr pipeline) : m_pipeline(std::move(pipeline)) {}
    Pipeline(Pipeline&&) noexcept = default;
    Pipeline& operator=(Pipeline&& other) noexcept {
        if (this != &other) {
            shutDown();
            m_pipeline = std::move(other.m_pipeline);
        }
        return *this;
    }
    ~Pipeline() { shutDown(); }

    GstElement* get() const { return m_pipeline.get(); }
    GstBin* bin() const { return GST_BIN(m_pipeline.get()); }
    explicit operator bool() const { return static_cast<bool>(m_pipeline); }
    void reset() {
        shutDown();
        m_pipeline.reset();
    }

    // Brings the pipeline to NULL and lets it go, waiting at most `limit`.
    // A driver or sound plugin that never returns from closing its device
    // must not hold the program: the closing goes on in a thread of its own,
    // which keeps the pipeline and `keepAlive` (what the streaming threads'
    // callbacks reach) until it is done. False when it was left to finish on
    // its own.
    bool closeWithin(std::chrono::milliseconds limit, std::shared_ptr<void> keepAlive) {
        if (!m_pipeline) return true;
        std::promise<void> closed;
        std::future<void> done = closed.get_future();
        std::thread closer([pipeline = std::move(m_pipeline), keep = std::move(keepAlive),
                            closed = std::move(closed)]() mutable {
            gst_element_set_state(pipeline.get(), GST_STATE_NULL);
            pipeline.reset();
            keep.reset();
            closed.set_value();
        });
        if (done.wait_for(limit) == std::future_status::ready) {
            closer.join();
            return true;
        }
        closer.detach();
        return false;
    }

private:
    void shutDown() {
        if (m_pipeline) gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    }
    ElementPtr m_pipeline;
};

// A request pad of a tee, released back to its element when the handle goes.
class RequestPad final {
public:
    RequestPad() = default;
    RequestPad(GstElement* owner, GstPad* pad) : m_owner(owner), m_pad(pad) {
        if (m_owner) gst_object_ref(m_owner);
    }
    RequestPad(const RequestPad&) = delete;
    RequestPad& operator=(const RequestPad&) = delete;
    ~RequestPad() { reset(); }

    GstPad* get() const { return m_pad; }
    // Takes over another request pad (already referenced) of `owner`.
    void reset(GstElement* owner, GstPad* pad) {
        reset();
        m_owner = owner ? GST_ELEMENT(gst_object_ref(owner)) : nullptr;
        m_pad = pad;
    }
    void reset() {
        if (m_pad) {
            gst_element_release_request_pad(m_owner, m_pad);
            gst_object_unref(m_pad);
            m_pad = nullptr;
        }
        if (m_owner) {
            gst_object_unref(m_owner);
            m_owner = nullptr;
        }
    }

private:
    GstElement* m_owner = nullptr;
    GstPad* m_pad = nullptr;
};

}  // namespace kelm::gst
