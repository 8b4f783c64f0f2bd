#pragma once

#include "GstHandles.h"

#include <gst/video/video.h>

#include <QSize>

struct SwsContext;

namespace kelm {

// Makes recorded I420 pictures the profile's size: one bicubic pass from the
// mapped source straight into a buffer of its own pool. The pool reuses its
// memory; a fresh allocation of a picture's size would be mapped and cleared
// by the kernel for every picture.
//
// The owner configures it before a recording's branch is linked; the
// streaming thread alone scales while the branch is linked.
class PictureScaler final {
public:
    PictureScaler() = default;
    PictureScaler(const PictureScaler&) = delete;
    PictureScaler& operator=(const PictureScaler&) = delete;
    ~PictureScaler() { reset(); }

    // Prepares for pictures of `from` made `to`, at the given frame rate.
    // Pictures of the same size need no scaler: it then stays inactive.
    void configure(QSize from, QSize to, int rateNum, int rateDen);
    void reset();

    bool active() const { return m_context != nullptr; }
    GstCaps* caps() const { return m_caps.get(); }  // of the scaled pictures, while active

    // The picture at the target size, with the sample's time stamps and
    // segment; null when it cannot be read.
    gst::SamplePtr scale(GstSample* sample);

private:
    SwsContext* m_context = nullptr;
    GstVideoInfo m_info{};
    gst::CapsPtr m_caps;
    GstBufferPool* m_pool = nullptr;
};

}  // namespace kelm
